// The C library's evaluators by name, for the suites that call it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "bipedkin.h"

namespace bipedkin::testing {

// The evaluator of that name; a name the library does not know fails the
// test (and gives null).
inline const bipedkin_evaluator* find(const std::string& name) {
  const bipedkin_evaluator* e = nullptr;
  EXPECT_EQ(bipedkin_find(name.c_str(), &e), BIPEDKIN_OK) << bipedkin_last_error();
  return e;
}

}  // namespace bipedkin::testing
