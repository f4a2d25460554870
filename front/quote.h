/* SPDX-License-Identifier: MIT */
// Text in double quotes for a message, with control characters and zero
// bytes as \xNN, so that the message stays one line and one C string.
#pragma once

#include <string>
#include <string_view>

namespace zv {

inline std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7f) {
            constexpr char kHex[] = "0123456789abcdef";
            quoted += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
        } else {
            quoted += ch;
        }
    }
    return quoted + "\"";
}

}  // namespace zv
