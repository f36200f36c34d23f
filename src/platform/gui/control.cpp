#include "control.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "picture.h"

namespace gui {

Control::Control(const ControlTemplate& tmpl, QWidget* widget)
    : id_(tmpl.id), name_(tmpl.name), kind_(tmpl.kind), widget_(widget), visible_(tmpl.visible), sorted_(tmpl.HasStyle("sorted")) {}

std::string Control::Text() const {
  QString s;
  if (auto* b = qobject_cast<QAbstractButton*>(widget_)) s = b->text();
  else if (auto* e = qobject_cast<QLineEdit*>(widget_)) s = e->text();
  else if (auto* m = qobject_cast<QPlainTextEdit*>(widget_)) s = m->toPlainText();
  else if (auto* c = qobject_cast<QComboBox*>(widget_)) s = c->currentText();
  else if (auto* l = qobject_cast<QLabel*>(widget_)) s = l->text();
  else if (auto* g = qobject_cast<QGroupBox*>(widget_)) s = g->title();
  return s.toStdString();
}

void Control::SetText(const std::string& text) {
  QString s = QString::fromStdString(text);
  if (auto* b = qobject_cast<QAbstractButton*>(widget_)) b->setText(s);
  else if (auto* e = qobject_cast<QLineEdit*>(widget_)) e->setText(s);
  else if (auto* m = qobject_cast<QPlainTextEdit*>(widget_)) {
    // The multi-line edit keeps CR LF line ends in its text; Qt shows LF.
    m->setPlainText(s.replace("\r\n", "\n"));
  } else if (auto* c = qobject_cast<QComboBox*>(widget_)) c->setCurrentText(s);
  else if (auto* l = qobject_cast<QLabel*>(widget_)) l->setText(s);
  else if (auto* g = qobject_cast<QGroupBox*>(widget_)) g->setTitle(s);
}

double Control::Value() const { return QString::fromStdString(Text()).trimmed().toDouble(); }

void Control::SetValue(double value) {
  SetText((picture_.empty() ? QString::number(value) : FormatForPicture(value, picture_)).toStdString());
}

void Control::SetPicture(const std::string& picture) {
  picture_ = picture;
  if (auto* e = qobject_cast<QLineEdit*>(widget_)) e->setValidator(new PictureValidator(picture, e));
}

bool Control::Checked() const {
  auto* b = qobject_cast<QAbstractButton*>(widget_);
  return b && b->isChecked();
}

void Control::SetChecked(bool on) {
  if (auto* b = qobject_cast<QAbstractButton*>(widget_)) b->setChecked(on);
}

void Control::Enable() { widget_->setEnabled(true); }
void Control::Disable() { widget_->setEnabled(false); }
bool Control::IsEnabled() const { return widget_->isEnabled(); }
void Control::SetFont(const QFont& font) { widget_->setFont(font); }

void Control::FillList(const std::vector<std::string>& items) {
  auto* c = qobject_cast<QComboBox*>(widget_);
  if (!c) return;
  c->clear();
  QStringList list;
  for (const auto& i : items) list << QString::fromStdString(i);
  if (sorted_) list.sort(Qt::CaseInsensitive);
  c->addItems(list);
}

std::vector<std::string> Control::ListItems() const {
  std::vector<std::string> out;
  if (auto* c = qobject_cast<QComboBox*>(widget_))
    for (int i = 0; i < c->count(); ++i) out.push_back(c->itemText(i).toStdString());
  return out;
}

void Control::SelectItem(int index) {
  if (auto* c = qobject_cast<QComboBox*>(widget_)) c->setCurrentIndex(index);
}

int Control::SelectedItem() const {
  auto* c = qobject_cast<QComboBox*>(widget_);
  return c ? c->currentIndex() : -1;
}

}  // namespace gui
