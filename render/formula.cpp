#include "render/formula.h"

#include <algorithm>

#include "front/parse.h"
#include "front/tree.h"

namespace zv {

namespace {

struct Position {
    std::string where;  // "file:line:column: " or " at column N"
    std::string excerpt;
    int line, column;  // in the file, or in the text when it has none
};

// The line of text that holds offset, and a caret line under that byte.
std::string Excerpt(const std::string& text, size_t start, size_t offset) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string caret;
    for (size_t i = start; i < offset && i - start < line.size(); ++i) {
        caret += line[i - start] == '\t' ? '\t' : ' ';
    }
    return "  " + line + "\n  " + caret + "^\n";
}

Position Locate(const FormulaText& formula, size_t offset) {
    const std::string& text = formula.text;
    offset = std::min(offset, text.size());
    const size_t start = offset == 0 ? 0 : text.rfind('\n', offset - 1) + 1;
    const size_t column = offset - start;
    const std::string excerpt = Excerpt(text, start, offset);
    if (formula.file.empty()) {
        const auto line = 1 + std::count(text.begin(), text.begin() + offset, '\n');
        std::string where = " at column " + std::to_string(column + 1);
        if (line > 1)
            where = " at line " + std::to_string(line) + ", column " + std::to_string(column + 1);
        return {where, excerpt, static_cast<int>(line), static_cast<int>(column) + 1};
    }
    const SourceLine* source = &formula.lines.front();
    for (const SourceLine& l : formula.lines) {
        if (l.offset <= start) source = &l;
    }
    const int at = source->column + static_cast<int>(column);
    return {formula.file + ":" + std::to_string(source->line) + ":" + std::to_string(at) + ": ",
            excerpt, source->line, at};
}

}  // namespace

void TreeDeleter::operator()(ExprNode* root) const {
    ReleaseTree(root);
}

Tree CompileFormula(const FormulaText& formula) {
    const ParseOutcome out = ParseText(formula.text.data(), formula.text.size(), true);
    if (out.status == ZV_PARSE_OK) return Tree(out.root);
    ReleaseTree(out.root);
    const char* problem =
        out.status == ZV_PARSE_STACK_OVERFLOW ? "nests too deeply" : "does not parse";
    const std::string what = formula.label + " " + problem;
    if (out.errorOffset < 0) throw Error(Status::kBadFormula, what);
    const Position at = Locate(formula, static_cast<size_t>(out.errorOffset));
    const std::string message = formula.file.empty() ? what + at.where : at.where + what;
    throw Error(Status::kBadFormula, message, at.excerpt, at.line, at.column);
}

bool HasKind(const ExprNode* root, std::initializer_list<int32_t> kinds) {
    std::vector<const ExprNode*> pending;
    if (root) pending.push_back(root);
    while (!pending.empty()) {
        const ExprNode* node = pending.back();
        pending.pop_back();
        if (std::find(kinds.begin(), kinds.end(), node->kind) != kinds.end()) return true;
        for (int32_t i = 0; i < node->childCount; ++i) {
            if (node->children[i]) pending.push_back(node->children[i]);
        }
    }
    return false;
}

bool DependsOnVisitingOrder(const ExprNode* root) {
    return HasKind(root, {ZV_PUT, ZV_RND});
}

}  // namespace zv
