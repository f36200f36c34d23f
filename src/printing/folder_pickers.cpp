#include "folder_pickers.h"

#include "platform/gui/pickers.h"
#include "platform/runtime/files.h"

std::string KwGetDirectory(QWidget* owner, const std::string& title, const std::string& startFolder) {
  gui::PickerRequest r;
  r.folder = true;
  r.title = title;
  r.startFolder = rt::WithTrailingSlash(startFolder);
  r.acceptLabel = "&Kiválaszt";
  auto chosen = gui::Pickers().Pick(owner, r);
  if (!chosen || chosen->empty()) return "";
  return rt::WithTrailingSlash(*chosen);
}

std::string KwGetFile(QWidget* owner, const std::string& title, const std::string& startFolder,
                      const std::vector<std::pair<std::string, std::string>>& filters) {
  gui::PickerRequest r;
  r.folder = false;
  r.title = title;
  r.startFolder = rt::WithTrailingSlash(startFolder);
  r.filters = filters;
  if (r.filters.empty()) r.filters.push_back({"Все файлы", "*.*"});
  auto chosen = gui::Pickers().Pick(owner, r);
  return chosen ? *chosen : "";
}
