// SPDX-License-Identifier: MIT
#include "plugins/gimp/core/filter_text.h"

#include <cctype>

namespace zvgimp {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

bool IsFilterFile(std::string_view text) {
    if (text.substr(0, 3) == "\xef\xbb\xbf") text.remove_prefix(3);
    size_t i = 0;
    while (i < text.size() && (IsBlank(text[i]) || text[i] == '\n')) ++i;
    if (i < text.size() && text[i] == '#') return true;
    if (i == text.size() || !std::isalpha(static_cast<unsigned char>(text[i]))) return false;
    while (i < text.size() && std::isalnum(static_cast<unsigned char>(text[i]))) ++i;
    while (i < text.size() && IsBlank(text[i])) ++i;
    return i < text.size() && text[i] == ':';
}

CompiledFilter CompileFilter(std::string_view text) {
    CompiledFilter compiled;
    if (IsFilterFile(text)) {
        compiled.file = zv::ParseFilterFile(text, "filter");
    } else {
        compiled.file.formulas.push_back(
            {zv::kAllChannels, {std::string(text), "formula", {}, {}}, 0});
    }
    compiled.filter = std::make_shared<const zv::Filter>(compiled.file.formulas);
    return compiled;
}

}  // namespace zvgimp
