// Call stacks list the program's own functions with the line of each call.
#include <gtest/gtest.h>

#include "platform/runtime/callstack.h"

using namespace rt;

namespace stackdemo {

int g_line[8];
std::vector<Activation> g_seen;

// Keeps the compiler from turning the calls into jumps.
[[gnu::noinline]] void After() { asm volatile(""); }

[[gnu::noinline]] void Depth1() { g_line[1] = __LINE__; g_seen = CallStack(5); After(); }
[[gnu::noinline]] void Depth2() { g_line[2] = __LINE__; Depth1(); After(); }
[[gnu::noinline]] void Depth3() { g_line[3] = __LINE__; Depth2(); After(); }
[[gnu::noinline]] void Depth4() { g_line[4] = __LINE__; Depth3(); After(); }
[[gnu::noinline]] void Depth5() { g_line[5] = __LINE__; Depth4(); After(); }
[[gnu::noinline]] void Depth6() { g_line[6] = __LINE__; Depth5(); After(); }
[[gnu::noinline]] void Depth7() { g_line[7] = __LINE__; Depth6(); After(); }

struct Holder {
  [[gnu::noinline]] static std::string NameOfCaller() { return ProcName(1); }
  [[gnu::noinline]] int LineHere() { int l = ProcLine(1); After(); return l; }
};

}  // namespace stackdemo

TEST(CallStack, ListsTheNearestFiveProgramFunctionsWithTheLinesOfTheirCalls) {
  stackdemo::Depth7();
  ASSERT_EQ(stackdemo::g_seen.size(), 5u);
  for (int level = 1; level <= 5; ++level) {
    SCOPED_TRACE(level);
    EXPECT_EQ(stackdemo::g_seen[level - 1].name, "stackdemo::Depth" + std::to_string(level));
    EXPECT_EQ(stackdemo::g_seen[level - 1].line, stackdemo::g_line[level]);
  }
}

TEST(CallStack, LevelsNameMethodsAndEndWithLineZero) {
  EXPECT_EQ(stackdemo::Holder::NameOfCaller(), "stackdemo::Holder::NameOfCaller");
  stackdemo::Holder h;
  int expected = __LINE__ + 1;
  int line = h.LineHere();
  // LineHere's own call of ProcLine is level 1: a line inside this file,
  // right above the test body's call.
  EXPECT_GT(line, 0);
  EXPECT_LT(line, expected);
  EXPECT_EQ(ProcLine(1000), 0);
  EXPECT_EQ(ProcName(1000), "");
}
