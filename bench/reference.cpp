#include "reference.hpp"

#include <cmath>
#include <string>

#include "model/robot.hpp"

namespace bipedkin::bench::reference {

namespace {

struct Vec {
  double v[3];
};
struct Mat {
  double m[3][3];  // row-major
};

Vec operator+(const Vec& a, const Vec& b) { return {{a.v[0] + b.v[0], a.v[1] + b.v[1], a.v[2] + b.v[2]}}; }
Vec operator-(const Vec& a, const Vec& b) { return {{a.v[0] - b.v[0], a.v[1] - b.v[1], a.v[2] - b.v[2]}}; }
Vec operator*(const Vec& a, double s) { return {{a.v[0] * s, a.v[1] * s, a.v[2] * s}}; }

Vec cross(const Vec& a, const Vec& b) {
  return {{a.v[1] * b.v[2] - a.v[2] * b.v[1], a.v[2] * b.v[0] - a.v[0] * b.v[2], a.v[0] * b.v[1] - a.v[1] * b.v[0]}};
}

Vec operator*(const Mat& a, const Vec& b) {
  Vec r{};
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k) r.v[i] += a.m[i][k] * b.v[k];
  return r;
}

Mat operator*(const Mat& a, const Mat& b) {
  Mat r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
  return r;
}

Mat transpose(const Mat& a) {
  Mat r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] = a.m[j][i];
  return r;
}

const Mat identity{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

// Rot(u, t) = I + sin t [u]x + (1 - cos t) [u]x^2 for a unit axis u.
Mat axis_angle(const Vec& u, double t) {
  const double s = std::sin(t), c = std::cos(t), v = 1.0 - c;
  const double x = u.v[0], y = u.v[1], z = u.v[2];
  return {{{c + x * x * v, x * y * v - z * s, x * z * v + y * s},
           {y * x * v + z * s, c + y * y * v, y * z * v - x * s},
           {z * x * v - y * s, z * y * v + x * s, c + z * z * v}}};
}

}  // namespace

// One leg at home, in base coordinates: each joint's line (a point and a
// direction) and coordinate, each site's home point and home orientation.
struct Chain {
  Vec joint_point[8];
  Vec joint_axis[8];
  int joint_coordinate[8];
  Vec site_point[9];
  Mat site_orientation[9];
};

namespace {

const Vec base_axis[3] = {{{1, 0, 0}}, {{0, 1, 0}}, {{0, 0, 1}}};

double q(const double* x, int k) { return x[k - 1]; }
double dq(const double* x, int k) { return x[22 + k - 1]; }

int joints_of(int site) { return site == 8 ? 8 : site + 1; }

// Everything the chain gives up to a site: the world axis and the world
// point of every coordinate that turns it (the three base angles, then the
// site's joints), the coordinates, and the site's pose.
struct Walk {
  int n = 0;
  Vec axis[11];
  Vec point[11];
  int coordinate[11];
  Mat rotation;  // of the site frame
  Vec position;  // of the site point
  Vec base;      // base origin
};

Walk walk(const Chain& chain, int site, const double* x) {
  Walk w;
  w.base = {{q(x, 1), q(x, 2), q(x, 3)}};
  Mat r = identity;
  for (int i = 0; i < 3; ++i) {
    w.axis[w.n] = r * base_axis[i];
    w.point[w.n] = w.base;
    w.coordinate[w.n] = 4 + i;
    ++w.n;
    r = r * axis_angle(base_axis[i], q(x, 4 + i));
  }
  // The product form: the world frame of the chain so far is (r, t); joint j
  // moves what follows it about its line, E_j(y) = R_j (y - o_j) + o_j.
  Vec t = w.base;
  for (int j = 0; j < joints_of(site); ++j) {
    const Vec& o = chain.joint_point[j];
    w.axis[w.n] = r * chain.joint_axis[j];
    w.point[w.n] = r * o + t;
    w.coordinate[w.n] = chain.joint_coordinate[j];
    ++w.n;
    const Mat rj = axis_angle(chain.joint_axis[j], q(x, chain.joint_coordinate[j]));
    t = t + r * (o - rj * o);
    r = r * rj;
  }
  w.rotation = r * chain.site_orientation[site];
  w.position = r * chain.site_point[site] + t;
  return w;
}

void store(double* out, const Vec& v) {
  for (int i = 0; i < 3; ++i) out[i] = v.v[i];
}

void rotation(const Chain& chain, int site, double* out, const double* x) {
  const Mat r = walk(chain, site, x).rotation;
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) out[i + 3 * j] = r.m[i][j];
}

void position(const Chain& chain, int site, double* out, const double* x) {
  store(out, walk(chain, site, x).position);
}

Vec world_angular_velocity(const Walk& w, const double* x) {
  Vec omega{};
  for (int i = 0; i < w.n; ++i) omega = omega + w.axis[i] * dq(x, w.coordinate[i]);
  return omega;
}

void omega_world(const Chain& chain, int site, double* out, const double* x) {
  store(out, world_angular_velocity(walk(chain, site, x), x));
}

void omega_body(const Chain& chain, int site, double* out, const double* x) {
  const Walk w = walk(chain, site, x);
  store(out, transpose(w.rotation) * world_angular_velocity(w, x));
}

