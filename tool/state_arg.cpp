#include "state_arg.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "gateway/text.hpp"

namespace bipedkin::cli {
namespace {

constexpr std::size_t max_file_bytes = std::size_t{1} << 20;
constexpr std::size_t max_batch_bytes = std::size_t{1} << 28;

double parse_number(const std::string& token) {
  if (token.empty()) throw UsageError("empty number in state");
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(token.c_str(), &end);
  if (end != token.c_str() + token.size()) throw UsageError("not a number in state: '" + gateway::quoted(token) + "'");
  if (errno == ERANGE && (v == HUGE_VAL || v == -HUGE_VAL)) throw UsageError("number out of range in state: '" + gateway::quoted(token) + "'");
  return v;
}

StateValues from_tokens(const std::vector<std::string>& tokens, const std::string& where) {
  if (tokens.size() != model::state_size) {
    throw UsageError(where + " holds " + std::to_string(tokens.size()) + " numbers; a state has 44");
  }
  StateValues x{};
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = parse_number(tokens[i]);
  return x;
}

std::vector<std::string> split_list(const std::string& s) {
  std::vector<std::string> tokens;
  std::string token;
  std::istringstream in(s);
  while (std::getline(in, token, ',')) tokens.push_back(token);
  if (!s.empty() && s.back() == ',') tokens.emplace_back();
  return tokens;
}

// The numbers of a file, separated by whitespace or commas.
std::vector<std::string> file_tokens(const std::string& path, std::size_t max_bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError("cannot read state file '" + path + "'");
  std::vector<std::string> tokens;
  std::string token;
  std::size_t bytes = 0;
  char buf[4096];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) {
    bytes += static_cast<std::size_t>(in.gcount());
    if (bytes > max_bytes) {
      throw UsageError("state file '" + path + "' is larger than " + std::to_string(max_bytes >> 20) + " MiB");
    }
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
      const char c = buf[i];
      if (c == ',' || c == ' ' || c == '\t' || c == '\n' || c == '\r') {
        if (!token.empty()) tokens.push_back(token);
        token.clear();
      } else {
        token += c;
      }
    }
  }
  if (in.bad()) throw UsageError("cannot read state file '" + path + "'");
  if (!token.empty()) tokens.push_back(token);
  return tokens;
}

StateValues from_file(const std::string& path) {
  return from_tokens(file_tokens(path, max_file_bytes), "state file '" + path + "'");
}

}  // namespace

StateValues random_state(std::uint64_t seed) {
  StateValues x{};
  std::uint64_t s = seed;
  for (double& v : x) {
    std::uint64_t z = (s += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    v = static_cast<double>(z >> 11) * 0x1.0p-53 * 2.0 - 1.0;
  }
  return x;
}

std::vector<double> parse_states(const std::string& arg) {
  if (arg.empty() || arg[0] != '@') throw UsageError("--batch reads its states from @FILE, got '" + gateway::quoted(arg) + "'");
  const std::string path = arg.substr(1);
  const std::vector<std::string> tokens = file_tokens(path, max_batch_bytes);
  if (tokens.empty() || tokens.size() % model::state_size != 0) {
    throw UsageError("state file '" + path + "' holds " + std::to_string(tokens.size()) +
                     " numbers; a batch holds 44 per state");
  }
  std::vector<double> x(tokens.size());
  for (std::size_t i = 0; i < tokens.size(); ++i) x[i] = parse_number(tokens[i]);
  return x;
}

StateValues parse_state(const std::string& arg) {
  if (arg == "home") return StateValues{};
  if (arg.rfind("random:", 0) == 0) {
    const std::string seed = arg.substr(7);
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(seed.c_str(), &end, 10);
    if (seed.empty() || seed[0] == '-' || end != seed.c_str() + seed.size() || errno == ERANGE) {
      throw UsageError("random:SEED needs a whole number from 0 to 2^64-1, got '" + gateway::quoted(seed) + "'");
    }
    return random_state(v);
  }
  if (!arg.empty() && arg[0] == '@') return from_file(arg.substr(1));
  if (arg.find(',') != std::string::npos) return from_tokens(split_list(arg), "the state list");
  throw UsageError("unknown state '" + gateway::quoted(arg) + "': use home, random:SEED, 44 comma-separated numbers or @FILE");
}

}  // namespace bipedkin::cli
