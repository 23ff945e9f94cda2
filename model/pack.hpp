// A pack of W doubles that holds W states, one per lane, and the view of W
// states the model reads through it: the number type of the vectorized
// kernels. Instantiated for a pack, every kernel of the model evaluates W
// states at once with vector instructions; the structural zeros, ones and
// minus ones of model/linalg.hpp stay types, so an angle reaches the same
// elements in every width.
//
// The arithmetic is GCC's vector extension: each operation is the IEEE
// operation of doubles, lane by lane (with -ffp-contract=off nothing is fused
// into a multiply-add), so a pack's lanes compute exactly what the double
// kernel computes but for the sines and cosines, which come from SLEEF's
// vector functions (sincos_of below). A translation unit that instantiates a
// width is compiled for its instruction set (lib/fast/); this header alone
// compiles anywhere.
#pragma once

#include <cstddef>
#include <utility>

#include "model/linalg.hpp"
#include "model/state.hpp"

namespace bipedkin::model {

// GCC's vector of W doubles (its attribute takes no template argument).
template <int W>
struct VectorType;
template <>
struct VectorType<2> {
  typedef double type __attribute__((vector_size(16)));
};
template <>
struct VectorType<4> {
  typedef double type __attribute__((vector_size(32)));
};
template <>
struct VectorType<8> {
  typedef double type __attribute__((vector_size(64)));
};

template <int W>
struct Pack {
  using Vector = typename VectorType<W>::type;
  Vector v;

  double operator[](int lane) const { return v[lane]; }

  friend Pack operator+(Pack a, Pack b) { return {a.v + b.v}; }
  friend Pack operator-(Pack a, Pack b) { return {a.v - b.v}; }
  friend Pack operator*(Pack a, Pack b) { return {a.v * b.v}; }
  friend Pack operator+(Pack a, double b) { return {a.v + b}; }
  friend Pack operator-(Pack a, double b) { return {a.v - b}; }
  friend Pack operator*(Pack a, double b) { return {a.v * b}; }
  friend Pack operator+(double a, Pack b) { return {a + b.v}; }
  friend Pack operator-(double a, Pack b) { return {a - b.v}; }
  friend Pack operator*(double a, Pack b) { return {a * b.v}; }
  friend Pack operator-(Pack a) { return {-a.v}; }
  Pack& operator+=(Pack b) {
    v += b.v;
    return *this;
  }
};

template <int W>
inline constexpr bool is_number<Pack<W>> = true;

// W states, one after the other (44 doubles each), read in place: element i
// of every state, gathered into one pack.
template <int W>
struct PackState {
  using number = Pack<W>;
  const double* x;

  Pack<W> element(int i) const {
    return [&]<int... lane>(std::integer_sequence<int, lane...>) {
      return Pack<W>{typename Pack<W>::Vector{x[lane * state_size + i]...}};
    }(std::make_integer_sequence<int, W>{});
  }
  Pack<W> q(int k) const { return element(k - 1); }
  Pack<W> dq(int k) const { return element(num_coordinates + k - 1); }
};

// The sines and cosines of a pack's lanes, from SLEEF's vector functions
// (at most 1 ulp from the exact values). Defined by each translation unit
// that instantiates a width, for its instruction set (lib/fast/).
template <int W>
SinCos<Pack<W>> sincos_of(Pack<W> angle);

}  // namespace bipedkin::model
