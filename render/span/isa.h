/* SPDX-License-Identifier: MIT */
// The instruction sets the span loops are built for, and the one they run
// with: the widest this processor has, unless ZORVAN_ISA names another that
// it runs, or a test asks for one.
#pragma once

#include <vector>

namespace zv {

// On AArch64 the baseline is NEON, which every such processor has.
enum class Isa { kBaseline, kSsse3, kAvx2, kAvx512 };

// Whether the loops are built for wider sets than the baseline: on x86 but
// not Windows, where GCC does not keep 32-byte stack slots aligned.
#if (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
#define ZV_SPAN_WIDE 1
#else
#define ZV_SPAN_WIDE 0
#endif

// The sets this build and processor can run, baseline first.
const std::vector<Isa>& RunnableIsas();

// The set that programs compiled from now on use. UseIsa, for tests, takes
// one of RunnableIsas.
Isa CurrentIsa();
void UseIsa(Isa isa);

// "AVX2", ...: for people.
const char* NameOf(Isa isa);

// Why ZORVAN_ISA was not followed ("ZORVAN_ISA=avx512 is not one of
// baseline, ssse3, avx2 that this processor runs"), or empty.
const char* IsaNote();

}  // namespace zv
