// Our libemlrt on its own, called the way a deliverable calls it, inside a
// host call boundary: the messages of its error call, references made by
// aliasing, and the MAT-file level 5 reader behind the build properties,
// on streams our generator never writes, well-formed and malformed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bipedkin/host.hpp"
#include "bipedkin/mat5.hpp"
#include "emlrt.h"

namespace bipedkin::testing {
namespace {

using host::Array;
using host::CallResult;
namespace m5 = bipedkin::mat5;

// Runs body inside a call boundary; what it stores in *out is the output.
thread_local std::function<void(mxArray**)> body;

CallResult run(std::function<void(mxArray**)> f) {
  body = std::move(f);
  return host::call_entry([](int, mxArray* plhs[], int, const mxArray*[]) { body(&plhs[0]); }, 1, {});
}

TEST(RunTimeErrors, CarryTheirCountedArgumentsAndReadNoFurther) {
  const emlrtStack st = {nullptr, nullptr, nullptr};
  const char* name = "constraint_jac_rigid";
  struct Case {
    const char* what;
    std::function<void()> raise;
    const char* identifier;
    const char* message;
  };
  const Case cases[] = {
      {"input count", [&] { emlrtErrMsgIdAndTxt(&st, "EMLRT:runTime:WrongNumberOfInputs", 5, 12, 1, 4, 20, name); },
       "EMLRT:runTime:WrongNumberOfInputs", "constraint_jac_rigid: expected 1 input(s)."},
      {"output count", [&] { emlrtErrMsgIdAndTxt(&st, "EMLRT:runTime:TooManyOutputArguments", 3, 4, 20, name); },
       "EMLRT:runTime:TooManyOutputArguments", "constraint_jac_rigid: too many output arguments."},
      // Text is taken for its given length, not up to a terminator.
      {"text of a given length", [&] { emlrtErrMsgIdAndTxt(&st, "EMLRT:runTime:TooManyOutputArguments", 3, 4, 10, name); },
       "EMLRT:runTime:TooManyOutputArguments", "constraint: too many output arguments."},
      {"an identifier without a text of its own",
       [&] { emlrtErrMsgIdAndTxt(&st, "test:emlrt:other", 7, 6, 2.5, 12, -3, 4, 3, "abc"); }, "test:emlrt:other",
       "run-time error; arguments: 2.5, -3, abc"},
      {"no arguments", [&] { emlrtErrMsgIdAndTxt(&st, "test:emlrt:bare", 0); }, "test:emlrt:bare", "run-time error."},
      // A count that ends inside an argument, or a class code of unknown
      // layout, stops the reading there.
      {"count ends inside a text", [&] { emlrtErrMsgIdAndTxt(&st, "EMLRT:runTime:TooManyOutputArguments", 2, 4, 20, name); },
       "EMLRT:runTime:TooManyOutputArguments", "?: too many output arguments. (some arguments could not be read)"},
      {"unknown class code", [&] { emlrtErrMsgIdAndTxt(&st, "EMLRT:runTime:WrongNumberOfInputs", 5, 99, 1, 4, 20, name); },
       "EMLRT:runTime:WrongNumberOfInputs", "?: expected ? input(s). (some arguments could not be read)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const CallResult r = run([&](mxArray**) { c.raise(); });
    ASSERT_TRUE(r.error.has_value());
    EXPECT_EQ(r.error->identifier(), c.identifier);
    EXPECT_EQ(r.error->message(), c.message);
  }
}

TEST(RunTimeTypeCheck, NamesTheArgumentWithTheArgumentsItIsPartOf) {
  const emlrtStack st = {nullptr, nullptr, nullptr};
  const emlrtMsgIdentifier parent = {"options", nullptr, false};
  const emlrtMsgIdentifier id = {"gain", &parent, true};  // options is a cell
  const std::int32_t size[2] = {1, 3};
  const CallResult r = run([&](mxArray**) {
    emlrtCheckBuiltInR2012b(&st, &id, mxCreateDoubleScalar(1), "single", false, 2, size);
  });
  ASSERT_TRUE(r.error.has_value());
  EXPECT_EQ(r.error->identifier(), "EMLRT:runTime:InputTypeMismatch");
  EXPECT_EQ(r.error->message(), "options{}.gain must be a real single array of size 1x3; it is a real double array of size 1x1.");
}

// An alias is another reference to the same array: dropping it leaves the
// array, and the array goes with its last reference. A slot assigned anew
// drops what it held.
TEST(RunTimeArrays, AliasesAreReferencesAndAssignmentDropsTheOldValue) {
  const Array input = host::make_double({44, 1});
  const std::size_t with_input = host::live_allocations();
  const CallResult r = run([&](mxArray** out) {
    const mxArray* a1 = emlrtAlias(input.get());
    const mxArray* a2 = emlrtAlias(a1);
    EXPECT_EQ(mxGetData(a2), mxGetData(input.get()));
    emlrtDestroyArray(&a2);
    emlrtDestroyArray(&a1);
    EXPECT_EQ(a1, nullptr);
    EXPECT_EQ(host::live_allocations(), with_input);

    const std::int32_t none[2] = {0, 0};
    const mxArray* slot = nullptr;
    emlrtAssign(&slot, emlrtCreateNumericArray(2, none, mxDOUBLE_CLASS, mxREAL));
    const std::size_t with_one = host::live_allocations();
    emlrtAssign(&slot, emlrtCreateNumericArray(2, none, mxDOUBLE_CLASS, mxREAL));
    EXPECT_EQ(host::live_allocations(), with_one);
    *out = const_cast<mxArray*>(slot);
  });
  ASSERT_FALSE(r.error) << r.error->what();
  EXPECT_TRUE(host::values(input.get()) == std::vector<double>(44, 0.0));
}

struct Captured {
  CallResult result;
  std::size_t live_before;
  std::size_t live_after;
};

Captured capture(const std::vector<std::string>& pieces, std::uint32_t length) {
  std::vector<const char*> list;
  for (const std::string& p : pieces) list.push_back(p.c_str());
  list.push_back("");
  const std::size_t before = host::live_allocations();
  CallResult r = run([&](mxArray** out) {
    const mxArray* result = nullptr;
    emlrtNameCaptureMxArrayR2016a(list.data(), length, &result);
    *out = const_cast<mxArray*>(result);
  });
  const std::size_t after = host::live_allocations();  // with the output still alive
  return {std::move(r), before, after};
}

Captured capture(const m5::Bytes& inflated) {
  return capture(m5::pieces(m5::hex(m5::deflate(inflated))), static_cast<std::uint32_t>(inflated.size()));
}

template <class T>
std::vector<T> data_of(const mxArray* a) {
  const auto* p = static_cast<const T*>(mxGetData(a));
  return std::vector<T>(p, p + mxGetNumberOfElements(a));
}

// Data types, storage forms and classes the generator does not use: the
// small element form, integers and logicals, complex numbers, 16-bit and
// non-ASCII text, doubles stored as narrower integers, nested arrays, and an
// empty miMATRIX element.
TEST(NameCapture, RebuildsEveryKindOfArrayItsStreamsHold) {
  using namespace m5;
  const std::vector<std::string> fields = {"i16", "flags", "z", "c", "u", "d", "s", "e"};
  const std::vector<std::int16_t> i16 = {-1, 0, 7};
  const std::vector<std::uint8_t> flags = {1, 0};
  const double re = 1.5, im = -2;
  const std::vector<std::uint16_t> utf16 = {'h', 0xe9};
  const std::vector<std::int32_t> q = {1, 2, 3, 4};
  const std::uint8_t two_hundred = 200;
  const Bytes nested = matrix(cat({head(struct_class, 0, {1, 1}), field_names({"q"}, 2),
                                   matrix(cat({head(double_class, 0, {2, 2}), element(miINT32, q)}))}));
  const Bytes body = cat({
      head(struct_class, 0, {1, 1}, "ab"),  // the name in the small form
      field_names(fields, 8),
      matrix(cat({head(int16_class, 0, {1, 3}), element(miINT16, i16)})),
      matrix(cat({head(uint8_class, logical_flag, {1, 2}), element(miUINT8, flags)})),
      matrix(cat({head(double_class, complex_flag, {1, 1}), element(miDOUBLE, &re, 8), element(miDOUBLE, &im, 8)})),
      matrix(cat({head(cell_class, 0, {1, 2}), matrix(cat({head(char_class, 0, {1, 2}), element(miUTF16, utf16)})),
                  matrix({})})),
      matrix(cat({head(char_class, 0, {1, 2}), text_element(miUTF8, "\xe2\x82\xac" "x")})),
      matrix(cat({head(double_class, 0, {1, 1}), element(miUINT8, &two_hundred, 1)})),
      nested,
      matrix({}),
  });
  const std::size_t before = host::live_allocations();
  std::optional<Captured> captured = capture(stream(matrix(body)));
  const Captured& c = *captured;
  ASSERT_FALSE(c.result.error) << c.result.error->what();
  const mxArray* s = c.result.outputs.at(0).get();
  ASSERT_TRUE(mxIsStruct(s));
  ASSERT_EQ(mxGetNumberOfFields(s), 8);
  for (int f = 0; f < 8; ++f) EXPECT_EQ(mxGetFieldNameByNumber(s, f), fields[static_cast<std::size_t>(f)]);

  const mxArray* a = mxGetField(s, 0, "i16");
  ASSERT_TRUE(a != nullptr && mxIsInt16(a));
  EXPECT_EQ(data_of<std::int16_t>(a), i16);
  a = mxGetField(s, 0, "flags");
  ASSERT_TRUE(a != nullptr && mxIsLogical(a));
  EXPECT_EQ(data_of<mxLogical>(a), (std::vector<mxLogical>{true, false}));
  a = mxGetField(s, 0, "z");
  ASSERT_TRUE(a != nullptr && mxIsDouble(a) && mxIsComplex(a));
  EXPECT_EQ(mxGetPr(a)[0], 1.5);
  EXPECT_EQ(mxGetPi(a)[0], -2.0);
  a = mxGetField(s, 0, "c");
  ASSERT_TRUE(a != nullptr && mxIsCell(a));
  ASSERT_EQ(mxGetNumberOfElements(a), 2u);
  EXPECT_EQ(host::text(mxGetCell(a, 0)), "h\xc3\xa9");
  EXPECT_TRUE(mxGetCell(a, 1) == nullptr || mxIsEmpty(mxGetCell(a, 1)));
  a = mxGetField(s, 0, "u");
  ASSERT_TRUE(a != nullptr && mxIsChar(a));
  EXPECT_EQ(host::text(a), "\xe2\x82\xac" "x");
  a = mxGetField(s, 0, "d");
  ASSERT_TRUE(a != nullptr && mxIsDouble(a));
  EXPECT_EQ(host::values(a), std::vector<double>{200});
  a = mxGetField(s, 0, "s");
  ASSERT_TRUE(a != nullptr && mxIsStruct(a));
  EXPECT_EQ(host::values(mxGetField(a, 0, "q")), (std::vector<double>{1, 2, 3, 4}));
  EXPECT_EQ(mxGetM(mxGetField(a, 0, "q")), 2u);
  a = mxGetField(s, 0, "e");
  EXPECT_TRUE(a == nullptr || mxIsEmpty(a));

  captured.reset();
  EXPECT_EQ(host::live_allocations(), before);
}

// Whatever is wrong with a stream, the reader refuses it through the host's
// error call and keeps nothing of what it had built.
TEST(NameCapture, RefusesMalformedStreamsAndKeepsNothing) {
  using namespace m5;
  const double one = 1;
  const Bytes scalar = matrix(cat({head(double_class, 0, {1, 1}), element(miDOUBLE, &one, 8)}));
  const Bytes good = stream(scalar);
  const std::string good_hex = hex(deflate(good));
  const auto length = static_cast<std::uint32_t>(good.size());

  Bytes deep = scalar;
  for (int i = 0; i < 40; ++i) deep = matrix(cat({head(cell_class, 0, {1, 1}), deep}));
  Bytes big_endian = good;
  big_endian[2] = 'M';
  big_endian[3] = 'I';
  Bytes overlong = scalar;
  overlong[4] += 64;
  // A small-form flags element that claims six bytes.
  Bytes small_overlong = scalar;
  small_overlong[8] = miUINT32;
  small_overlong[10] = 6;
  std::string bad_digit = good_hex;
  bad_digit[10] = 'g';

  struct Case {
    const char* what;
    std::vector<std::string> pieces;
    std::uint32_t length;
  };
  auto stored = [](const Bytes& inflated) {
    return Case{"", pieces(hex(deflate(inflated))), static_cast<std::uint32_t>(inflated.size())};
  };
  auto with = [](const char* what, Case c) {
    c.what = what;
    return c;
  };
  const std::vector<Case> cases = {
      {"a character that is not a hexadecimal digit", {bad_digit}, length},
      {"an odd number of digits", {good_hex + "0"}, length},
      {"a declared length one too long", {good_hex}, length + 1},
      {"a declared length one too short", {good_hex}, length - 1},
      {"a truncated zlib stream", {good_hex.substr(0, good_hex.size() - 8)}, length},
      {"data after the zlib stream", {good_hex + "00"}, length},
      {"no pieces", {}, length},
      {"a length shorter than the prefix", {hex(deflate({0x00, 0x01, 'I', 'M'}))}, 4},
      with("a big-endian prefix", stored(big_endian)),
      with("no array at the top", stored(stream(element(miDOUBLE, &one, 8)))),
      with("an array longer than the stream", stored(stream(overlong))),
      with("a small element claiming six bytes", stored(stream(small_overlong))),
      with("data after the array", stored(cat({good, element(miDOUBLE, &one, 8)}))),
      with("more data inside the array than it holds", stored(stream(matrix(cat({head(double_class, 0, {1, 1}),
                                                                                 element(miDOUBLE, &one, 8),
                                                                                 element(miDOUBLE, &one, 8)}))))),
      with("huge dimensions", stored(stream(matrix(head(cell_class, 0, {2147483647, 2147483647}))))),
      with("a negative dimension", stored(stream(matrix(cat({head(double_class, 0, {-1, 1}), element(miDOUBLE, &one, 8)}))))),
      with("a single dimension", stored(stream(matrix(cat({head(double_class, 0, {1}), element(miDOUBLE, &one, 8)}))))),
      with("a number count that differs from the size",
           stored(stream(matrix(cat({head(double_class, 0, {1, 2}), element(miDOUBLE, &one, 8)}))))),
      with("a character count that differs from the size",
           stored(stream(matrix(cat({head(char_class, 0, {1, 5}), text_element(miUTF8, "abc")}))))),
      with("invalid UTF-8", stored(stream(matrix(cat({head(char_class, 0, {1, 1}), text_element(miUTF8, "\xff")}))))),
      with("a field name length of zero", stored(stream(matrix(cat({head(struct_class, 0, {1, 1}), field_names({}, 0)}))))),
      with("an unterminated field name",
           stored(stream(matrix(cat({head(struct_class, 0, {1, 1}), field_names({"abcd"}, 4), scalar}))))),
      with("more structure elements than the data holds",
           stored(stream(matrix(cat({head(struct_class, 0, {1, 100}), field_names({"a"}, 8), scalar}))))),
      with("a cell that is not an array", stored(stream(matrix(cat({head(cell_class, 0, {1, 1}), element(miDOUBLE, &one, 8)}))))),
      with("an unsupported class", stored(stream(matrix(cat({head(sparse_class, 0, {1, 1}), element(miDOUBLE, &one, 8)}))))),
      with("arrays nested too deeply", stored(stream(deep))),
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const Captured c = capture(k.pieces, k.length);
    ASSERT_TRUE(c.result.error.has_value());
    EXPECT_EQ(c.result.error->identifier(), "EMLRT:runTime:MalformedNameCapture");
    EXPECT_EQ(c.result.error->message().rfind("cannot rebuild a stored array: ", 0), 0u) << c.result.error->message();
    EXPECT_EQ(c.result.outputs.at(0), nullptr);
    EXPECT_EQ(c.live_after, c.live_before);
  }
  // The well-formed stream all of them start from is read.
  const Captured c = capture({good_hex}, length);
  ASSERT_FALSE(c.result.error) << c.result.error->what();
  EXPECT_EQ(host::values(c.result.outputs.at(0).get()), std::vector<double>{1});
}

}  // namespace
}  // namespace bipedkin::testing
