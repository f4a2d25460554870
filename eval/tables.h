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
inline int32_t AngleLookup(const int32_t* table, int32_t angle) {
    int32_t r = angle % 1024;
    return angle >= 0 ? table[r] : table[1023 + r];
}

}  // namespace zv
