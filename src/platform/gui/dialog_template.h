// Dialog templates: the layout of a dialog as data (src/resources/templates/
// <Name>.json), positions and sizes in dialog units.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace gui {

enum class ControlKind { PushButton, CheckBox, ComboBox, Edit, MultiLineEdit, FixedText, GroupBox };

struct ControlTemplate {
  int id = 0;
  ControlKind kind = ControlKind::FixedText;
  std::string name;
  std::string text;
  int x = 0, y = 0, width = 0, height = 0;   // dialog units
  bool visible = true;
  std::vector<std::string> styles;          // "sunken", "readonly", "vscroll", "sorted", ...
  bool HasStyle(const std::string& s) const;
};

struct DialogTemplate {
  std::string name;
  std::string caption;
  int width = 0, height = 0;                // dialog units
  std::string fontFace;
  int fontPoints = 8;
  std::vector<std::string> styles;          // "caption", "sysmenu", "minimizebox", "center", ...
  std::vector<ControlTemplate> controls;    // in template order
  bool HasStyle(const std::string& s) const;
  const ControlTemplate* Find(const std::string& controlName) const;
};

// Loads ":/templates/<name>.json"; nullopt when missing or malformed (the
// reason goes to *error).
std::optional<DialogTemplate> LoadDialogTemplate(const std::string& name, std::string* error = nullptr);

}  // namespace gui
