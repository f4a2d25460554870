// SPDX-License-Identifier: MIT
// What depends on the thread: native stack depth, concurrent calls with
// different contexts, and the per-thread random generator.
#include <gtest/gtest.h>

#include <thread>

#include "tests/eval/fixture.h"

namespace zvtest {
namespace {

constexpr int32_t kLength = 1'000'000;

std::string Repeat(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) all += text;
    return all;
}

// Chains of a million nodes in each shape the evaluator descends through.
TEST(Threads, MillionDeepTreesOnSmallStack) {
    Tree t;
    Image image;
    PixelContext context = image.Context();  // r is 11
    struct Shape {
        const char* name;
        ExprNode* tree;
        int32_t want;
    };
    ExprNode *left = t('r'), *right = t('r'), *cond = t.Num(1), *seq = t('r'), *both = t.Num(5);
    for (int32_t i = 0; i < kLength; ++i) {
        left = t('+', left, t('r'));                          // r+r+...+r
        right = t('-', t('r'), right);                        // r-(r-(...))
        cond = t('?', cond, t.Num(i), t.Num(-1));             // ((1?0:-1)?1:-1)...
        seq = t(ZV_SEQ, t(ZV_PUT, t.Num(i), t.Num(0)), seq);  // put(0,0), put(1,0), ...
        both = t(ZV_AND, t.Num(1), t(ZV_UMINUS, both));
    }
    std::vector<Shape> shapes = {{"left +", left, 11 * (kLength + 1)},
                                 {"right -", right, 11},
                                 {"condition", cond, kLength - 1},
                                 {"sequence", t(ZV_SEQ, seq, t(ZV_GET, 0)), 0},
                                 {"and of minus", both, 1}};
    OnThread(256 * 1024, [&] {
        for (const Shape& s : shapes) {
            PixelContext c = context;
            EXPECT_EQ(ZvExec(s.tree, &c), s.want) << s.name;
        }
    });
}

// Hosts make threads with small stacks: the native recursion must hand over
// to the explicit stack before it reaches the end of the thread's own stack,
// whatever share of it the host has used.
TEST(Threads, SmallStacksHandOverInTime) {
    const std::string sum = "r" + Repeat("+r", 4000);
    const std::string nested = Repeat("abs(", 4000) + "-r" + Repeat(")", 4000);
    const std::string mixed = Repeat("rad(d, m + abs(", 300) + "r" + Repeat("), z)", 300);
    Image image;
    for (size_t kib : {32, 64, 128}) {
        for (const std::string* text : {&sum, &nested, &mixed}) {
            int32_t status = 0;
            ExprNode* tree = ZvParse(text->c_str(), &status, 1);
            ASSERT_EQ(status, ZV_PARSE_OK);
            int32_t got = 0, want = 0;
            PixelContext context = image.Context();
            want = ZvExec(tree, &context);
            OnThread(kib * 1024, [&] {
                PixelContext c = image.Context();
                got = ZvExec(tree, &c);
            });
            EXPECT_EQ(got, want) << kib << " KiB, " << text->substr(0, 20);
            ZvFree(tree);
        }
    }
}

// The first draw on a fresh thread is 41; rnd(a, a) and rnd(a, a-1)
// yield a and leave the generator where it was.
TEST(Threads, RandomStartsFreshOnEveryThread) {
    for (int round = 0; round < 2; ++round) {
        std::thread([] {
            Tree t;
            PixelContext c{};
            EXPECT_EQ(ZvExec(t(ZV_RND, 3, 3), &c), 3);
            EXPECT_EQ(ZvExec(t(ZV_RND, 5, 4), &c), 5);
            EXPECT_EQ(ZvExec(t(ZV_RND, kMin, kMax), &c), kMin);
            EXPECT_EQ(ZvExec(t(ZV_RND, 0, 32767), &c), 41);
            EXPECT_EQ(ZvExec(t(ZV_RND, 0, 32767), &c), 18467);
            EXPECT_EQ(ZvExec(t(ZV_RND, 10, 5), &c), 12);  // draw 6334: 10 + 6334 % -4
            EXPECT_EQ(ZvExec(t(ZV_RND, 1, 6), &c), 5);    // draw 26500
        }).join();
    }
}

// One tree, evaluated at once on several threads with contexts of their own,
// gives what it gives serially. The tree writes cells, reads pixels and runs
// a deep part on the explicit stack.
TEST(Threads, ConcurrentCallsMatchSerial) {
    Tree t;
    Image image;
    ExprNode* tree = t(ZV_SEQ,
                       t(ZV_PUT,
                         t('+', t(ZV_CNV, 1, 2, 1, 2, 4, 2, 1, 2, 1, 16),
                           t(ZV_SRC, t('+', t('x'), 1), t('-', t('y'), 1), t('z'))),
                         t('%', t('x'), 7)),
                       t('+', t('*', t(ZV_GET, t('%', t('x'), 7)), 3),
                         t('+', t.Deep(t('*', t('d'), t('m'))), t('+', t('a'), t(ZV_CTL, 2)))));
    constexpr int kThreads = 4, kSweeps = 50;
    auto sweep = [&](int id, std::vector<int32_t>& out) {
        PixelContext c = image.Context(0, 0, id % 2 == 1);
        c.channel = id % 4;
        c.controls[2] = 100 * id;
        for (int s = 0; s < kSweeps; ++s) {
            for (c.y = -1; c.y <= 3; ++c.y) {
                for (c.x = -1; c.x <= 5; ++c.x) out.push_back(ZvExec(tree, &c));
            }
        }
    };
    std::vector<std::vector<int32_t>> serial(kThreads), parallel(kThreads);
    for (int id = 0; id < kThreads; ++id) sweep(id, serial[id]);
    std::vector<std::thread> threads;
    for (int id = 0; id < kThreads; ++id) threads.emplace_back(sweep, id, std::ref(parallel[id]));
    for (std::thread& th : threads) th.join();
    for (int id = 0; id < kThreads; ++id) EXPECT_EQ(parallel[id], serial[id]) << "thread " << id;
}

}  // namespace
}  // namespace zvtest
