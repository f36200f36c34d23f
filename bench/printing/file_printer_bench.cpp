// Rendering benchmark: the text-file printer laying out a long line-printer
// job into a PDF, side by side with the tools a user would pick instead for
// the same file (paps, enscript with ps2pdf, the CUPS texttopdf filter).
// Each tool runs as its own process; wall time and peak memory are measured
// the same way for all. paps writes PostScript only; its PDF through ps2pdf
// takes about a second a page (its glyphs are outlines), so it is left out.
//
//   file_printer_bench [pages]          the comparison (default 1000 pages)
//   file_printer_bench --render IN OUT  one job through FilePrinter (used by the comparison)
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "measure.h"
#include "platform/print/printing_device.h"
#include "printing/file_printer.h"

namespace {

// A job of `pages` pages of 60 lines of 80 columns, each page ended by a form feed.
void WriteJob(const std::string& path, int pages) {
  std::ofstream out(path, std::ios::binary);
  static const char* const words[] = {"szamla", "osszeg", "datum", "vevo", "cikkszam", "megnevezes",
                                      "mennyiseg", "egysegar", "netto", "brutto", "afa", "raktar"};
  unsigned seed = 12345;
  for (int p = 1; p <= pages; ++p) {
    for (int l = 1; l <= 60; ++l) {
      std::string line;
      while (line.size() < 80) {
        seed = seed * 1103515245 + 12345;
        line += words[(seed >> 16) % 12];
        line += ' ';
      }
      line.resize(80);
      out << line << "\r\n";
    }
    if (p < pages) out << '\f';
  }
}

int Render(const std::string& in, const std::string& out) {
  int argc = 1;
  char name[] = "render";
  char* argv[] = {name, nullptr};
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  print::PrintingDevice file = print::PrintingDevice::ToFile(out);
  FilePrinter printer(in, &file, "bench");
  if (!printer.IsValid()) return 2;
  return printer.Start() ? 0 : 1;
}

int Pages(const std::string& pdf) {
  std::string info = bench::Shell("pdfinfo '" + pdf + "' 2>/dev/null | grep '^Pages:'");
  return info.empty() ? -1 : std::atoi(info.c_str() + 6);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--render") return Render(argv[2], argv[3]);
  const int pages = argc > 1 ? std::atoi(argv[1]) : 1000;
  const std::string dir = std::filesystem::temp_directory_path() / ("rv-render-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string job = dir + "/job.txt", small = dir + "/small.txt";
  WriteJob(job, pages);
  WriteJob(small, pages / 4);
  const std::string self = std::filesystem::canonical("/proc/self/exe");

  struct Tool {
    std::string name, command, output;
    bool pdf;
  };
  const std::vector<Tool> tools = {
      {"FilePrinter (ours)", "'" + self + "' --render '" + job + "' '" + dir + "/ours.pdf'", dir + "/ours.pdf", true},
      {"paps (PostScript only)", "paps --font='Monospace 10' '" + job + "' > '" + dir + "/paps.ps'", dir + "/paps.ps", false},
      {"enscript | ps2pdf", "enscript -B -q -p - '" + job + "' | ps2pdf - '" + dir + "/enscript.pdf'", dir + "/enscript.pdf", true},
      {"CUPS texttopdf", "/usr/lib/cups/filter/texttopdf 1 user job 1 '' '" + job + "' > '" + dir + "/texttopdf.pdf' 2>/dev/null",
       dir + "/texttopdf.pdf", true},
  };
  std::printf("%d-page job, 80 columns, 60 lines a page, form feeds; median of 3 runs\n\n", pages);
  std::printf("%-24s %9s %10s %11s %10s %7s\n", "tool", "seconds", "pages/s", "peak MB", "time ratio", "pages");
  double ours = 0;
  for (const Tool& t : tools) {
    bench::Run r = bench::Median(t.command, 3);
    if (ours == 0) ours = r.seconds;
    int got = t.pdf ? Pages(t.output) : -1;
    std::printf("%-24s %9.2f %10.1f %11.1f %9.2fx %7d%s\n", t.name.c_str(), r.seconds, pages / r.seconds,
                r.peakKb / 1024.0, r.seconds / ours, got, r.status == 0 ? "" : "  (failed)");
    std::fflush(stdout);
  }
  // Peak memory must not grow with the number of pages.
  bench::Run quarter = bench::Measure("'" + self + "' --render '" + small + "' '" + dir + "/small.pdf'");
  bench::Run whole = bench::Measure("'" + self + "' --render '" + job + "' '" + dir + "/ours2.pdf'");
  std::printf("\nFilePrinter peak memory: %d pages %.1f MB, %d pages %.1f MB\n", pages / 4, quarter.peakKb / 1024.0,
              pages, whole.peakKb / 1024.0);
  std::printf("time ratio = tool time / FilePrinter time (above 1: FilePrinter is faster)\n");
  std::filesystem::remove_all(dir);
  return 0;
}
