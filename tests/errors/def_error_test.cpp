// The default error handler: its text, the network rule, the box and what
// each answer does.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "errors/def_error.h"
#include "platform/db/workarea.h"
#include "platform/gui/message_box.h"
#include "platform/runtime/international.h"
#include "platform/runtime/strings.h"
#include "support/work_dir.h"

using namespace rt;
using errors::DefError;
using errors::ErrorText;

namespace {

std::shared_ptr<Error> MakeError(uint32_t gencode) {
  auto e = std::make_shared<Error>();
  e->GenCode = gencode;
  return e;
}

// An error whose box answers "default" when nobody scripted an answer.
std::shared_ptr<Error> DefaultableError(uint32_t gencode) {
  auto e = MakeError(gencode);
  e->CanDefault = true;
  return e;
}

std::vector<std::string> Captions(const gui::MessageBoxRequest& r) {
  std::vector<std::string> out;
  for (const auto& b : r.customButtons) out.push_back(b.first);
  return out;
}

// Every test runs in a fresh work directory with the handler as the block.
class DefErrorTest : public testing::Test {
 protected:
  void SetUp() override {
    oldBlock_ = SetErrorBlock(errors::DefErrorBlock());
    SetNetErr(false);
  }
  void TearDown() override {
    SetErrorBlock(oldBlock_);
    SetNetErr(false);
  }
  testsupport::TempWorkDir dir_;
  gui::ScopedScriptedBoxes boxes_;
  Value oldBlock_;
};

class Other : public Object {
 public:
  std::string ClassName() const override { return "OTHER"; }
};

}  // namespace

