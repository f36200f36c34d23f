// Internal error records become Error objects field by field.
#include <gtest/gtest.h>

#include "platform/runtime/error_record.h"

using namespace rt;

TEST(ErrorRecord, FillsEveryFieldInOrderAndArgsFromTheLargerCount) {
  Value args[3] = {Value(int32_t(7)), Value("x"), Value(true)};
  ErrorArgBlock block{2, 3, args};
  int target = 0;
  ErrorRecord r;
  r.SubSystem = "DBFCDX";
  r.SubCode = 1001;
  r.GenCode = EG_OPEN;
  r.OsCode = 2;
  r.Severity = 2;
  r.CanDefault = 5;  // any nonzero value is true
  r.CanRetry = 0;
  r.CanSubstitute = 1;
  r.Operation = "DBUSEAREA";
  r.Description = "Cannot open";
  r.FileName = "FORM.DBF";
  r.Args = &block;
  r.Tries = 3;
  r.FuncSym = "dbUseArea";
  r.FileHandle = 9;
  r.ArgNum = 2;
  r.FuncPtr = &target;
  r.SubCodeText = "no file";
  r.Arg = "FORM";
  r.ArgType = 7;
  r.ArgTypeReq = 1;
  r.MaxSize = 255;
  r.SubstituteType = 8;
  r.Choice = 4;
  r.CallFuncSym = "Start";

  Error e;
  FillError(e, r);
  EXPECT_EQ(e.SubSystem, "DBFCDX");
  EXPECT_EQ(e.SubCode, 1001u);
  EXPECT_EQ(e.GenCode, 21u);
  EXPECT_EQ(e.OsCode, 2u);
  EXPECT_EQ(e.Severity, 2u);
  EXPECT_TRUE(e.CanDefault);
  EXPECT_FALSE(e.CanRetry);
  EXPECT_TRUE(e.CanSubstitute);
  EXPECT_EQ(e.Operation, "DBUSEAREA");
  EXPECT_EQ(e.Description, "Cannot open");
  EXPECT_EQ(e.FileName, "FORM.DBF");
  ASSERT_EQ(e.Args.size(), 3u);
  EXPECT_EQ(e.Args[0].AsNumber(), 7);
  EXPECT_EQ(e.Args[1].AsString(), "x");
  EXPECT_TRUE(e.Args[2].AsLogic());
  EXPECT_EQ(e.Tries, 3u);
  EXPECT_EQ(e.FuncSym.name, "DBUSEAREA");
  EXPECT_EQ(e.FileHandle, 9u);
  EXPECT_EQ(e.ArgNum, 2u);
  EXPECT_EQ(e.FuncPtr, &target);
  EXPECT_EQ(e.SubCodeText, "no file");
  EXPECT_EQ(e.Arg, "FORM");
  EXPECT_EQ(e.ArgType, 7u);
  EXPECT_EQ(e.ArgTypeReq, 1u);
  EXPECT_EQ(e.MaxSize, 255u);
  EXPECT_EQ(e.SubstituteType, 8u);
  EXPECT_EQ(e.Choice, 4u);
  EXPECT_EQ(e.CallFuncSym.name, "START");
}

TEST(ErrorRecord, NullPointersGiveEmptyFieldsAndAChoiceAlreadySetIsKept) {
  ErrorRecord r;
  r.Choice = 2;
  Error e;
  e.Choice = 1;
  e.Args = {Value("old")};
  FillError(e, r);
  EXPECT_EQ(e.SubSystem, "");
  EXPECT_TRUE(e.Args.empty());
  EXPECT_TRUE(e.FuncSym.empty());
  EXPECT_EQ(e.Choice, 1u);
}

TEST(ErrorRecord, RaiseInternalGoesThroughTheRegisteredConverterAndTheBlock) {
  int converted = 0;
  ErrorConverter old = SetErrorFunc([&](const ErrorRecord* r) {
    ++converted;
    auto e = std::make_shared<Error>();
    FillError(*e, *r);
    e->Cargo = Value("converted");
    return e;
  });
  std::shared_ptr<Error> seen;
  Value oldBlock = SetErrorBlock(CodeBlock([&](const std::vector<Value>& a) -> Value {
    seen = std::dynamic_pointer_cast<Error>(a.at(0).AsObject());
    return Value(true);
  }));
  ErrorRecord r;
  r.GenCode = EG_CREATE;
  EXPECT_TRUE(RaiseInternal(r).AsLogic());
  SetErrorBlock(oldBlock);
  SetErrorFunc(old);
  EXPECT_EQ(converted, 1);
  ASSERT_TRUE(seen);
  EXPECT_EQ(seen->GenCode, 20u);
  EXPECT_EQ(seen->Cargo.AsString(), "converted");
}
