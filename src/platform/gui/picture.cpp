#include "picture.h"

namespace gui {

namespace {
void Split(const std::string& picture, int& integerDigits, int& decimals) {
  auto point = picture.find('.');
  integerDigits = int(point == std::string::npos ? picture.size() : point);
  decimals = point == std::string::npos ? 0 : int(picture.size() - point - 1);
}
}  // namespace

PictureValidator::PictureValidator(const std::string& picture, QObject* parent) : QValidator(parent) {
  Split(picture, integerDigits_, decimals_);
}

QValidator::State PictureValidator::validate(QString& input, int&) const {
  QString s = input.trimmed();
  int point = s.indexOf('.');
  QString whole = point < 0 ? s : s.left(point);
  QString fraction = point < 0 ? QString() : s.mid(point + 1);
  if (point >= 0 && decimals_ == 0) return Invalid;
  if (fraction.contains('.')) return Invalid;
  for (QChar c : whole + fraction)
    if (!c.isDigit()) return Invalid;
  if (whole.size() > integerDigits_ || fraction.size() > decimals_) return Invalid;
  return Acceptable;
}

QString FormatForPicture(double value, const std::string& picture) {
  int integerDigits, decimals;
  Split(picture, integerDigits, decimals);
  return QString::number(value, 'f', decimals);
}

}  // namespace gui
