// SPDX-License-Identifier: MIT
// The library's three exports; everything else stays hidden.
#include <cstring>

#include "api/roots.h"
#include "api/zorvan.h"
#include "eval/eval.h"
#include "eval/program.h"
#include "front/parse.h"
#include "front/tree.h"

namespace {

// Roots away from their home slot, and trees without a program.
[[gnu::noinline]] int32_t ExecAwayFromHome(const ExprNode* root, PixelContext& context) {
    if (const zv::Program* program = zv::Find(root)) return zv::RunProgram(*program, context);
    return zv::WalkTree(root, context);
}

}  // namespace

extern "C" {

ExprNode* ZvParse(const char* text, int32_t* status, int32_t buildTree) {
    const char* t = text ? text : "";
    zv::ParseOutcome out = zv::ParseText(t, std::strlen(t), buildTree != 0);
    if (status) *status = out.status;
    if (out.root) {
        std::unique_ptr<zv::Program> program = zv::CompileProgram(*out.root);
        if (program && zv::Enter(out.root, program.get())) program.release();
    }
    return out.root;
}

int32_t ZvExec(const ExprNode* root, PixelContext* context) {
    if (!root) return 0;
    if (const zv::Program* program = zv::FindAtHome(root)) return zv::RunProgram(*program, *context);
    return ExecAwayFromHome(root, *context);
}

void ZvFree(ExprNode* root) {
    delete zv::Leave(root);
    zv::ReleaseTree(root);
}

}  // extern "C"
