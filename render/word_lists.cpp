// SPDX-License-Identifier: MIT
// Writes the lists that the studio's page and the fuzzer take from the
// kinds table and the filter-file keys, so that they never fall behind:
//   word_lists studio FILE      the page's list of functions and formula keys
//   word_lists dictionary FILE  every word of the language, for the fuzzer
//   word_lists keys FILE        the formula keys as "r|g|...", for a regex
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "front/kinds.h"
#include "zorvan/render.hpp"

namespace {

std::string FormulaKeyPattern() {
    std::string pattern;
    for (const zv::FormulaKey& f : zv::kFormulaKeys) {
        pattern += (pattern.empty() ? "" : "|") + std::string(f.key);
    }
    return pattern;
}

// Calls each spelling of a space-separated list.
template <typename Each>
void Spellings(std::string_view spellings, Each each) {
    while (!spellings.empty()) {
        const size_t space = spellings.find(' ');
        each(spellings.substr(0, space));
        spellings = space == std::string_view::npos ? "" : spellings.substr(space + 1);
    }
}

void Studio(std::ostream& out) {
    out << "// Generated from the kinds table and the filter-file keys.\n'use strict';\n\n"
        << "const FUNCTIONS = new Set([";
    std::string_view comma;
    for (const zv::KindInfo& k : zv::kKinds) {
        if (k.form != zv::Form::kCall) continue;
        out << comma << '\'' << zv::NameOf(k) << '\'';
        comma = ", ";
    }
    out << "]);\nconst FORMULA_KEYS = /^(" << FormulaKeyPattern() << "):/;\n";
}

void Dictionary(std::ostream& out) {
    out << "# Generated from the kinds table: operators, functions, constants and\n"
           "# aliases; then what the table does not hold.\n";
    const auto word = [&out](std::string_view w) { out << '"' << w << "\"\n"; };
    for (const zv::KindInfo& k : zv::kKinds) Spellings(k.spellings, word);
    for (const zv::NamedNumber& n : zv::kNamedNumbers) Spellings(n.spellings, word);
    Spellings("// : ( ) 2147483647 2147483648 4294967295 4294967296 255 1024 512 256", word);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view what = argc == 3 ? argv[1] : "";
    if (what != "studio" && what != "dictionary" && what != "keys") {
        std::cerr << "usage: word_lists studio|dictionary|keys FILE\n";
        return 2;
    }
    std::ofstream out(argv[2]);
    if (what == "studio") Studio(out);
    if (what == "dictionary") Dictionary(out);
    if (what == "keys") out << FormulaKeyPattern() << '\n';
    out.close();
    if (!out) {
        std::cerr << "word_lists: cannot write " << argv[2] << '\n';
        return 1;
    }
}
