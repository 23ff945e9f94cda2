// Writes what the built-in host returns for every expected deliverable at a
// few states, for the Octave tests to compare with what Octave returns for
// the same states, bit for bit.
//
//   bipedkin_octave_reference MEX_DIR OUTPUT_FILE
//
// The deliverables come from the tests' own list of what the build must
// deliver, not from the build's table, so a deliverable missing from the
// build is missing here too and fails the generation. Every double is
// written as the 16 hexadecimal digits of its IEEE 754 bits (as Octave's
// num2hex writes them), so signed zeros and NaN payloads survive.
//
// Output, one record per line:
//   state NAME X1 ... X44           a state, by name
//   deliverable NAME FORM ROWS COLS FORM is state, scalar or column
//   value STATE Y1 ... Yn           NAME's output at STATE, column-major
// A scalar-form deliverable has one value line, for the input 0 (STATE is
// "zero"). A column-form deliverable takes the state as a 44x1 column only.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "bipedkin/host.hpp"
#include "support/constraints_expected.hpp"
#include "support/expected.hpp"

namespace {

using bipedkin::host::Array;
using bipedkin::host::Library;
using State = std::vector<double>;

struct NamedState {
  std::string name;
  State x;
};

std::string hex(double v) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(v)));
  return buf;
}

// Home, random states over several ranges, and one that holds NaN,
// infinities and signed zeros, so that their propagation is compared too.
std::vector<NamedState> states() {
  std::vector<NamedState> out;
  out.push_back({"home", State(44, 0.0)});
  std::mt19937_64 rng(20240607);
  const double ranges[] = {1.0, 3.2, 3.2, 40.0};
  for (int k = 0; k < 4; ++k) {
    std::uniform_real_distribution<double> unit(-ranges[k], ranges[k]);
    State x(44);
    for (double& v : x) v = unit(rng);
    out.push_back({"random" + std::to_string(k + 1), x});
  }
  State special = out[1].x;
  special[3] = -0.0;                                        // q(4)
  special[9] = std::numeric_limits<double>::quiet_NaN();    // q(10), left hip flexion
  special[17] = std::numeric_limits<double>::infinity();    // q(18), right hip flexion
  special[24] = -std::numeric_limits<double>::infinity();   // dq(3)
  special[29] = std::numeric_limits<double>::quiet_NaN();   // dq(8)
  out.push_back({"special", special});
  return out;
}

std::vector<double> call(const Library& library, const State& input, std::size_t m, std::size_t n) {
  const Array in = bipedkin::host::make_double({m, n}, input);
  const mxArray* inputs[] = {in.get()};
  const auto result = library.call(1, inputs);
  if (result.error) throw std::runtime_error(library.name() + " refused the call: " + result.error->what());
  return bipedkin::host::values(result.outputs.at(0).get());
}

void write_value(std::ostream& out, const std::string& state, const std::vector<double>& y) {
  out << "value " << state;
  for (double v : y) out << ' ' << hex(v);
  out << '\n';
}

}  // namespace

int main(int argc, char** argv) try {
  if (argc != 3) {
    std::cerr << "usage: " << argv[0] << " MEX_DIR OUTPUT_FILE\n";
    return 64;
  }
  const std::string dir = argv[1];
  std::ofstream out(argv[2]);
  if (!out) throw std::runtime_error(std::string("cannot write ") + argv[2]);

  const auto all_states = states();
  for (const auto& s : all_states) {
    out << "state " << s.name;
    for (double v : s.x) out << ' ' << hex(v);
    out << '\n';
  }

  for (const auto& d : bipedkin::testing::expected_deliverables()) {
    const Library library = Library::open(d.name, dir);
    const bool scalar = d.form == bipedkin::testing::Form::scalar;
    out << "deliverable " << d.name << (scalar ? " scalar " : " state ") << d.rows << ' ' << d.cols << '\n';
    if (scalar) {
      write_value(out, "zero", call(library, State{0.0}, 1, 1));
      continue;
    }
    for (const auto& s : all_states) write_value(out, s.name, call(library, s.x, 44, 1));
  }

  for (const auto& c : bipedkin::testing::expected_constraints()) {
    const Library library = Library::open(c.deliverable(), dir);
    out << "deliverable " << c.deliverable() << " column " << c.rows << " 22\n";
    for (const auto& s : all_states) write_value(out, s.name, call(library, s.x, 44, 1));
  }

  out.close();
  if (!out) throw std::runtime_error(std::string("cannot write ") + argv[2]);
  return 0;
} catch (const std::exception& e) {
  std::cerr << "bipedkin_octave_reference: " << e.what() << '\n';
  return 1;
}
