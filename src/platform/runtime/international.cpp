#include "international.h"

#include <langinfo.h>
#include <locale.h>

#include <ctime>

#include "collation.h"
#include "error.h"
#include "strings.h"

namespace rt {

namespace {

InternationalSettings g_settings;

std::string FirstChar(const std::string& s) { return Left(s, 1); }

// One locale value; nullopt when the locale lacks it.
class LocaleReader {
 public:
  LocaleReader() : loc_(newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr))) {}
  ~LocaleReader() {
    if (loc_) freelocale(loc_);
  }
  std::optional<std::string> Read(nl_item item) const {
    if (!loc_) return std::nullopt;
    const char* v = nl_langinfo_l(item, loc_);
    if (!v || !*v) return std::nullopt;
    return std::string(v);
  }

 private:
  locale_t loc_;
};

// Expands the composite conversions of a strftime format.
std::string ExpandFormat(const std::string& f) {
  std::string out;
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] == '%' && i + 1 < f.size()) {
      char c = f[i + 1];
      if (c == 'D') out += "%m/%d/%y";
      else if (c == 'F') out += "%Y-%m-%d";
      else if (c == 'T') out += "%H:%M:%S";
      else if (c == 'R') out += "%H:%M";
      else if (c == 'r') out += "%I:%M:%S %p";
      else out += f.substr(i, 2);
      ++i;
    } else {
      out += f[i];
    }
  }
  return out;
}

// The first character after the first conversion that is not a blank.
std::optional<std::string> Separator(const std::string& fmt) {
  size_t p = fmt.find('%');
  if (p == std::string::npos) return std::nullopt;
  for (size_t i = p + 2; i < fmt.size() && fmt[i] != '%'; ++i)
    if (fmt[i] != ' ') return FirstChar(fmt.substr(i));
  return std::nullopt;
}

// The short date pattern in the day/month/year letters ("dd.MM.yyyy").
std::string DatePattern(const std::string& fmt) {
  std::string out;
  for (size_t i = 0; i < fmt.size(); ++i) {
    if (fmt[i] == '%' && i + 1 < fmt.size()) {
      char c = fmt[++i];
      if (c == 'd' || c == 'e') out += "dd";
      else if (c == 'm') out += "MM";
      else if (c == 'Y') out += "yyyy";
      else if (c == 'y') out += "yy";
    } else {
      out += fmt[i];
    }
  }
  return out;
}

// 0 = month first, 1 = day first, 2 = year first.
std::optional<int> DateOrder(const std::string& fmt) {
  for (size_t i = 0; i + 1 < fmt.size(); ++i) {
    if (fmt[i] != '%') continue;
    char c = fmt[++i];
    if (c == 'm') return 0;
    if (c == 'd' || c == 'e') return 1;
    if (c == 'Y' || c == 'y') return 2;
  }
  return std::nullopt;
}

void ReadLocale(InternationalSettings& s) {
  LocaleReader locale;
  s.decimalSep = FirstChar(locale.Read(RADIXCHAR).value_or("."));
  s.thousandsSep = FirstChar(locale.Read(THOUSEP).value_or(","));

  auto timeFmt = locale.Read(T_FMT);
  std::string tf = timeFmt ? ExpandFormat(*timeFmt) : std::string();
  s.timeSep = timeFmt ? Separator(tf).value_or(":") : ":";
  bool twelveHour = !timeFmt || tf.find("%I") != std::string::npos || tf.find("%l") != std::string::npos;
  s.amPm = twelveHour;
  s.amSuffix = " " + locale.Read(AM_STR).value_or("am");
  s.pmSuffix = " " + locale.Read(PM_STR).value_or("pm");

  auto dateFmt = locale.Read(D_FMT);
  std::string df = dateFmt ? ExpandFormat(*dateFmt) : std::string();
  int order = dateFmt ? DateOrder(df).value_or(0) : 0;
  std::string sep = dateFmt ? Separator(df).value_or("/") : "/";
  std::string pattern = Upper(dateFmt ? DatePattern(df) : std::string("mm/dd/yy"));
  std::string year = pattern.find("YYYY") != std::string::npos ? "YYYY" : "YY";
  if (order == 1) s.dateFormat = "DD" + sep + "MM" + sep + year;
  else if (order == 2) s.dateFormat = year + sep + "MM" + sep + "DD";
  else s.dateFormat = "MM" + sep + "DD" + sep + year;

  auto frac = locale.Read(FRAC_DIGITS);
  // The locale marks a missing value with CHAR_MAX (or -1 where char is signed).
  int digits = frac ? static_cast<unsigned char>((*frac)[0]) : -1;
  s.decimals = (digits >= 0 && digits < 100) ? digits : 2;
}

Symbol ModeName(int flag) {
  if (flag == 1) return Symbol("WINDOWS");
  if (flag == 2) return Symbol("BINARY");
  return Symbol("COMPATIBLE");
}

}  // namespace

const InternationalSettings& International() { return g_settings; }

Symbol SetInternational() { return ModeName(g_settings.flag); }

Symbol SetInternational(const Symbol& mode) {
  Symbol previous = ModeName(g_settings.flag);
  if (mode.name == "WINDOWS") {
    g_settings.flag = 1;
    // A failure while reading ends the reading; the caller's block comes back.
    Value oldBlock = SetErrorBlock(CodeBlock([](const std::vector<Value>& a) -> Value {
      BreakTo(a.empty() ? Value() : a[0]);
    }));
    Protected([] { ReadLocale(g_settings); });
    SetErrorBlock(oldBlock);
    g_settings.collation = true;
    SetCollation("WINDOWS");
    g_settings.century = true;
    g_settings.epoch = 1910;
  } else if (mode.name == "BINARY") {
    g_settings.flag = 2;
  } else if (mode.name == "COMPATIBLE") {
    g_settings.flag = 0;
  } else {
    auto e = std::make_shared<Error>();
    e->SubSystem = "International";
    e->GenCode = EG_BADNAME;
    e->CanDefault = true;
    e->Arg = mode.name;
    e->Operation = "SetInternational";
    e->Throw();
  }
  return previous;
}

std::string DToC(Date date) {
  const auto& s = g_settings;
  int y = 0, m = 0, d = 0;
  if (!date.empty()) date.ToYmd(y, m, d);
  std::string out;
  const std::string& f = s.dateFormat;
  for (size_t i = 0; i < f.size();) {
    auto two = [&](int v) { return date.empty() ? std::string("  ") : PadL(NumToText(v), 2, '0'); };
    if (f.compare(i, 4, "YYYY") == 0 || (f.compare(i, 2, "YY") == 0 && s.century)) {
      out += date.empty() ? std::string("    ") : PadL(NumToText(y), 4, '0');
      i += f.compare(i, 4, "YYYY") == 0 ? 4 : 2;
    } else if (f.compare(i, 2, "YY") == 0) {
      out += two(y % 100);
      i += 2;
    } else if (f.compare(i, 2, "MM") == 0) {
      out += two(m);
      i += 2;
    } else if (f.compare(i, 2, "DD") == 0) {
      out += two(d);
      i += 2;
    } else {
      out += f[i++];
    }
  }
  return out;
}

std::string TimeText() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[16];
  std::strftime(buf, sizeof buf, "%H:%M:%S", &tm);
  return buf;
}

Date Today() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return Date::FromYmd(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

}  // namespace rt
