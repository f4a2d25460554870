// SPDX-License-Identifier: MIT
#include "front/tree.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <vector>

namespace zv {

ExprNode* MakeNode(bool build, bool* outOfMemory, int32_t kind, int32_t value,
                   std::initializer_list<ExprNode*> children) {
    if (!build) return nullptr;
    auto* node = static_cast<ExprNode*>(std::malloc(sizeof(ExprNode)));
    ExprNode** array = nullptr;
    if (node && children.size() > 0) {
        array = static_cast<ExprNode**>(std::malloc(children.size() * sizeof(ExprNode*)));
    }
    if (!node || (children.size() > 0 && !array)) {
        std::free(node);
        for (ExprNode* child : children) ReleaseTree(child);
        *outOfMemory = true;
        return nullptr;
    }
    node->kind = kind;
    node->value = value;
    node->childCount = static_cast<int32_t>(children.size());
    node->children = array;
    std::copy(children.begin(), children.end(), array);
    return node;
}

// The nodes waiting to be freed form a list linked through their kind and
// value fields, which nothing needs any more: constant extra memory and no
// recursion, whatever the depth.
static_assert(sizeof(ExprNode*) <= offsetof(ExprNode, childCount));

static void Push(ExprNode*& list, ExprNode* node) {
    if (!node) return;
    std::memcpy(&node->kind, &list, sizeof list);
    list = node;
}

static ExprNode* Pop(ExprNode*& list) {
    ExprNode* node = list;
    std::memcpy(&list, &node->kind, sizeof list);
    return node;
}

void ReleaseTree(ExprNode* root) {
    ExprNode* list = nullptr;
    Push(list, root);
    while (list) {
        ExprNode* node = Pop(list);
        if (node->children) {
            for (int32_t i = 0; i < node->childCount; ++i) Push(list, node->children[i]);
            std::free(node->children);
        }
        std::free(node);
    }
}

bool HasKind(const ExprNode* root, bool (*test)(const KindInfo&)) {
    std::vector<const ExprNode*> pending;
    if (root) pending.push_back(root);
    while (!pending.empty()) {
        const ExprNode* node = pending.back();
        pending.pop_back();
        const KindInfo* kind = FindKind(node->kind);
        if (!kind || test(*kind)) return true;
        for (int32_t i = 0; i < node->childCount; ++i) {
            if (node->children[i]) pending.push_back(node->children[i]);
        }
    }
    return false;
}

}  // namespace zv
