#include "printing/file_printer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/runtime/codepage.h"
#include "platform/runtime/error.h"
#include "platform/runtime/strings.h"
#include "printing/printer_globals.h"

namespace {

constexpr char kFormFeed = '\f';
constexpr unsigned char kSingleLine = 196;   // OEM box drawing: single horizontal line
constexpr unsigned char kDoubleLine = 205;   // OEM box drawing: double horizontal line

// OEM (CP852) byte -> Unicode character.
const std::array<char32_t, 256>& OemTable() {
  static const std::array<char32_t, 256> table = [] {
    std::array<char32_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
      QString s = QString::fromStdString(rt::FromCodePage(std::string(1, char(b)), rt::CodePage::Oem852));
      t[b] = s.isEmpty() ? char32_t(b) : char32_t(s.toUcs4().value(0));
    }
    return t;
  }();
  return table;
}

// True when no other process has the file open (the exclusive open of the
// job file): a write lease is granted only then. Where the lease is refused
// for ownership, the open files of all processes are looked at.
bool NobodyElseHasOpen(int fd, const std::string& path) {
  struct sigaction old {};
  sigaction(SIGIO, nullptr, &old);
  if (old.sa_handler == SIG_DFL) signal(SIGIO, SIG_IGN);   // a lease break must not end the process
  if (fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
    fcntl(fd, F_SETLEASE, F_UNLCK);
    return true;
  }
  if (errno == EAGAIN) return false;
  std::error_code ec;
  auto target = std::filesystem::canonical(path, ec);
  if (ec) return true;
  const std::string self = std::to_string(getpid());
  for (const auto& proc : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string pid = proc.path().filename();
    if (pid.empty() || !isdigit(static_cast<unsigned char>(pid[0])) || pid == self) continue;
    std::error_code fe;
    for (const auto& link : std::filesystem::directory_iterator(proc.path() / "fd", fe)) {
      std::error_code le;
      if (std::filesystem::read_symlink(link.path(), le) == target) return false;
    }
  }
  return true;
}

}  // namespace

// The lines of the job file, up to CR LF each, with room to put back what
// followed a form feed.
class FilePrinter::LineSource {
 public:
  explicit LineSource(int fd) : fd_(fd), buffer_(1 << 16) {}

  // The next line without its CR LF; false at the end of the file.
  bool Next(std::string& line) {
    if (pushedBack_) {
      line = std::move(*pushedBack_);
      pushedBack_.reset();
      return true;
    }
    line.clear();
    bool any = false;
    for (;;) {
      if (pos_ == len_ && !Fill()) return any;
      any = true;
      const char* from = buffer_.data() + pos_;
      const char* end = buffer_.data() + len_;
      const char* lf = static_cast<const char*>(std::memchr(from, '\n', size_t(end - from)));
      if (!lf) {
        line.append(from, size_t(end - from));
        pos_ = len_;
        continue;
      }
      line.append(from, size_t(lf - from));
      pos_ = size_t(lf - buffer_.data()) + 1;
      if (!line.empty() && line.back() == '\r') {
        line.pop_back();
        return true;
      }
      line += '\n';   // a lone LF is an ordinary character of the line
    }
  }
  void PutBack(std::string rest) { pushedBack_ = std::move(rest); }
  bool AtEnd() {
    return !pushedBack_ && pos_ == len_ && !Fill();
  }

 private:
  bool Fill() {
    if (eof_) return false;
    ssize_t got;
    do got = read(fd_, buffer_.data(), buffer_.size());
    while (got < 0 && errno == EINTR);
    if (got <= 0) {
      eof_ = true;
      return false;
    }
    pos_ = 0;
    len_ = size_t(got);
    return true;
  }
  int fd_;
  std::vector<char> buffer_;
  size_t pos_ = 0, len_ = 0;
  bool eof_ = false;
  std::optional<std::string> pushedBack_;
};

FilePrinter::FilePrinter(const std::string& fileName, const print::PrintingDevice* device, const std::string& jobName)
    : print::Printer(jobName.empty() ? fileName : jobName, device && device->IsValid() ? device : nullptr) {
  Valid = print::Printer::IsValid();
  if (!Valid) return;
  SetTextOnly(true);   // every line goes out through TextPrint or TextPrintAt
  struct stat st;
  if (fileName.empty() || stat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) Valid = false;
  JobFileName = fileName;
  CanvasTop = uint32_t(CanvasArea().Top());
  FontFace = "Courier New";
  PixelsPerInchX = uint32_t(print::GetDeviceCaps(Handle(), print::LOGPIXELSX));
  PixelsPerInchY = uint32_t(print::GetDeviceCaps(Handle(), print::LOGPIXELSY));
  SetFontSize(10, 6);
}

FilePrinter::~FilePrinter() { Destroy(); }

void FilePrinter::Destroy() {
  Lines.reset();
  if (JobFileHandle >= 0) {
    close(JobFileHandle);
    JobFileHandle = -1;
  }
}

