// SPDX-License-Identifier: MIT
// ZvExec per call on a mix of formulas, each against the same formula
// written as a native function called through a pointer, in the same run.
// Every benchmark sweeps the pixels of a small image the way a host does;
// the summary at the end prints ZvExec's time over the native time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "api/zorvan.h"
#include "eval/arith.h"
#include "eval/builtins.h"
#include "eval/pixels.h"

namespace {

using zv::ReadPixel;
using Native = int32_t (*)(const PixelContext&);

int32_t Threshold(const PixelContext& c) {
    return c.x < c.width / 2 ? c.red : 255 - c.red;
}

int32_t Gray(const PixelContext& c) {
    return (c.red + c.green + c.blue) / 3;
}

int32_t Wave(const PixelContext& c) {
    return ReadPixel(c, c.x + zv::Sine(c.y * 4) / 16, c.y, c.channel);
}

int32_t Blur(const PixelContext& c) {
    static constexpr int32_t k[9] = {1, 2, 1, 2, 4, 2, 1, 2, 1};
    int32_t sum = 0;
    for (int32_t i = 0; i < 9; ++i)
        sum += k[i] * ReadPixel(c, c.x + i % 3 - 1, c.y + i / 3 - 1, c.channel);
    return sum / 16;
}

int32_t Twirl(const PixelContext& c) {
    int32_t dx = c.x - c.width / 2, dy = c.y - c.height / 2;
    int32_t m = zv::Magnitude(dx, dy);
    return zv::PolarPixel(c, zv::Direction(dx, dy) + m / 4, m, c.channel);
}

// About 200 nodes of everyday operators, built-ins and conditionals.
const char* const kLargeText =
    "(r*3+g*6+b)/10 + (r>g ? r-g : g-r)/4 + min(r,max(g,b))/8 + ((x*y)%7)*(r&15)"
    " + ((r^g)>>2) + (c<128 ? c*2 : 511-c*2)/16 + abs(r-b)*(g|1)/64"
    " + (x-X/2)*(x-X/2)/(X+1) + (y-Y/2)*(y-Y/2)/(Y+1) + dif(r,g)+dif(g,b)+dif(b,r)"
    " + (r<<1)/3 + (g<<2)/5 + (b<<3)/7 + ((r+g)*(g+b)*(b+r))%251 + ((x+y)%3)*10"
    " + max(r-64,0)*2 + min(g+32,255)/2 + (b*b)/255 + (r*g)/255 + (g*b)/255 + (b*r)/255"
    " + (r+g+b)%17 + add(r,g,200) + sub(b,r,10)"
    " + (((x<16)&&(y<16)) ? 1 : (((x>=16)||(y>=24)) ? 2 : 3))*5";

int32_t Large(const PixelContext& c) {
    int32_t r = c.red, g = c.green, b = c.blue, x = c.x, y = c.y, X = c.width, Y = c.height;
    return (r * 3 + g * 6 + b) / 10 + (r > g ? r - g : g - r) / 4 +
           std::min(r, std::max(g, b)) / 8 + ((x * y) % 7) * (r & 15) + ((r ^ g) >> 2) +
           (c.current < 128 ? c.current * 2 : 511 - c.current * 2) / 16 +
           std::abs(r - b) * (g | 1) / 64 + (x - X / 2) * (x - X / 2) / (X + 1) +
           (y - Y / 2) * (y - Y / 2) / (Y + 1) + std::abs(r - g) + std::abs(g - b) +
           std::abs(b - r) + (r << 1) / 3 + (g << 2) / 5 + (b << 3) / 7 +
           ((r + g) * (g + b) * (b + r)) % 251 + ((x + y) % 3) * 10 + std::max(r - 64, 0) * 2 +
           std::min(g + 32, 255) / 2 + (b * b) / 255 + (r * g) / 255 + (g * b) / 255 +
           (b * r) / 255 + (r + g + b) % 17 + std::min(r + g, 200) + std::max(std::abs(b - r), 10) +
           ((x < 16 && y < 16) ? 1 : ((x >= 16 || y >= 24) ? 2 : 3)) * 5;
}

struct Formula {
    const char* name;
    const char* text;
    Native native;
    ExprNode* root = nullptr;
    int32_t nodes = 0;
};

std::vector<Formula> formulas = {
    {"threshold", "x<X/2 ? r : 255-r", Threshold},
    {"gray", "(r+g+b)/3", Gray},
    {"wave", "src(x+sin(y*4)/16, y, z)", Wave},
    {"blur", "cnv(1,2,1,2,4,2,1,2,1,16)", Blur},
    {"twirl", "rad(c2d(x-X/2,y-Y/2)+c2m(x-X/2,y-Y/2)/4, c2m(x-X/2,y-Y/2), z)", Twirl},
    {"large", kLargeText, Large},
};

int32_t CountNodes(const ExprNode* n) {
    if (!n) return 0;
    int32_t count = 1;
    for (int32_t i = 0; i < n->childCount; ++i) count += CountNodes(n->children[i]);
    return count;
}

// A 32 x 32 RGBA image of fixed noise, and a context over it.
constexpr int32_t kSide = 32;
struct Image {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kSide * kSide * 4);
    std::vector<const uint8_t*> rows;
    Image() {
        uint32_t s = 12345;
        for (uint8_t& v : bytes) v = static_cast<uint8_t>((s = s * 1103515245u + 12345u) >> 24);
        for (int32_t y = 0; y < kSide; ++y) rows.push_back(bytes.data() + y * kSide * 4);
    }
    PixelContext Context() const {
        PixelContext c{};
        c.width = c.height = kSide;
        c.centerX = c.centerY = kSide / 2;
        c.channelCount = 3;
        c.dMax = 1024, c.mMax = kSide * 3 / 4;
        for (int32_t k = 0; k < 4; ++k) c.channelOffset[k] = k;
        c.rows = rows.data();
        c.maxX = c.maxY = kSide - 1;
        c.pixelStride = 4;
        return c;
    }
} image;

