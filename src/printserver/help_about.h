// The About box and the program's icons.
#pragma once
#include "platform/gui/dialog_window.h"
#include "platform/runtime/value.h"

// Icon of the main dialog (resource "FOICON").
class FoIcon : public gui::Icon {
 public:
  FoIcon() : gui::Icon("FOICON") {}
};

// Small icon of the About box (resource "ICOPRNLIB").
class IcoPrnLib : public gui::Icon {
 public:
  IcoPrnLib() : gui::Icon("ICOPRNLIB") {}
};

class HelpAbout : public gui::DialogWindow {
 public:
  // The owner and the second argument go to the dialog; a third argument, when
  // given, is the data server the dialog is bound to.
  explicit HelpAbout(QWidget* owner = nullptr, rt::Value extra = {}, rt::Value server = {}, rt::Value fourth = {});

  gui::Control* oFixedText1;
  gui::Control* oFixedText2;
  gui::Control* oFixedText3;
  gui::Control* oGroupBox1;
  gui::Control* oFixedText4;
  rt::Value oServer;           // bound data server, if any

 protected:
  virtual void PreInit(QWidget*, const rt::Value&, const rt::Value&, const rt::Value&) {}
  virtual void PostInit(QWidget*, const rt::Value&, const rt::Value&, const rt::Value&) {}
};

// Makes the "?" button (named "HelpAbout") open the About box.
void RegisterHelpAbout();
