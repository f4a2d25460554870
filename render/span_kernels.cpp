// The loops over a run. Each computes one kind through Apply, the
// evaluator's own meaning of it, with the kind fixed at compile time so that
// the loop body is that kind's case alone and the compiler can vectorise it;
// arguments fixed for the run are read as scalars, which lets it hoist the
// tests on them (a divisor, a channel) out of the loop.
#include "render/span_kernels.h"

#include <array>
#include <utility>

#include "eval/apply.h"
#include "eval/depends.h"
#include "eval/rules.h"

namespace zv {
namespace {

inline int32_t* Lane(const SpanState& f, int32_t value) {
    return f.lanes + f.program->values[value].lane * kSpanMax;
}

// The arguments of a step: lanes, or scalars where the mask says so.
template <int32_t kArity, uint32_t kScalars>
struct Arguments {
    std::array<const int32_t*, kArity> lane{};
    std::array<int32_t, kArity> scalar{};

    Arguments(const SpanStep& s, const SpanState& f) {
        for (int32_t j = 0; j < kArity; ++j) {
            if (kScalars >> j & 1) {
                scalar[j] = f.scalars[s.args[j]];
            } else {
                lane[j] = Lane(f, s.args[j]);
            }
        }
    }
    [[gnu::always_inline]] int32_t At(int32_t j, int32_t i) const {
        return kScalars >> j & 1 ? scalar[j] : lane[j][i];
    }
};

// Apply's arg(j) on a pixel's loaded arguments. One type for every loop, so
// that Apply is instantiated once and folded to a kind in each loop.
struct Loaded {
    const int32_t* v;
    [[gnu::always_inline]] int32_t operator()(int32_t j) const { return v[j]; }
};

template <int32_t K, uint32_t kScalars>
void Loop(const SpanStep& s, const SpanState& f) {
    const Arguments<RuleOf(K).arity, kScalars> args(s, f);
    // Lazy reaches child 2 in code that && and || never run, but the
    // compiler may not see that.
    constexpr size_t kSlots = RuleOf(K).arity < 3 ? 3 : RuleOf(K).arity;
    int32_t* out = Lane(f, s.out);
    for (int32_t i = 0, n = f.n; i < n; ++i) {
        // Every argument is read before Apply picks among them: loads it
        // makes only on one side of a branch would keep the loop scalar.
        std::array<int32_t, kSlots> v{};
        for (int32_t j = 0; j < RuleOf(K).arity; ++j) v[j] = args.At(j, i);
        Loaded arg{v.data()};
        out[i] = Apply(K, *s.node, arg, *f.context);
    }
}

// Bytes of a row at a fixed stride. Adjacent bytes (an alpha plane) are
// widened by vector loads; at other strides GCC's vector code assembles the
// bytes on the stack and stalls, so they are read four at a time through a
// moving pointer, which it leaves scalar.
template <int64_t kStride>
void Copy(ChannelRow row, int32_t x0, int32_t n, int32_t* out) {
    const int64_t stride = kStride ? kStride : row.stride;
    const uint8_t* p = row.base + x0 * stride;  // stays on a byte of the run
    int32_t i = 0;
    for (; i + 4 < n; i += 4, p += 4 * stride) {
        out[i] = p[0], out[i + 1] = p[stride], out[i + 2] = p[2 * stride],
        out[i + 3] = p[3 * stride];
    }
    for (int32_t j = 0; i < n; ++i, ++j) out[i] = p[j * stride];
}

// Channel z of the image along the run, as ReadPixel reads it; rows that
// lie wholly inside the image skip the clamping.
void Load(const SpanState& f, int32_t z, int32_t* out) {
    const PixelContext& c = *f.context;
    if (f.x0 >= 0 && f.x0 + f.n - 1 <= c.maxX && uint32_t(z) <= 3) {
        const ChannelRow row = RowOf(c, Clamp(c.y, c.maxY), z);
        switch (row.stride) {
            case 1: return Copy<1>(row, f.x0, f.n, out);
            default: return Copy<0>(row, f.x0, f.n, out);
        }
    } else {
        for (int32_t i = 0, n = f.n; i < n; ++i) out[i] = ReadPixel(c, f.x0 + i, c.y, z);
    }
}

// Leaves that vary along the run.
template <int32_t K>
void Leaf(const SpanStep& s, const SpanState& f) {
    const PixelContext& c = *f.context;
    int32_t* out = Lane(f, s.out);
    const int32_t dy = Sub(c.y, c.centerY);
    for (int32_t i = 0, n = f.n; i < n; ++i) {
        const int32_t x = f.x0 + i;
        if constexpr (K == 'x') out[i] = x;
        if constexpr (K == 'd') out[i] = Direction(Sub(x, c.centerX), dy);
        if constexpr (K == 'm') out[i] = Magnitude(Sub(x, c.centerX), dy);
        if constexpr (K == 'i') out[i] = Luma(RgbAt(c, x, c.y));
        if constexpr (K == 'u') out[i] = ChromaU(RgbAt(c, x, c.y));
        if constexpr (K == 'v') out[i] = ChromaV(RgbAt(c, x, c.y));
    }
}
template <int32_t K>
void Channel(const SpanStep& s, const SpanState& f) {
    constexpr int32_t kFixed = K == 'r' ? 0 : K == 'g' ? 1 : K == 'b' ? 2 : 3;
    Load(f, K == 'c' ? f.context->channel : kFixed, Lane(f, s.out));
}

// cnv reads around each pixel; away from the edges, straight from the
// three rows without clamping.
template <uint32_t kScalars>
void Convolution(const SpanStep& s, const SpanState& f) {
    const Arguments<10, kScalars> args(s, f);
    const PixelContext& c = *f.context;
    int32_t* out = Lane(f, s.out);
    auto weights = [&](int32_t i) {
        std::array<int32_t, 10> k;
        for (int32_t j = 0; j < 10; ++j) k[j] = args.At(j, i);
        return k;
    };
    const bool inside =
        f.x0 >= 1 && f.x0 + f.n <= c.maxX && c.y >= 1 && c.y < c.maxY && uint32_t(c.channel) <= 3;
    if (inside) {
        const std::array<ChannelRow, 3> rows = {
            RowOf(c, c.y - 1, c.channel), RowOf(c, c.y, c.channel), RowOf(c, c.y + 1, c.channel)};
        for (int32_t i = 0, n = f.n; i < n; ++i) {
            const int32_t x = f.x0 + i;
            out[i] =
                ConvolveWith(weights(i), [&](int32_t j) { return rows[j / 3].At(x + j % 3 - 1); });
        }
    } else {
        for (int32_t i = 0, n = f.n; i < n; ++i) out[i] = Convolve(c, f.x0 + i, c.y, weights(i));
    }
}

// Index 8 holds the loop for all arguments scalar, for kinds of more than
// three arguments; indexes 0..7 the masks of up to three.
constexpr uint32_t kAllScalars = 8;
using KernelRow = std::array<SpanKernel, 9>;

template <int32_t K, uint32_t kIndex>
constexpr SpanKernel Make() {
    constexpr int32_t arity = RuleOf(K).arity;
    constexpr Depends d = DependsOf(K);
    constexpr uint32_t mask = kIndex == kAllScalars ? (1u << arity) - 1 : kIndex;
    if constexpr (d.effect || (arity == 0 && !d.position)) {
        return nullptr;
    } else if constexpr (arity == 0) {
        if constexpr (kIndex != 0) return nullptr;
        if constexpr (K == 'r' || K == 'g' || K == 'b' || K == 'c' || K == 'a') return &Channel<K>;
        return &Leaf<K>;
    } else if constexpr (kIndex == kAllScalars
                             ? arity <= 3
                             : mask >= (1u << arity) || (arity > 3 && mask != 0)) {
        return nullptr;
    } else if constexpr (K == ZV_CNV) {
        return &Convolution<mask>;
    } else {
        return &Loop<K, mask>;
    }
}

template <size_t kSlot, size_t... I>
constexpr KernelRow MakeRow(std::index_sequence<I...>) {
    return {Make<kFirstKind - 1 + static_cast<int32_t>(kSlot), static_cast<uint32_t>(I)>()...};
}
template <size_t... S>
constexpr std::array<KernelRow, kKindSlots> MakeTable(std::index_sequence<S...>) {
    return {MakeRow<S>(std::make_index_sequence<9>{})...};
}
const std::array<KernelRow, kKindSlots> kKernels =
    MakeTable(std::make_index_sequence<kKindSlots>{});

}  // namespace

SpanKernel KernelFor(int32_t kind, uint32_t scalarMask) {
    const int32_t arity = RuleOf(kind).arity;
    const KernelRow& row = kKernels[SlotOf(kind)];
    if (arity > 3 && scalarMask == (1u << arity) - 1) return row[kAllScalars];
    return scalarMask < kAllScalars ? row[scalarMask] : nullptr;
}

}  // namespace zv
