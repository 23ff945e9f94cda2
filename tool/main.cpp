// bipedkin: the built-in host as a command-line tool. Lists the deliverables,
// evaluates one at a state, and prints its result.

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bipedkin/host.hpp"
#include "format.hpp"
#include "gateway/rows.hpp"
#include "gateway/text.hpp"
#include "open.hpp"
#include "plot.hpp"
#include "props.hpp"
#include "state_arg.hpp"

namespace bipedkin::cli {
namespace {

constexpr const char* usage_text = R"(usage: bipedkin <command> [arguments] [options]

commands:
  list                      every deliverable, its input and its output shape
  eval NAME [STATE]         call deliverable NAME with STATE and print its output
  eval NAME [VALUE]         the same for a deliverable whose input is a scalar
                            (its value, default 0, is never read)
  plot [STATE] -o FILE.svg  draw both legs at STATE (front and side views),
                            from the positions the pos_ deliverables return
  props NAME                the build properties of a constraint deliverable
  help                      this text

STATE (default home):
  home                      all 44 elements zero: the home configuration
  random:SEED               44 values uniform in [-1, 1) from SplitMix64(SEED)
  V1,V2,...,V44             the 44 elements [q; dq], comma separated
  @FILE                     44 numbers from FILE, separated by whitespace or commas
  Numbers may be nan, inf or -inf.

options:
  --batch                   eval NAME @FILE --batch: FILE holds N states (44 x N
                            numbers), evaluated in one call of bipedkin_batch;
                            prints each state's result in turn (json: one
                            object per line)
  --fast                    with --batch: evaluate on packs of states with vector
                            instructions (bipedkin_batch(NAME, X, 'fast'))
  --row                     pass the state as a 1x44 row instead of a 44x1 column
  --nargin N                pass the input N times (0 to 4), as f(x, x) would
  --nargout N               ask for N outputs (0 to 4); 0 is a call as a statement
  --format pretty|raw|json  raw: every element column-major, one per line, %.17g
  -o FILE                   where plot writes its picture
  --dir DIR                 where the deliverables are (default: next to this
                            tool, or $BIPEDKIN_MEX_DIR)

exit status: 0 success, 2 the deliverable refused the call (its identifier and
message on stderr), 64 a usage error, 1 anything else.
)";

struct Options {
  std::vector<std::string> positional;
  bool row = false;
  bool batch = false;
  bool fast = false;
  int nargin = 1;
  int nargout = 1;
  Format format = Format::pretty;
  std::string dir;
  std::string output;
};

int small_count(const std::string& option, const std::string& v) {
  if (v.size() != 1 || v[0] < '0' || v[0] > '4') throw UsageError(option + " takes a number from 0 to 4, got '" + gateway::quoted(v) + "'");
  return v[0] - '0';
}

Options parse_options(const std::vector<std::string>& args) {
  Options o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
      return args[++i];
    };
    if (a == "--row") {
      o.row = true;
    } else if (a == "--batch") {
      o.batch = true;
    } else if (a == "--fast") {
      o.fast = true;
    } else if (a == "--nargin") {
      o.nargin = small_count(a, value());
    } else if (a == "--nargout") {
      o.nargout = small_count(a, value());
    } else if (a == "--format") {
      const std::string& f = value();
      if (f == "pretty") {
        o.format = Format::pretty;
      } else if (f == "raw") {
        o.format = Format::raw;
      } else if (f == "json") {
        o.format = Format::json;
      } else {
        throw UsageError("--format takes pretty, raw or json, got '" + gateway::quoted(f) + "'");
      }
    } else if (a == "--dir") {
      o.dir = value();
    } else if (a == "-o" || a == "--output") {
      o.output = value();
    } else if (a.size() > 1 && a[0] == '-' && (a[1] == '-' || !std::isdigit(static_cast<unsigned char>(a[1])))) {
      throw UsageError("unknown option '" + gateway::quoted(a) + "'");
    } else {
      o.positional.push_back(a);
    }
  }
  return o;
}

std::filesystem::path deliverable_dir(const Options& o) {
  if (!o.dir.empty()) return o.dir;
  if (const char* env = std::getenv("BIPEDKIN_MEX_DIR"); env != nullptr && *env != '\0') return env;
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path() : self.parent_path();
}

using gateway::Evaluator;
using gateway::Input;
constexpr std::size_t state_size = model::state_size;

const Evaluator& known(const std::string& name) {
  if (const Evaluator* e = gateway::find(name)) return *e;
  std::vector<std::string_view> names;
  for (const Evaluator& e : gateway::evaluators) names.push_back(e.name);
  throw UsageError("unknown deliverable '" + gateway::quoted(name) + "' (the closest are " +
                   gateway::closest(name, names) + "; 'bipedkin list' shows them all)");
}

const char* input_word(const Evaluator& e) {
  if (e.input == Input::scalar) return "var (real scalar)";
  return e.kind == gateway::Kind::runtime ? "x (44x1 state)" : "x (44-element state)";
}

int list() {
  std::printf("%-30s %-22s %s\n", "deliverable", "input", "output");
  for (const Evaluator& e : gateway::evaluators) {
    std::printf("%-30s %-22s %dx%d double\n", e.name, input_word(e), e.rows, e.cols);
  }
  std::printf("%-30s %-22s %s\n", "bipedkin_batch", "NAME, X[, 'fast']",
              "NAME's rows x cols x N (rows x N for a column), X 44xN");
  return 0;
}

