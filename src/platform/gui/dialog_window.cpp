#include "dialog_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cmath>

#include "fonts.h"

namespace gui {

namespace {
std::map<std::string, DialogFactory>& DialogClasses() {
  static std::map<std::string, DialogFactory> classes;
  return classes;
}
}  // namespace

void RegisterDialogClass(const std::string& className, DialogFactory factory) {
  DialogClasses()[className] = std::move(factory);
}

bool OpenDialogClass(const std::string& className, DialogWindow* owner) {
  auto it = DialogClasses().find(className);
  if (it == DialogClasses().end()) return false;
  it->second(owner);
  return true;
}

DialogWindow::DialogWindow(QWidget* owner, const std::string& templateName, bool modal) : QDialog(owner) {
  InstallFontSubstitutes();
  setModal(modal);
  auto t = LoadDialogTemplate(templateName);
  if (!t) return;
  template_ = std::move(*t);
  valid_ = true;

  QFont font = MakeFont(template_.fontFace, template_.fontPoints);
  setFont(font);
  QFontMetrics fm(font);
  // Dialog base units: the average width of the alphabet and the line height.
  // Rounded up: the installed faces run a little wider than the ones the
  // templates were laid out for, and texts must not be clipped.
  baseUnitX_ = int(std::ceil(fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0));
  baseUnitY_ = fm.height();

  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
  if (template_.HasStyle("caption")) flags |= Qt::WindowTitleHint;
  if (template_.HasStyle("sysmenu")) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (template_.HasStyle("minimizebox")) flags |= Qt::WindowMinimizeButtonHint;
  setWindowFlags(flags);
  setFixedSize(UnitsToPixelsX(template_.width), UnitsToPixelsY(template_.height));
  SetCaption(template_.caption);
  BuildControls();

  focusConnection_ = QObject::connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
    if ((now && isAncestorOf(now)) || (old && isAncestorOf(old))) FocusChange(now, old);
  });
}

// Destroying the controls moves the focus; the subclass is gone by then, so
// focus changes are no longer delivered.
DialogWindow::~DialogWindow() { QObject::disconnect(focusConnection_); }

int DialogWindow::UnitsToPixelsX(int units) const { return (units * baseUnitX_ + 2) / 4; }
int DialogWindow::UnitsToPixelsY(int units) const { return (units * baseUnitY_ + 4) / 8; }

QWidget* DialogWindow::CreateWidget(const ControlTemplate& c) {
  QString text = QString::fromStdString(c.text);
  switch (c.kind) {
    case ControlKind::PushButton: {
      auto* b = new QPushButton(text, this);
      b->setAutoDefault(false);
      std::string name = c.name;
      QObject::connect(b, &QPushButton::clicked, this, [this, name] { Invoke(name); });
      return b;
    }
    case ControlKind::CheckBox: return new QCheckBox(text, this);
    case ControlKind::ComboBox: {
      auto* cb = new QComboBox(this);
      cb->setEditable(false);
      return cb;
    }
    case ControlKind::Edit: {
      auto* e = new QLineEdit(text, this);
      e->setReadOnly(c.HasStyle("readonly"));
      e->setFrame(c.HasStyle("border") || c.HasStyle("clientedge"));
      return e;
    }
    case ControlKind::MultiLineEdit: {
      auto* m = new QPlainTextEdit(text, this);
      m->setReadOnly(c.HasStyle("readonly"));
      m->setVerticalScrollBarPolicy(c.HasStyle("vscroll") ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
      m->setLineWrapMode(QPlainTextEdit::NoWrap);
      return m;
    }
    case ControlKind::GroupBox: {
      auto* g = new QGroupBox(text, this);
      g->setAttribute(Qt::WA_TransparentForMouseEvents);
      // The title sits on the frame's top line, as group boxes are drawn in templates.
      g->setStyleSheet(
          "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.5em; }"
          "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }");
      return g;
    }
    case ControlKind::FixedText:
    default: {
      auto* l = new QLabel(text, this);
      l->setTextFormat(Qt::PlainText);
      l->setAlignment(Qt::AlignLeft | Qt::AlignTop);  // static text starts at its top left
      if (c.HasStyle("sunken")) {
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      }
      if (c.HasStyle("center")) l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
      return l;
    }
  }
}

void DialogWindow::BuildControls() {
  for (const auto& c : template_.controls) {
    QWidget* w = CreateWidget(c);
    w->setObjectName(QString::fromStdString(c.name));
    int height = UnitsToPixelsY(c.height);
    // A drop-down list's template height includes its list; the box itself is one row.
    if (c.kind == ControlKind::ComboBox) height = std::min(height, w->sizeHint().height());
    w->setGeometry(UnitsToPixelsX(c.x), UnitsToPixelsY(c.y), UnitsToPixelsX(c.width), height);
    w->setVisible(c.visible);
    if (c.kind == ControlKind::GroupBox) w->lower();  // frames stay behind the controls they hold
    controls_.push_back(std::make_unique<Control>(c, w));
  }
}

Control* DialogWindow::GetControl(const std::string& name) const {
  for (const auto& c : controls_)
    if (c->Name() == name) return c.get();
  return nullptr;
}

Control* DialogWindow::GetControlById(int id) const {
  for (const auto& c : controls_)
    if (c->Id() == id) return c.get();
  return nullptr;
}

void DialogWindow::SetCaption(const std::string& caption) { setWindowTitle(QString::fromStdString(caption)); }
std::string DialogWindow::Caption() const { return windowTitle().toStdString(); }

void DialogWindow::SetIcon(const Icon& icon) { setWindowIcon(icon.Handle()); }
void DialogWindow::SetSmallIcon(const Icon& icon) { setWindowIcon(icon.Handle()); }

int DialogWindow::Show() {
  if (isModal()) return exec();
  show();
  return 0;
}

void DialogWindow::EndDialog(int result) { done(result); }

int DialogWindow::Dispatch(const Event&) { return 0; }

int DialogWindow::SetTimer(int id, int milliseconds) {
  QTimer*& t = timers_[id];
  if (!t) {
    t = new QTimer(this);
    QObject::connect(t, &QTimer::timeout, this, [this, id] { Dispatch(Event{WM_TIMER, uintptr_t(id), 0}); });
  }
  t->start(milliseconds);
  return id;
}

void DialogWindow::KillTimer(int id) {
  auto it = timers_.find(id);
  if (it != timers_.end()) it->second->stop();
}

bool DialogWindow::TimerActive(int id) const {
  auto it = timers_.find(id);
  return it != timers_.end() && it->second->isActive();
}

void DialogWindow::RegisterOperation(const std::string& name, std::function<void()> op) {
  operations_[name] = std::move(op);
}

bool DialogWindow::Invoke(const std::string& name) {
  auto it = operations_.find(name);
  if (it != operations_.end()) {
    it->second();
    return true;
  }
  return OpenDialogClass(name, this);
}

}  // namespace gui
