// The programs of the trees ZvParse made, by root. ZvExec looks a root up
// here rather than in the tree, since a host's own tree owns no room for it;
// a root that is not here runs on the tree walk.
#pragma once

#include "api/zorvan.h"
#include "eval/program.h"

namespace zv {

// Keeps program for root until Leave; false when there is no room, and the
// caller keeps the program.
bool Enter(const ExprNode* root, const Program* program);
// The program kept for root, or null. Lock-free: any number of threads may
// look up while others enter and leave other roots.
const Program* Find(const ExprNode* root);
// Forgets root; yields its program, or null.
const Program* Leave(const ExprNode* root);

}  // namespace zv
