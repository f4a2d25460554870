/* SPDX-License-Identifier: MIT */
// Hand-built trees and a small test image for the evaluator's tests.
#pragma once

#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "api/zorvan.h"

namespace zvtest {

constexpr int32_t kMin = INT32_MIN, kMax = INT32_MAX;

// Owns every node it makes. t('+', 7, t('x')) builds 7 + x: an int argument
// becomes a NUMBER node, a kind without arguments a leaf.
class Tree {
   public:
    ExprNode* Num(int32_t v) { return Make(ZV_NUMBER, v, {}); }
    ExprNode* Make(int32_t kind, int32_t value, std::vector<ExprNode*> kids) {
        arrays_.push_back(std::move(kids));
        std::vector<ExprNode*>& a = arrays_.back();
        nodes_.push_back(
            {kind, value, static_cast<int32_t>(a.size()), a.empty() ? nullptr : a.data()});
        return &nodes_.back();
    }
    template <class... Kids>
    ExprNode* operator()(int32_t kind, Kids... kids) {
        return Make(kind, 0, {Wrap(kids)...});
    }
    // n below 5000 levels of «... + 0», more than the native recursion takes,
    // so n runs on the explicit stack (a chain of unary plus would not: its
    // calls are tail calls). The levels are made once and hold only the
    // latest n.
    ExprNode* Deep(ExprNode* n) {
        if (!deepTop_) {
            deepTop_ = deepBottom_ = (*this)('+', 0, 0);
            for (int i = 1; i < 5000; ++i) deepTop_ = (*this)('+', deepTop_, 0);
        }
        deepBottom_->children[0] = n;
        return deepTop_;
    }

   private:
    ExprNode* Wrap(ExprNode* n) { return n; }
    ExprNode* Wrap(int32_t v) { return Num(v); }
    std::deque<ExprNode> nodes_;
    std::deque<std::vector<ExprNode*>> arrays_;
    ExprNode *deepTop_ = nullptr, *deepBottom_ = nullptr;
};

// A 5 x 3 image of 4 channels whose rows are addressed with a stride of 6,
// scrambled channel offsets and a negative pixelBase; maxX is 3, one less
// than the image has columns, so that alpha-plane rows (width 5) are longer
// than the readable part.
struct Image {
    static constexpr int32_t kWidth = 5, kHeight = 3, kStride = 6, kRowBytes = 40;
    static constexpr int32_t kOffset[4] = {3, 1, 0, 2};
    static constexpr int32_t kBase = -3;
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kHeight * kRowBytes, 0xEE);
    std::vector<uint8_t> alpha = std::vector<uint8_t>(kWidth * kHeight);
    std::vector<const uint8_t*> rows;

    static uint8_t Byte(int32_t col, int32_t row, int32_t k) {
        return static_cast<uint8_t>(col * 37 + row * 71 + k * 13 + 5);
    }
    static uint8_t Alpha(int32_t col, int32_t row) {
        return static_cast<uint8_t>(200 + col + 10 * row);
    }

    Image() {
        for (int32_t row = 0; row < kHeight; ++row) {
            uint8_t* line = bytes.data() + row * kRowBytes;
            for (int32_t col = 0; col < kWidth; ++col) {
                for (int32_t k = 0; k < 4; ++k)
                    line[1 + col * kStride + kOffset[k]] = Byte(col, row, k);
                alpha[row * kWidth + col] = Alpha(col, row);
            }
            rows.push_back(line + 1 - kBase);
        }
    }
    void SetPixel(int32_t col, int32_t row, uint8_t r, uint8_t g, uint8_t b) {
        uint8_t* p = bytes.data() + row * kRowBytes + 1 + col * kStride;
        p[kOffset[0]] = r, p[kOffset[1]] = g, p[kOffset[2]] = b;
    }
    // A context for pixel (x, y) with every other field distinct.
    PixelContext Context(int32_t x = 1, int32_t y = 1, bool withAlpha = false) const {
        PixelContext c{};
        c.dMax = 1024, c.mMax = 300, c.x = x, c.y = y, c.width = kWidth, c.height = kHeight;
        c.centerX = 2, c.centerY = 1, c.channel = 2, c.channelCount = 4, c.t = 7, c.total = 9;
        for (int32_t i = 0; i < 256; ++i) c.cells[i] = 1000 + i;
        for (int32_t i = 0; i < 8; ++i) c.controls[i] = 10 * (i + 1);
        for (int32_t k = 0; k < 4; ++k) c.channelOffset[k] = kOffset[k];
        c.red = 11, c.green = 22, c.blue = 33, c.current = 44;
        c.pixelBase = kBase, c.rows = rows.data(), c.maxX = kWidth - 2, c.maxY = kHeight - 1;
        c.pixelStride = kStride, c.alphaPlane = withAlpha ? alpha.data() : nullptr;
        return c;
    }
};

// A formula's tree and the value it must yield.
struct Case {
    const char* name;
    ExprNode* tree;
    int32_t want;
};

// Runs each case on the native fast path and on the explicit stack: both
// must agree.
class EvalTest : public ::testing::Test {
   protected:
    Tree t;
    Image image;
    PixelContext context = image.Context();

    void Check(const std::vector<Case>& cases) {
        for (const Case& k : cases) {
            PixelContext c = context;
            EXPECT_EQ(ZvExec(k.tree, &c), k.want) << k.name;
            c = context;
            EXPECT_EQ(ZvExec(t.Deep(k.tree), &c), k.want) << k.name << ", deep";
        }
    }
};

// Runs f on a new thread with a stack of the given size.
inline void OnThread(size_t stackBytes, std::function<void()> f) {
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, stackBytes), 0);
    pthread_t thread;
    auto run = [](void* p) -> void* {
        (*static_cast<std::function<void()>*>(p))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, run, &f), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

}  // namespace zvtest
