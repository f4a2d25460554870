/* SPDX-License-Identifier: MIT */
// The loop that computes a kind over a run, by which of its arguments are
// the same for the whole run (bit j: argument j is a scalar).
#pragma once

#include <cstdint>

#include "render/span/span.h"

namespace zv {

// Null where there is no loop for that combination; every kind that can
// vary along a run has one for mask 0, which takes every argument in lanes.
// On interleaved runs cnv has loops of its own.
SpanKernel KernelFor(int32_t kind, uint32_t scalarMask, bool interleaved = false);

}  // namespace zv
