// A dialog window built from a template: controls in template order, looked
// up by name; a push button's click runs the dialog operation named like the
// button, or opens the dialog class of that name; timers are delivered to
// Dispatch as timer events.
#pragma once
#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "control.h"
#include "dialog_template.h"
#include "icon.h"

namespace gui {

// A window event in the classic message form.
struct Event {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};
constexpr uint32_t WM_TIMER = 275;

class DialogWindow;
// Opens a dialog class by name with an owner; registered per class.
using DialogFactory = std::function<void(DialogWindow* owner)>;
void RegisterDialogClass(const std::string& className, DialogFactory factory);
bool OpenDialogClass(const std::string& className, DialogWindow* owner);  // false when unknown

class DialogWindow : public QDialog {
 public:
  // Builds the window and all controls of the template; a missing template
  // gives an empty window (IsValid() false).
  DialogWindow(QWidget* owner, const std::string& templateName, bool modal = true);
  ~DialogWindow() override;

  bool IsValid() const { return valid_; }
  const DialogTemplate& Template() const { return template_; }

  Control* GetControl(const std::string& name) const;   // nullptr when there is none
  Control* GetControlById(int id) const;
  const std::vector<std::unique_ptr<Control>>& Controls() const { return controls_; }

  void SetCaption(const std::string& caption);
  std::string Caption() const;
  void SetIcon(const Icon& icon);        // large and small icon
  void SetSmallIcon(const Icon& icon);

  int Show();                            // modal: runs until closed, returns the result
  void EndDialog(int result = 0);

  // Window events. The base class handles nothing and answers 0.
  virtual int Dispatch(const Event& event);
  virtual void FocusChange(QWidget* gained, QWidget* lost) {}

  // Timers: id -> interval in ms; each expiry is a WM_TIMER event to Dispatch.
  int SetTimer(int id, int milliseconds);   // returns id
  void KillTimer(int id);
  bool TimerActive(int id) const;

  // Pixels of a length in dialog units, with the template's font.
  int UnitsToPixelsX(int units) const;
  int UnitsToPixelsY(int units) const;

  // Runs the operation a push button named `name` is wired to (or opens the
  // dialog class of that name); false when there is neither.
  bool Invoke(const std::string& name);

 protected:
  // Subclasses wire their operations by name (usually in their constructor).
  void RegisterOperation(const std::string& name, std::function<void()> op);

 private:
  void BuildControls();
  QWidget* CreateWidget(const ControlTemplate& c);

  DialogTemplate template_;
  bool valid_ = false;
  int baseUnitX_ = 6, baseUnitY_ = 13;  // dialog base units of the template font
  std::vector<std::unique_ptr<Control>> controls_;
  std::map<std::string, std::function<void()>> operations_;
  std::map<int, QTimer*> timers_;
  QMetaObject::Connection focusConnection_;
};

}  // namespace gui
