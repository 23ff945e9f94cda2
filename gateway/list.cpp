// bipedkin_list: prints the one list of evaluators, one row a line, as
//   NAME KIND
// (KIND is gateway or runtime), for builds that do not go through CMake
// (octave/build_mex.m compiles and runs it).
#include <cstdio>

#include "gateway/rows.hpp"

int main() {
  for (const bipedkin::gateway::Evaluator& e : bipedkin::gateway::evaluators) {
    std::printf("%s %s\n", e.name, e.kind == bipedkin::gateway::Kind::runtime ? "runtime" : "gateway");
  }
  return 0;
}
