// SPDX-License-Identifier: MIT
// The built-in functions with their bad-argument results, and every way a
// pixel read follows the context.
#include <gtest/gtest.h>

#include <algorithm>

#include "eval/tables.h"
#include "tests/eval/fixture.h"

namespace zvtest {
namespace {

using Builtins = EvalTest;
using zv::AngleLookup, zv::SinTable, zv::CosTable, zv::TanTable;

TEST_F(Builtins, Arithmetic) {
    Check({
        {"abs(-5)", t(ZV_ABS, -5), 5},
        {"abs(min)", t(ZV_ABS, kMin), kMin},
        {"add below", t(ZV_ADD, 3, 4, 10), 7},
        {"add capped", t(ZV_ADD, 3, 4, 5), 5},
        {"add wraps", t(ZV_ADD, kMax, 1, 0), kMin},
        {"sub above", t(ZV_SUB, 3, 10, 5), 7},
        {"sub floored", t(ZV_SUB, 3, 4, 5), 5},
        {"dif", t(ZV_DIF, 10, 3), 7},
        {"dif wraps", t(ZV_DIF, kMin, 1), kMax},
        {"min", t(ZV_MIN, 3, -4), -4},
        {"max", t(ZV_MAX, 3, -4), 3},
        {"mix(255,0,1,3)", t(ZV_MIX, 255, 0, 1, 3), 85},
        {"mix quotients apart", t(ZV_MIX, 11, 21, 1, 2), 15},
        {"mix d=0", t(ZV_MIX, 10, 20, 0, 0), 0},
        {"mix min/-1", t(ZV_MIX, kMin, 0, 1, -1), kMin},
        {"scl", t(ZV_SCL, 5, 0, 10, 0, 100), 50},
        {"scl unclamped", t(ZV_SCL, 15, 0, 10, 0, 100), 150},
        {"scl ih=il", t(ZV_SCL, 1, 2, 2, 7, 100), 0},
        {"scl min/-1", t(ZV_SCL, kMin, 0, -1, 0, 1), kMin},
        {"sqr(-1)", t(ZV_SQR, -1), 0},
        {"sqr(24)", t(ZV_SQR, 24), 4},
        {"sqr(25)", t(ZV_SQR, 25), 5},
        {"sqr(max)", t(ZV_SQR, kMax), 46340},
        {"c2m(3,4)", t(ZV_C2M, -3, 4), 5},
        {"c2m wraps", t(ZV_C2M, 40000, 40000), 0},
        {"c2m(46341,0)", t(ZV_C2M, 46341, 0), 0},
        {"c2d(1,1)", t(ZV_C2D, 1, 1), 127},
        {"c2d(-1,1)", t(ZV_C2D, -1, 1), 384},
        {"c2d(1,-1)", t(ZV_C2D, 1, -1), -127},
        {"c2d(0,5)", t(ZV_C2D, 0, 5), 256},
        {"c2d(-3,0)", t(ZV_C2D, -3, 0), 512},
        {"c2d(3,0)", t(ZV_C2D, 3, 0), 0},
        {"c2d(0,min)", t(ZV_C2D, 0, kMin), -256},
        {"c2d(min,1)", t(ZV_C2D, kMin, 1), 512},
        {"rst", t(ZV_RST, 77), 0},
    });
}

// Controls are 10, 20, ..., 80; cells hold 1000 + index.
TEST_F(Builtins, ControlsAndCells) {
    Check({
        {"ctl(0)", t(ZV_CTL, 0), 10},
        {"ctl(7)", t(ZV_CTL, 7), 80},
        {"ctl(8)", t(ZV_CTL, 8), 0},
        {"ctl(-1)", t(ZV_CTL, -1), 0},
        {"val(0,0,255)", t(ZV_VAL, 0, 0, 255), 10},
        {"val(1,100,0)", t(ZV_VAL, 1, 100, 0), 93},
        {"val(8,0,255)", t(ZV_VAL, 8, 0, 255), 0},
        {"val(-1,0,255)", t(ZV_VAL, -1, 0, 255), 0},
        {"map q", t(ZV_MAP, 0, 20), 0},
        {"map p", t(ZV_MAP, 0, 10), 255},
        {"map between", t(ZV_MAP, 0, 15), 127},
        {"map beyond", t(ZV_MAP, 0, 0), 510},
        {"map(4,1)", t(ZV_MAP, 4, 1), 0},
        {"map(-1,1)", t(ZV_MAP, -1, 1), 0},
        {"get(0)", t(ZV_GET, 0), 1000},
        {"get(255)", t(ZV_GET, 255), 1255},
        {"get(256)", t(ZV_GET, 256), 0},
        {"get(-1)", t(ZV_GET, -1), 0},
        {"put(7,3)", t(ZV_PUT, 7, 3), 7},
        {"put then get", t(ZV_SEQ, t(ZV_PUT, 7, 3), t(ZV_GET, 3)), 7},
        {"put(5,256)", t(ZV_PUT, 5, 256), 0},
        {"put(5,-1)", t(ZV_PUT, 5, -1), 0},
        {"rst runs its argument", t(ZV_SEQ, t(ZV_RST, t(ZV_PUT, 4, 0)), t(ZV_GET, 0)), 4},
    });
    context.controls[2] = context.controls[3] = 40;  // pair 1: a step at 40
    context.controls[4] = context.controls[5] = 0;   // pair 2: unset
    context.controls[6] = 0, context.controls[7] = 1;
    Check({{"step at q", t(ZV_MAP, 1, 40), 0},
           {"step above q", t(ZV_MAP, 1, 41), 255},
           {"unset pair", t(ZV_MAP, 2, -9), 255},
           {"map min/-1", t(ZV_MAP, 3, kMin + 1), kMin}});
}

TEST_F(Builtins, PutOutOfRangeStoresNothing) {
    for (int32_t i : {256, -1, kMin}) {
        PixelContext c = context;
        ZvExec(t(ZV_PUT, 5, i), &c);
        EXPECT_TRUE(std::equal(c.cells, c.cells + 256, context.cells)) << i;
    }
}

TEST_F(Builtins, Trigonometry) {
    auto S = [](int32_t d) { return AngleLookup(SinTable, d); };
    auto C = [](int32_t d) { return AngleLookup(CosTable, d); };
    Check({
        {"sin(0)", t(ZV_SIN, 0), SinTable[0]},
        {"sin(1024)", t(ZV_SIN, 1024), SinTable[0]},
        {"sin(-1)", t(ZV_SIN, -1), SinTable[1022]},
        {"sin(-1023)", t(ZV_SIN, -1023), SinTable[0]},
        {"sin(-1024)", t(ZV_SIN, -1024), SinTable[1023]},
        {"sin(min)", t(ZV_SIN, kMin), SinTable[1023]},
        {"cos(1023)", t(ZV_COS, 1023), CosTable[1023]},
        {"cos(-2)", t(ZV_COS, -2), CosTable[1021]},
        {"tan(513)", t(ZV_TAN, 513), TanTable[513]},
        {"tan(2561)", t(ZV_TAN, 2561), TanTable[513]},
        {"r2x(0,100)", t(ZV_R2X, 0, 100), C(0) * 100 / 512},
        {"r2y(0,100)", t(ZV_R2Y, 0, 100), S(0) * 100 / 512},
        {"r2y(-1,1000)", t(ZV_R2Y, -1, 1000), S(-1) * 1000 / 512},
        {"r2x(300,-7)", t(ZV_R2X, 300, -7), C(300) * -7 / 512},
    });
}

// Every column, row and channel, inside and outside the image, with and
// without the alpha plane.
TEST_F(Builtins, SourceReadsClampedPixels) {
    for (bool plane : {false, true}) {
        context.alphaPlane = plane ? image.alpha.data() : nullptr;
        std::vector<Case> cases;
        for (int32_t row = -2; row <= 4; ++row) {
            for (int32_t col = -2; col <= 5; ++col) {
                int32_t cc = std::clamp(col, 0, 3), rc = std::clamp(row, 0, 2);
                for (int32_t k = 0; k < 4; ++k) {
                    int32_t want = plane && k == 3 ? Image::Alpha(cc, rc) : Image::Byte(cc, rc, k);
                    cases.push_back({"src", t(ZV_SRC, col, row, k), want});
                }
            }
        }
        Check(cases);
    }
}

// The offsets come from the context at every read.
TEST_F(Builtins, AddressingFollowsTheRecord) {
    context.channelOffset[0] = context.channelOffset[1] = 0;  // where channel 2 lies
    context.pixelBase = Image::kBase + 1;                     // one byte on: channel 1
    context.pixelStride = 2 * Image::kStride;                 // every other pixel
    context.maxX = 1;
    context.alphaPlane = image.alpha.data();
    Check({{"base", t(ZV_SRC, 0, 1, 0), Image::Byte(0, 1, 1)},
           {"stride", t(ZV_SRC, 1, 2, 1), Image::Byte(2, 2, 1)},
           {"clamped to new maxX", t(ZV_SRC, 4, 0, 1), Image::Byte(2, 0, 1)},
           {"plane ignores stride", t(ZV_SRC, 1, 2, 3), Image::Alpha(1, 2)}});
}

TEST_F(Builtins, Polar) {
    for (int32_t d : {0, 256, 512, 768, -300, 100}) {
        for (int32_t m : {0, 1, 2, 5, 1000}) {
            int32_t col = std::clamp(2 + AngleLookup(CosTable, d) * m / 512, 0, 3);
            int32_t row = std::clamp(1 + AngleLookup(SinTable, d) * m / 512, 0, 2);
            Check({{"rad", t(ZV_RAD, d, m, 1), Image::Byte(col, row, 1)}});
        }
    }
}

TEST_F(Builtins, Convolution) {
    auto P = [](int32_t col, int32_t row) {
        return Image::Byte(std::clamp(col, 0, 3), std::clamp(row, 0, 2), 2);
    };
    for (auto [x, y] : {std::pair{1, 1}, {0, 0}, {3, 2}, {-4, 9}}) {
        context.x = x, context.y = y;
        int32_t weighted = 0, box = 0;
        for (int32_t i = 0; i < 9; ++i) {
            weighted += (i + 1) * P(x - 1 + i % 3, y - 1 + i / 3);
            box += P(x - 1 + i % 3, y - 1 + i / 3);
        }
        Check({{"identity", t(ZV_CNV, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1), P(x, y)},
               {"weights row by row", t(ZV_CNV, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1), weighted},
               {"box", t(ZV_CNV, 1, 1, 1, 1, 1, 1, 1, 1, 1, 9), box / 9},
               {"negative divisor", t(ZV_CNV, 1, 1, 1, 1, 1, 1, 1, 1, 1, -2), box / -2},
               {"d=0", t(ZV_CNV, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0), 255}});
    }
    context.x = context.y = context.channel = 3;
    context.alphaPlane = image.alpha.data();
    Check({{"alpha plane", t(ZV_CNV, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1), Image::Alpha(3, 2)}});
}

// Channels outside 0..3 read 255 and touch no memory: rows and plane are
// null here.
TEST_F(Builtins, BadChannelsReadNothing) {
    context.rows = nullptr;
    for (int32_t z : {4, -1, kMin, kMax}) {
        context.channel = z;
        Check({{"src", t(ZV_SRC, 0, 0, z), 255},
               {"rad", t(ZV_RAD, 0, 0, z), 255},
               {"cnv", t(ZV_CNV, 1, 1, 1, 1, 1, 1, 1, 1, 1, 3), 765},
               {"cnv min/-1", t(ZV_CNV, 0, 0, 0, 0, kMin, 0, 0, 0, 0, -1), kMin}});
    }
}

}  // namespace
}  // namespace zvtest
