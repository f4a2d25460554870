// SPDX-License-Identifier: MIT
// Arbitrary bytes as a formula: parsed in both modes, and where it parses,
// evaluated a few times against a small image and then released. Each call
// runs the program ZvParse compiled and the tree walk from the same context
// and random state: both must agree in value and in every byte they write.
// The input's layout is described in fuzz/host.h.
#include <cstring>

#include "eval/builtins.h"
#include "eval/eval.h"
#include "fuzz/host.h"

namespace {

using zvfuzz::Check;

// The library may write cells and unhandledKind, and nothing else of the
// context: not a field, not a reserved byte, not the padding.
void CheckOnlyWritableFieldsChanged(const unsigned char* before, const PixelContext& context) {
    unsigned char after[sizeof context];
    std::memcpy(after, &context, sizeof context);
    std::memcpy(after + offsetof(PixelContext, cells), before + offsetof(PixelContext, cells),
                sizeof context.cells);
    std::memcpy(after + offsetof(PixelContext, unhandledKind),
                before + offsetof(PixelContext, unhandledKind), sizeof context.unhandledKind);
    Check(std::memcmp(before, after, sizeof context) == 0, "ZvExec wrote outside cells");
}

// A few calls on one context, at positions inside and far outside the image and
// with channels outside 0..3 too; cells written by one call stay for the next.
void Evaluate(const ExprNode* root, FuzzedDataProvider& in) {
    zvfuzz::Host host = zvfuzz::MakeHost(in);
    PixelContext& context = *host.context;
    int32_t calls = in.ConsumeIntegralInRange<int32_t>(1, 4);
    for (int32_t i = 0; i < calls; ++i) {
        context.x = zvfuzz::Near(in, -2, zvfuzz::kColumns + 2);
        context.y = zvfuzz::Near(in, -2, zvfuzz::kRows + 2);
        context.channel = in.ConsumeIntegralInRange<int32_t>(-2, 5);
        unsigned char before[sizeof(PixelContext)];
        std::memcpy(before, &context, sizeof before);
        PixelContext walked = context;
        const uint32_t state = zv::RandomState();
        const int32_t want = zv::WalkTree(root, walked);
        const uint32_t walkedState = zv::RandomState();
        zv::RandomState() = state;
        Check(ZvExec(root, &context) == want, "ZvExec and the tree walk differ");
        Check(zv::RandomState() == walkedState, "ZvExec and the tree walk drew differently");
        Check(std::memcmp(&walked, &context, sizeof context) == 0,
              "ZvExec and the tree walk wrote differently");
        CheckOnlyWritableFieldsChanged(before, context);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zvfuzz::Input input = zvfuzz::Split(data, size);
    int32_t checked = -1, built = -1;
    Check(ZvParse(input.text.c_str(), &checked, 0) == nullptr, "a syntax check returned a tree");
    ExprNode* root = ZvParse(input.text.c_str(), &built, 1);
    Check(checked == built, "the two modes gave different statuses");
    Check(built >= 0 && built <= 2, "status outside 0..2");
    Check((root != nullptr) == (built == 0), "a tree without status 0, or none with it");
    if (root) {
        FuzzedDataProvider in(input.layout, input.layoutSize);
        Evaluate(root, in);
    }
    ZvFree(root);
    return 0;
}
