// The print server's message boxes with Hungarian titles.
#pragma once
#include <string>

bool ErrBox(const std::string& text);   // "Hiba", error icon, OK; always true
bool MsgBox(const std::string& text);   // "Üzenet", information icon, OK; always true
bool AskBox(const std::string& text);   // "Kérdés", question icon, Yes/No; true for Yes
