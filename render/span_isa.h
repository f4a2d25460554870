// The instruction sets the span loops are built for, and the one they run
// with: the widest this processor has, unless a test asks for another.
#pragma once

#include <vector>

namespace zv {

enum class Isa { kBaseline, kAvx2, kAvx512 };

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

const char* NameOf(Isa isa);

}  // namespace zv
