// SPDX-License-Identifier: MIT
#include "render/span/isa.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

namespace zv {
namespace {

// ZORVAN_ISA's words, by Isa.
const char* const kWords[] = {"baseline", "ssse3", "avx2", "avx512"};

std::vector<Isa> Probe() {
    std::vector<Isa> isas = {Isa::kBaseline};
#if ZV_SPAN_WIDE
    __builtin_cpu_init();
#define ZV_HAS(feature) __builtin_cpu_supports(feature)
    if (ZV_HAS("ssse3") && ZV_HAS("sse4.1") && ZV_HAS("sse4.2") && ZV_HAS("popcnt")) {
        isas.push_back(Isa::kSsse3);
    }
    if (ZV_HAS("avx2") && ZV_HAS("fma")) {
        isas.push_back(Isa::kAvx2);
        if (ZV_HAS("avx512f") && ZV_HAS("avx512bw") && ZV_HAS("avx512vl") && ZV_HAS("avx512dq")) {
            isas.push_back(Isa::kAvx512);
        }
    }
#undef ZV_HAS
#endif
    return isas;
}

struct Choice {
    Isa isa;
    std::string note;
};

Choice FromEnvironment() {
    const std::vector<Isa>& isas = RunnableIsas();
    const char* want = std::getenv("ZORVAN_ISA");
    if (!want || !*want) return {isas.back(), {}};
    std::string runs;
    for (const Isa isa : isas) {
        if (std::strcmp(want, kWords[static_cast<int>(isa)]) == 0) return {isa, {}};
        runs += std::string(runs.empty() ? "" : ", ") + kWords[static_cast<int>(isa)];
    }
    return {isas.back(),
            std::string("ZORVAN_ISA=") + want + " is not one of " + runs + " that this processor runs"};
}

const Choice& Initial() {
    static const Choice choice = FromEnvironment();
    return choice;
}

std::atomic<Isa>& Chosen() {
    static std::atomic<Isa> chosen{Initial().isa};
    return chosen;
}

}  // namespace

const std::vector<Isa>& RunnableIsas() {
    static const std::vector<Isa> isas = Probe();
    return isas;
}

Isa CurrentIsa() {
    return Chosen().load(std::memory_order_relaxed);
}

void UseIsa(Isa isa) {
    Chosen().store(isa, std::memory_order_relaxed);
}

const char* NameOf(Isa isa) {
#if defined(__aarch64__)
    static const char* const kNames[] = {"NEON"};
#else
    static const char* const kNames[] = {"baseline", "SSSE3", "AVX2", "AVX-512"};
#endif
    return kNames[static_cast<int>(isa)];
}

const char* IsaNote() {
    return Initial().note.c_str();
}

}  // namespace zv
