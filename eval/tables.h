/* SPDX-License-Identifier: MIT */
// The trigonometric tables: 1024 steps a turn, sine and cosine scaled by 512,
// tangent by 1024.
#pragma once

#include <cstdint>

namespace zv {

extern const int32_t SinTable[1024];
extern const int32_t CosTable[1024];
extern const int32_t TanTable[1024];

// The entry an angle reads. Negative angles count down from 1023, not 1024:
// -1 reads entry 1022.
// One load at a computed index, which loops vectorise as a gather.
inline int32_t AngleLookup(const int32_t* table, int32_t angle) {
    return table[angle % 1024 + (angle >> 31 & 1023)];
}

}  // namespace zv