int eval(const Options& o) {
  if (o.positional.empty()) throw UsageError("eval needs a deliverable name");
  if (o.positional.size() > 2) throw UsageError("eval takes a name and one state; got '" + gateway::quoted(o.positional[2]) + "' too");
  const Evaluator& entry = known(o.positional[0]);
  const std::string state_name = o.positional.size() > 1 ? o.positional[1] : (entry.input == Input::state ? "home" : "0");

  host::Array input;
  if (entry.input == Input::state) {
    const StateValues x = parse_state(state_name);
    input = host::make_double(o.row ? std::vector<std::size_t>{1, state_size} : std::vector<std::size_t>{state_size, 1}, x);
  } else {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(state_name.c_str(), &end);
    if (state_name.empty() || end != state_name.c_str() + state_name.size()) {
      throw UsageError("the input of " + std::string(entry.name) + " is one number, got '" + gateway::quoted(state_name) + "'");
    }
    input = host::make_double({1, 1}, std::vector<double>{v});
  }

  const host::Library library = open_deliverable(entry.name, deliverable_dir(o));
  const std::vector<const mxArray*> inputs(static_cast<std::size_t>(o.nargin), input.get());
  const host::CallResult r = library.call(o.nargout, inputs);
  if (r.error) {
    std::fprintf(stderr, "%s: %s\n", r.error->identifier().c_str(), r.error->message().c_str());
    return 2;
  }
  const mxArray* out = r.outputs.at(0).get();
  if (out == nullptr) return 0;
  print(stdout, o.format, entry.name, state_name, Matrix{mxGetM(out), mxGetN(out), host::values(out)});
  return 0;
}

// NAME on the N states of a file, in one call of the batch deliverable.
int eval_batch(const Options& o) {
  if (o.positional.size() != 2) throw UsageError("eval --batch takes a name and @FILE");
  const Evaluator& entry = known(o.positional[0]);
  const std::string& file = o.positional[1];
  const std::vector<double> x = parse_states(file);
  const std::size_t n = x.size() / state_size;
  const host::Array name(mxCreateString(entry.name));
  const host::Array states = host::make_double({state_size, n}, x);
  const host::Array fast(mxCreateString("fast"));
  const host::Library library = open_deliverable("bipedkin_batch", deliverable_dir(o));
  std::vector<const mxArray*> inputs = {name.get(), states.get()};
  if (o.fast) inputs.push_back(fast.get());
  const host::CallResult r = library.call(1, inputs);
  if (r.error) {
    std::fprintf(stderr, "%s: %s\n", r.error->identifier().c_str(), r.error->message().c_str());
    return 2;
  }
  const std::vector<double> all = host::values(r.outputs.at(0).get());
  const std::size_t size = static_cast<std::size_t>(entry.rows * entry.cols);
  for (std::size_t k = 0; k < n; ++k) {
    const auto page = all.begin() + static_cast<std::ptrdiff_t>(size * k);
    print(stdout, o.format, entry.name, file + ", state " + std::to_string(k + 1),
          Matrix{static_cast<std::size_t>(entry.rows), static_cast<std::size_t>(entry.cols),
                 std::vector<double>(page, page + static_cast<std::ptrdiff_t>(size))});
  }
  return 0;
}

int props(const Options& o) {
  if (o.positional.size() != 1) throw UsageError("props takes one deliverable name");
  const Evaluator& entry = known(o.positional[0]);
  const host::Library library = open_deliverable(entry.name, deliverable_dir(o));
  const host::CallResult r = build_properties(library);
  if (r.error) {
    std::fprintf(stderr, "%s: %s\n", r.error->identifier().c_str(), r.error->message().c_str());
    return 2;
  }
  print_properties(stdout, entry.name, r.outputs.at(0).get());
  return 0;
}

int plot(const Options& o) {
  if (o.positional.size() > 1) throw UsageError("plot takes one state; got '" + gateway::quoted(o.positional[1]) + "' too");
  if (o.output.empty()) throw UsageError("plot needs -o FILE.svg");
  const std::string state_name = o.positional.empty() ? "home" : o.positional[0];
  const std::string svg = pose_svg(leg_points(parse_state(state_name), deliverable_dir(o)), state_name);
  std::FILE* f = std::fopen(o.output.c_str(), "wb");
  if (f == nullptr) throw UsageError("cannot write '" + o.output + "'");
  const bool written = std::fwrite(svg.data(), 1, svg.size(), f) == svg.size();
  if (std::fclose(f) != 0 || !written) throw UsageError("cannot write '" + o.output + "'");
  return 0;
}

int run(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError("no command given");
  const std::string& command = args[0];
  const Options o = parse_options({args.begin() + 1, args.end()});
  if (o.fast && !(command == "eval" && o.batch)) throw UsageError("--fast goes with eval --batch");
  if (command == "help" || command == "--help" || command == "-h") {
    std::fputs(usage_text, stdout);
    return 0;
  }
  if (command == "list") {
    if (!o.positional.empty()) throw UsageError("list takes no arguments");
    return list();
  }
  if (command == "eval") return o.batch ? eval_batch(o) : eval(o);
  if (command == "plot") return plot(o);
  if (command == "props") return props(o);
  throw UsageError("unknown command '" + gateway::quoted(command) + "'");
}

}  // namespace
}  // namespace bipedkin::cli

int main(int argc, char** argv) {
  using namespace bipedkin::cli;
  try {
    return run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& e) {
    std::fprintf(stderr, "bipedkin: %s (see 'bipedkin help')\n", e.what());
    return 64;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bipedkin: %s\n", e.what());
    return 1;
  }
}
