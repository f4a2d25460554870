// Spreading a frame's rows over threads: blocks of a few rows are handed
// out in turn, so a thread that finishes early takes the next block.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace zv::cli {

inline constexpr int32_t kRowsPerBlock = 4;

// Calls rows(state, from, to) for blocks covering 0..height on up to
// `threads` threads, the calling one included; each thread works on a
// state of its own from makeState().
template <class MakeState, class Rows>
void ForEachRowBlock(unsigned threads, int32_t height, const MakeState& makeState,
                     const Rows& rows) {
    std::atomic<int32_t> next{0};
    const auto work = [&] {
        auto state = makeState();
        for (;;) {
            const int32_t from = next.fetch_add(kRowsPerBlock);
            if (from >= height) return;
            rows(state, from, std::min(height, from + kRowsPerBlock));
        }
    };
    const auto blocks = static_cast<unsigned>((height + kRowsPerBlock - 1) / kRowsPerBlock);
    std::vector<std::jthread> helpers;  // joined however this returns
    for (unsigned i = 1; i < std::min(threads, blocks); ++i) helpers.emplace_back(work);
    work();
}

}  // namespace zv::cli
