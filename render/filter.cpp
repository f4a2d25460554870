// SPDX-License-Identifier: MIT
// Compiling a filter: every offered formula, the one each channel takes,
// and the span programs of the pure ones.
#include "render/filter.h"

#include <algorithm>
#include <bit>

#include "render/draws.h"
#include "render/span/isa.h"

namespace zv {

namespace {

// The offer that covers channel k, or null.
const FormulaOffer* Choose(const std::vector<FormulaOffer>& offers, int k, size_t& index) {
    const FormulaOffer* best = nullptr;
    for (size_t i = 0; i < offers.size(); ++i) {
        const FormulaOffer& s = offers[i];
        if ((s.channels & (1u << k)) == 0) continue;
        if (!best || s.priority > best->priority ||
            (s.priority == best->priority &&
             std::popcount(s.channels) <= std::popcount(best->channels))) {
            best = &s;
            index = i;
        }
    }
    return best;
}

// Channels that share a tree share a group and its span program.
void Group(detail::FilterData& f) {
    for (int32_t k = 0; k < 4; ++k) {
        if (!f.Computes(k)) continue;
        const auto same = [&](const SpanGroup& g) { return g.tree == f.trees[k]; };
        auto g = std::find_if(f.groups.begin(), f.groups.end(), same);
        if (g == f.groups.end()) {
            SpanCompiled compiled = CompileSpans(f.trees[k]);
            f.groups.push_back({f.trees[k],
                                std::move(compiled.program),
                                CompileSpans(f.trees[k], true).program,
                                compiled.reason,
                                {}});
            g = f.groups.end() - 1;
        }
        g->channels.push_back(k);
    }
}

std::shared_ptr<detail::FilterData> CompileFilter(const std::vector<FormulaOffer>& offers) {
    auto f = std::make_shared<detail::FilterData>();
    for (const FormulaOffer& offer : offers) {
        f->owned.push_back(CompileFormula(offer.formula, &f->warnings));
        f->compiled.push_back(CompileProgram(*f->owned.back()));
    }
    for (int k = 0; k < 4; ++k) {
        size_t index = 0;
        const FormulaOffer* best = Choose(offers, k, index);
        if (!best) continue;
        f->trees[k] = f->owned[index].get();
        f->programs[k] = f->compiled[index].get();
        const FormulaText& text = best->formula;
        f->origins[k] = text.file.empty() ? text.label : text.label + " in " + text.file;
        if (k == 3) f->addsAlpha = best->channels == kAlpha;
        f->readsAlpha = f->readsAlpha || ReadsAlpha(f->trees[k]);
        AddInputs(f->trees[k], f->inputs);
    }
    std::vector<const ExprNode*> used;
    for (const ExprNode* tree : f->trees)
        if (tree) used.push_back(tree);
    f->visitingOrder = DependsOnVisitingOrder(used);
    f->countedDraws = f->visitingOrder && !SharesCells(used) &&
                      std::all_of(used.begin(), used.end(), CountsDraws);
    if (!f->visitingOrder) Group(*f);
    return f;
}

// The instruction set of the span loops, and why it is not ZORVAN_ISA's.
std::string SpanLoops() {
    const std::string note = IsaNote();
    return std::string(NameOf(CurrentIsa())) + (note.empty() ? "" : " (" + note + ")");
}

std::string Threads(unsigned threads) {
    return std::to_string(threads) + (threads == 1 ? " thread" : " threads");
}

}  // namespace

Error::Error(Status status, const std::string& message, std::string detail, int line, int column)
    : std::runtime_error(message),
      status_(status),
      detail_(std::move(detail)),
      line_(line),
      column_(column) {}

Filter::Filter(const std::vector<FormulaOffer>& offers) : data_(CompileFilter(offers)) {}

Filter::Filter(std::string_view formula, ChannelSet channels)
    : Filter(std::vector<FormulaOffer>{{channels, {std::string(formula), "formula", {}, {}}, 0}}) {}

Filter::Filter(const FilterFile& file) {
    std::shared_ptr<detail::FilterData> f = CompileFilter(file.formulas);
    f->controls = file.controls;
    data_ = std::move(f);
}

bool Filter::Computes(int channel) const {
    return channel >= 0 && channel < 4 && data_->Computes(channel);
}

const ControlDefault& Filter::Control(int k) const {
    if (k < 0 || k > 7) {
        throw Error(Status::kBadArgument, "control " + std::to_string(k) + " is not one of 0 to 7");
    }
    return data_->controls[k];
}

std::string Filter::Origin(int channel) const {
    return Computes(channel) ? data_->origins[channel] : std::string();
}

FilterInputs Filter::Inputs() const {
    return data_->inputs;
}

bool Filter::VisitingOrder() const {
    return data_->visitingOrder;
}

const std::vector<Warning>& Filter::Warnings() const {
    return data_->warnings;
}

int32_t Filter::TargetChannels(int32_t sourceChannels) const {
    return data_->TargetChannels(sourceChannels);
}

std::string Filter::Path(int channel, int32_t channels, unsigned threads) const {
    if (channel >= channels) return "none";
    if (!Computes(channel)) return "kept";
    if (data_->countedDraws)
        return "per-pixel, " + Threads(threads) + ", rnd's draws counted ahead of each row";
    if (data_->visitingOrder) return "per-pixel, 1 thread in visiting order (rnd, cells)";
    for (const SpanGroup& g : data_->groups) {
        if (std::find(g.channels.begin(), g.channels.end(), channel) == g.channels.end()) continue;
        if (g.program) return "span, " + SpanLoops() + ", " + Threads(threads);
        return "per-pixel, " + Threads(threads) + ": " + g.reason;
    }
    return "kept";
}

}  // namespace zv
