/* SPDX-License-Identifier: MIT */
// The scanner: formula text to token codes, one call at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zv {

// What the scanner keeps besides flex's own state.
struct ScanState {
    int32_t parenDepth = 0;  // '(' adds one, ')' takes one; never clamped
    int32_t tokenValue = 0;  // the value of the last NUMBER token
    int32_t tokenStart = 0;  // byte offset of the last token returned
    int32_t position = 0;    // byte offset where the next token starts
};

struct Scanner {
    void* flex = nullptr;
    ScanState state;
};

// Scans a private copy of length bytes of text. False when the scanner's
// own state cannot be allocated; running out of memory for the copy or its
// buffer ends the process with a message, as flex's fatal path does.
bool ScanBegin(Scanner& scanner, const char* text, size_t length);

// The next token code: 258..303 for named tokens, a byte's value read as a
// signed 8-bit number otherwise, 0 at the end of the text and ever after.
int32_t NextToken(Scanner& scanner);

void ScanEnd(Scanner& scanner);

}  // namespace zv
