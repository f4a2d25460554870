// SPDX-License-Identifier: MIT
#include "render/draws.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "eval/builtins.h"
#include "eval/eval.h"
#include "eval/rules.h"
#include "front/tree.h"

namespace zv {

namespace {

// Kinds with a value of their own that no pixel changes; every other kind
// without dependencies is a function of its arguments alone.
constexpr std::array<int32_t, 11> kFixedInRender = {
    't', 'X', 'Y', 'Z', 'D', 'M', 'z', ZV_TOTAL, ZV_CTL, ZV_VAL, ZV_MAP};

bool Varies(const KindInfo& k) {
    const Depends d = k.depends;
    const bool depends = d.position || d.channel || d.context || d.effect;
    return depends && std::find(kFixedInRender.begin(), kFixedInRender.end(), k.code) ==
                          kFixedInRender.end();
}

// Calls f(rnd node, whether it may be skipped) for every rnd of the tree.
template <class F>
void ForEachRandom(const ExprNode* root, F f) {
    std::vector<std::pair<const ExprNode*, bool>> pending;
    if (root) pending.push_back({root, false});
    while (!pending.empty()) {
        const auto [node, skippable] = pending.back();
        pending.pop_back();
        if (node->kind == ZV_RND) f(*node, skippable);
        const bool picks = RuleOf(node->kind).lazy && node->kind != ZV_SEQ;
        for (int32_t i = 0; i < node->childCount; ++i) {
            if (node->children[i]) pending.push_back({node->children[i], skippable || (picks && i > 0)});
        }
    }
}

}  // namespace

bool CountsDraws(const ExprNode* root) {
    bool counted = !HasKind(root, [](const KindInfo&) { return false; });  // a kind without a row
    ForEachRandom(root, [&counted](const ExprNode& rnd, bool skippable) {
        counted = counted && !skippable && !HasKind(Child(rnd, 0), Varies) &&
                  !HasKind(Child(rnd, 1), Varies);
    });
    return counted;
}

uint32_t DrawsOf(const ExprNode* root, const PixelContext& context) {
    uint32_t draws = 0;
    ForEachRandom(root, [&](const ExprNode& rnd, bool) {
        PixelContext copy = context;
        const int32_t hi = WalkTree(Child(rnd, 1), copy);
        draws += Draws(WalkTree(Child(rnd, 0), copy), hi);
    });
    return draws;
}

}  // namespace zv
