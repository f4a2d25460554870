// SPDX-License-Identifier: MIT
// ZvExec finds a parsed tree's program by its root and nothing else: trees
// past the table's room, hand-built trees at the address of a released one,
// and threads parsing, evaluating and releasing at once.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "api/zorvan.h"
#include "eval/eval.h"

namespace {

PixelContext ContextAt(int32_t x) {
    PixelContext c{};
    c.x = x, c.y = 3, c.width = 100, c.red = 9;
    return c;
}

int32_t Exec(const ExprNode* root, int32_t x) {
    PixelContext c = ContextAt(x);
    return ZvExec(root, &c);
}

TEST(Roots, TreesBeyondTheTableRunOnTheTreeWalk) {
    std::vector<ExprNode*> trees;
    for (int32_t i = 0; i < 6000; ++i) {
        int32_t status = -1;
        trees.push_back(ZvParse(("x*" + std::to_string(i) + "+r/3").c_str(), &status, 1));
        ASSERT_EQ(status, ZV_PARSE_OK);
    }
    for (int32_t i = 0; i < 6000; ++i) EXPECT_EQ(Exec(trees[i], 2), 2 * i + 3) << i;
    for (ExprNode* t : trees) ZvFree(t);
    int32_t status = -1;
    ExprNode* again = ZvParse("x-r", &status, 1);
    EXPECT_EQ(Exec(again, 20), 11);
    ZvFree(again);
}

// A host's node that lands where a released parsed root was is its own
// tree: y, not the released x + 1.
TEST(Roots, AHandBuiltTreeAtAReleasedRootsAddressIsWalked) {
    int32_t status = -1;
    ExprNode* parsed = ZvParse("x+1", &status, 1);
    ASSERT_EQ(Exec(parsed, 5), 6);
    const void* where = parsed;
    ZvFree(parsed);
    std::vector<void*> blocks;
    ExprNode* mine = nullptr;
    for (int i = 0; i < 64 && !mine; ++i) {
        blocks.push_back(std::malloc(sizeof(ExprNode)));
        if (blocks.back() == where) mine = static_cast<ExprNode*>(blocks.back());
    }
    if (mine) {
        *mine = ExprNode{'y', 0, 0, nullptr};
        EXPECT_EQ(Exec(mine, 5), 3);
    }
    for (void* b : blocks) std::free(b);
    if (!mine) GTEST_SKIP() << "the allocator did not hand the address out again";
}

// Run with ThreadSanitizer too: parses, evaluations and releases on four
// threads while all of them evaluate one shared tree.
TEST(Roots, ThreadsParseEvaluateAndReleaseAtOnce) {
    int32_t status = -1;
    ExprNode* shared = ZvParse("x*2+r", &status, 1);
    auto work = [shared](int32_t id, int32_t* failures) {
        for (int32_t i = 0; i < 400; ++i) {
            int32_t s = -1;
            const int32_t k = id * 1000 + i;
            ExprNode* own = ZvParse(("x+" + std::to_string(k)).c_str(), &s, 1);
            *failures += Exec(own, 1) != k + 1;
            *failures += Exec(shared, i) != 2 * i + 9;
            ZvFree(own);
        }
    };
    std::vector<int32_t> failures(4, 0);
    std::vector<std::thread> threads;
    for (int32_t id = 0; id < 4; ++id) threads.emplace_back(work, id, &failures[size_t(id)]);
    for (std::thread& t : threads) t.join();
    for (int32_t id = 0; id < 4; ++id) EXPECT_EQ(failures[size_t(id)], 0) << id;
    ZvFree(shared);
}

}  // namespace
