// SPDX-License-Identifier: MIT
// The span evaluator against ZvExec: every formula that compiles to spans
// must give, on a run of pixels, the values ZvExec gives pixel by pixel on a
// context that holds each pixel's position and, as hosts that fill the context
// from the image do, its bytes in r, g, b and c; and so must a formula that
// compiles for interleaved runs, element by element, and clamped to bytes
// on whole rows of interleaved pixels (render/span/rows.h). Runs start inside and
// outside the image and reach past it, with the loops of any instruction set
// this processor runs; the input's layout is described in fuzz/host.h.
// Formulas whose cells are local (render/span/cells.h) compile too: whatever the
// host's cells hold, their values must not show.
#include <cstdio>
#include <vector>

#include "eval/pixels.h"
#include "fuzz/host.h"
#include "render/context.h"
#include "render/span/bytes.h"
#include "render/span/isa.h"
#include "render/span/rows.h"
#include "render/span/span.h"

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

// got against ZvExec's value, clamped to a byte where the path stores bytes.
void Expect(int32_t got, const ExprNode* root, const PixelContext& base, int32_t x, int32_t y,
            int32_t k, bool clamped = false) {
    const int32_t exact = PixelByPixel(root, base, x, y, k);
    const int32_t want = clamped ? zv::ClampToByte(exact) : exact;
    if (got == want) return;
    std::fprintf(stderr, "spans give %d, ZvExec %d, at %d,%d channel %d with %s\n", got, want, x, y,
                 k, zv::NameOf(zv::CurrentIsa()));
    zvfuzz::Check(false, "the span evaluator differs from ZvExec");
}

// Up to three runs of the program on one host's image, each from a row and
// column anywhere near it: compare(run, its context, the host's context, x0).
template <class Compare>
void OnRuns(const zv::SpanProgram& program, FuzzedDataProvider& in, const Compare& compare) {
    zvfuzz::Host host = zvfuzz::MakeHost(in);
    const PixelContext base = *host.context;
    zv::SpanWorkspace run(program);
    for (int32_t r = in.ConsumeIntegralInRange<int32_t>(1, 3); r > 0; --r) {
        PixelContext spans = base;
        spans.y = in.ConsumeIntegralInRange<int32_t>(-3, zvfuzz::kRows + 2);
        const int32_t x0 =
            in.ConsumeIntegralInRange<int32_t>(-zv::kSpanMax - 8, zvfuzz::kColumns + 2);
        compare(run, spans, base, x0);
    }
}

void CompareRuns(const ExprNode* root, const zv::SpanProgram& program, FuzzedDataProvider& in) {
    OnRuns(program, in,
           [&](zv::SpanWorkspace& run, PixelContext& spans, const PixelContext& base, int32_t x0) {
               const int32_t n = in.ConsumeIntegralInRange<int32_t>(1, zv::kSpanMax);
               run.Start(spans, x0, n);
               for (int32_t channels = in.ConsumeIntegralInRange<int32_t>(1, 3); channels > 0;
                    --channels) {
                   const int32_t k = in.ConsumeIntegralInRange<int32_t>(-1, 4);
                   const int32_t* values = run.Values(k);
                   for (int32_t i = 0; i < n; ++i)
                       Expect(values[i], root, base, x0 + i, spans.y, k);
               }
           });
}

void CompareInterleaved(const ExprNode* root, const zv::SpanProgram& program,
                        FuzzedDataProvider& in) {
    OnRuns(program, in,
           [&](zv::SpanWorkspace& run, PixelContext& spans, const PixelContext& base, int32_t x0) {
               const int32_t channels = in.ConsumeIntegralInRange<int32_t>(1, 4);
               const int32_t n = in.ConsumeIntegralInRange<int32_t>(1, zv::kSpanMax);
               const int32_t* values = run.Interleaved(spans, x0, n, channels);
               for (int32_t e = 0; e < n; ++e) {
                   Expect(values[e], root, base, x0 + e / channels, spans.y, e % channels);
               }
           });
}

// The same stretch of up to four rows of one host's image, so that a row
// may take the last one's split and tables.
void CompareRows(const ExprNode* root, const zv::SpanProgram& program, FuzzedDataProvider& in) {
    zvfuzz::Host host = zvfuzz::MakeHost(in);
    const PixelContext base = *host.context;
    zv::InterleavedRows rows(root, program);
    const int32_t channels = in.ConsumeIntegralInRange<int32_t>(1, 4);
    const int32_t x0 = in.ConsumeIntegralInRange<int32_t>(-40, zvfuzz::kColumns + 2);
    const int32_t count = in.ConsumeIntegralInRange<int32_t>(1, 300);
    std::vector<uint8_t> out(static_cast<size_t>(count) * channels);
    for (int32_t r = in.ConsumeIntegralInRange<int32_t>(1, 4); r > 0; --r) {
        PixelContext spans = base;
        spans.y = in.ConsumeIntegralInRange<int32_t>(-3, zvfuzz::kRows + 2);
        rows.Row(spans, x0, count, channels, out.data());
        for (int32_t e = 0; e < count * channels; ++e) {
            Expect(out[e], root, base, x0 + e / channels, spans.y, e % channels, true);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // 16-bit steps that the table's check would replace are a fault too.
    static const bool loud = (zv::ReportWrongSteps([] {
                                  zvfuzz::Check(false, "16-bit steps miss the table's bytes");
                              }),
                              true);
    (void)loud;
    zvfuzz::Input input = zvfuzz::Split(data, size);
    int32_t status = -1;
    ExprNode* root = ZvParse(input.text.c_str(), &status, 1);
    if (!root) return 0;
    FuzzedDataProvider in(input.layout, input.layoutSize);
    const auto& isas = zv::RunnableIsas();
    zv::UseIsa(isas[in.ConsumeIntegralInRange<size_t>(0, isas.size() - 1)]);
    if (zv::SpanCompiled compiled = zv::CompileSpans(root); compiled.program) {
        CompareRuns(root, *compiled.program, in);
    }
    if (zv::SpanCompiled compiled = zv::CompileSpans(root, true); compiled.program) {
        CompareInterleaved(root, *compiled.program, in);
        CompareRows(root, *compiled.program, in);
    }
    ZvFree(root);
    return 0;
}
