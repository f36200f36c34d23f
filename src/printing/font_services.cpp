#include "font_services.h"

#include <QFontDatabase>
#include <QStringList>
#include <algorithm>
#include <cstring>

#include "platform/runtime/strings.h"

namespace {
std::vector<std::string> InstalledFaces() {
  std::vector<std::string> names;
  for (const QString& family : QFontDatabase::families()) names.push_back(family.toStdString());
  return names;
}

std::function<std::vector<std::string>()>& Enumerator() {
  static std::function<std::vector<std::string>()> enumerate = InstalledFaces;
  return enumerate;
}

std::vector<std::string>& FontList() {
  static std::vector<std::string> list;
  return list;
}
}  // namespace

void SetFontEnumerator(std::function<std::vector<std::string>()> enumerate) {
  Enumerator() = enumerate ? std::move(enumerate) : InstalledFaces;
  FontList().clear();
}

std::vector<std::string> KwGetFontList(QWidget*) {
  auto& list = FontList();
  if (!list.empty()) return list;
  std::vector<std::string> names;
  for (const auto& name : Enumerator()()) names.push_back(rt::Trim(name));
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return rt::Upper(rt::Left(a, 16)) < rt::Upper(rt::Left(b, 16));
  });
  list = names;
  return list;
}

gui::HFONT KwLoadFont(const std::string& face, int32_t height, bool bold, bool italic) {
  gui::LOGFONTA lf;
  std::memset(&lf, 0, sizeof lf);
  lf.lfHeight = height;
  lf.lfWeight = bold ? 700 : 400;
  lf.lfItalic = italic ? 1 : 0;
  lf.lfCharSet = gui::DEFAULT_CHARSET;
  lf.lfOutPrecision = gui::OUT_DEFAULT_PRECIS;
  std::memcpy(lf.lfFaceName, face.data(), std::min<size_t>(face.size(), 31));
  return gui::CreateFontIndirectA(lf);
}

gui::HFONT KwModifyFont(gui::HFONT font, bool bold, bool italic) {
  gui::LOGFONTA lf;
  if (!gui::GetFontObject(font, &lf)) return nullptr;
  lf.lfWeight = bold ? 700 : 400;
  lf.lfItalic = italic ? 1 : 0;
  return gui::CreateFontIndirectA(lf);
}
