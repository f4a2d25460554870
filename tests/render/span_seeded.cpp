// SPDX-License-Identifier: MIT
// The span fuzzer's comparison on inputs made from a seed, for builds that
// have no libFuzzer (the ARM one under qemu): each input a generated formula,
// its zero byte, then random bytes for the image, the context, the runs and
// the instruction set (fuzz/host.h). A difference ends the program with the
// fuzzer's message. Arguments: the seed and the number of inputs.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tests/render/formulas.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: span_seeded SEED COUNT\n");
        return 2;
    }
    const auto seed = static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10));
    const long count = std::strtol(argv[2], nullptr, 10);
    zv::test::Generator generate(seed);
    std::mt19937 random(seed);
    for (long i = 0; i < count; ++i) {
        const std::string text = generate.Formula();
        std::vector<uint8_t> input(text.begin(), text.end());
        input.push_back(0);
        for (int j = 0; j < 256; ++j) input.push_back(static_cast<uint8_t>(random()));
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%ld inputs from seed %u: the span evaluator agrees with ZvExec\n", count, seed);
    return 0;
}
