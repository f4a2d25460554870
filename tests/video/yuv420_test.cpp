// SPDX-License-Identifier: MIT
// The library's own RGB <-> YUV 4:2:0 loops against the colour matrices'
// definitions in doubles, on random pixels, so that a byte taken from the
// wrong lane, channel or row shows; and the vector loops against the
// scalar rows that finish a row.
#include "video/yuv420.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace zv::video {
namespace {

struct Coefficients {
    double kr, kb;
};

Coefficients For(AVColorSpace space) {
    return space == AVCOL_SPC_BT709 ? Coefficients{0.2126, 0.0722} : Coefficients{0.299, 0.114};
}

uint8_t& At(const AVFrame& f, int plane, int x, int y) {
    return f.data[plane][static_cast<ptrdiff_t>(y) * f.linesize[plane] + x];
}

void Randomise(AVFrame& f, std::mt19937& random) {
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(f.format));
    for (int plane = 0; plane < 4 && f.data[plane]; ++plane) {
        const bool chroma = plane == 1 || plane == 2;
        const int rows = chroma ? -((-f.height) >> d->log2_chroma_h) : f.height;
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < f.linesize[plane]; ++x) At(f, plane, x, y) = random() & 255;
        }
    }
}

FramePtr Frame(AVPixelFormat format, int width, int height) {
    FramePtr f = NewFrame();
    Allocate(*f, format, width, height);
    return f;
}

struct Case {
    AVPixelFormat rgb, yuv;
    AVColorSpace space;
    AVColorRange range;
    int width, height;
};

// Vector steps with scalar tails, odd sizes, alpha, both matrices and ranges.
const Case kCases[] = {
    {AV_PIX_FMT_RGB24, AV_PIX_FMT_YUV420P, AVCOL_SPC_UNSPECIFIED, AVCOL_RANGE_UNSPECIFIED, 97, 7},
    {AV_PIX_FMT_RGB24, AV_PIX_FMT_YUV420P, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG, 64, 4},
    {AV_PIX_FMT_RGB24, AV_PIX_FMT_YUV420P, AVCOL_SPC_BT709, AVCOL_RANGE_JPEG, 33, 3},
    {AV_PIX_FMT_RGBA, AV_PIX_FMT_YUVA420P, AVCOL_SPC_BT470BG, AVCOL_RANGE_MPEG, 35, 5},
    {AV_PIX_FMT_RGBA, AV_PIX_FMT_YUV420P, AVCOL_SPC_BT709, AVCOL_RANGE_JPEG, 3, 1},
};

// A case's frames, random pixels converted one way, and its matrix.
struct Converted {
    Converted(const Case& c, bool toYuv, std::mt19937& random)
        : rgb(Frame(c.rgb, c.width, c.height)),
          yuv(Frame(c.yuv, c.width, c.height)),
          full(c.range == AVCOL_RANGE_JPEG),
          channels(c.rgb == AV_PIX_FMT_RGBA ? 4 : 3) {
        kr = For(c.space).kr, kb = For(c.space).kb;
        const ColourTags tags{.range = c.range, .space = c.space};
        Randomise(toYuv ? *rgb : *yuv, random);
        converted = toYuv ? RgbToYuv420(*rgb, *yuv, tags) : Yuv420ToRgb(*yuv, *rgb, tags);
    }
    FramePtr rgb, yuv;
    bool full;
    int channels;
    double kr = 0, kb = 0;
    bool converted = false;
};

TEST(Yuv420, RgbToYuvFollowsTheMatrix) {
    std::mt19937 random(7);
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " case " << &c - kCases);
        const Converted f(c, true, random);
        ASSERT_TRUE(f.converted);
        const AVFrame &rgb = *f.rgb, &yuv = *f.yuv;
        const bool full = f.full;
        const int channels = f.channels;
        const double kr = f.kr, kb = f.kb;
        const double ys = full ? 1 : 219.0 / 255, cs = full ? 1 : 224.0 / 255;
        const auto pixel = [&](int x, int y, int ch) {
            return At(rgb, 0, std::min(x, c.width - 1) * channels + ch, std::min(y, c.height - 1));
        };
        const auto luma = [&](double r, double g, double b) {
            return kr * r + (1 - kr - kb) * g + kb * b;
        };
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                const double expected =
                    (full ? 0 : 16) + ys * luma(pixel(x, y, 0), pixel(x, y, 1), pixel(x, y, 2));
                ASSERT_NEAR(At(yuv, 0, x, y), std::clamp(expected, 0.0, 255.0), 0.6)
                    << x << "," << y;
                if (c.yuv == AV_PIX_FMT_YUVA420P) {
                    ASSERT_EQ(At(yuv, 3, x, y), pixel(x, y, 3));
                }
                if (x % 2 || y % 2) continue;
                double mean[3];
                for (int ch = 0; ch < 3; ++ch) {
                    mean[ch] = (pixel(x, y, ch) + pixel(x + 1, y, ch) + pixel(x, y + 1, ch) +
                                pixel(x + 1, y + 1, ch)) /
                               4.0;
                }
                const double l = luma(mean[0], mean[1], mean[2]);
                const double u = 128 + cs * (mean[2] - l) / (2 * (1 - kb));
                const double v = 128 + cs * (mean[0] - l) / (2 * (1 - kr));
                ASSERT_NEAR(At(yuv, 1, x / 2, y / 2), std::clamp(u, 0.0, 255.0), 0.6)
                    << x << "," << y;
                ASSERT_NEAR(At(yuv, 2, x / 2, y / 2), std::clamp(v, 0.0, 255.0), 0.6)
                    << x << "," << y;
            }
        }
    }
}