TEST(ErrorText, LinesFollowTheirConditions) {
  struct Case {
    const char* name;
    std::function<void(Error&)> fill;
    std::string text;
  };
  const std::string sixty = "/srv/data/very/long/folder/name/for/testing/FORM_TABLE.DBF_X";
  ASSERT_EQ(sixty.size(), 60u);
  const Case cases[] = {
      {"GenCode 0 with a one-word description",
       [](Error& e) { e.Description = "Boom"; },
       "Error Code:  Boom\r\nDescription: Boom\r\n"},
      {"a warning",
       [](Error& e) { e.Severity = 1; e.GenCode = 21; },
       "WARNING :  21 [ OPEN ERROR ]\r\n"},
      {"a 60-character file name is cut to 40",
       [&](Error& e) { e.GenCode = 21; e.FileName = sixty; },
       "Error Code:  21 [ OPEN ERROR ]\r\nFilename: " + sixty.substr(0, 40) + "\r\n"},
      {"every line",
       [](Error& e) {
         e.GenCode = 33; e.SubSystem = "DBFCDX"; e.SubCode = 1021; e.SubCodeText = "wrong type";
         e.Operation = "FieldPut"; e.FuncSym = Symbol("FieldPut"); e.FileName = "FORM.DBF";
         e.Arg = "abc"; e.ArgType = 7; e.ArgNum = 2; e.ArgTypeReq = 1; e.Description = "Bad value";
       },
       "Error Code:  33 [ DATA TYPE ERROR ]\r\nSubsystem: DBFCDX\r\nError Subcode: 1021 (wrong type)\r\n"
       "Operation: FieldPut\r\nFunction: FIELDPUT\r\nFilename: FORM.DBF\r\nArgument: abc\r\nType: STRING\r\n"
       "Argument Number: 2\r\nRequested type: LONGINT\r\nDescription: Bad value\r\n"},
      {"a subcode without text, a type without an argument, the same requested type",
       [](Error& e) { e.GenCode = 1; e.SubCode = 7; e.ArgType = 1; e.ArgTypeReq = 1; },
       "Error Code:  1 [ ARGUMENT ERROR ]\r\nError Subcode: 7\r\n"},
      {"an argument without a type",
       [](Error& e) { e.GenCode = 1; e.Arg = "NIL"; e.ArgTypeReq = 7; },
       "Error Code:  1 [ ARGUMENT ERROR ]\r\nArgument: NIL\r\nRequested type: STRING\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Error e;
    c.fill(e);
    EXPECT_EQ(ErrorText(e), c.text);
  }
}

TEST_F(DefErrorTest, NetworkRuleAnswersDefaultWithoutABoxOnlyWhenADefaultIsAllowed) {
  struct Case { uint32_t gen, os; bool canDefault, silent; };
  const Case cases[] = {
      {21, 32, true, true}, {21, 33, true, true}, {40, 0, true, true},
      {21, 32, false, false}, {21, 33, false, false}, {40, 0, false, false}, {21, 2, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.gen << "/" << c.os << "/" << c.canDefault);
    boxes_->clear();
    SetNetErr(false);
    auto e = MakeError(c.gen);
    e->OsCode = c.os;
    e->CanDefault = c.canDefault;
    boxes_->Answer(errors::ANSWER_DEFAULT);
    Value answer = e->Throw();
    EXPECT_EQ(NetErr(), c.silent);
    EXPECT_EQ(boxes_->shown().size(), c.silent ? 0u : 1u);
    EXPECT_EQ(dir_.Exists("ZXERROR.LOG"), !c.silent);
    if (c.silent) {
      ASSERT_TRUE(answer.IsLogic());
      EXPECT_FALSE(answer.AsLogic());
    }
  }
}

TEST_F(DefErrorTest, TheBoxOffersWhatTheErrorAllowsAndEachAnswerActs) {
  struct Case {
    const char* name;
    bool canDefault, canRetry, canSubstitute;
    uint32_t gencode, substituteType;
    int answer;
    std::vector<std::string> captions;
    Type resultType;
    bool result;
  };
  const Case cases[] = {
      {"default", true, true, false, 21, 0, 1, {"Default", "Retry", "Quit"}, Type::Logic, false},
      {"retry", false, true, false, 21, 0, 2, {"Retry", "Quit"}, Type::Logic, true},
      {"substitute a string", false, false, true, 33, 7, 1, {"Default", "Quit"}, Type::String, false},
      {"substitute a number", true, false, true, 33, 1, 1, {"Default", "Quit"}, Type::Long, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    boxes_->clear();
    auto e = MakeError(c.gencode);
    e->CanDefault = c.canDefault;
    e->CanRetry = c.canRetry;
    e->CanSubstitute = c.canSubstitute;
    e->SubstituteType = c.substituteType;
    boxes_->Answer(c.answer);
    Value v = e->Throw();
    ASSERT_EQ(boxes_->shown().size(), 1u);
    EXPECT_EQ(boxes_->shown()[0].title, "ERROR");
    EXPECT_EQ(Captions(boxes_->shown()[0]), c.captions);
    EXPECT_EQ(v.type(), c.resultType);
    if (c.resultType == Type::Logic) {
      EXPECT_EQ(v.AsLogic(), c.result);
    } else {
      EXPECT_EQ(v.ToText(), c.resultType == Type::String ? "" : "0");
    }
  }
}

TEST_F(DefErrorTest, GenCode14OffersNoRetryAndClearsCanRetry) {
  auto e = MakeError(14);
  e->CanRetry = true;
  e->CanDefault = true;
  e->Throw();
  ASSERT_EQ(boxes_->shown().size(), 1u);
  EXPECT_EQ(Captions(boxes_->shown()[0]), (std::vector<std::string>{"Default", "Quit"}));
  EXPECT_FALSE(e->CanRetry);
}

TEST_F(DefErrorTest, AWarningWithAPointerSubstituteKeepsItsCaptionButReadsAsAnError) {
  auto e = MakeError(0);
  e->Severity = 1;
  e->SubstituteType = 18;
  e->Description = "Careful";
  e->CanDefault = true;
  e->Throw();
  ASSERT_EQ(boxes_->shown().size(), 1u);
  EXPECT_EQ(boxes_->shown()[0].title, "WARNING");
  EXPECT_EQ(boxes_->shown()[0].text.rfind("Error Code:  Careful\n", 0), 0u) << boxes_->shown()[0].text;
  EXPECT_EQ(e->Severity, 3u);
}

TEST_F(DefErrorTest, QuitWithARecoveryPointBreaksToItWithTheError) {
  auto e = MakeError(21);
  e->CanRetry = true;
  bool after = false;
  boxes_->Answer(errors::ANSWER_QUIT);
  Value got = Protected([&] {
    e->Throw();
    after = true;
  });
  EXPECT_FALSE(after);
  EXPECT_EQ(got.AsObject(), e);
  ASSERT_EQ(boxes_->shown().size(), 1u);
  EXPECT_EQ(Captions(boxes_->shown()[0]), (std::vector<std::string>{"Retry", "Cancel"}));
}

TEST_F(DefErrorTest, QuitWithoutARecoveryPointClosesTheWorkAreasAndExitsWithGenCode) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto quit = [] {
    SetCloseAllWorkAreas([] { std::fputs("work areas closed\n", stderr); });
    gui::ScopedScriptedBoxes boxes;
    boxes->Answer(errors::ANSWER_QUIT);
    auto e = MakeError(21);
    e->CanRetry = true;
    e->Throw();
    std::fputs("came back\n", stderr);
  };
  EXPECT_EXIT(quit(), testing::ExitedWithCode(21), "work areas closed");
}

TEST_F(DefErrorTest, ARetriedOperationRunsUntilTheOperatorStopsRetrying) {
  // An open of a table that is a folder fails; the operator retries twice
  // and then takes the default.
  std::filesystem::create_directory(dir_.File("FORM.DBF"));
  boxes_->Answer(errors::ANSWER_RETRY);
  boxes_->Answer(errors::ANSWER_RETRY);
  boxes_->Answer(errors::ANSWER_DEFAULT);
  int attempts = 0;
  for (;;) {
    ++attempts;
    FILE* f = std::fopen("FORM.DBF", "r+b");
    if (f) { std::fclose(f); break; }
    auto e = MakeError(EG_OPEN);
    e->OsCode = errno;
    e->FileName = dir_.File("FORM.DBF");
    e->CanRetry = e->CanDefault = true;
    e->Tries = attempts;
    if (!WantsRetry(e->Throw())) break;
  }
  EXPECT_EQ(attempts, 3);
  EXPECT_EQ(boxes_->shown().size(), 3u);
}

namespace callchain {
int g_line[8];
[[gnu::noinline]] void After() { asm volatile(""); }
[[gnu::noinline]] void Raise1() {
  auto e = MakeError(21);
  e->CanDefault = true;
  g_line[1] = __LINE__; e->Throw(); After();
}
[[gnu::noinline]] void Raise2() { g_line[2] = __LINE__; Raise1(); After(); }
[[gnu::noinline]] void Raise3() { g_line[3] = __LINE__; Raise2(); After(); }
[[gnu::noinline]] void Raise4() { g_line[4] = __LINE__; Raise3(); After(); }
[[gnu::noinline]] void Raise5() { g_line[5] = __LINE__; Raise4(); After(); }
[[gnu::noinline]] void Raise6() { g_line[6] = __LINE__; Raise5(); After(); }
[[gnu::noinline]] void Raise7() { g_line[7] = __LINE__; Raise6(); After(); }
}  // namespace callchain

TEST_F(DefErrorTest, ADeepCallStackShowsExactlyTheFiveNearestCallers) {
  callchain::Raise7();
  ASSERT_EQ(boxes_->shown().size(), 1u);
  std::string expected = "Error Code:  21 [ OPEN ERROR ]\nCallStack: \n";
  for (int level = 1; level <= 5; ++level)
    expected += "callchain::Raise" + std::to_string(level) + " (Line: " + std::to_string(callchain::g_line[level]) + ")\n";
  EXPECT_EQ(boxes_->shown()[0].text, expected);
  // The log holds the same text with CR LF line ends.
  std::string log = dir_.Read("ZXERROR.LOG");
  std::string crlf;
  for (char ch : expected) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  EXPECT_NE(log.find("Error message:\r\n--------------\r\n" + crlf + "\r\nError Object created:"), std::string::npos) << log;
}

TEST_F(DefErrorTest, AnObjectOfAnotherClassBecomesAWrongClassError) {
  boxes_->Answer(errors::ANSWER_DEFAULT);
  Value v = EvalErrorBlock(Value(std::static_pointer_cast<Object>(std::make_shared<Other>())));
  EXPECT_FALSE(v.AsLogic());
  ASSERT_EQ(boxes_->shown().size(), 1u);
  const std::string& text = boxes_->shown()[0].text;
  EXPECT_EQ(text.rfind("Error Code:  28 [ WRONG CLASS ]\nFunction: DEFERROR\nArgument: {OTHER}\nArgument Number: 1\n", 0), 0u)
      << text;
  EXPECT_EQ(Captions(boxes_->shown()[0]), (std::vector<std::string>{"Default", "Quit"}));
}

TEST_F(DefErrorTest, BeepsThreeTonesOnlyWhenSwitchedOnAndLogsOnlyWhenTheLogIsOn) {
  std::vector<std::pair<int, int>> tones;
  SetToneOutput([&](int hz, int d) { tones.emplace_back(hz, d); });
  EXPECT_FALSE(Beep());  // off by default
  EXPECT_TRUE(ErrorLog());  // on by default
  DefaultableError(21)->Throw();
  EXPECT_TRUE(tones.empty());
  EXPECT_TRUE(dir_.Exists("ZXERROR.LOG"));

  std::filesystem::remove(dir_.File("ZXERROR.LOG"));
  SetBeep(true);
  SetErrorLog(false);
  DefaultableError(21)->Throw();
  SetBeep(false);
  SetErrorLog(true);
  SetToneOutput(nullptr);
  EXPECT_EQ(tones, (std::vector<std::pair<int, int>>{{440, 1}, {494, 1}, {523, 1}}));
  EXPECT_FALSE(dir_.Exists("ZXERROR.LOG"));
  EXPECT_EQ(boxes_->shown().size(), 2u);
}

TEST_F(DefErrorTest, ALogThatCannotBeOpenedIsSkippedAndTheBoxStillShows) {
  std::filesystem::create_directory(dir_.File("ZXERROR.LOG"));
  DefaultableError(21)->Throw();
  EXPECT_EQ(boxes_->shown().size(), 1u);
  EXPECT_TRUE(std::filesystem::is_directory(dir_.File("ZXERROR.LOG")));
}

TEST(DefErrorGen, FillsAnErrorFromARecordOrComplainsAboutAMissingOne) {
  gui::ScopedScriptedBoxes boxes;
  ErrorRecord r;
  r.GenCode = 20;
  r.FileName = "ARTICLE.DBF";
  r.CanRetry = 1;
  auto e = errors::DefErrorGen(&r);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->GenCode, 20u);
  EXPECT_EQ(e->FileName, "ARTICLE.DBF");
  EXPECT_TRUE(e->CanRetry);
  EXPECT_TRUE(boxes->shown().empty());

  auto empty = errors::DefErrorGen(nullptr);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->GenCode, 0u);
  ASSERT_EQ(boxes->shown().size(), 1u);
  EXPECT_EQ(boxes->shown()[0].text, "Error structure has wrong tag");
  EXPECT_EQ(boxes->shown()[0].title, "FROM DefErrorGen");
}

