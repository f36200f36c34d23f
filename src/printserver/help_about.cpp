#include "help_about.h"

HelpAbout::HelpAbout(QWidget* owner, rt::Value extra, rt::Value server, rt::Value fourth)
    : gui::DialogWindow(owner, "HelpAbout", true) {
  PreInit(owner, extra, server, fourth);
  oFixedText1 = GetControl("FixedText1");
  oFixedText2 = GetControl("FixedText2");
  oFixedText3 = GetControl("FixedText3");
  oGroupBox1 = GetControl("GroupBox1");
  oFixedText4 = GetControl("FixedText4");
  SetCaption("Program: Rivodiva rududor");
  SetSmallIcon(IcoPrnLib());
  if (!server.IsNil()) oServer = server;
  PostInit(owner, extra, server, fourth);
}

void RegisterHelpAbout() {
  gui::RegisterDialogClass("HelpAbout", [](gui::DialogWindow* owner) {
    HelpAbout about(owner);
    about.Show();
  });
}
