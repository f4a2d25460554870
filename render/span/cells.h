/* SPDX-License-Identifier: MIT */
// Cells used as local variables: a formula that reads only the cells it has
// written itself in the same evaluation carries nothing from one pixel to
// the next, so its pixels may be computed in any order, on any thread, and
// its cells kept in registers.
#pragma once

#include <cstdint>

#include "api/zorvan.h"

namespace zv {

// The cell a put or get names by a literal, or -1 where the number is
// computed; a literal outside 0..255 names no cell (kNoCell).
inline constexpr int32_t kComputedCell = -1, kNoCell = 256;
int32_t CellOf(const ExprNode& putOrGet);

// Whether every get(k) of the tree has a literal k and follows, on every
// path through one evaluation, a put(..., k). Put/get order is observable,
// so "follows" is in the order of evaluation: right operand first, a
// call's arguments last to first, && || ?: and , left to right. False for
// trees nested too deeply to check.
bool CellsAreLocal(const ExprNode* root);

// Whether the tree calls put.
bool Puts(const ExprNode* root);

}  // namespace zv
