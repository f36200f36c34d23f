// Input templates of numeric edits: "999.9" allows three digits before and
// one after the decimal point, "9" a single digit, "999" three digits.
#pragma once
#include <QValidator>
#include <string>

namespace gui {

class PictureValidator : public QValidator {
 public:
  explicit PictureValidator(const std::string& picture, QObject* parent = nullptr);
  State validate(QString& input, int& pos) const override;
  int decimals() const { return decimals_; }

 private:
  int integerDigits_ = 0;
  int decimals_ = 0;
};

// A number as the template shows it: "999.9" with 10 -> "10.0", "9" with 2 -> "2".
QString FormatForPicture(double value, const std::string& picture);

}  // namespace gui
