// SPDX-License-Identifier: MIT
// Running out of memory while parsing. Linked with --wrap=malloc/free, so the
// library's allocations pass through here: counted, and made to fail on
// demand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "api/zorvan.h"

namespace {
long failIn = -1;       // allocations to let through before one fails; -1 never
bool tracking = false;  // count only the library's blocks, not the test's
long liveBlocks = 0;
}  // namespace

extern "C" void* __real_malloc(size_t size);
extern "C" void* __real_calloc(size_t count, size_t size);
extern "C" void* __real_realloc(void* p, size_t size);
extern "C" void __real_free(void* p);

extern "C" void* __wrap_malloc(size_t size) {
    if (!tracking) return __real_malloc(size);
    if (failIn >= 0 && failIn-- == 0) return nullptr;
    void* p = __real_malloc(size);
    if (p) ++liveBlocks;
    return p;
}

// The compiler may turn flex's malloc-and-clear into calloc.
extern "C" void* __wrap_calloc(size_t count, size_t size) {
    if (!tracking) return __real_calloc(count, size);
    if (failIn >= 0 && failIn-- == 0) return nullptr;
    void* p = __real_calloc(count, size);
    if (p) ++liveBlocks;
    return p;
}

extern "C" void* __wrap_realloc(void* p, size_t size) {
    if (!tracking) return __real_realloc(p, size);
    if (failIn >= 0 && failIn-- == 0) return nullptr;
    void* q = __real_realloc(p, size);
    if (q && !p) ++liveBlocks;
    return q;
}

extern "C" void __wrap_free(void* p) {
    if (tracking && p) --liveBlocks;
    __real_free(p);
}

// The C++ runtime's own allocations do not pass through the wrap; these do,
// unless a tool such as valgrind puts its own in their place (then none of
// ours runs). Kept whole (no inlining, no specialised copies), so that
// every call goes to the tool's in that case and no block made by one side
// is freed by the other.
#ifdef __clang__
#define KEPT_WHOLE [[gnu::noinline]]  // clang makes no specialised copies
#else
#define KEPT_WHOLE [[gnu::noipa]]
#endif
long ourNews = 0;
KEPT_WHOLE void* operator new(size_t size) {
    ++ourNews;
    if (void* p = __wrap_malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
KEPT_WHOLE void operator delete(void* p) noexcept {
    __wrap_free(p);
}
KEPT_WHOLE void operator delete(void* p, size_t) noexcept {
    __wrap_free(p);
}

namespace {

// The scanner allocates four blocks before the first node: its state, the
// copy of the text, the buffer record and the buffer stack.
constexpr long kScannerBlocks = 4;

ExprNode* ParseFailingAt(const char* text, long allocation, int32_t* status) {
    failIn = allocation;
    tracking = true;
    ExprNode* root = ZvParse(text, status, 1);
    tracking = false;
    return root;
}

void FreeTracked(ExprNode* root) {
    tracking = true;
    ZvFree(root);
    tracking = false;
}

// A failure after the tree is made, while compiling it for ZvExec, leaves
// the tree to the tree walk: status 0 and the same value.
TEST(AllocFailure, EveryFailedNodeGivesStatusTwoAndLeaksNothing) {
    const char* text = "x<X/2 ? x*3+y : 255-x, x/3 + min(y, 2)";
    long before = liveBlocks;
    long allocation = kScannerBlocks;
    int32_t compiled = 0;
    for (;; ++allocation) {
        int32_t status = -1;
        ExprNode* root = ParseFailingAt(text, allocation, &status);
        if (failIn >= 0 || status == 0) {  // the tree was made
            EXPECT_EQ(status, 0);
            PixelContext c{};
            c.x = 7, c.y = 5, c.width = 10;
            EXPECT_EQ(ZvExec(root, &c), 4) << allocation;
            FreeTracked(root);
            EXPECT_EQ(liveBlocks, before);
            if (failIn >= 0) break;  // nothing failed
            ++compiled;
            continue;
        }
        EXPECT_EQ(status, 2) << allocation;
        EXPECT_EQ(root, nullptr) << allocation;
        EXPECT_EQ(liveBlocks, before) << allocation;
    }
    EXPECT_GT(allocation, kScannerBlocks + 20);  // every node's two blocks were tried
    if (ourNews > 0) {
        EXPECT_GT(compiled, 3);  // and the compile's blocks
    }
}

TEST(AllocFailure, ScannerStateGivesStatusTwo) {
    int32_t status = -1;
    long before = liveBlocks;
    EXPECT_EQ(ParseFailingAt("r+g", 0, &status), nullptr);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(liveBlocks, before);
}

TEST(AllocFailure, SyntaxErrorsAndOverflowsLeakNothing) {
    long before = liveBlocks;
    std::string deep(20000, '(');
    for (const char* text : {"r+g*b)", "min(r, g, b)", "src(x, y, z) r", deep.c_str()}) {
        int32_t status = -1;
        EXPECT_EQ(ParseFailingAt(text, -1, &status), nullptr);
        EXPECT_NE(status, 0);
        EXPECT_EQ(liveBlocks, before) << text;
    }
}

// The scanner's copy, buffer record and buffer stack have no way back to
// the caller: flex's fatal path ends the process with its message and
// status 2.
TEST(AllocFailureDeathTest, ScannerBuffersEndTheProcess) {
    int32_t status = -1;
    EXPECT_EXIT(ParseFailingAt("r", 1, &status), testing::ExitedWithCode(2),
                "^out of dynamic memory in yy_scan_bytes\\(\\)\n$");
    EXPECT_EXIT(ParseFailingAt("r", 2, &status), testing::ExitedWithCode(2),
                "^out of dynamic memory in yy_scan_buffer\\(\\)\n$");
    EXPECT_EXIT(ParseFailingAt("r", 3, &status), testing::ExitedWithCode(2),
                "^out of dynamic memory in yyensure_buffer_stack\\(\\)\n$");
}

}  // namespace
