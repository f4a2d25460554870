// SPDX-License-Identifier: MIT
// Compiled programs against the tree walk: the same value, the same cells
// written, the same draws from the random generator, for formulas chosen to
// stress each rewrite (chains, literal divisors, branches, shared values)
// and for random ones over every kind of the table.
#include "eval/program.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "eval/builtins.h"
#include "eval/eval.h"
#include "front/kinds.h"
#include "front/parse.h"
#include "front/tree.h"
#include "tests/eval/fixture.h"

namespace zvtest {
namespace {

struct Parsed {
    ExprNode* root = nullptr;
    explicit Parsed(const std::string& text)
        : root(zv::ParseText(text.data(), text.size(), true).root) {}
    ~Parsed() { zv::ReleaseTree(root); }
};

// Both ways from the same context and generator state, at pixels inside and
// outside the image, in every channel and one beyond; "" when they agree.
std::string Compare(const std::string& text) {
    Parsed tree(text);
    if (!tree.root) return "does not parse";
    std::unique_ptr<zv::Program> program = zv::CompileProgram(*tree.root);
    if (!program) return "no program";
    Image image;
    for (int32_t x : {-1, 0, 1, 3, 9}) {
        for (int32_t channel : {0, 2, 3, 4}) {
            PixelContext walked = image.Context(x, x % 3, channel == 3), ran = walked;
            walked.channel = ran.channel = channel;
            const uint32_t state = zv::RandomState();
            const int32_t want = zv::WalkTree(tree.root, walked);
            const uint32_t walkedState = zv::RandomState();
            zv::RandomState() = state;
            const int32_t got = zv::RunProgram(*program, ran);
            if (got != want || zv::RandomState() != walkedState ||
                std::memcmp(&walked, &ran, sizeof ran) != 0) {
                return "at x " + std::to_string(x) + ", channel " + std::to_string(channel) + ": " +
                       std::to_string(got) + " for " + std::to_string(want);
            }
        }
    }
    return "";
}

TEST(Program, AgreesWithTheTreeWalk) {
    const char* const texts[] = {
        // chains, literals among the terms, effects in order
        "x+1+y+2+r+3", "r*g*b*3*x", "r&g&255&b", "r|g|1|b", "r^g^x^7", "x+(y+(r+(g+1)))",
        "min(min(r,3),min(g,x))", "max(r,max(g,max(b,-5)))", "1+2+3", "x*65536*65536*3",
        "put(1,0)+get(0)+put(2,0)+get(0)", "rnd(0,9)+rnd(0,9)*2+rnd(0,9)*4",
        "(r+g)*(g+b)*(b+r)+(r+g+b)", "x-1-2-3", "r+g-b+x*y*2-1",
        // literal divisors
        "r/3", "-r/3", "x/-3", "(x-1000)/7", "(r-128)%7", "(r-128)%-7", "r/-1", "r%-1", "x/0",
        "x%0", "(x-2)*1073741824*2/3", "(x-2)*1073741824*2/-2147483648", "r/-4", "r%16",
        "(r-200)/255", "(x-5)*400000000/1000000007", "(x-5)*400000000%65537",
        // branches
        "x<X/2 ? r : 255-r", "r>g ? r-g : g-r", "x && y", "x || r", "0 && put(5,0)",
        "1 || put(5,0)", "put(1,2), x ? get(2) : get(3)", "(x<2 ? r*3 : g*3) + r*3",
        "x ? r*3 : 0, r*3", "c<128 ? c*2 : 511-c*2", "1 ? r : put(3,0)", "0 ? put(3,0) : g",
        "(((x<16)&&(y<16)) ? 1 : (((x>=16)||(y>=24)) ? 2 : 3))*5", "x ? 1 : 2 ? 3 : 4",
        "x ? (y ? r : g) : (y ? b : c)", "(x && put(1,1)) + get(1)", "x || (r ? g : b)",
        "r ? x : y", "x ? r : g", "!x ? 7 : z", "(x>1) + (x>1 ? 5 : 6) + (x>1)",
        // the last step returning its value, and a jump landing on the return
        "x ? src(x, y, z) : y*3", "x < 3 ? r : (y ? g : b*2)", "(r+g+b)/3", "-sqr(x)",
        // shared values, and what must not be shared
        "c2m(x-X/2,y-Y/2) + c2m(x-X/2,y-Y/2)", "get(0) + put(5,0) + get(0)",
        "rnd(0,100) - rnd(0,100)", "d*2 + d*2 + m", "(x ? r*3 : 1) + r*3",
        // one of every other kind
        "rad(d + m, m, z)", "cnv(1,2,1,2,4,2,1,2,1,16)", "src(x+1, y-1, z)", "scl(r,0,255,10,20)",
        "mix(r,g,x,7)", "val(2,0,100)", "map(1, r)", "ctl(3)", "add(r,g,200)", "sub(b,r,10)",
        "r2x(d,m)+r2y(d,m)", "sin(x*8)+cos(y*8)+tan(r)", "sqr(r*r+g)", "abs(-r)",
        "!r + ~g + -b + +c", "i+u+v+a+d+m+t+D+M+X+Y+Z+total+z", "rst(put(7,1))", "rst(x*2)",
        "(x<<3)>>1", "r<<33", "x==1, y!=2, x<=y, x>=y", "5", "r", "-2147483648/-1"};
    for (const char* text : texts) EXPECT_EQ(Compare(text), "") << text;
}

// Random formulas over every kind with a written form, to a small depth, a
// sequence of two of them,
// with literals that reach the edges of 32 bits.
class RandomFormula {
   public:
    explicit RandomFormula(uint32_t seed) : random_(seed) {}
    std::string Next(int depth) {
        if (depth == 0 || Pick(4) == 0) return Leaf();
        const zv::KindInfo& k = zv::kKinds[Pick(std::size(zv::kKinds))];
        const int32_t arity = zv::ArityOf(k);
        if (arity == 0 || k.code == ZV_SEQ) return Leaf();  // a sequence only stands whole
        std::vector<std::string> a;
        for (int32_t i = 0; i < arity; ++i) a.push_back(Next(depth - 1));
        const std::string name(zv::NameOf(k));
        switch (k.form) {
            case zv::Form::kPrefix: return name + "(" + a[0] + ")";
            case zv::Form::kInfix: return "(" + a[0] + name + a[1] + ")";
            case zv::Form::kConditional: return "(" + a[0] + "?" + a[1] + ":" + a[2] + ")";
            default: {
                std::string call = name + "(";
                for (size_t i = 0; i < a.size(); ++i) call += (i ? "," : "") + a[i];
                return call + ")";
            }
        }
    }