void FilePrinter::SetFontSize(std::optional<double> charsPerInch, std::optional<double> linesPerInch) {
  if (charsPerInch && *charsPerInch > 0) CharsPerInch = *charsPerInch;
  if (linesPerInch && *linesPerInch > 0) LinesPerInch = *linesPerInch;
  const double c = CharsPerInch, l = LinesPerInch;
  FontDimension = print::Dimension(int(PixelsPerInchX / c), int(PixelsPerInchY / l));
  SetFont(print::Font(print::FONTMODERN, FontDimension, FontFace));
  LineHeight = uint32_t(SizeText("TestText").Height);
  const uint32_t fitting = LineHeight ? uint32_t(CanvasArea().Height()) / LineHeight : 0;
  if (LinesToDrop > fitting) {
    // More lines to take off than fit on the page.
    auto e = std::make_shared<rt::Error>();
    e->SubSystem = "BASE";
    e->GenCode = rt::EG_OVERFLOW;
    e->Severity = 2;
    e->CanDefault = true;
    e->Operation = "FilePrinter:SetFontSize";
    e->Description = rt::GenCodeText(rt::EG_OVERFLOW);
    e->Throw();
    LinesPerPage = 0;
  } else {
    LinesPerPage = fitting - LinesToDrop;
  }
  CharAdvance = uint32_t(PixelsPerInchX / c) - 1;
}

std::string FilePrinter::FontName(const std::string& name) {
  std::string previous = FontFace;
  FontFace = name;
  SetFontSize();
  return previous;
}

uint32_t FilePrinter::PageLenAdjust(uint32_t lines) {
  uint32_t previous = LinesToDrop;
  LinesToDrop = lines;
  return previous;
}

bool FilePrinter::Start(int fromPage, int toPage) {
  if (JobFileName.empty() || JobFileHandle >= 0) return false;
  int fd = open(JobFileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  if (!NobodyElseHasOpen(fd, JobFileName)) {
    close(fd);
    return false;
  }
  JobFileHandle = fd;
  Lines = std::make_unique<LineSource>(fd);
  PendingLine.clear();
  return print::Printer::Start(fromPage, toPage);
}

bool FilePrinter::PrinterExpose(int) {
  if (!Lines) return false;
  int y = int(CanvasTop) - int(LineHeight);
  const int margin = gnFileLeftMargin == 1 ? 1 : 2;
  SetFontSize(10, 6);
  bool condensed = false;
  bool endOfJob = false;
  bool pageBreak = false;
  // A page that holds no line would never reach the end of the file.
  if (LinesPerPage == 0) return false;
  const auto& oem = OemTable();
  std::string raw;
  std::u32string line;
  for (uint32_t n = 1; n <= LinesPerPage; ++n) {
    if (!PendingLine.empty()) {
      raw = PendingLine;
    } else if (!Lines->Next(raw)) {
      endOfJob = true;
      break;
    }
    if (size_t ff = raw.find(kFormFeed); ff != std::string::npos) {
      pageBreak = true;
      std::string rest = raw.substr(ff + 1);
      raw.resize(ff);
      // The next page goes on with what followed the form feed.
      if (rest.empty() && Lines->AtEnd()) endOfJob = true;
      else Lines->PutBack(std::move(rest));
    }
    if (raw.size() >= 3 && static_cast<unsigned char>(raw[2]) == kSingleLine) {
      raw.assign(raw.size(), '_');
    } else if (raw.size() >= 3 && static_cast<unsigned char>(raw[2]) == kDoubleLine) {
      for (char& ch : raw)
        if (static_cast<unsigned char>(ch) == kDoubleLine) ch = '_';
    }
    line.clear();
    bool heading = false;
    for (unsigned char b : raw) {
      if (b == '\r') continue;
      if (b == '#') heading = true;
      line += oem[b];
    }
    if (heading) DrawHeading(line, margin, y);
    else DrawTextLine(line, margin, y, condensed);
    PendingLine.clear();
    y -= int(LineHeight);
    if (pageBreak) {
      PendingLine = " ";
      break;
    }
  }
  return !endOfJob;
}

void FilePrinter::DrawHeading(const std::u32string& line, int margin, int y) {
  std::u32string text;
  for (char32_t ch : line)
    if (ch != U'#' && ch != U'}') text += ch;
  size_t first = text.find_first_not_of(U' ');
  size_t last = text.find_last_not_of(U' ');
  std::u32string trimmed = first == std::u32string::npos ? U"" : text.substr(first, last - first + 1);
  const size_t n = trimmed.size();
  std::u32string shown;
  if (n < 50) {
    const size_t columns = n < 16 ? 28 : 46;
    SetFontSize(n < 16 ? 4 : 6, 6);
    // Half of the free columns (rounded down) on the left, the rest on the right.
    const size_t free = columns > n ? columns - n : 0;
    shown = std::u32string(free / 2, U' ') + trimmed + std::u32string(free - free / 2, U' ');
  } else {
    SetFontSize(9, 6);
    shown = text;
  }
  QString q = QString::fromUcs4(shown.data(), qsizetype(shown.size()));
  TextPrint(q.toStdString(), print::Point(margin * int(CharAdvance), y));
  SetFontSize(10, 6);
}

void FilePrinter::DrawTextLine(const std::u32string& line, int margin, int y, bool& condensed) {
  SetFontSize(10, 6);
  int x = margin * int(CharAdvance);   // the margin is measured at 10 characters per inch
  if (condensed) SetFontSize(16.5, 6);
  // Characters of one font go out as one positioned run.
  std::u32string chars;
  std::vector<int> xs;
  auto flush = [&] {
    if (!chars.empty()) TextPrintAt(chars, xs, y);
    chars.clear();
    xs.clear();
  };
  for (char32_t ch : line) {
    switch (ch) {
      case U'\n':
      case U'\r':
        break;
      case U'{':
        if (!condensed) {
          flush();
          condensed = true;
          SetFontSize(16.5, 6);
        }
        break;
      case U'}':
        if (condensed) {
          flush();
          condensed = false;
          SetFontSize(10, 6);
        }
        break;
      case U' ':
        x += int(CharAdvance);
        break;
      default:
        chars += ch;
        xs.push_back(x);
        x += int(CharAdvance);
    }
  }
  flush();
}
