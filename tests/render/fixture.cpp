// SPDX-License-Identifier: MIT
#include "tests/render/fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "render/job.h"

namespace zv::test {

Picture::Picture(int32_t w, int32_t h, int32_t c, size_t pad)
    : width(w),
      height(h),
      channels(c),
      stride(static_cast<size_t>(w) * c + pad),
      bytes(stride * h, 0xEE) {}

Picture Pattern(int32_t width, int32_t height, int32_t channels, size_t pad) {
    Picture p(width, height, channels, pad);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const int32_t dx = x - width / 2, dy = y - height / 2;
            const uint32_t noise = (uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u) >> 24;
            p.At(x, y, 0) = uint8_t(x * 255 / std::max(1, width - 1));
            p.At(x, y, 1) = uint8_t(y * 255 / std::max(1, height - 1));
            p.At(x, y, 2) = uint8_t((dx * dx + dy * dy) / 8 + noise / 4);
            if (channels == 4) p.At(x, y, 3) = uint8_t(noise);
        }
    }
    return p;
}

namespace {

Picture RenderNewBy(Evaluator evaluator, const Filter& filter, const Picture& source,
                    const RenderSettings& settings, size_t pad) {
    const Rect r = settings.region;
    const bool whole = r.width == 0 && r.height == 0;
    const auto sampled = [&settings](int32_t length) { return (length - 1) / settings.step + 1; };
    Picture out(sampled(whole ? source.width : r.width), sampled(whole ? source.height : r.height),
                filter.TargetChannels(source.channels), pad);
    EXPECT_EQ(RenderBy(evaluator, filter, source.View(), out.Writable(), settings), Status::kOk);
    return out;
}

}  // namespace

Picture RenderOrderedNew(const Filter& filter, const Picture& source,
                         const RenderSettings& settings) {
    return RenderNewBy(Evaluator::kOrdered, filter, source, settings, 0);
}

Picture RenderNew(const Filter& filter, const Picture& source, const RenderSettings& settings,
                  size_t pad) {
    return RenderNewBy(Evaluator::kChosen, filter, source, settings, pad);
}

Picture RenderPerPixelNew(const Filter& filter, const Picture& source,
                          const RenderSettings& settings) {
    return RenderNewBy(Evaluator::kPerPixel, filter, source, settings, 0);
}

RenderSettings Example::Settings() const {
    RenderSettings s;
    s.controls = ControlValues(file);
    s.t = 1;
    s.total = 4;
    return s;
}

const std::vector<Example>& Examples() {
    static const std::vector<Example> all = [] {
        std::vector<std::filesystem::path> paths;
        for (const auto& entry : std::filesystem::directory_iterator(ZORVAN_EXAMPLES)) {
            if (entry.path().extension() == ".zvf") paths.push_back(entry.path());
        }
        std::sort(paths.begin(), paths.end());
        std::vector<Example> examples;
        for (const auto& path : paths) {
            std::ifstream in(path, std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            examples.push_back({path.stem().string(), ParseFilterFile(text.str(), path.string())});
        }
        return examples;
    }();
    return all;
}

void ExpectRefusal(const Refusal& refusal, Status status,
                   const std::function<void(const char*)>& compile) {
    try {
        compile(refusal.text);
        ADD_FAILURE() << "accepted: " << refusal.text;
    } catch (const Error& error) {
        EXPECT_EQ(error.status(), status) << refusal.text;
        EXPECT_STREQ(error.what(), refusal.message) << refusal.text;
        if (refusal.detail) {
            EXPECT_EQ(error.detail(), refusal.detail) << refusal.text;
        }
    }
}

}  // namespace zv::test
