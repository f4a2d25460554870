// The span evaluator against ZvExec: every formula that compiles to spans
// must give, on a run of pixels, the values ZvExec gives pixel by pixel on a
// context that holds each pixel's position and, as hosts that fill the context
// from the image do, its bytes in r, g, b and c. Runs start inside and
// outside the image and reach past it; the input's layout is described in
// fuzz/host.h.
#include <cstdio>

#include "eval/pixels.h"
#include "fuzz/host.h"
#include "render/span.h"

namespace {

// ZvExec's value for channel k of pixel (x, y) of the host's image.
int32_t PixelByPixel(const ExprNode* root, const PixelContext& base, int32_t x, int32_t y,
                     int32_t k) {
    PixelContext c = base;
    c.x = x, c.y = y, c.channel = k;
    c.red = static_cast<uint8_t>(zv::ReadPixel(c, x, y, 0));
    c.green = static_cast<uint8_t>(zv::ReadPixel(c, x, y, 1));
    c.blue = static_cast<uint8_t>(zv::ReadPixel(c, x, y, 2));
    c.current = static_cast<uint8_t>(zv::ReadPixel(c, x, y, k));
    return ZvExec(root, &c);
}

void CompareRuns(const ExprNode* root, const zv::SpanProgram& program, FuzzedDataProvider& in) {
    zvfuzz::Host host = zvfuzz::MakeHost(in);
    const PixelContext base = *host.context;
    zv::SpanRun run(program);
    int32_t runs = in.ConsumeIntegralInRange<int32_t>(1, 3);
    for (int32_t r = 0; r < runs; ++r) {
        PixelContext spans = base;
        spans.y = in.ConsumeIntegralInRange<int32_t>(-3, zvfuzz::kRows + 2);
        int32_t x0 = in.ConsumeIntegralInRange<int32_t>(-zv::kSpanMax - 8, zvfuzz::kColumns + 2);
        int32_t n = in.ConsumeIntegralInRange<int32_t>(1, zv::kSpanMax);
        run.Start(spans, x0, n);
        for (int32_t channels = in.ConsumeIntegralInRange<int32_t>(1, 3); channels > 0;
             --channels) {
            int32_t k = in.ConsumeIntegralInRange<int32_t>(-1, 4);
            const int32_t* values = run.Values(k);
            for (int32_t i = 0; i < n; ++i) {
                int32_t want = PixelByPixel(root, base, x0 + i, spans.y, k);
                if (values[i] == want) continue;
                std::fprintf(stderr, "spans give %d, ZvExec %d, at %d,%d channel %d\n", values[i],
                             want, x0 + i, spans.y, k);
                zvfuzz::Check(false, "the span evaluator differs from ZvExec");
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zvfuzz::Input input = zvfuzz::Split(data, size);
    int32_t status = -1;
    ExprNode* root = ZvParse(input.text.c_str(), &status, 1);
    if (!root) return 0;
    zv::SpanCompiled compiled = zv::CompileSpans(root);
    if (compiled.program) {
        FuzzedDataProvider in(input.layout, input.layoutSize);
        CompareRuns(root, *compiled.program, in);
    }
    ZvFree(root);
    return 0;
}
