// SPDX-License-Identifier: MIT
#include "front/explain.h"

#include <cctype>
#include <optional>

#include "front/kinds.h"
#include "front/quote.h"
#include "front/scan.h"
#include "front/spelling.h"

namespace zv {

namespace {

struct Token {
    int32_t code;
    int32_t start, end;
};

// Every token of text, the end of input last.
std::vector<Token> Tokens(std::string_view text) {
    std::vector<Token> tokens;
    Scanner scanner;
    if (!ScanBegin(scanner, text.data(), text.size())) return {{0, 0, 0}};
    int32_t code;
    do {
        code = NextToken(scanner);
        tokens.push_back({code > 0 ? code : 0, scanner.state.tokenStart, scanner.state.position});
    } while (code > 0);
    ScanEnd(scanner);
    return tokens;
}

const KindInfo* KindOf(const Token& t) {
    return FindKind(t.code);
}
bool Is(const Token& t, Form form) {
    const KindInfo* k = KindOf(t);
    return k && k->form == form;
}
bool EndsOperand(const Token& t) {
    return Is(t, Form::kLeaf) || t.code == ')';
}
bool StartsOperand(const Token& t) {
    return Is(t, Form::kLeaf) || Is(t, Form::kCall) || Is(t, Form::kPrefix) || t.code == '(' ||
           t.code == '+' || t.code == '-';
}
// An operator that needs an operand on its right.
bool IsOperator(const Token& t) {
    return Is(t, Form::kInfix) || Is(t, Form::kPrefix) || Is(t, Form::kConditional) ||
           t.code == ':';
}
// An operator that needs an operand on its left too.
bool IsInfixOnly(const Token& t) {
    return IsOperator(t) && !StartsOperand(t);
}

class Explainer {
   public:
    Explainer(std::string_view text, int32_t errorOffset) : text_(text), tokens_(Tokens(text)) {
        while (at_ + 1 < tokens_.size() && tokens_[at_].start < errorOffset) ++at_;
    }

    Remark Run() {
        const Token& at = tokens_[at_];
        const Token* before = at_ > 0 ? &tokens_[at_ - 1] : nullptr;
        if (tokens_.size() == 1) return {at.start, "the formula is empty"};
        if (std::optional<Remark> r = UnknownName(at)) return *r;
        if (at.code == '#') return {at.start, Quote(at) + " has no \"(\" to close"};
        if (before && Is(*before, Form::kCall) && at.code != '(') {
            const KindInfo& k = *KindOf(*before);
            return {before->start, Quote(*before) + " needs its arguments in parentheses: " +
                                       std::string(Text(*before)) + "(" + std::string(k.params) +
                                       ")"};
        }
        if (std::optional<Remark> r = Arguments(at, before)) return *r;
        if (at.code == 0) return End(before);
        if (before && IsOperator(*before) && (IsInfixOnly(at) || at.code == ')' || at.code == ','))
            return {before->start, Quote(*before) + " has no right operand"};
        if (IsInfixOnly(at) && (!before || !EndsOperand(*before))) {
            return {at.start, Quote(at) + " has no left operand"};
        }
        if (at.code == ')' && before && before->code == '(')
            return {before->start, "nothing between \"(\" and \")\""};
        if (at.code == ',')
            return {at.start, "a \",\" inside parentheses must separate a function's arguments"};
        if (at.code == ':') return {at.start, "\":\" without \"?\""};
        if (before && EndsOperand(*before) && StartsOperand(at)) {
            return {at.start, "missing operator between " + Quote(*before) + " and " + Quote(at)};
        }
        if (at.code == '=') return {at.start, "\"=\" is not an operator: \"==\" compares"};
        if (std::optional<Remark> r = Fraction(at)) return *r;
        if (!IsOperator(at) && !StartsOperand(at) && !EndsOperand(at))
            return {at.start, "unexpected character " + Quote(at)};
        return {at.start, "unexpected " + Quote(at)};
    }

   private:
    std::string_view Text(const Token& t) const {
        return text_.substr(static_cast<size_t>(t.start), static_cast<size_t>(t.end - t.start));
    }
    std::string Quote(const Token& t) const { return Quoted(Text(t)); }

    // The run of letters and digits around the token, from its first
    // letter: a word that is not one written form is a name the language
    // does not have.
    std::optional<Remark> UnknownName(const Token& t) const {
        auto alnum = [this](size_t i) {
            return i < text_.size() && std::isalnum(static_cast<unsigned char>(text_[i]));
        };
        auto start = static_cast<size_t>(t.start);
        if (!alnum(start)) return {};
        size_t run = start;
        while (run > 0 && alnum(run - 1)) --run;
        while (run < start && std::isdigit(static_cast<unsigned char>(text_[run]))) ++run;
        if (std::isdigit(static_cast<unsigned char>(text_[run]))) return {};
        size_t end = start;
        while (alnum(end)) ++end;
        const std::string_view word = text_.substr(run, end - run);
        const Spelling* known = LongestSpelling(word);
        if (known && known->text.size() == word.size()) return {};
        return Remark{static_cast<int32_t>(run), "unknown name " + Quoted(word)};
    }

    // The innermost '(' still open before the token at index i, or none.
    std::optional<size_t> OpenParen(size_t i) const {
        std::vector<size_t> open;
        for (size_t j = 0; j < i; ++j) {
            if (tokens_[j].code == '(') open.push_back(j);
            if (tokens_[j].code == ')' && !open.empty()) open.pop_back();
        }
        if (open.empty()) return {};
        return open.back();
    }

