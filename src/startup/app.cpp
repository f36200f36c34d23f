#include "app.h"

#include <QCoreApplication>

#include "platform/db/settings.h"
#include "platform/db/workarea.h"
#include "platform/runtime/collation.h"
#include "platform/runtime/files.h"
#include "platform/runtime/strings.h"
#include "printserver/main_dialog.h"

namespace startup {

namespace {
const std::vector<db::FieldSpec> kFormFields = {
    {"FORMNAME", 'C', 10, 0}, {"LINES", 'N', 3, 0}, {"PHEADER", 'M', 10, 0},
    {"POSITION", 'M', 10, 0}, {"PFOOTER", 'M', 10, 0}};

const std::vector<db::FieldSpec> kArticleFields = {
    {"ARTNO", 'C', 10, 0}, {"DESCRIPT", 'C', 56, 0}, {"PRICE", 'N', 10, 2}};

// Between creating a table and opening it: let waiting window messages
// through. (There is no memory collector to wait for.)
void ProcessWaitingMessages() {
  if (QCoreApplication::instance()) QCoreApplication::processEvents();
}

void CreateFormTable(const std::string& dir) {
  std::string file = dir + "FORM.DBF";
  if (!db::DbCreate(file, kFormFields, "DBFCDX")) return;
  ProcessWaitingMessages();
  if (!db::DbUseArea(file, "DBFCDX", "", false, false)) return;
  std::string alias = db::Alias();
  db::DbAppend();
  db::FieldPutAlias(alias, "FORMNAME", rt::Value("ARTLISTE"));
  db::FieldPutAlias(alias, "LINES", rt::Value(62.0));
  db::FieldPutAlias(alias, "PHEADER", rt::Value(App::SeedHeader()));
  db::FieldPutAlias(alias, "POSITION", rt::Value(App::SeedPosition()));
  db::FieldPutAlias(alias, "PFOOTER", rt::Value(App::SeedFooter()));
  db::DbCommit();
  db::DbSkip(0);
  db::OrdCreate(dir + "FORM.CDX", "FORMNAME", "Upper(FORMNAME)",
                [](const db::RecordView& r) { return rt::Value(rt::Upper(r.FieldGet("FORMNAME").AsString())); });
  db::DbCloseArea();
}

void CreateArticleTable(const std::string& dir) {
  std::string file = dir + "ARTICLE.DBF";
  if (!db::DbCreate(file, kArticleFields, "DBFCDX")) return;
  ProcessWaitingMessages();
  if (!db::DbUseArea(file, "DBFCDX", "", false, false)) return;
  std::string alias = db::Alias();
  for (int i = 1; i <= 100; ++i) {
    db::DbAppend();
    db::FieldPutAlias(alias, "ARTNO", rt::Value(rt::Str(i, 10, 0)));
    db::FieldPutAlias(alias, "DESCRIPT", rt::Value("Description of article " + rt::NumToText(i)));
    db::FieldPutAlias(alias, "PRICE", rt::Value(double(100 - i % 100)));
  }
  db::DbCommit();
  db::OrdCreate(dir + "ARTICLE.CDX", "ARTNO", "ARTNO", [](const db::RecordView& r) { return r.FieldGet("ARTNO"); });
  db::DbCloseArea();
}
}  // namespace

std::string App::SeedHeader() {
  return "@TODAY() @" + std::string(60, ' ') + "Page @S@" + "\r\n" + rt::Centre("List of articles", 78) + "\r\n\r\n" +
         rt::PadR("art.number description", 68) + "price" + "\r\n" + std::string(78, '-');
}

std::string App::SeedPosition() { return rt::PadR("@ARTNO   @ @DESCRIPT", 67) + "@@Str(PRICE)@"; }

std::string App::SeedFooter() { return "Total of articles: @TOTAL@"; }

void App::Prepare() { Prepare(rt::WorkDir()); }

void App::Prepare(const std::string& workDir) {
  // 1. Three-dimensional dialog controls: Qt's widget style draws them; nothing to switch.
  // 2. Table conventions.
  db::SetDeleted(true);
  db::SetExclusive(false);
  db::SetAnsi(true);
  rt::SetCollation("CLASSIC");
  // 3. Default driver.
  db::RddSetDefault("DBFCDX");
  // 4. Work directory.
  std::string dir = rt::WithTrailingSlash(workDir);
  // 5. Form table.
  if (!db::FileExists(dir + "FORM.DBF") || !db::FileExists(dir + "FORM.FPT")) CreateFormTable(dir);
  // 6. Article table.
  if (!db::FileExists(dir + "ARTICLE.DBF")) CreateArticleTable(dir);
}

void App::Start() {
  Prepare();
  // 7. The main dialog, without an owner, modal; returns when it is closed.
  MainDialog dialog;
  dialog.Show();
}

}  // namespace startup