   private:
    size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }
    std::string Leaf() {
        static const char* const leaves[] = {"x",  "y",   "r",          "g",          "c", "z",
                                             "d",  "m",   "X",          "0",          "1", "3",
                                             "-7", "255", "2147483647", "-2147483648"};
        return leaves[Pick(std::size(leaves))];
    }
    std::mt19937 random_;
};

TEST(Program, AgreesOnRandomFormulas) {
    RandomFormula random(20261208);
    for (int i = 0; i < 3000; ++i) {
        const std::string text = random.Next(5) + "," + random.Next(4);
        ASSERT_EQ(Compare(text), "") << text;
    }
}

// A chain of a million terms compiles without recursion and with few
// registers; so does a branch inside a chain inside a branch.
TEST(Program, LongChainsNeedFewRegisters) {
    std::string sum = "r", mixed = "x";
    for (int i = 0; i < 1'000'000; ++i) sum += i % 2 ? "+r*2" : "+g";
    for (int i = 0; i < 2000; ++i) mixed = "(x ? " + mixed + "+r*3 : y*" + std::to_string(i) + ")";
    for (const std::string* text : {&sum, &mixed}) {
        Parsed tree(*text);
        std::unique_ptr<zv::Program> program = zv::CompileProgram(*tree.root);
        ASSERT_NE(program, nullptr) << text->substr(0, 20);
        EXPECT_LE(program->registers, 64) << text->substr(0, 20);
    }
    EXPECT_EQ(Compare(mixed), "");
}

}  // namespace
}  // namespace zvtest
