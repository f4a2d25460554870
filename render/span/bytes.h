/* SPDX-License-Identifier: MIT */
// The loops between a run's values and the bytes of a row.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "render/span/narrow.h"

namespace zv {

inline uint8_t ClampToByte(int32_t value) {
    return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

// Values clamped to 0..255 into adjacent bytes.
void ClampToBytes(const int32_t* values, int32_t count, uint8_t* out);

// A function of a byte as a table of 256, and the way LookUp computes it
// with the instruction set in use.
struct ByteTable {
    std::array<uint8_t, 256> bytes{};
    // kNone: no way faster than a run's steps (a byte at a time is slower
    // even on the baseline). kSaturate: bytes[c] is clamp(k + c) or
    // clamp(k - c), which is ((c +sat add) -sat subtract) ^ flip in every
    // byte lane. kShuffle: byte shuffles over pieces of the table. kNarrow:
    // the steps in 16-bit lanes (narrow.h).
    enum class Way : uint8_t { kNone, kSaturate, kShuffle, kNarrow } way = Way::kNone;
    uint8_t add = 0, subtract = 0, flip = 0;
    NarrowProgram narrow;
};

// Sets table's way from its bytes and the 16-bit steps that compute it, if
// any, for the instruction set in use.
void Prepare(ByteTable& table, NarrowProgram narrow = {});

// For tests and fuzzers: report() is called where Prepare finds 16-bit steps
// that miss their table's bytes, which it otherwise silently replaces by
// another way; steps are then checked on every instruction set, even those
// that would not take them. Null turns it off.
void ReportWrongSteps(void (*report)());

// out[i] = table.bytes[in[i]] for count bytes, where table.way is not kNone.
void LookUp(const ByteTable& table, const uint8_t* in, size_t count, uint8_t* out);

}  // namespace zv
