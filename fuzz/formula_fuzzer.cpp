// Arbitrary bytes as a formula: parsed in both modes, and where it parses,
// evaluated a few times against a small image and then released.
//
// An input is the formula text up to its first zero byte, exactly what
// ZvParse reads. The bytes after that zero, if any, choose the image's
// layout and the record's fields; missing bytes read as zero. Every layout
// keeps the host's side of the record: columns 0..maxX and rows 0..maxY of
// every channel lie inside the image, and an alpha plane holds
// (maxY + 1) * width bytes with width > maxX. Each row, the row table, the
// alpha plane and the record are heap blocks of exactly their size, so a read
// or write past any of them is reported.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "api/zorvan.h"

namespace {

constexpr int32_t kColumns = 7, kRows = 5;

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
}

// Bytes that look like an image without costing input: a short generator
// seeded from the input.
struct Pattern {
    uint32_t state;
    uint8_t Next() {
        state = state * 1103515245u + 12345u;
        return static_cast<uint8_t>(state >> 16);
    }
};

// A coordinate or value: mostly near the image, sometimes anything at all.
int32_t Near(FuzzedDataProvider& in, int32_t lo, int32_t hi) {
    return in.ConsumeBool() ? in.ConsumeIntegral<int32_t>()
                            : in.ConsumeIntegralInRange<int32_t>(lo, hi);
}

struct Image {
    std::unique_ptr<std::unique_ptr<uint8_t[]>[]> blocks;
    std::unique_ptr<const uint8_t*[]> rows;
    std::unique_ptr<uint8_t[]> alpha;
};

// Lays out an image of rows 0..maxY and fills the record's image fields. A
// pixel spans 1 to 8 bytes, the four channels sit anywhere in it (two may
// share a byte), the stride may be smaller than a pixel, zero or negative,
// and pixelBase shifts every channel offset by the same amount.
Image LayOut(FuzzedDataProvider& in, PixelContext& c, Pattern& fill) {
    Image image;
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
    image.blocks = std::make_unique<std::unique_ptr<uint8_t[]>[]>(rowCount);
    image.rows = std::make_unique<const uint8_t*[]>(rowCount);
    for (size_t r = 0; r < rowCount; ++r) {
        image.blocks[r] = std::make_unique<uint8_t[]>(rowBytes);
        for (size_t i = 0; i < rowBytes; ++i) image.blocks[r][i] = fill.Next();
        image.rows[r] = image.blocks[r].get() + origin;
    }
    c.rows = image.rows.get();
    if (in.ConsumeBool()) {
        c.width = in.ConsumeIntegralInRange<int32_t>(c.maxX + 1, kColumns + 2);
        size_t planeBytes = rowCount * static_cast<size_t>(c.width);
        image.alpha = std::make_unique<uint8_t[]>(planeBytes);
        for (size_t i = 0; i < planeBytes; ++i) image.alpha[i] = fill.Next();
    } else {
        c.width = Near(in, 0, kColumns);
    }
    c.alphaPlane = image.alpha.get();
    return image;
}

// Everything but the image: sizes, centre, frame, controls, cells and the
// current pixel's bytes.
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

// The library may write cells and unhandledKind, and nothing else of the
// record: not a field, not a reserved byte, not the padding.
void CheckOnlyWritableFieldsChanged(const unsigned char* before, PixelContext& record) {
    unsigned char after[sizeof record];
    std::memcpy(after, &record, sizeof record);
    std::memcpy(after + offsetof(PixelContext, cells), before + offsetof(PixelContext, cells),
                sizeof record.cells);
    std::memcpy(after + offsetof(PixelContext, unhandledKind),
                before + offsetof(PixelContext, unhandledKind), sizeof record.unhandledKind);
    Check(std::memcmp(before, after, sizeof record) == 0, "ZvExec wrote outside cells");
}

void Evaluate(const ExprNode* root, FuzzedDataProvider& in) {
    Pattern fill{in.ConsumeIntegral<uint32_t>()};
    auto record = std::make_unique<PixelContext>();
    std::memset(record.get(), 0xA5, sizeof(PixelContext));  // reserved bytes and padding
    Image image = LayOut(in, *record, fill);
    FillFields(in, *record, fill);
    int32_t calls = in.ConsumeIntegralInRange<int32_t>(1, 4);
    for (int32_t i = 0; i < calls; ++i) {
        record->x = Near(in, -2, kColumns + 2);
        record->y = Near(in, -2, kRows + 2);
        record->channel = in.ConsumeIntegralInRange<int32_t>(-2, 5);
        unsigned char before[sizeof(PixelContext)];
        std::memcpy(before, record.get(), sizeof before);
        ZvExec(root, record.get());
        CheckOnlyWritableFieldsChanged(before, *record);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    size_t end = std::strlen(text.c_str());
    int32_t checked = -1, built = -1;
    Check(ZvParse(text.c_str(), &checked, 0) == nullptr, "a syntax check returned a tree");
    ExprNode* root = ZvParse(text.c_str(), &built, 1);
    Check(checked == built, "the two modes gave different statuses");
    Check(built >= 0 && built <= 2, "status outside 0..2");
    Check((root != nullptr) == (built == 0), "a tree without status 0, or none with it");
    if (root) {
        size_t rest = end < size ? size - end - 1 : 0;
        FuzzedDataProvider in(data + size - rest, rest);
        Evaluate(root, in);
    }
    ZvFree(root);
    return 0;
}
