#include "straight_line.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <regex>
#include <sstream>

namespace bipedkin::straight_line {
namespace {

struct Instruction {
  std::uint64_t address;
  std::string mnemonic;
  std::string operands;  // with objdump's comment, if any
  std::string text;
};

std::string run(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
  ::pclose(pipe);
  return out;
}

std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// "sincos@plt", "sincos@GLIBC_2.2.5", "sincos@@GLIBC_2.2.5" -> "sincos".
std::string bare_name(std::string name) {
  const auto at = name.find('@');
  if (at != std::string::npos) name.resize(at);
  return name;
}

// The symbol in objdump's "<name>" or "<name+0x10>" annotation, without the
// offset; empty when there is none.
std::string annotated_symbol(const std::string& operands) {
  static const std::regex symbol(R"(<([^>+]+)(\+0x[0-9a-f]+)?>)");
  std::smatch m;
  if (!std::regex_search(operands, m, symbol)) return {};
  return m[1].str();
}

bool is_prefix(const std::string& word) {
  static const std::array<const char*, 11> prefixes{"notrack", "bnd",    "rep", "repz",  "repe", "repnz",
                                                    "repne",   "lock",   "data16", "cs", "ds"};
  return std::any_of(prefixes.begin(), prefixes.end(), [&](const char* p) { return word == p; });
}

bool is_division_or_root(const std::string& mnemonic) {
  return mnemonic.find("div") != std::string::npos || mnemonic.find("sqrt") != std::string::npos ||
         mnemonic.starts_with("rcp") || mnemonic.starts_with("vrcp");
}

bool is_jump(const std::string& mnemonic) { return mnemonic.starts_with("j") || mnemonic.starts_with("loop"); }

bool allowed_in(const std::vector<std::string>& allowed, const std::string& callee) {
  return std::find(allowed.begin(), allowed.end(), callee) != allowed.end();
}

}  // namespace

Report check_listing(const std::string& listing, const std::string& symbol, const std::vector<std::string>& allowed) {
  Report report;
  const std::regex header("^([0-9a-f]+) <" + symbol + ">:$");
  const std::regex line(R"(^\s*([0-9a-f]+):\t(.*)$)");

  std::vector<Instruction> code;
  std::uint64_t start = 0;
  bool inside = false;
  std::istringstream in(listing);
  for (std::string text; std::getline(in, text);) {
    std::smatch m;
    if (std::regex_match(text, m, header)) {
      start = std::stoull(m[1].str(), nullptr, 16);
      inside = true;
      report.found = true;
      continue;
    }
    if (!inside) continue;
    if (text.empty()) {
      inside = false;  // the function's listing ends at the blank line after it
      continue;
    }
    if (!std::regex_match(text, m, line)) continue;
    Instruction insn{std::stoull(m[1].str(), nullptr, 16), {}, {}, m[2].str()};
    std::istringstream words(insn.text);
    words >> insn.mnemonic;
    while (is_prefix(insn.mnemonic) && (words >> insn.mnemonic)) {
    }
    std::getline(words, insn.operands);
    insn.operands.erase(0, insn.operands.find_first_not_of(" \t"));
    code.push_back(std::move(insn));
  }
  if (!report.found) {
    report.error = "no function " + symbol + " in the listing";
    return report;
  }
  report.instructions = code.size();
  const std::uint64_t end = code.empty() ? start : code.back().address;

  auto finding = [&](const Instruction& insn, std::string reason) {
    report.findings.push_back({insn.address, insn.text, std::move(reason)});
  };
  auto called = [&](const Instruction& insn, const std::string& callee) {
    if (callee.empty()) {
      finding(insn, "call of an unknown target");
    } else if (!allowed_in(allowed, callee)) {
      finding(insn, "call to " + callee);
    } else {
      ++report.calls[callee];
    }
  };

  std::vector<std::pair<std::ptrdiff_t, std::uint64_t>> branches;  // instruction, target address
  for (const Instruction& insn : code) {
    const std::string& op = insn.mnemonic;
    if (op == "(bad)") {
      finding(insn, "undecodable instruction");
    } else if (is_division_or_root(op)) {
      finding(insn, op.find("sqrt") != std::string::npos ? "square root" : "division");
    } else if (op.starts_with("call")) {
      // Direct: "1080 <sincos@plt>"; through the GOT: "*0x2fe2(%rip) # 3fd0 <sincos@GLIBC_2.2.5>".
      called(insn, bare_name(annotated_symbol(insn.operands)));
    } else if (is_jump(op)) {
      if (insn.operands.starts_with("*")) {
        // A jump through memory: a tail call through the GOT names its
        // target, anything else (a jump table) cannot be followed.
        const std::string target = bare_name(annotated_symbol(insn.operands));
        if (op == "jmp" && !target.empty() && target != symbol) {
          called(insn, target);
        } else {
          finding(insn, "indirect jump");
        }
        continue;
      }
      std::uint64_t target = 0;
      try {
        target = std::stoull(insn.operands, nullptr, 16);
      } catch (const std::exception&) {
        finding(insn, "branch with an unreadable target");
        continue;
      }
      if (target < start || target > end) {
        // Leaves the function: a tail call.
        called(insn, bare_name(annotated_symbol(insn.operands)));
      } else {
        branches.push_back({&insn - code.data(), target});
      }
    }
  }

  // The branches inside the function make a loop where they close a cycle
  // of the control flow: a jump back out of a block the compiler moved to
  // the end (a rarely taken path) is not one. Depth first from the entry;
  // an edge to an instruction on the current path closes a cycle.
  const std::size_t n = code.size();
  std::vector<std::vector<std::size_t>> next(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::string& op = code[i].mnemonic;
    const bool ends_flow = op == "jmp" || op.starts_with("ret") || op == "ud2";
    if (!ends_flow && i + 1 < n) next[i].push_back(i + 1);
  }
  for (const auto& [from, target] : branches) {
    const auto at = std::lower_bound(code.begin(), code.end(), target,
                                     [](const Instruction& insn, std::uint64_t a) { return insn.address < a; });
    if (at == code.end() || at->address != target) {
      finding(code[static_cast<std::size_t>(from)], "branch into the middle of an instruction");
      continue;
    }
    next[static_cast<std::size_t>(from)].push_back(static_cast<std::size_t>(at - code.begin()));
    ++report.forward_branches;
  }
  enum class Mark { unseen, on_path, done };
  std::vector<Mark> mark(n, Mark::unseen);
  std::vector<std::pair<std::size_t, std::size_t>> path;  // instruction, next edge to follow
  if (n > 0) {
    path.push_back({0, 0});
    mark[0] = Mark::on_path;
  }
  while (!path.empty()) {
    auto& [i, edge] = path.back();
    if (edge == next[i].size()) {
      mark[i] = Mark::done;
      path.pop_back();
      continue;
    }
    const std::size_t j = next[i][edge++];
    if (mark[j] == Mark::on_path) {
      finding(code[i], "backward branch (a loop)");
      --report.forward_branches;
    } else if (mark[j] == Mark::unseen) {
      mark[j] = Mark::on_path;
      path.push_back({j, 0});
    }
  }
  return report;
}

Report check(const std::string& objdump, const std::filesystem::path& library, const std::string& symbol,
             const std::vector<std::string>& allowed) {
  if (!std::filesystem::exists(library)) {
    Report r;
    r.error = library.string() + " does not exist";
    return r;
  }
  const std::string listing = run(quoted(objdump) + " -d --no-show-raw-insn --disassemble=" + quoted(symbol) + " " +
                                  quoted(library.string()) + " 2>&1");
  Report r = check_listing(listing, symbol, allowed);
  if (!r.found) r.error += " (" + library.string() + ")";
  return r;
}

std::vector<std::string> wide_vector_functions(const std::string& objdump, const std::filesystem::path& library,
                                               const std::vector<std::string>& allowed_in) {
  const std::string listing = run(quoted(objdump) + " -d --no-show-raw-insn " + quoted(library.string()) + " 2>&1");
  static const std::regex header(R"(^[0-9a-f]+ <(.+)>:$)");
  std::vector<std::string> found;
  std::string function;
  bool reported = false;
  std::istringstream in(listing);
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    if (std::regex_match(line, m, header)) {
      function = m[1].str();
      reported = std::any_of(allowed_in.begin(), allowed_in.end(),
                             [&](const std::string& a) { return function.find(a) != std::string::npos; });
      continue;
    }
    if (!reported && (line.find("%ymm") != std::string::npos || line.find("%zmm") != std::string::npos)) {
      found.push_back(function);
      reported = true;
    }
  }
  return found;
}

std::string describe(const Report& report) {
  std::ostringstream out;
  if (!report.found) out << report.error << "\n";
  for (const Finding& f : report.findings) {
    out << std::hex << f.address << std::dec << ": " << f.instruction << "  <- " << f.reason << "\n";
  }
  return out.str();
}

}  // namespace bipedkin::straight_line
