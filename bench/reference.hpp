// A plain implementation of the kinematic quantities, for comparison: what a
// straightforward implementation does. Generic 3x3 double matrices, the
// product form of the chain (one axis-angle rotation per joint, about the
// joint's line through its home point), a sine and a cosine per joint, and
// loops over a chain described at run time.
#pragma once

#include <string_view>

namespace bipedkin::bench::reference {

struct Chain;

// The plain computation of one deliverable, writing the elements the
// deliverable writes (and zeros or rounding residues where it leaves the
// host's zeros).
struct Reference {
  void (*compute)(const Chain& chain, int site, double* out, const double* x);
  const Chain* chain;
  int site;  // 0 mount, 1 hip abduction, ... 7 toe, 8 toe sole

  void operator()(double* out, const double* x) const { compute(*chain, site, out, x); }
};

// The reference of the kinematic deliverable `name`; compute is null for a
// name it does not cover (the constant tables).
Reference find(std::string_view name);

}  // namespace bipedkin::bench::reference
