// SPDX-License-Identifier: MIT
#include "front/parse.h"

#include "front/parse_state.h"

namespace zv {

ParseOutcome ParseText(const char* text, size_t length, bool buildTree) {
    ParseState state;
    state.build = buildTree;
    if (!ScanBegin(state.scanner, text, length)) return {nullptr, ZV_PARSE_STACK_OVERFLOW, 0};
    int32_t status = ParseFormula(state);
    ScanEnd(state.scanner);
    if (status == ZV_PARSE_OK) return {state.result, status, -1};
    return {nullptr, status, state.errorOffset};
}

}  // namespace zv
