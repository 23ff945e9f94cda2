// A test instrument of our libemlrt: the run-time calls the calling thread
// makes, in order, each with its key arguments rendered as text.
//
// Roots and stacks are shown by what they refer to, so that records of two
// calls compare equal when the calls behaved alike: a root is "root" when it
// is the thread's live root, "null", or "other"; a stack is
// "stack{<location>,<root>,<caller>}" with "-" for a null pointer. Arrays are
// shown as "<class> <dims>", for example "double 44x1".
#pragma once

#include <string>
#include <vector>

namespace bipedkin::emlrt {

struct [[gnu::visibility("default")]] RecordedCall {
  std::string function;           // for example "emlrtEnterRtStackR2012b"
  std::vector<std::string> args;  // the key arguments, in order

  // "function(arg, arg)"
  std::string text() const;
};

// Switches the calling thread's record on (emptied) or off.
[[gnu::visibility("default")]] void record_calls(bool on);

// What the calling thread's record holds.
[[gnu::visibility("default")]] std::vector<RecordedCall> recorded_calls();

}  // namespace bipedkin::emlrt