TEST(Yuv420, YuvToRgbFollowsTheMatrix) {
    std::mt19937 random(11);
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " case " << &c - kCases);
        const Converted f(c, false, random);
        ASSERT_TRUE(f.converted);
        const AVFrame &rgb = *f.rgb, &yuv = *f.yuv;
        const bool full = f.full;
        const int channels = f.channels;
        const double kr = f.kr, kb = f.kb;
        const double ys = full ? 1 : 255.0 / 219, cs = full ? 1 : 255.0 / 224;
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                const double l = ys * (At(yuv, 0, x, y) - (full ? 0 : 16));
                const double u = cs * (At(yuv, 1, x / 2, y / 2) - 128);
                const double v = cs * (At(yuv, 2, x / 2, y / 2) - 128);
                const double r = l + 2 * (1 - kr) * v, b = l + 2 * (1 - kb) * u;
                const double expected[3] = {r, (l - kr * r - kb * b) / (1 - kr - kb), b};
                for (int ch = 0; ch < 3; ++ch) {
                    ASSERT_NEAR(At(rgb, 0, x * channels + ch, y),
                                std::clamp(expected[ch], 0.0, 255.0), 0.6)
                        << x << "," << y << " channel " << ch;
                }
                if (channels == 4) {
                    ASSERT_EQ(At(rgb, 0, x * 4 + 3, y),
                              c.yuv == AV_PIX_FMT_YUVA420P ? At(yuv, 3, x, y) : 255);
                }
            }
        }
    }
}

// Columns 32 to 61 go through the vector loop at a width of 64 and through
// the scalar rows at 63: the same bytes either way.
TEST(Yuv420, VectorAndScalarRowsAgree) {
    std::mt19937 random(3);
    FramePtr rgb = Frame(AV_PIX_FMT_RGB24, 64, 2), yuv = Frame(AV_PIX_FMT_YUV420P, 64, 2);
    Randomise(*rgb, random);
    FramePtr rgbNarrow = Frame(AV_PIX_FMT_RGB24, 63, 2),
             yuvNarrow = Frame(AV_PIX_FMT_YUV420P, 63, 2);
    for (int y = 0; y < 2; ++y) std::copy_n(&At(*rgb, 0, 0, y), 63 * 3, &At(*rgbNarrow, 0, 0, y));
    ASSERT_TRUE(RgbToYuv420(*rgb, *yuv, {}));
    ASSERT_TRUE(RgbToYuv420(*rgbNarrow, *yuvNarrow, {}));
    ASSERT_TRUE(Yuv420ToRgb(*yuv, *rgb, {}));
    ASSERT_TRUE(Yuv420ToRgb(*yuvNarrow, *rgbNarrow, {}));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 62; ++x) {
            ASSERT_EQ(At(*yuv, 0, x, y), At(*yuvNarrow, 0, x, y)) << x;
            for (int ch = 0; ch < 3; ++ch) {
                ASSERT_EQ(At(*rgb, 0, 3 * x + ch, y), At(*rgbNarrow, 0, 3 * x + ch, y)) << x;
            }
        }
    }
    for (int x = 0; x < 31; ++x) {
        ASSERT_EQ(At(*yuv, 1, x, 0), At(*yuvNarrow, 1, x, 0)) << x;
        ASSERT_EQ(At(*yuv, 2, x, 0), At(*yuvNarrow, 2, x, 0)) << x;
    }
}

TEST(Yuv420, OtherFormatsAreLeftToTheGeneralPath) {
    FramePtr rgb = Frame(AV_PIX_FMT_RGB24, 8, 8), yuv422 = Frame(AV_PIX_FMT_YUV422P, 8, 8);
    FramePtr smaller = Frame(AV_PIX_FMT_YUV420P, 8, 6);
    EXPECT_FALSE(RgbToYuv420(*rgb, *yuv422, {}));
    EXPECT_FALSE(Yuv420ToRgb(*yuv422, *rgb, {}));
    EXPECT_FALSE(RgbToYuv420(*rgb, *smaller, {}));
}

}  // namespace
}  // namespace zv::video
