#include <gtest/gtest.h>

#include "platform/runtime/error.h"

using namespace rt;

TEST(ErrorBlock, ThrowEvaluatesTheBlockWithTheErrorAndReturnsItsAnswer) {
  std::shared_ptr<Error> seen;
  Value old = SetErrorBlock(CodeBlock([&](const std::vector<Value>& a) -> Value {
    seen = std::dynamic_pointer_cast<Error>(a.at(0).AsObject());
    return Value(true);
  }));
  auto e = std::make_shared<Error>();
  e->GenCode = EG_OPEN;
  EXPECT_TRUE(WantsRetry(e->Throw()));
  EXPECT_EQ(seen, e);
  SetErrorBlock(old);
}

TEST(ErrorBlock, BreakLeavesToTheNearestRecoveryPoint) {
  EXPECT_FALSE(CanBreak());
  bool after = false;
  Value got = Protected([&] {
    EXPECT_TRUE(CanBreak());
    BreakTo(Value("out"));
    after = true;
  });
  EXPECT_FALSE(after);
  EXPECT_EQ(got.AsString(), "out");
  EXPECT_FALSE(CanBreak());
}
