// Reads what a PDF shows through pdftotext: words with their boxes (in
// points, origin top left of the page) per page, or the page text in layout.
#pragma once
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

namespace testpdf {

struct Word {
  double xMin, yMin, xMax, yMax;
  std::string text;   // UTF-8
};
using Page = std::vector<Word>;

inline std::string RunCommand(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

inline std::string Unescape(std::string s) {
  const std::pair<const char*, const char*> entities[] = {{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
  for (auto [from, to] : entities)
    for (size_t p = 0; (p = s.find(from, p)) != std::string::npos; p += std::string(to).size())
      s.replace(p, std::string(from).size(), to);
  return s;
}

// Every page of the PDF with its words, in reading order.
inline std::vector<Page> Words(const std::string& pdfPath) {
  std::string xml = RunCommand("pdftotext -bbox '" + pdfPath + "' - 2>/dev/null");
  std::vector<Page> pages;
  static const std::regex word(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">(.*?)</word>)re");
  size_t pos = 0;
  while ((pos = xml.find("<page ", pos)) != std::string::npos) {
    size_t end = xml.find("</page>", pos);
    std::string body = xml.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    Page page;
    for (std::sregex_iterator it(body.begin(), body.end(), word), stop; it != stop; ++it)
      page.push_back({std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4]), Unescape((*it)[5])});
    pages.push_back(std::move(page));
    if (end == std::string::npos) break;
    pos = end;
  }
  return pages;
}

// The text of one page (1-based) with pdftotext -layout.
inline std::string LayoutText(const std::string& pdfPath, int page) {
  return RunCommand("pdftotext -layout -f " + std::to_string(page) + " -l " + std::to_string(page) + " '" + pdfPath + "' - 2>/dev/null");
}

inline int PageCount(const std::string& pdfPath) {
  std::string info = RunCommand("pdfinfo '" + pdfPath + "' 2>/dev/null");
  std::smatch m;
  static const std::regex pages(R"(Pages:\s+(\d+))");
  return std::regex_search(info, m, pages) ? std::stoi(m[1]) : -1;
}

}  // namespace testpdf