void angjac_world(const Chain& chain, int site, double* out, const double* x) {
  const Walk w = walk(chain, site, x);
  for (int i = 0; i < w.n; ++i) store(out + 3 * (w.coordinate[i] - 1), w.axis[i]);
}

void angjac_body(const Chain& chain, int site, double* out, const double* x) {
  const Walk w = walk(chain, site, x);
  const Mat rt = transpose(w.rotation);
  for (int i = 0; i < w.n; ++i) store(out + 3 * (w.coordinate[i] - 1), rt * w.axis[i]);
}

// Column k of dp/dq: e_k for the base position, a_k x (p - o_k) for a
// turning coordinate.
void jac(const Chain& chain, int site, double* out, const double* x) {
  const Walk w = walk(chain, site, x);
  for (int i = 0; i < 3; ++i) out[i + 3 * i] = 1.0;
  for (int i = 0; i < w.n; ++i) store(out + 3 * (w.coordinate[i] - 1), cross(w.axis[i], w.position - w.point[i]));
}

// d/dt of a_k x (p - o_k): a_k' x (p - o_k) + a_k x (p' - o_k'), where a_k
// and o_k move with the coordinates before k and p with all of them.
void jacdot(const Chain& chain, int site, double* out, const double* x) {
  const Walk w = walk(chain, site, x);
  const Vec base_velocity{{dq(x, 1), dq(x, 2), dq(x, 3)}};
  auto velocity = [&](const Vec& point, int before) {
    Vec v = base_velocity;
    for (int j = 0; j < before; ++j) v = v + cross(w.axis[j], point - w.point[j]) * dq(x, w.coordinate[j]);
    return v;
  };
  const Vec p_rate = velocity(w.position, w.n);
  for (int i = 0; i < w.n; ++i) {
    Vec omega{};
    for (int j = 0; j < i; ++j) omega = omega + w.axis[j] * dq(x, w.coordinate[j]);
    const Vec axis_rate = cross(omega, w.axis[i]);
    const Vec column = cross(axis_rate, w.position - w.point[i]) + cross(w.axis[i], p_rate - velocity(w.point[i], i));
    store(out + 3 * (w.coordinate[i] - 1), column);
  }
}

Vec plain(const model::AnyVec3 auto& v) { return {{model::value(v.x), model::value(v.y), model::value(v.z)}}; }

Mat plain(const model::AnyMat3 auto& m) {
  const Vec c[3] = {plain(m.c1), plain(m.c2), plain(m.c3)};
  Mat r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] = c[j].v[i];
  return r;
}

// The leg from the model's constants: home points, home orientations, and
// each joint's axis, the home orientation of its site applied to the axis
// the joint turns its frame about.
template <model::Side S>
Chain make_chain() {
  using model::Site;
  const Mat mount = plain(model::mount_orientation);
  const Mat leg = plain(model::leg_orientation);
  const Vec ex{{1, 0, 0}}, ez{{0, 0, 1}};
  Chain c;
  for (int s = 0; s < 9; ++s) {
    const auto site = static_cast<Site>(s);
    const model::Vector h = model::home_point<S>(site);
    c.site_point[s] = {{h.x, h.y, h.z}};
    c.site_orientation[s] = site == Site::mount ? mount : site == Site::hip_abduction ? identity : leg;
  }
  for (int j = 0; j < 8; ++j) {
    const Vec local = j == 0 || j >= 3 ? ez : ex;  // mount and hip flexion to toe about z, the others about x
    c.joint_point[j] = c.site_point[j];
    c.joint_axis[j] = c.site_orientation[j] * local;
    c.joint_coordinate[j] = model::first_coordinate(S) + j;
  }
  return c;
}

const Chain left = make_chain<model::Side::left>();
const Chain right = make_chain<model::Side::right>();

}  // namespace

Reference find(std::string_view name) {
  static constexpr std::string_view sites[] = {"mount", "hip_abduction", "hip_rotation", "hip_flexion", "knee",
                                               "shin",  "ankle",         "toe",          "toe_sole"};
  struct Quantity {
    std::string_view prefix;
    void (*compute)(const Chain&, int, double*, const double*);
  };
  // Longer prefixes first: "jacdot_" before "jac_".
  static constexpr Quantity quantities[] = {{"omega_world_", omega_world},   {"omega_body_", omega_body},
                                            {"angjac_world_", angjac_world}, {"angjac_body_", angjac_body},
                                            {"jacdot_", jacdot},             {"jac_", jac},
                                            {"pos_", position},              {"rot_", rotation}};
  const Chain* chain = name.ends_with("_l") ? &left : name.ends_with("_r") ? &right : nullptr;
  if (chain == nullptr) return {};
  name.remove_suffix(2);
  for (const Quantity& quantity : quantities) {
    if (!name.starts_with(quantity.prefix)) continue;
    const std::string_view site = name.substr(quantity.prefix.size());
    for (int s = 0; s < 9; ++s) {
      if (site == sites[s]) return {quantity.compute, chain, s};
    }
  }
  return {};
}

}  // namespace bipedkin::bench::reference
