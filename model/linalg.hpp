// Small fixed-size vectors and rotation matrices whose structural zeros and
// unit entries are known at compile time.
//
// An element is either a double or one of the constants Zero, One and
// MinusOne. Arithmetic on constants is resolved by the type system: 0 * a
// vanishes, 1 * a is a, 0 + a is a. So a product with an elementary rotation
// touches only the two columns it mixes, a signed permutation costs no
// arithmetic at all, and an angle reaches exactly the elements whose closed
// form contains it: a NaN in one coordinate never leaks into an element
// through a multiplication by a structural zero, as it would with a generic
// 3x3 product (0 * NaN is NaN).
//
// The other elements are numbers: a double (one state), or a pack of
// doubles holding one state per lane (model/pack.hpp). Everything here is
// generic over that number type, constexpr and inline; kernels built from it
// compile to straight-line multiplies and adds in every width.
#pragma once

#include <concepts>
#include <type_traits>

namespace bipedkin::model {

struct Zero {};
struct One {};
struct MinusOne {};

template <class T>
concept Constant = std::same_as<T, Zero> || std::same_as<T, One> || std::same_as<T, MinusOne>;

// The number types: double, and the packs, which specialize this.
template <class T>
inline constexpr bool is_number = std::same_as<T, double>;
template <class T>
concept Number = is_number<T>;

template <class T>
concept Scalar = Constant<T> || Number<T>;

template <Number T>
constexpr T value(T a) {
  return a;
}
constexpr double value(Zero) { return 0.0; }
constexpr double value(One) { return 1.0; }
constexpr double value(MinusOne) { return -1.0; }

template <class T>
inline constexpr bool is_zero = std::same_as<T, Zero>;

constexpr Zero operator-(Zero) { return {}; }
constexpr MinusOne operator-(One) { return {}; }
constexpr One operator-(MinusOne) { return {}; }

// Products and sums with at least one constant operand; double with double
// is the built-in arithmetic.
template <Scalar A, Scalar B>
  requires(Constant<A> || Constant<B>)
constexpr auto operator*(A a, B b) {
  if constexpr (is_zero<A> || is_zero<B>) {
    return Zero{};
  } else if constexpr (std::same_as<A, One>) {
    return b;
  } else if constexpr (std::same_as<B, One>) {
    return a;
  } else if constexpr (std::same_as<A, MinusOne>) {
    return -b;
  } else {
    return -a;
  }
}

template <Scalar A, Scalar B>
  requires(Constant<A> || Constant<B>)
constexpr auto operator+(A a, B b) {
  if constexpr (is_zero<A>) {
    return b;
  } else if constexpr (is_zero<B>) {
    return a;
  } else {
    return value(a) + value(b);
  }
}

template <Scalar A, Scalar B>
  requires(Constant<A> || Constant<B>)
constexpr auto operator-(A a, B b) {
  if constexpr (is_zero<B>) {
    return a;
  } else if constexpr (is_zero<A>) {
    return -b;
  } else {
    return value(a) - value(b);
  }
}

// Column vector of three structured elements.
template <Scalar X, Scalar Y, Scalar Z>
struct Vec3 {
  [[no_unique_address]] X x;
  [[no_unique_address]] Y y;
  [[no_unique_address]] Z z;
};
template <class X, class Y, class Z>
Vec3(X, Y, Z) -> Vec3<X, Y, Z>;

template <class T>
using VectorOf = Vec3<T, T, T>;
using Vector = VectorOf<double>;

template <class T>
inline constexpr bool is_vec3 = false;
template <class X, class Y, class Z>
inline constexpr bool is_vec3<Vec3<X, Y, Z>> = true;
template <class T>
concept AnyVec3 = is_vec3<T>;

constexpr auto operator+(const AnyVec3 auto& a, const AnyVec3 auto& b) {
  return Vec3{a.x + b.x, a.y + b.y, a.z + b.z};
}
constexpr auto operator-(const AnyVec3 auto& a, const AnyVec3 auto& b) {
  return Vec3{a.x - b.x, a.y - b.y, a.z - b.z};
}
constexpr auto operator-(const AnyVec3 auto& a) { return Vec3{-a.x, -a.y, -a.z}; }
constexpr auto operator*(const AnyVec3 auto& a, Scalar auto s) { return Vec3{a.x * s, a.y * s, a.z * s}; }
constexpr auto operator*(Scalar auto s, const AnyVec3 auto& a) { return Vec3{s * a.x, s * a.y, s * a.z}; }

constexpr auto dot(const AnyVec3 auto& a, const AnyVec3 auto& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

constexpr auto cross(const AnyVec3 auto& a, const AnyVec3 auto& b) {
  return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Every element of a constant vector as a double.
constexpr Vector numeric(const AnyVec3 auto& a) { return {value(a.x), value(a.y), value(a.z)}; }

// 3x3 matrix stored by columns; for a rotation, column j is the frame's j-th
// axis in the coordinates of the frame it is expressed in.
template <AnyVec3 C1, AnyVec3 C2, AnyVec3 C3>
struct Mat3 {
  C1 c1;
  C2 c2;
  C3 c3;
};
template <class C1, class C2, class C3>
Mat3(C1, C2, C3) -> Mat3<C1, C2, C3>;

template <class T>
inline constexpr bool is_mat3 = false;
template <class C1, class C2, class C3>
inline constexpr bool is_mat3<Mat3<C1, C2, C3>> = true;
template <class T>
concept AnyMat3 = is_mat3<T>;

constexpr auto operator*(const AnyMat3 auto& m, const AnyVec3 auto& v) { return m.c1 * v.x + m.c2 * v.y + m.c3 * v.z; }

constexpr auto operator*(const AnyMat3 auto& a, const AnyMat3 auto& b) { return Mat3{a * b.c1, a * b.c2, a * b.c3}; }

constexpr auto transpose(const AnyMat3 auto& m) {
  return Mat3{Vec3{m.c1.x, m.c2.x, m.c3.x}, Vec3{m.c1.y, m.c2.y, m.c3.y}, Vec3{m.c1.z, m.c2.z, m.c3.z}};
}

// m^T v: the coordinates of v along the columns of m.
constexpr auto transpose_times(const AnyMat3 auto& m, const AnyVec3 auto& v) {
  return Vec3{dot(m.c1, v), dot(m.c2, v), dot(m.c3, v)};
}

// Fixed orientations used by the model, as signed permutations.
inline constexpr Mat3 identity{Vec3{One{}, Zero{}, Zero{}}, Vec3{Zero{}, One{}, Zero{}}, Vec3{Zero{}, Zero{}, One{}}};

// Sine and cosine of one angle, computed together.
template <Number T>
struct SinCos {
  T s;
  T c;
};

// The right-handed elementary rotations.
template <class T>
constexpr auto rot_x(SinCos<T> a) {
  return Mat3{Vec3{One{}, Zero{}, Zero{}}, Vec3{Zero{}, a.c, a.s}, Vec3{Zero{}, -a.s, a.c}};
}
template <class T>
constexpr auto rot_y(SinCos<T> a) {
  return Mat3{Vec3{a.c, Zero{}, -a.s}, Vec3{Zero{}, One{}, Zero{}}, Vec3{a.s, Zero{}, a.c}};
}
template <class T>
constexpr auto rot_z(SinCos<T> a) {
  return Mat3{Vec3{a.c, a.s, Zero{}}, Vec3{-a.s, a.c, Zero{}}, Vec3{Zero{}, Zero{}, One{}}};
}

}  // namespace bipedkin::model
