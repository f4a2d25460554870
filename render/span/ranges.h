/* SPDX-License-Identifier: MIT */
// Which branch every conditional of an interleaved program takes on a whole
// stretch of a row, found from the range each value can take there: x
// between the stretch's first and last column, z below the channel count,
// c a byte, and the values fixed for the run exactly. A conditional whose
// condition's range holds no zero, or only zero, takes one branch on every
// element, so the formula with that branch in its place gives the same
// values there.
#pragma once

#include <cstdint>
#include <vector>

#include "render/span/span.h"

namespace zv {

class SpanRanges {
   public:
    explicit SpanRanges(const SpanProgram& program) : program_(program) {}

    // Per conditional among the program's loops, in order: 1 or 2, the
    // child it takes on every element of count pixels from column x0 with
    // `channels` channels, or 0 when that is not known. scalars are the
    // run's fixed values. Valid until the next call.
    const std::vector<int8_t>& TakenOn(const int32_t* scalars, int32_t x0, int32_t count,
                                       int32_t channels);

    struct Range {
        int64_t lo, hi;
    };
    // Every value's range in the last TakenOn.
    const std::vector<Range>& Ranges() const { return ranges_; }

   private:
    const SpanProgram& program_;
    std::vector<Range> ranges_;
    std::vector<int8_t> taken_;
};

}  // namespace zv