TEST(StartErrorSystem, InstallsTheHandlerOnlyWhenNoBlockIsSetAndRegistersTheConverter) {
  testsupport::TempWorkDir dir;
  gui::ScopedScriptedBoxes boxes;
  Value previous = SetErrorBlock(Value());
  ErrorConverter previousConverter = SetErrorFunc(nullptr);

  errors::StartErrorSystem();
  EXPECT_FALSE(ErrorBlock().IsNil());
  EXPECT_TRUE(HasErrorFunc());
  EXPECT_EQ(SetInternational().name, "WINDOWS");
  ErrorRecord r;
  r.GenCode = 24;
  r.CanDefault = 1;
  RaiseInternal(r);
  ASSERT_EQ(boxes->shown().size(), 1u);
  EXPECT_EQ(boxes->shown()[0].text.rfind("Error Code:  24 [ WRITE ERROR ]\n", 0), 0u);
  EXPECT_TRUE(dir.Exists("ZXERROR.LOG"));

  // The tables are closed when the program ends after an error.
  ASSERT_TRUE(db::DbCreate(dir.File("T.DBF"), {{"NAME", 'C', 10}}));
  ASSERT_TRUE(db::DbUseArea(dir.File("T.DBF")));
  ASSERT_TRUE(db::AliasUsed("T"));
  CloseAllWorkAreas();
  EXPECT_FALSE(db::AliasUsed("T"));
  EXPECT_EQ(db::Alias(), "");

  // A block already in force stays.
  int mine = 0;
  SetErrorBlock(CodeBlock([&](const std::vector<Value>&) { ++mine; return Value(false); }));
  errors::StartErrorSystem();
  DefaultableError(21)->Throw();
  EXPECT_EQ(mine, 1);
  EXPECT_EQ(boxes->shown().size(), 1u);

  SetErrorBlock(previous);
  SetErrorFunc(previousConverter);
  SetToneOutput(nullptr);
  SetCloseAllWorkAreas(nullptr);
  SetInternational(Symbol("COMPATIBLE"));
}