// One sweep over every pixel of one channel, filling the context as a host
// does; the channel moves on with every sweep.
template <class Call>
int32_t Sweep(PixelContext& c, Call call) {
    int32_t sink = 0;
    for (c.y = 0; c.y < kSide; ++c.y) {
        for (c.x = 0; c.x < kSide; ++c.x) {
            const uint8_t* p = image.rows[c.y] + 4 * c.x;
            c.red = p[0], c.green = p[1], c.blue = p[2], c.current = p[c.channel];
            sink += call(c);
        }
    }
    c.channel = (c.channel + 1) % 3;
    return sink;
}

void Exec(benchmark::State& state, const Formula* f) {
    PixelContext c = image.Context();
    for (auto _ : state)
        benchmark::DoNotOptimize(Sweep(c, [f](PixelContext& r) { return ZvExec(f->root, &r); }));
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void Direct(benchmark::State& state, const Formula* f) {
    PixelContext c = image.Context();
    Native native = f->native;
    benchmark::DoNotOptimize(native);  // keeps the call indirect
    for (auto _ : state)
        benchmark::DoNotOptimize(Sweep(c, [native](PixelContext& r) { return native(r); }));
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

// Console output as usual, and per formula the ratio of the two times
// (the fastest of the runs when --benchmark_repetitions asks for several:
// on a shared machine, the run least disturbed by others).
class RatioReporter : public benchmark::ConsoleReporter {
   public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            bool fastest = run.run_type == Run::RT_Aggregate && run.aggregate_name == "min";
            if (run.run_type == Run::RT_Aggregate && !fastest) continue;
            double perCall = run.GetAdjustedRealTime() / (kSide * kSide);
            if (fastest || !fastest_.count(run.run_name.function_name)) {
                times_[run.run_name.function_name] = perCall;
            }
            if (fastest) fastest_[run.run_name.function_name] = true;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::vector<double> ratios;
        std::printf("\n%-10s %6s %14s %14s %7s\n", "formula", "nodes", "ZvExec ns", "native ns",
                    "ratio");
        for (const Formula& f : formulas) {
            auto e = times_.find(std::string("exec/") + f.name),
                 n = times_.find(std::string("native/") + f.name);
            if (e == times_.end() || n == times_.end()) continue;
            ratios.push_back(e->second / n->second);
            std::printf("%-10s %6d %14.2f %14.2f %6.2fx\n", f.name, f.nodes, e->second, n->second,
                        ratios.back());
        }
        if (ratios.empty()) return;
        std::sort(ratios.begin(), ratios.end());
        size_t h = ratios.size() / 2;
        double median = ratios.size() % 2 ? ratios[h] : (ratios[h - 1] + ratios[h]) / 2;
        std::printf("median ratio %.2fx\n", median);
    }

   private:
    std::map<std::string, double> times_;
    std::map<std::string, bool> fastest_;
};

}  // namespace

int main(int argc, char** argv) {
    for (Formula& f : formulas) {
        int32_t status = -1;
        f.root = ZvParse(f.text, &status, 1);
        if (status != 0) return std::fprintf(stderr, "%s does not parse\n", f.name), 1;
        f.nodes = CountNodes(f.root);
        // Both sides must compute the same thing before their times compare.
        PixelContext a = image.Context(), b = image.Context();
        for (int i = 0; i < 3; ++i) {
            if (Sweep(a, [&f](PixelContext& r) { return ZvExec(f.root, &r); }) !=
                Sweep(b, f.native)) {
                return std::fprintf(stderr, "%s: ZvExec and native disagree\n", f.name), 1;
            }
        }
        auto fastest = [](const std::vector<double>& v) {
            return *std::min_element(v.begin(), v.end());
        };
        benchmark::RegisterBenchmark((std::string("exec/") + f.name).c_str(), Exec, &f)
            ->ComputeStatistics("min", fastest);
        benchmark::RegisterBenchmark((std::string("native/") + f.name).c_str(), Direct, &f)
            ->ComputeStatistics("min", fastest);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (Formula& f : formulas) ZvFree(f.root);
}
