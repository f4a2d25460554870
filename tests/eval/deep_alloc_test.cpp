// SPDX-License-Identifier: MIT
// The explicit stack of the deep evaluator cannot grow: the call yields 0
// and leaves the thread able to evaluate again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "tests/eval/fixture.h"

namespace {
bool failRealloc = false;
}

extern "C" void* __real_realloc(void* p, size_t n);
extern "C" void* __wrap_realloc(void* p, size_t n) {
    return failRealloc ? nullptr : __real_realloc(p, n);
}

namespace zvtest {
namespace {

TEST(DeepAlloc, FailedGrowthYieldsZero) {
    Tree t;
    ExprNode* deep = t.Deep(t('+', 2, 3));
    std::thread([&] {
        PixelContext c{};
        failRealloc = true;
        EXPECT_EQ(ZvExec(deep, &c), 0);
        failRealloc = false;
        EXPECT_EQ(ZvExec(deep, &c), 5);
    }).join();
}

}  // namespace
}  // namespace zvtest
