// Names and line numbers of the program's own functions on the call stack.
//
// Only the program's code counts: frames of the platform layer, of the error
// handlers and of libraries are left out, so level 1 is the program function
// that raised (or passed on) the error. Needs debug information (-g); without
// it the stack is empty.
#pragma once
#include <string>
#include <vector>

namespace rt {

struct Activation {
  std::string name;  // qualified function name without its parameter list
  int line = 0;      // line of the call inside that function
};

// The program's activations, innermost first, at most maxLevels of them.
std::vector<Activation> CallStack(size_t maxLevels);

// Name and line of the activation `level` levels up (1 = the nearest);
// line 0 and an empty name when there is no such level.
std::string ProcName(int level);
int ProcLine(int level);

}  // namespace rt
