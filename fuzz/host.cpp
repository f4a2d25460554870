// SPDX-License-Identifier: MIT
#include "fuzz/host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zvfuzz {
namespace {

// Bytes that look like an image without costing input: a short generator
// seeded from the input.
struct Pattern {
    uint32_t state;
    uint8_t Next() {
        state = state * 1103515245u + 12345u;
        return static_cast<uint8_t>(state >> 16);
    }
};

void LayOut(FuzzedDataProvider& in, Host& host, Pattern& fill) {
    PixelContext& c = *host.context;
    c.maxX = in.ConsumeIntegralInRange<int32_t>(0, kColumns - 1);
    c.maxY = in.ConsumeIntegralInRange<int32_t>(0, kRows - 1);
    int32_t pixelBytes = in.ConsumeIntegralInRange<int32_t>(1, 8);
    c.pixelStride = in.ConsumeIntegralInRange<int32_t>(-8, 8);
    c.pixelBase = in.ConsumeIntegralInRange<int32_t>(-16, 16);
    for (int32_t& offset : c.channelOffset) {
        offset = in.ConsumeIntegralInRange<int32_t>(0, pixelBytes - 1) - c.pixelBase;
    }
    int32_t span = c.maxX * std::abs(c.pixelStride);
    size_t rowBytes = static_cast<size_t>(span + pixelBytes);
    size_t origin = c.pixelStride < 0 ? static_cast<size_t>(span) : 0;
    size_t rowCount = static_cast<size_t>(c.maxY) + 1;
    host.rowBlocks = std::make_unique<std::unique_ptr<uint8_t[]>[]>(rowCount);
    host.rows = std::make_unique<const uint8_t*[]>(rowCount);
    for (size_t r = 0; r < rowCount; ++r) {
        host.rowBlocks[r] = std::make_unique<uint8_t[]>(rowBytes);
        for (size_t i = 0; i < rowBytes; ++i) host.rowBlocks[r][i] = fill.Next();
        host.rows[r] = host.rowBlocks[r].get() + origin;
    }
    c.rows = host.rows.get();
    if (in.ConsumeBool()) {
        c.width = in.ConsumeIntegralInRange<int32_t>(c.maxX + 1, kColumns + 2);
        size_t planeBytes = rowCount * static_cast<size_t>(c.width);
        host.alpha = std::make_unique<uint8_t[]>(planeBytes);
        for (size_t i = 0; i < planeBytes; ++i) host.alpha[i] = fill.Next();
    } else {
        c.width = Near(in, 0, kColumns);
    }
    c.alphaPlane = host.alpha.get();
}

void FillFields(FuzzedDataProvider& in, PixelContext& c, Pattern& fill) {
    c.height = Near(in, 0, kRows);
    c.dMax = Near(in, 0, 1024);
    c.mMax = Near(in, 0, 10);
    c.centerX = Near(in, -2, kColumns + 2);
    c.centerY = Near(in, -2, kRows + 2);
    c.channelCount = Near(in, 0, 4);
    c.t = Near(in, 0, 100);
    c.total = Near(in, 0, 100);
    for (int32_t& control : c.controls) control = Near(in, -1, 256);
    for (int32_t& cell : c.cells) cell = static_cast<int32_t>(fill.Next()) - 128;
    c.red = in.ConsumeIntegral<uint8_t>();
    c.green = in.ConsumeIntegral<uint8_t>();
    c.blue = in.ConsumeIntegral<uint8_t>();
    c.current = in.ConsumeIntegral<uint8_t>();
    c.unhandledKind = 0;
}

}  // namespace

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
}

Input Split(const uint8_t* data, size_t size) {
    Input input{std::string(reinterpret_cast<const char*>(data), size), nullptr, 0};
    size_t end = std::strlen(input.text.c_str());
    input.layoutSize = end < size ? size - end - 1 : 0;
    input.layout = data + size - input.layoutSize;
    return input;
}

int32_t Near(FuzzedDataProvider& in, int32_t lo, int32_t hi) {
    return in.ConsumeBool() ? in.ConsumeIntegral<int32_t>()
                            : in.ConsumeIntegralInRange<int32_t>(lo, hi);
}

Host MakeHost(FuzzedDataProvider& in) {
    Pattern fill{in.ConsumeIntegral<uint32_t>()};
    Host host;
    host.context = std::make_unique<PixelContext>();
    std::memset(host.context.get(), 0xA5, sizeof(PixelContext));
    LayOut(in, host, fill);
    FillFields(in, *host.context, fill);
    return host;
}

}  // namespace zvfuzz
