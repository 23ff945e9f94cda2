// What every kernel is: a type per quantity that declares the shape of its
// output and the form of its input, and evaluates the quantity.
//
//   struct K : Kernel<rows, cols> {
//     static void evaluate(auto out, const auto& x);
//   };
//
// evaluate reads the state through a view x (model/state.hpp: one state;
// model/pack.hpp: one state per lane of a pack) and writes exactly the
// elements its quantity defines into out (evaluators/output.hpp), column by
// column; every other element is left as the caller made it (the host's
// zero fill). The same source serves every number type.
#pragma once

namespace bipedkin::evaluators {

// The input an evaluator takes: the 44-element state x, or a real scalar
// var whose value is never read.
enum class Input { state, scalar };

template <int Rows, int Cols, Input Form = Input::state>
struct Kernel {
  static constexpr int rows = Rows;
  static constexpr int cols = Cols;
  static constexpr Input input = Form;
  // Whether the kernel's values depend on the state at all (the tables and
  // constraint Jacobians do not).
  static constexpr bool reads_state = true;
  // The actuation matrix's gateway writes its constants itself, where the
  // others call their kernel.
  static constexpr bool written_by_gateway = false;
};

}  // namespace bipedkin::evaluators
