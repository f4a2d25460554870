// SPDX-License-Identifier: MIT
#include "plugins/gimp/core/filter_text.h"

#include <cctype>
#include <string>

namespace zvgimp {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

constexpr size_t kMaxFileBytes = 1 << 20;

// The length of the UTF-8 sequence at text[i], or 0 when none starts there:
// no overlong forms, surrogates or values past U+10FFFF.
size_t SequenceAt(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned lead = byte(0);
    const size_t length = lead < 0x80 ? 1 : lead < 0xc2 ? 0 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3
                                                        : lead < 0xf5 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xc0) != 0x80) return 0;
    }
    // The second byte's range for the leads that limit it.
    if ((lead == 0xe0 && byte(1) < 0xa0) || (lead == 0xed && byte(1) > 0x9f) ||
        (lead == 0xf0 && byte(1) < 0x90) || (lead == 0xf4 && byte(1) > 0x8f)) {
        return 0;
    }
    return length;
}

}  // namespace

std::string Unloadable(std::string_view bytes) {
    if (bytes.size() > kMaxFileBytes) return "a filter file may hold at most 1 MiB";
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = SequenceAt(bytes, i);
        if (length == 0) return "not UTF-8 text at byte " + std::to_string(i);
        if (bytes[i] == '\0') return "a NUL byte at byte " + std::to_string(i);
        i += length;
    }
    return {};
}

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
