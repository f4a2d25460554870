#include "tools/zorvan/program.h"

#include <bit>

namespace zv::cli {

std::vector<FormulaOffer> FilterOffers(const FilterFile& filter) {
    std::vector<FormulaOffer> offers;
    for (const ChannelFormula& f : filter.formulas) offers.push_back({f.channels, f.formula, 0});
    return offers;
}

std::array<int32_t, 8> FilterControls(const FilterFile& filter) {
    std::array<int32_t, 8> values{};
    for (size_t i = 0; i < values.size(); ++i) values[i] = filter.controls[i].value;
    return values;
}

Program CompileProgram(const std::vector<FormulaOffer>& offers) {
    Program program;
    for (const FormulaOffer& offer : offers) program.owned.push_back(CompileFormula(offer.formula));
    for (int k = 0; k < 4; ++k) {
        const FormulaOffer* best = nullptr;
        size_t bestIndex = 0;
        for (size_t i = 0; i < offers.size(); ++i) {
            const FormulaOffer& s = offers[i];
            if ((s.channels & (1u << k)) == 0) continue;
            if (!best || s.priority > best->priority ||
                (s.priority == best->priority &&
                 std::popcount(s.channels) <= std::popcount(best->channels))) {
                best = &s;
                bestIndex = i;
            }
        }
        if (!best) continue;
        program.trees[k] = program.owned[bestIndex].get();
        const FormulaText& f = best->formula;
        program.origins[k] = f.file.empty() ? f.label : f.label + " in " + f.file;
        if (k == 3) program.addsAlpha = best->channels == 0b1000;
        program.visitingOrder = program.visitingOrder || DependsOnVisitingOrder(program.trees[k]);
    }
    return program;
}

}  // namespace zv::cli
