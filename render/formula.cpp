// SPDX-License-Identifier: MIT
#include "render/formula.h"

#include <algorithm>
#include <cstdint>

#include "eval/eval.h"
#include "front/explain.h"
#include "front/parse.h"
#include "front/tree.h"
#include "render/span/cells.h"

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

// A remark's text with the place it refers to written in: "column 4" on the
// same line, "line 2, column 4" on another.
std::string Spelled(const FormulaText& formula, const Remark& remark, const Position& at) {
    std::string text = remark.text;
    const size_t mark = text.find('@');
    if (remark.partner < 0 || mark == std::string::npos) return text;
    const Position partner = Locate(formula, static_cast<size_t>(remark.partner));
    std::string place = "column " + std::to_string(partner.column);
    if (partner.line != at.line) place = "line " + std::to_string(partner.line) + ", " + place;
    return text.replace(mark, 1, place);
}

// The message for formula at offset: "formula 1 does not parse at column 5:
// reason", or "f.zvf:2:5: formula for r does not parse: reason".
std::string Message(const FormulaText& formula, const std::string& problem, const Position& at,
                    const std::string& reason) {
    const std::string what = formula.label + " " + problem;
    const std::string message = formula.file.empty() ? what + at.where : at.where + what;
    return reason.empty() ? message : message + ": " + reason;
}

// Throws the refusal of formula for a fault at offset.
[[noreturn]] void Refuse(const FormulaText& formula, const std::string& problem, int64_t offset,
                         const Remark& remark = {}) {
    const Position at = Locate(formula, static_cast<size_t>(offset));
    throw Error(Status::kBadFormula, Message(formula, problem, at, Spelled(formula, remark, at)),
                at.excerpt, at.line, at.column);
}

}  // namespace

void TreeDeleter::operator()(ExprNode* root) const {
    ReleaseTree(root);
}

Tree CompileFormula(const FormulaText& formula, std::vector<Warning>* warnings) {
    if (const size_t stray = FirstStrayByte(formula.text); stray != std::string::npos) {
        Refuse(formula,
               formula.text[stray] == '\0' ? "has a zero byte" : "has a byte that is not ASCII",
               static_cast<int64_t>(stray));
    }
    const ParseOutcome out = ParseText(formula.text.data(), formula.text.size(), true);
    if (out.status == ZV_PARSE_STACK_OVERFLOW) Refuse(formula, "nests too deeply", out.errorOffset);
    if (out.status != ZV_PARSE_OK) {
        const Remark why = ExplainSyntaxError(formula.text, out.errorOffset);
        Refuse(formula, "does not parse", why.offset, why);
    }
    for (const Remark& remark : Warnings(formula.text)) {
        const Position at = Locate(formula, static_cast<size_t>(remark.offset));
        if (warnings)
            warnings->push_back({Message(formula, "has a number beyond 32 bits", at, remark.text),
                                 at.excerpt, at.line, at.column});
    }
    return Tree(out.root);
}

bool SharesCells(const std::vector<const ExprNode*>& trees) {
    const auto shares = [](const ExprNode* root) { return !CellsAreLocal(root); };
    return std::any_of(trees.begin(), trees.end(), Puts) &&
           std::any_of(trees.begin(), trees.end(), shares);
}

bool DependsOnVisitingOrder(const std::vector<const ExprNode*>& trees) {
    const auto draws = [](const ExprNode* root) {
        return HasKind(root, [](const KindInfo& k) {
            return k.depends.effect && k.code != ZV_PUT;  // rnd, and kinds without a row
        });
    };
    return std::any_of(trees.begin(), trees.end(), draws) || SharesCells(trees);
}

bool ReadsAlpha(const ExprNode* root) {
    return HasKind(root, [](const KindInfo& k) { return k.readsAlpha; });
}

namespace {

// Whether a subtree has the same value everywhere: none of its kinds reads
// the context or has an effect.
bool Constant(const ExprNode* node) {
    return !HasKind(node, [](const KindInfo& k) {
        const Depends d = k.depends;
        return d.position || d.channel || d.context || d.effect;
    });
}

// The controls a call reads through its first argument i: ctl and val read
// control i, map the pair 2i and 2i + 1; out of range they read none.
unsigned ControlsRead(const ExprNode* node) {
    const int32_t kind = node->kind;
    if (kind != ZV_CTL && kind != ZV_VAL && kind != ZV_MAP) return 0;
    const ExprNode* index = node->children[0];
    if (!index || !Constant(index)) return 0xFFu;
    PixelContext none{};
    const uint32_t i = uint32_t(WalkTree(index, none));
    if (kind == ZV_MAP) return i < 4 ? 3u << (2 * i) : 0;
    return i < 8 ? 1u << i : 0;
}

}  // namespace

void AddInputs(const ExprNode* root, FilterInputs& inputs) {
    std::vector<const ExprNode*> pending;
    if (root) pending.push_back(root);
    while (!pending.empty()) {
        const ExprNode* node = pending.back();
        pending.pop_back();
        inputs.controls |= ControlsRead(node);
        inputs.t = inputs.t || node->kind == 't';
        inputs.total = inputs.total || node->kind == ZV_TOTAL;
        for (int32_t i = 0; i < node->childCount; ++i) {
            if (node->children[i]) pending.push_back(node->children[i]);
        }
    }
}

}  // namespace zv
