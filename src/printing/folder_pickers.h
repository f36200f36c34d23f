// Folder and file pickers on the platform's file dialog.
#pragma once
#include <string>
#include <utility>
#include <vector>

class QWidget;

// Lets the operator choose a folder, starting in `startFolder` (a '/' is
// appended when missing); the accept button reads "&Kiválaszt". Returns the
// folder ending in '/', or "" when the operator cancels.
std::string KwGetDirectory(QWidget* owner, const std::string& title, const std::string& startFolder);

// Lets the operator choose a file; filters are pairs of description and
// pattern (none: all files). Returns the full path, or "" on cancel.
std::string KwGetFile(QWidget* owner, const std::string& title, const std::string& startFolder,
                      const std::vector<std::pair<std::string, std::string>>& filters = {});
