/* SPDX-License-Identifier: MIT */
// Rows of interleaved pixels through an interleaved program, into bytes.
// Each stretch of a row runs the formula with the branches its
// conditionals take all along it (span_ranges.h); where what is left
// depends on c alone, through steps that read nothing but their
// arguments, it is a table of 256 bytes, made by running the steps over
// c = 0..255 and looked up for every byte of the stretch.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "render/span/bytes.h"
#include "render/span/ranges.h"
#include "render/span/span.h"

namespace zv {

class InterleavedRows {
   public:
    // program: tree's interleaved program; both outlive this.
    InterleavedRows(const ExprNode* tree, const SpanProgram& program);

    // Pixels x0 .. x0 + count - 1 of row context.y, `channels` (1..4) each,
    // clamped into out.
    void Row(PixelContext& context, int32_t x0, int32_t count, int32_t channels, uint8_t* out);

   private:
    // The program with some branches taken, and its table.
    struct Variant {
        std::vector<int8_t> taken;
        std::unique_ptr<SpanProgram> owned;
        std::unique_ptr<SpanWorkspace> run;
        bool byTable = false;
        uint64_t checked = 0;          // the row whose fixed values the table was checked against
        std::vector<int32_t> scalars;  // the table's; empty: no table yet
        ByteTable table;
    };

    // A stretch of the row and the variant that computes it.
    struct Piece {
        int32_t x0, count;
        Variant* variant;
    };
    // How the last row was split, and what it was split by.
    struct Plan {
        int32_t x0 = 0, count = 0, channels = 0;
        std::vector<int32_t> scalars;
        std::vector<Piece> pieces;
    };

    void Split(PixelContext& context, int32_t x0, int32_t count, int32_t channels);
    void Compute(const Piece& piece, PixelContext& context, int32_t channels, uint8_t* out);
    Variant& For(const std::vector<int8_t>& taken);
    // The variant's table for this row, when it has one that LookUp runs.
    const ByteTable* Table(Variant& v, PixelContext& context);

    const ExprNode* tree_;
    const SpanProgram& program_;
    SpanWorkspace run_;
    SpanRanges ranges_;
    std::vector<const ExprNode*> conditionals_;  // of the program's loops
    std::vector<std::unique_ptr<Variant>> variants_;
    const int32_t* scalars_ = nullptr;  // the row's
    uint64_t row_ = 0;
    Plan plan_;
    int32_t budget_ = 0;  // splits left for this row
};

}  // namespace zv
