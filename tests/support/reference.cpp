#include "support/reference.hpp"

#include <cmath>
#include <stdexcept>
#include <vector>

namespace bipedkin::testing {
namespace {

Mat product(const Mat& a, const Mat& b) {
  Mat c{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) c[i][j] += a[i][k] * b[k][j];
  return c;
}

Vec rotate(const Mat& a, const Vec& v) {
  Vec r{};
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k) r[i] += a[i][k] * v[k];
  return r;
}

// Rot(a, t) = I + sin t [a]x + (1 - cos t) [a]x^2
Mat axis_angle(const Vec& a, double t) {
  const Mat k{{{0, -a[2], a[1]}, {a[2], 0, -a[0]}, {-a[1], a[0], 0}}};
  const Mat k2 = product(k, k);
  Mat r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r[i][j] = (i == j ? 1.0 : 0.0) + std::sin(t) * k[i][j] + (1 - std::cos(t)) * k2[i][j];
  return r;
}

Mat from_columns(const Vec& x, const Vec& y, const Vec& z) {
  return {{{x[0], y[0], z[0]}, {x[1], y[1], z[1]}, {x[2], y[2], z[2]}}};
}

struct Joint {
  Vec axis;
  Vec home;  // left leg
};

// The left leg at home, base coordinates.
const std::vector<Joint> joints = {
    {{1, 0, 0}, {0.021, 0.135, 0}},            {{1, 0, 0}, {-0.049, 0.135, 0}},
    {{0, 0, -1}, {-0.049, 0.135, -0.09}},      {{0, -1, 0}, {-0.049, 0.135, -0.09}},
    {{0, -1, 0}, {-0.049, 0.1305, -0.21}},     {{0, -1, 0}, {-0.0016, 0.1305, -0.2707}},
    {{0, -1, 0}, {0.0184, 0.1305, -0.7055}},   {{0, -1, 0}, {-0.0216, 0.1305, -1.1135}},
};
const Vec toe_sole_home = {0.030600000000000002, 0.1305, -1.1135 - 0.0177};

const Mat M = from_columns({0, 0, -1}, {0, 1, 0}, {1, 0, 0});
const Mat I = from_columns({1, 0, 0}, {0, 1, 0}, {0, 0, 1});
const Mat L = from_columns({0, 0, -1}, {1, 0, 0}, {0, -1, 0});

int site_index(const std::string& site) {
  const char* names[] = {"mount", "hip_abduction", "hip_rotation", "hip_flexion", "knee",
                         "shin",  "ankle",         "toe",          "toe_sole"};
  for (int i = 0; i < 9; ++i)
    if (site == names[i]) return i;
  throw std::invalid_argument("no site " + site);
}

Vec cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec minus(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec plus(const Vec& a, const Vec& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
Vec times(const Vec& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }

// The home point h carried by the first m joints of the leg, in base
// coordinates.
Vec carried(Vec h, int m, int k0, double sigma, const StateVector& x) {
  for (int j = m - 1; j >= 0; --j) {
    Vec o = joints[static_cast<std::size_t>(j)].home;
    o[1] *= sigma;
    const Vec t = rotate(axis_angle(joints[static_cast<std::size_t>(j)].axis, x[static_cast<std::size_t>(k0 + j - 1)]),
                         minus(h, o));
    h = plus(t, o);
  }
  return h;
}

}  // namespace

Motion reference_motion(const std::string& site, char side, const StateVector& x) {
  const int index = site_index(site);
  const int k = index == 8 ? 8 : index + 1;
  const int k0 = side == 'l' ? 7 : 15;
  const double sigma = side == 'l' ? 1.0 : -1.0;
  auto q = [&](int i) { return x[static_cast<std::size_t>(i - 1)]; };
  auto dq = [&](int i) { return x[static_cast<std::size_t>(21 + i)]; };
  const Vec pb = {q(1), q(2), q(3)};
  auto home = [&](int j) {
    Vec h = j == 8 ? toe_sole_home : joints[static_cast<std::size_t>(j)].home;
    h[1] *= sigma;
    return h;
  };

  // Every axis in chain order: coordinate, world direction, world point.
  struct Axis {
    int coordinate;
    Vec a, o;
  };
  std::vector<Axis> axes;
  const Mat Rx = axis_angle({1, 0, 0}, q(4)), Rxy = product(Rx, axis_angle({0, 1, 0}, q(5)));
  const Mat Rb = product(Rxy, axis_angle({0, 0, 1}, q(6)));
  axes.push_back({4, {1, 0, 0}, pb});
  axes.push_back({5, rotate(Rx, {0, 1, 0}), pb});
  axes.push_back({6, rotate(Rxy, {0, 0, 1}), pb});
  Mat R = Rb;
  for (int j = 0; j < k; ++j) {
    axes.push_back({k0 + j, rotate(R, joints[static_cast<std::size_t>(j)].axis),
                    plus(pb, rotate(Rb, carried(home(j), j, k0, sigma, x)))});
    R = product(R, axis_angle(joints[static_cast<std::size_t>(j)].axis, q(k0 + j)));
  }
  const Vec p = plus(pb, rotate(Rb, carried(home(index == 8 ? 8 : index), k, k0, sigma, x)));

  // Velocities: of the base origin, of every axis's point and of the site;
  // the angular velocity of the frame before each axis.
  const Vec vb = {dq(1), dq(2), dq(3)};
  auto velocity_of = [&](const Vec& point, std::size_t axes_before) {
    Vec v = vb;
    for (std::size_t l = 0; l < axes_before; ++l) v = plus(v, times(cross(axes[l].a, minus(point, axes[l].o)), dq(axes[l].coordinate)));
    return v;
  };
  auto omega_before = [&](std::size_t i) {
    Vec w{};
    for (std::size_t l = 0; l < i; ++l) w = plus(w, times(axes[l].a, dq(axes[l].coordinate)));
    return w;
  };
  Motion m{std::vector<double>(66, 0.0), std::vector<double>(66, 0.0), std::vector<double>(66, 0.0), omega_before(axes.size())};
  auto set = [](std::vector<double>& J, int column, const Vec& v) {
    for (int i = 0; i < 3; ++i) J[static_cast<std::size_t>(i + 3 * (column - 1))] = v[static_cast<std::size_t>(i)];
  };
  set(m.jac, 1, {1, 0, 0});
  set(m.jac, 2, {0, 1, 0});
  set(m.jac, 3, {0, 0, 1});
  const Vec v = velocity_of(p, axes.size());
  for (std::size_t i = 0; i < axes.size(); ++i) {
    const Axis& a = axes[i];
    const Vec r = minus(p, a.o);
    const Vec rate = cross(omega_before(i), a.a);
    set(m.jac, a.coordinate, cross(a.a, r));
    set(m.jacdot, a.coordinate, plus(cross(rate, r), cross(a.a, minus(v, velocity_of(a.o, i)))));
    set(m.angjac, a.coordinate, a.a);
  }
  return m;
}

Pose reference_pose(const std::string& site, char side, const StateVector& x) {
  const int index = site_index(site);
  const int k = index == 8 ? 8 : index + 1;  // joints that move the site frame
  const int k0 = side == 'l' ? 7 : 15;
  const double sigma = side == 'l' ? 1.0 : -1.0;
  auto q = [&](int i) { return x[static_cast<std::size_t>(i - 1)]; };

  const Mat Rb = product(product(axis_angle({1, 0, 0}, q(4)), axis_angle({0, 1, 0}, q(5))), axis_angle({0, 0, 1}, q(6)));
  Mat R = Rb;
  for (int j = 0; j < k; ++j) R = product(R, axis_angle(joints[j].axis, q(k0 + j)));
  R = product(R, index == 0 ? M : index == 1 ? I : L);

  Vec home = index == 8 ? toe_sole_home : joints[index].home;
  home[1] *= sigma;
  const Vec w = rotate(Rb, carried(home, k, k0, sigma, x));
  return {R, {q(1) + w[0], q(2) + w[1], q(3) + w[2]}};
}

std::array<double, 9> column_major(const Mat& m) {
  std::array<double, 9> out{};
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) out[static_cast<std::size_t>(i + 3 * j)] = m[i][j];
  return out;
}

}  // namespace bipedkin::testing
