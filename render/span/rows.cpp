// SPDX-License-Identifier: MIT
#include "render/span/rows.h"

#include <algorithm>
#include <utility>

#include "eval/depends.h"
#include "render/span/bytes.h"
#include "render/span/interleaved.h"

namespace zv {
namespace {

// Branch patterns kept from row to row; past that, a row that splits anew
// starts from none.
constexpr size_t kMaxVariants = 8;

// Whether a program's values on a run follow from c alone.
bool ByTable(const SpanProgram& p) {
    return std::all_of(p.loops[0].begin(), p.loops[0].end(), [](const SpanStep& s) {
        const Depends d = DependsOf(s.kind);
        return s.kind == 'c' || !(d.position || d.channel || d.context || d.effect);
    });
}

// The narrowest stretch a row splits into, in pixels: 16 elements or more.
constexpr int32_t kNarrowest = 16;

// Whole pixels per run of the lanes: a multiple of 16 elements, so that no
// loop has a scalar tail.
int32_t PixelsPerRun(int32_t channels) {
    return kSpanMax / (16 * channels) * 16;
}

}  // namespace

InterleavedRows::InterleavedRows(const ExprNode* tree, const SpanProgram& program)
    : tree_(tree), program_(program), run_(program), ranges_(program) {
    for (const SpanStep& s : program.loops[0]) {
        if (s.kind == '?') conditionals_.push_back(s.node);
    }
}

// A row whose fixed values are those of the row before splits the same way.
void InterleavedRows::Row(PixelContext& context, int32_t x0, int32_t count, int32_t channels,
                          uint8_t* out) {
    ++row_;
    scalars_ = run_.Scalars(context);
    const bool same = plan_.x0 == x0 && plan_.count == count && plan_.channels == channels &&
                      std::equal(plan_.scalars.begin(), plan_.scalars.end(), scalars_);
    if (!same) {
        if (variants_.size() > kMaxVariants) variants_.clear();  // the plan goes with them
        plan_ = {x0, count, channels, {scalars_, scalars_ + program_.values.size()}, {}};
        budget_ = 4 * (count / PixelsPerRun(channels) + 1);
        Split(context, x0, count, channels);
    }
    for (const Piece& piece : plan_.pieces) {
        Compute(piece, context, channels, out + size_t(piece.x0 - x0) * channels);
    }
}

void InterleavedRows::Split(PixelContext& context, int32_t x0, int32_t count, int32_t channels) {
    static const std::vector<int8_t> kNone;
    const std::vector<int8_t>& taken =
        conditionals_.empty() ? kNone : ranges_.TakenOn(scalars_, x0, count, channels);
    // The next stretch's branches replace these.
    const bool unknown = std::count(taken.begin(), taken.end(), 0) > 0;
    Variant& v = For(taken);
    // A stretch with a branch unknown may know it in its halves; a formula
    // whose branches stay unknown splits a row a few times at most.
    if (count > kNarrowest && unknown && !Table(v, context) && --budget_ > 0) {
        const int32_t half = (count / kNarrowest + 1) / 2 * kNarrowest;
        Split(context, x0, half, channels);
        return Split(context, x0 + half, count - half, channels);
    }
    plan_.pieces.push_back({x0, count, &v});
}

void InterleavedRows::Compute(const Piece& piece, PixelContext& context, int32_t channels,
                              uint8_t* out) {
    Variant& v = *piece.variant;
    const int32_t n = piece.count * channels;
    if (const ByteTable* table = Table(v, context)) {
        if (const uint8_t* in = PackedBytes(context, piece.x0, n, channels)) {
            return LookUp(*table, in, static_cast<size_t>(n), out);
        }
    }
    const int32_t perRun = PixelsPerRun(channels);
    for (int32_t i = 0; i < piece.count; i += perRun) {
        const int32_t m = std::min(perRun, piece.count - i) * channels;
        ClampToBytes(v.run->Interleaved(context, piece.x0 + i, m, channels), m,
                     out + size_t(i) * channels);
    }
}

InterleavedRows::Variant& InterleavedRows::For(const std::vector<int8_t>& taken) {
    for (const auto& v : variants_) {
        if (v->taken == taken) return *v;
    }
    auto v = std::make_unique<Variant>();
    v->taken = taken;
    SpanTaken branches;
    for (size_t j = 0; j < taken.size(); ++j) {
        if (taken[j]) branches.emplace_back(conditionals_[j], taken[j]);
    }
    if (!branches.empty()) v->owned = CompileSpans(tree_, true, branches).program;
    const SpanProgram& p = v->owned ? *v->owned : program_;
    v->run = std::make_unique<SpanWorkspace>(p);
    v->byTable = ByTable(p);
    variants_.push_back(std::move(v));
    return *variants_.back();
}

// The table for this row: made again when a value fixed for the run that
// the variant reads has changed since it was made.
const ByteTable* InterleavedRows::Table(Variant& v, PixelContext& context) {
    if (!v.byTable) return nullptr;
    if (v.checked != row_) {
        v.checked = row_;
        const int32_t* scalars = v.run->Scalars(context);
        const size_t size = v.owned ? v.owned->values.size() : program_.values.size();
        if (v.scalars.empty() || !std::equal(v.scalars.begin(), v.scalars.end(), scalars)) {
            v.scalars.assign(scalars, scalars + size);
            ClampToBytes(v.run->OverBytes(), 256, v.table.bytes.data());
            NarrowProgram narrow;
            CompileNarrow(v.owned ? *v.owned : program_, scalars, narrow);
            Prepare(v.table, std::move(narrow));
        }
    }
    return v.table.way == ByteTable::Way::kNone ? nullptr : &v.table;
}

}  // namespace zv
