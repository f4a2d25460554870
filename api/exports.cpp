// The library's three exports; everything else stays hidden.
#include <cstring>

#include "api/zorvan.h"
#include "eval/eval.h"
#include "front/parse.h"
#include "front/tree.h"

extern "C" {

ExprNode* ZvParse(const char* text, int32_t* status, int32_t buildTree) {
    const char* t = text ? text : "";
    zv::ParseOutcome out = zv::ParseText(t, std::strlen(t), buildTree != 0);
    if (status) *status = out.status;
    return out.root;
}

int32_t ZvExec(const ExprNode* root, PixelContext* context) {
    return root ? zv::Evaluate(root, *context) : 0;
}

void ZvFree(ExprNode* root) { zv::ReleaseTree(root); }

}  // extern "C"
