#include "icon.h"

#include <QFile>

namespace gui {

Icon::Icon(const std::string& resourceName) : name_(resourceName) {
  QString path = QString(":/icons/%1.png").arg(QString::fromStdString(resourceName));
  if (QFile::exists(path)) icon_ = QIcon(path);
}

}  // namespace gui
