// A control of a dialog built from a template: one class for every kind,
// with the operations the dialogs use (text, value, enabling, fonts, lists).
#pragma once
#include <QFont>
#include <QWidget>
#include <string>
#include <vector>

#include "dialog_template.h"

namespace gui {

class Control {
 public:
  Control(const ControlTemplate& tmpl, QWidget* widget);

  int Id() const { return id_; }
  const std::string& Name() const { return name_; }
  ControlKind Kind() const { return kind_; }
  QWidget* Widget() const { return widget_; }

  std::string Text() const;                 // caption, edit text or combo text
  void SetText(const std::string& text);
  double Value() const;                     // numeric value of an edit's text
  void SetValue(double value);              // shown as its input template formats it
  void SetPicture(const std::string& picture);  // input template of an edit
  const std::string& Picture() const { return picture_; }

  bool Checked() const;                     // check boxes
  void SetChecked(bool on);

  void Enable();
  void Disable();
  bool IsEnabled() const;
  bool IsVisible() const { return visible_; }   // template visibility
  void SetFont(const QFont& font);

  // Combo boxes.
  void FillList(const std::vector<std::string>& items);
  std::vector<std::string> ListItems() const;
  void SelectItem(int index);               // 0-based
  int SelectedItem() const;                 // -1 when none

 private:
  int id_;
  std::string name_;
  ControlKind kind_;
  QWidget* widget_;
  bool visible_;
  std::string picture_;
  bool sorted_;                             // list keeps its items sorted
};

}  // namespace gui
