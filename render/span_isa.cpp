#include "render/span_isa.h"

#include <atomic>

namespace zv {
namespace {

std::vector<Isa> Probe() {
    std::vector<Isa> isas = {Isa::kBaseline};
#if ZV_SPAN_WIDE
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
        isas.push_back(Isa::kAvx2);
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
            __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq")) {
            isas.push_back(Isa::kAvx512);
        }
    }
#endif
    return isas;
}

std::atomic<Isa>& Chosen() {
    static std::atomic<Isa> chosen{RunnableIsas().back()};
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
    static const char* const kNames[] = {"baseline", "AVX2", "AVX-512"};
    return kNames[static_cast<int>(isa)];
}

}  // namespace zv
