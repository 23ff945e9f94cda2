#include "kdl_chain.hpp"

#include <kdl/chain.hpp>
#include <kdl/chainfksolverpos_recursive.hpp>
#include <kdl/chainjnttojacdotsolver.hpp>
#include <kdl/chainjnttojacsolver.hpp>
#include <kdl/frames.hpp>
#include <kdl/jacobian.hpp>
#include <kdl/jntarray.hpp>
#include <kdl/jntarrayvel.hpp>

#include "model/robot.hpp"

namespace bipedkin::bench::kdl {
namespace {

using model::Side;
using model::Site;

KDL::Vector vector(const model::AnyVec3 auto& v) {
  return KDL::Vector(model::value(v.x), model::value(v.y), model::value(v.z));
}

KDL::Rotation rotation(const model::AnyMat3 auto& m) {
  return KDL::Rotation(vector(m.c1), vector(m.c2), vector(m.c3));  // from its columns
}

// The floating base, then the left leg's joints up to the joint of `site`,
// then a fixed segment to the site's frame at home. In the product form
// every link frame is the base frame at home: a joint turns what follows it
// about its line through its home point o. A KDL segment's tip is given in
// its root frame at zero angle, so each joint's segment ends where it began
// (its tip is the identity) and turns about the line through o.
KDL::Chain left_leg_to(Site site) {
  KDL::Chain chain;
  chain.addSegment(KDL::Segment(KDL::Joint(KDL::Joint::TransX)));
  chain.addSegment(KDL::Segment(KDL::Joint(KDL::Joint::TransY)));
  chain.addSegment(KDL::Segment(KDL::Joint(KDL::Joint::TransZ)));
  chain.addSegment(KDL::Segment(KDL::Joint(KDL::Joint::RotX)));
  chain.addSegment(KDL::Segment(KDL::Joint(KDL::Joint::RotY)));
  chain.addSegment(KDL::Segment(KDL::Joint(KDL::Joint::RotZ)));

  const KDL::Rotation mount = rotation(model::mount_orientation);
  const KDL::Rotation leg = rotation(model::leg_orientation);
  auto orientation = [&](Site s) {
    return s == Site::mount ? mount : s == Site::hip_abduction ? KDL::Rotation::Identity() : leg;
  };
  const int joints = static_cast<int>(model::joint_of(site));
  for (int j = 0; j < joints; ++j) {
    const auto s = static_cast<Site>(j);  // the site of joint j + 1
    // The axis a joint turns its own frame about: z for the mount and the
    // hip flexion to the toe, x for the hip abduction and rotation.
    const KDL::Vector local = j == 1 || j == 2 ? KDL::Vector(1, 0, 0) : KDL::Vector(0, 0, 1);
    const KDL::Vector o = vector(model::home_point<Side::left>(s));
    chain.addSegment(KDL::Segment(KDL::Joint(o, orientation(s) * local, KDL::Joint::RotAxis)));
  }
  chain.addSegment(
      KDL::Segment(KDL::Joint(KDL::Joint::Fixed), KDL::Frame(orientation(site), vector(model::home_point<Side::left>(site)))));
  return chain;
}

KDL::JntArray joints(const double* x, unsigned n) {
  KDL::JntArray q(n);
  for (unsigned i = 0; i < n; ++i) q(i) = x[i];
  return q;
}

// The translational rows of a KDL Jacobian, 3x22 column-major.
void translational_rows(const KDL::Jacobian& j, double* out) {
  for (unsigned c = 0; c < j.columns(); ++c)
    for (int i = 0; i < 3; ++i) out[i + 3 * c] = j(i, c);
}

KDL::JntArrayVel joints_and_rates(const double* x, unsigned n) {
  KDL::JntArrayVel v(n);
  for (unsigned i = 0; i < n; ++i) {
    v.q(i) = x[i];
    v.qdot(i) = x[model::num_coordinates + i];
  }
  return v;
}

}  // namespace

struct Comparison::Impl {
  KDL::Chain toe_sole = left_leg_to(Site::toe_sole);
  KDL::Chain hip_abduction = left_leg_to(Site::hip_abduction);
  KDL::Chain mount = left_leg_to(Site::mount);
  KDL::ChainFkSolverPos_recursive pose_solver{toe_sole};
  KDL::ChainJntToJacSolver jacobian_solver{hip_abduction};
  KDL::ChainJntToJacDotSolver rate_solver{mount};  // hybrid: base axes, reference point on the site
  KDL::ChainJntToJacSolver toe_sole_jacobian_solver{toe_sole};
  KDL::ChainJntToJacDotSolver toe_sole_rate_solver{toe_sole};

  // The coordinates of the state that each chain's joints carry: the first
  // 14, 8 and 7 (base, then the left leg in order).
  std::vector<KDL::JntArray> toe_sole_q, hip_abduction_q;
  std::vector<KDL::JntArrayVel> mount_qv, toe_sole_qv;

  KDL::Frame frame;
  KDL::Jacobian jacobian{hip_abduction.getNrOfJoints()};
  KDL::Jacobian rate{mount.getNrOfJoints()};
  KDL::Jacobian toe_sole_jac{toe_sole.getNrOfJoints()};
  KDL::Jacobian toe_sole_rate{toe_sole.getNrOfJoints()};
};

Comparison::Comparison(const std::vector<const double*>& states) : impl_(std::make_unique<Impl>()) {
  for (const double* x : states) {
    impl_->toe_sole_q.push_back(joints(x, impl_->toe_sole.getNrOfJoints()));
    impl_->hip_abduction_q.push_back(joints(x, impl_->hip_abduction.getNrOfJoints()));
    impl_->mount_qv.push_back(joints_and_rates(x, impl_->mount.getNrOfJoints()));
    impl_->toe_sole_qv.push_back(joints_and_rates(x, impl_->toe_sole.getNrOfJoints()));
  }
}

Comparison::~Comparison() = default;

void Comparison::time(Quantity q, std::size_t state) {
  Impl& m = *impl_;
  switch (q) {
    case Quantity::toe_sole_pose: m.pose_solver.JntToCart(m.toe_sole_q[state], m.frame); break;
    case Quantity::hip_abduction_jacobian: m.jacobian_solver.JntToJac(m.hip_abduction_q[state], m.jacobian); break;
    case Quantity::mount_jacobian_rate: m.rate_solver.JntToJacDot(m.mount_qv[state], m.rate); break;
    case Quantity::toe_sole_jacobian: m.toe_sole_jacobian_solver.JntToJac(m.toe_sole_q[state], m.toe_sole_jac); break;
    case Quantity::toe_sole_jacobian_rate:
      m.toe_sole_rate_solver.JntToJacDot(m.toe_sole_qv[state], m.toe_sole_rate);
      break;
  }
}

void Comparison::values(Quantity q, std::size_t state, double* out) {
  time(q, state);
  const Impl& m = *impl_;
  switch (q) {
    case Quantity::toe_sole_pose:
      for (int i = 0; i < 3; ++i) out[i] = m.frame.p(i);
      for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) out[3 + i + 3 * j] = m.frame.M(i, j);
      break;
    case Quantity::hip_abduction_jacobian: translational_rows(m.jacobian, out); break;
    case Quantity::mount_jacobian_rate: translational_rows(m.rate, out); break;
    case Quantity::toe_sole_jacobian: translational_rows(m.toe_sole_jac, out); break;
    case Quantity::toe_sole_jacobian_rate: translational_rows(m.toe_sole_rate, out); break;
  }
}

}  // namespace bipedkin::bench::kdl
