#include "render/formula.h"

#include <algorithm>
#include <cstdint>

#include "front/parse.h"
#include "front/tree.h"

namespace zv {

namespace {

struct Position {
    std::string where;  // "file:line:column: " or " at column N"
    std::string excerpt;
    int line, column;  // in the file, or in the text when it has none
};

// The line of text that holds offset, and a caret line under that byte. A
// long line shows only a window around the byte, "..." where it is cut; a
// zero byte shows as '?', so the excerpt stays one C string.
std::string Excerpt(const std::string& text, size_t start, size_t offset) {
    constexpr size_t kHalfWindow = 60;
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start && text[end - 1] == '\r') --end;
    const size_t from = offset - start > kHalfWindow ? offset - kHalfWindow : start;
    const size_t to = std::min(end, std::max(offset, from) + kHalfWindow);
    std::string line = from > start ? "..." : "";
    std::string caret(line.size(), ' ');
    for (size_t i = from; i < to; ++i) line += text[i] == '\0' ? '?' : text[i];
    if (to < end) line += "...";
    for (size_t i = from; i < offset && i < to; ++i) caret += text[i] == '\t' ? '\t' : ' ';
    return "  " + line + "\n  " + caret + "^\n";
}

// The first byte outside a comment that is zero or above 127, where the
// library's scan would end without a word; npos when there is none.
size_t FirstStrayByte(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "//") == 0) {
            i = text.find('\n', i);
            if (i == std::string::npos) break;
        } else if (text[i] == '\0' || static_cast<unsigned char>(text[i]) > 127) {
            return i;
        }
    }
    return std::string::npos;
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

// Throws the refusal of formula for a fault at offset, or at no place when
// offset is negative.
[[noreturn]] void Refuse(const FormulaText& formula, const std::string& problem, int64_t offset) {
    const std::string what = formula.label + " " + problem;
    if (offset < 0) throw Error(Status::kBadFormula, what);
    const Position at = Locate(formula, static_cast<size_t>(offset));
    const std::string message = formula.file.empty() ? what + at.where : at.where + what;
    throw Error(Status::kBadFormula, message, at.excerpt, at.line, at.column);
}

}  // namespace

void TreeDeleter::operator()(ExprNode* root) const {
    ReleaseTree(root);
}

Tree CompileFormula(const FormulaText& formula) {
    if (const size_t stray = FirstStrayByte(formula.text); stray != std::string::npos) {
        Refuse(formula,
               formula.text[stray] == '\0' ? "has a zero byte" : "has a byte that is not ASCII",
               static_cast<int64_t>(stray));
    }
    const ParseOutcome out = ParseText(formula.text.data(), formula.text.size(), true);
    if (out.status == ZV_PARSE_OK) return Tree(out.root);
    ReleaseTree(out.root);
    Refuse(formula, out.status == ZV_PARSE_STACK_OVERFLOW ? "nests too deeply" : "does not parse",
           out.errorOffset);
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

bool DependsOnVisitingOrder(const ExprNode* root) {
    return HasKind(root, [](const KindInfo& k) { return k.depends.effect; });
}

bool ReadsAlpha(const ExprNode* root) {
    return HasKind(root, [](const KindInfo& k) { return k.readsAlpha; });
}

}  // namespace zv
