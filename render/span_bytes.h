// The loops between a run's values and the bytes of a row.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zv {

// Values clamped to 0..255 into adjacent bytes.
void ClampToBytes(const int32_t* values, int32_t count, uint8_t* out);

// Whether LookUp runs: it needs AVX-512's byte permutes, in use. A loop
// over a byte at a time is slower than a run's steps even on the baseline.
bool LooksUpFast();

// out[i] = table[in[i]] for count bytes; only where LooksUpFast.
void LookUp(const uint8_t* table, const uint8_t* in, size_t count, uint8_t* out);

}  // namespace zv
