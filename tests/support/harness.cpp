#include "support/harness.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <stdexcept>

namespace bipedkin::testing {

const host::Library& library(const std::string& name) {
  static std::mutex mutex;
  static std::map<std::string, host::Library> loaded;
  const std::lock_guard lock(mutex);
  auto it = loaded.find(name);
  if (it == loaded.end()) it = loaded.emplace(name, host::Library::open(name, BIPEDKIN_MEX_DIR)).first;
  return it->second;
}

host::Array column(const StateVector& x) { return host::make_double({44, 1}, x); }
host::Array row(const StateVector& x) { return host::make_double({1, 44}, x); }

std::vector<double> eval(const std::string& name, const StateVector& x, const host::CallOptions& options) {
  const host::Array in = column(x);
  const mxArray* inputs[] = {in.get()};
  const host::CallResult r = library(name).call(1, inputs, options);
  if (r.error) throw std::runtime_error(name + " refused the call: " + r.error->what());
  return host::values(r.outputs.at(0).get());
}

std::vector<std::size_t> written_elements(const std::string& name, const StateVector& x) {
  const std::vector<double> v = eval(name, x, {.fill = std::nan("")});
  std::vector<std::size_t> out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (!std::isnan(v[i])) out.push_back(i);
  }
  return out;
}

std::vector<std::size_t> elements(std::initializer_list<std::pair<int, const char*>> columns) {
  std::vector<std::size_t> out;
  for (const auto& [column, rows] : columns) {
    for (const char* r = rows; *r != '\0'; ++r) out.push_back(at(*r - '0', column, 3));
  }
  std::sort(out.begin(), out.end());
  return out;
}

StateVector with_q(std::initializer_list<std::pair<int, double>> entries) {
  StateVector x{};
  for (const auto& [k, v] : entries) x[static_cast<std::size_t>(k - 1)] = v;
  return x;
}

StateVector random_state(std::mt19937_64& rng, double range) {
  std::uniform_real_distribution<double> angle(-range, range);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  StateVector x{};
  for (std::size_t k = 0; k < 44; ++k) x[k] = (k < 3) ? unit(rng) : angle(rng);
  return x;
}

StateVector swap_legs(const StateVector& x) {
  StateVector y = x;
  for (std::size_t base : {std::size_t{0}, std::size_t{22}}) {
    for (std::size_t j = 0; j < 8; ++j) std::swap(y[base + 6 + j], y[base + 14 + j]);
  }
  return y;
}

StateVector along_q(int k) {
  StateVector v{};
  v[static_cast<std::size_t>(k - 1)] = 1.0;
  return v;
}

StateVector along_rates(const StateVector& x) {
  StateVector v{};
  std::copy(x.begin() + 22, x.end(), v.begin());
  return v;
}

std::vector<double> central_difference(const std::string& name, const StateVector& x, const StateVector& v, double h) {
  StateVector ahead = x, behind = x;
  for (std::size_t i = 0; i < x.size(); ++i) {
    ahead[i] += h * v[i];
    behind[i] -= h * v[i];
  }
  std::vector<double> d = eval(name, ahead);
  const std::vector<double> b = eval(name, behind);
  for (std::size_t i = 0; i < d.size(); ++i) d[i] = (d[i] - b[i]) / (2 * h);
  return d;
}

host::Array make_input(const InputSpec& s) {
  std::size_t n = 1;
  for (std::size_t d : s.dims) n *= d;
  std::vector<double> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = i % 3 == 0 ? 0.0 : std::sin(static_cast<double>(i) + 0.5);
  if (s.sparse) return host::make_sparse(s.dims[0], n / std::max<std::size_t>(s.dims[0], 1), v);
  host::Array a = host::make_numeric(s.dims, s.class_id, s.complex);
  if (s.class_id == mxDOUBLE_CLASS) std::copy(v.begin(), v.end(), mxGetPr(a.get()));
  return a;
}

}  // namespace bipedkin::testing