    // A point in a number, as in 1.2: the language has integers only, and
    // scaling by a fraction of them comes nearest.
    std::optional<Remark> Fraction(const Token& at) const {
        if (at.code != '.') return {};
        auto digit = [this](size_t i) {
            return i < text_.size() && std::isdigit(static_cast<unsigned char>(text_[i]));
        };
        const auto point = static_cast<size_t>(at.start);
        size_t start = point, end = point + 1;
        while (start > 0 && digit(start - 1)) --start;
        while (digit(end)) ++end;
        const std::string whole(text_.substr(start, point - start));
        const std::string part(text_.substr(point + 1, end - point - 1));
        if (whole.empty() && part.empty()) return {};
        std::string hint = "numbers are integers: scale instead, as in c*12/10 for c*1.2";
        if (!part.empty() && part.size() < 10) {  // 10^9 is the largest power of ten in 32 bits
            std::string scaled = whole + part;
            scaled.erase(0, std::min(scaled.find_first_not_of('0'), scaled.size() - 1));
            hint = "numbers are integers: for c*" + whole + "." + part + " write c*" + scaled +
                   "/1" + std::string(part.size(), '0');
        }
        return Remark{static_cast<int32_t>(start), hint};
    }

    // A call whose list the parse stopped in, with a wrong number of
    // arguments or a missing one.
    std::optional<Remark> Arguments(const Token& at, const Token* before) const {
        if (at.code != ',' && at.code != ')') return {};
        const std::optional<size_t> paren = OpenParen(at_);
        if (!paren || *paren == 0 || !Is(tokens_[*paren - 1], Form::kCall)) return {};
        const Token& name = tokens_[*paren - 1];
        const KindInfo& kind = *KindOf(name);
        const int32_t given = ArgumentCount(*paren), wanted = ArityOf(kind);
        if (given != wanted) {
            return Remark{name.start, Quote(name) + " takes " + std::to_string(wanted) +
                                          (wanted == 1 ? " argument (" : " arguments (") +
                                          std::string(kind.params) + "), not " +
                                          std::to_string(given)};
        }
        if (before->code != ',' && before->code != '(') return {};
        const int32_t index = ArgumentCount(*paren, at_);
        return Remark{at.start, "argument " + std::to_string(index) + " (" +
                                    std::string(ParamName(kind, index)) + ") of " + Quote(name) +
                                    " is missing"};
    }

    // The arguments of the call whose '(' is at index paren, counted up to
    // its ')' (or up to index stop): none when nothing stands between.
    int32_t ArgumentCount(size_t paren, size_t stop = SIZE_MAX) const {
        int32_t depth = 0, count = 1;
        if (tokens_[paren + 1].code == ')') return 0;
        for (size_t j = paren + 1; j < tokens_.size() && j < stop; ++j) {
            const int32_t code = tokens_[j].code;
            if (code == 0 || (code == ')' && depth == 0)) break;
            depth += code == '(' ? 1 : code == ')' ? -1 : 0;
            count += code == ',' && depth == 0;
        }
        return count;
    }
    static std::string_view ParamName(const KindInfo& kind, int32_t index) {
        std::string_view params = kind.params;
        for (int32_t i = 1; i < index; ++i) params.remove_prefix(params.find(',') + 2);
        return params.substr(0, params.find(','));
    }

    Remark End(const Token* before) const {
        const Token& end = tokens_.back();
        if (const std::optional<size_t> paren = OpenParen(at_)) {
            return {end.start, "unexpected end of formula: \"(\" at @ is not closed",
                    tokens_[*paren].start};
        }
        if (before && IsOperator(*before))
            return {before->start, Quote(*before) + " has no right operand"};
        std::vector<const Token*> open;  // '?' without their ':'
        for (const Token& t : tokens_) {
            if (t.code == '?') open.push_back(&t);
            if (t.code == ':' && !open.empty()) open.pop_back();
        }
        if (!open.empty()) {
            return {end.start, "unexpected end of formula: \"?\" at @ has no \":\"",
                    open.back()->start};
        }
        return {end.start, "unexpected end of formula"};
    }

    std::string_view text_;
    std::vector<Token> tokens_;
    size_t at_ = 0;  // the token where the parse stopped
};

// Whether decimal digits stand for a number above 2^31 - 1.
bool BeyondInt32(std::string_view digits) {
    digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
    return digits.size() > 10 || (digits.size() == 10 && digits > "2147483647");
}

}  // namespace

Remark ExplainSyntaxError(std::string_view text, int32_t errorOffset) {
    return Explainer(text, errorOffset).Run();
}

std::vector<Remark> Warnings(std::string_view text) {
    std::vector<Remark> warnings;
    const std::vector<Token> tokens = Tokens(text);
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        const std::string_view written =
            text.substr(static_cast<size_t>(t.start), static_cast<size_t>(t.end - t.start));
        if (t.code != ZV_NUMBER || !std::isdigit(static_cast<unsigned char>(written[0]))) continue;
        if (!BeyondInt32(written)) continue;
        // -2147483648 is written as the negation of 2^31, which wraps to itself.
        const bool negated = i > 0 && tokens[i - 1].code == '-' && written == "2147483648";
        if (negated) continue;
        uint32_t value = 0;
        for (const char digit : written) value = value * 10u + static_cast<uint32_t>(digit - '0');
        warnings.push_back({t.start, std::string(written) + " wraps to " +
                                         std::to_string(static_cast<int32_t>(value))});
    }
    return warnings;
}

}  // namespace zv
