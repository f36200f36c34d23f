// Icons from the program's resources (":/icons/<RESOURCE>.png").
#pragma once
#include <QIcon>
#include <string>

namespace gui {

class Icon {
 public:
  explicit Icon(const std::string& resourceName);
  virtual ~Icon() = default;
  const QIcon& Handle() const { return icon_; }
  bool IsValid() const { return !icon_.isNull(); }
  const std::string& ResourceName() const { return name_; }

 private:
  std::string name_;
  QIcon icon_;
};

}  // namespace gui
