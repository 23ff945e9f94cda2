// Reads the object code of one function of a shared library (objdump -d,
// x86-64) and reports everything that keeps it from being straight-line
// code: a branch that closes a cycle of its control flow (a loop), an
// indirect jump, a division or square root instruction, a call to anything
// but the allowed functions. A jump back from a block placed at the end (a
// rarely taken path) closes no cycle and is no loop.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace bipedkin::straight_line {

struct Finding {
  std::uint64_t address;
  std::string instruction;  // as objdump prints it
  std::string reason;
};

struct Report {
  bool found = false;  // the library has the symbol and objdump disassembled it
  std::size_t instructions = 0;
  std::size_t forward_branches = 0;  // branches inside the function that close no loop
  std::map<std::string, int> calls;  // callee (direct calls and tail calls) -> count
  std::vector<Finding> findings;
  std::string error;  // why the symbol was not found
};

// The functions a kernel may call: the sines and cosines, and pow.
inline const std::vector<std::string> allowed_callees{"sin", "cos", "sincos", "pow"};

// Disassembles `symbol` of `library` with `objdump` and checks it; a vector
// kernel may call its SLEEF function instead.
Report check(const std::string& objdump, const std::filesystem::path& library, const std::string& symbol,
             const std::vector<std::string>& allowed = allowed_callees);

// Checks objdump's output for one function (what check() runs on).
Report check_listing(const std::string& listing, const std::string& symbol,
                     const std::vector<std::string>& allowed = allowed_callees);

// The functions of `library` whose code uses a 256- or 512-bit vector
// register (%ymm, %zmm) and whose name holds none of `allowed_in`: code of
// a wider instruction set than x86-64's base where it has no business.
std::vector<std::string> wide_vector_functions(const std::string& objdump, const std::filesystem::path& library,
                                               const std::vector<std::string>& allowed_in);

// One line per finding, for test failure messages.
std::string describe(const Report& report);

}  // namespace bipedkin::straight_line
