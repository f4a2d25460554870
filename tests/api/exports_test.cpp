// SPDX-License-Identifier: MIT
// The library's surface: three exports, their null handling, deep trees.
#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "api/zorvan.h"

namespace {

// The bounds of sections, which the linker defines (coverage
// instrumentation adds __start___sancov_pcs and its kin).
bool LinkerMade(const std::string& name) {
    return name.rfind("__start_", 0) == 0 || name.rfind("__stop_", 0) == 0;
}

// The names a shared library defines, by nm's type letter; the vague
// linkage of templates the compiler emits (V, W, u) and the linker's
// section bounds left out.
std::set<std::string> Exported(const char* library) {
    const std::string command = std::string("nm -D --defined-only '") + library + "'";
    FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    std::set<std::string> names;
    char address[64], type[8], name[512];
    while (pipe && std::fscanf(pipe, "%63s %7s %511s", address, type, name) == 3) {
        if (std::string("VWu").find(type[0]) == std::string::npos && !LinkerMade(name)) {
            names.insert(name);
        }
    }
    if (pipe) {
        EXPECT_EQ(pclose(pipe), 0);
    }
    return names;
}

TEST(Exports, SharedLibraryExportsExactlyThreeNames) {
    EXPECT_EQ(Exported(ZORVAN_SHARED_LIBRARY),
              (std::set<std::string>{"ZvExec", "ZvFree", "ZvParse"}));
}

// The render library exports its C functions and its C++ API, and none of
// the library's three nor anything of its insides.
TEST(Exports, RenderLibraryExportsItsApiAlone) {
    const std::set<std::string> names = Exported(ZORVAN_RENDER_LIBRARY);
    EXPECT_TRUE(names.count("ZvRender") && names.count("ZvFilterFromFormula"));
    for (const std::string& name : names) {
        const bool c =
            name.rfind("Zv", 0) == 0 && name != "ZvParse" && name != "ZvExec" && name != "ZvFree";
        const bool api =
            name.find("2zv") != std::string::npos && name.find("2zv3cli") == std::string::npos;
        EXPECT_TRUE(c || api) << name;
    }
}

TEST(Exports, NullTextIsEmptyAndNullStatusIsNotWritten) {
    int32_t status = -1;
    EXPECT_EQ(ZvParse(nullptr, &status, 1), nullptr);
    EXPECT_EQ(status, 1);
    ExprNode* root = ZvParse("x+1", nullptr, 1);
    ASSERT_NE(root, nullptr);
    ZvFree(root);
    EXPECT_EQ(ZvParse("x y", nullptr, 1), nullptr);
}

TEST(Exports, NullRootsAreHarmless) {
    // A null root reads nothing, so even a null context is never touched.
    EXPECT_EQ(ZvExec(nullptr, nullptr), 0);
    ZvFree(nullptr);
}

TEST(Exports, ParsesLeaveTheCallersTextAlone) {
    char text[] = "r+g  // comment";
    int32_t status = -1;
    ExprNode* root = ZvParse(text, &status, 1);
    EXPECT_STREQ(text, "r+g  // comment");
    ZvFree(root);
}

// «r» and a million «+r»: a tree a million levels deep, parsed and freed on
// a thread whose stack holds far fewer nested calls than that.
void* ParseAndFreeDeepTree(void* result) {
    std::string text = "r";
    for (int i = 0; i < 1000000; ++i) text += "+r";
    int32_t status = -1;
    ExprNode* root = ZvParse(text.c_str(), &status, 1);
    *static_cast<bool*>(result) = status == 0 && root != nullptr;
    ZvFree(root);
    return nullptr;
}

TEST(Exports, DeepTreeOnASmallStack) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t thread;
    bool ok = false;
    ASSERT_EQ(pthread_create(&thread, &attr, ParseAndFreeDeepTree, &ok), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_TRUE(ok);
}

// Parse state lives in each call: threads parsing at once see exactly what
// they would see one after another.
TEST(Exports, ParsesOnSeveralThreadsAtOnce) {
    const struct {
        const char* text;
        int32_t status;
    } cases[] = {{"x<X/2 ? r : 255-r", 0},
                 {"(r, g)", 1},
                 {"cnv(1,2,3,4,5,6,7,8,9,10), 0", 0},
                 {"((((r))))", 0},
                 {"r)", 1}};
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&cases, &failures, t] {
            for (int round = 0; round < 2000; ++round) {
                auto [text, want] = cases[(round + t) % 5];
                int32_t status = -1;
                ExprNode* root = ZvParse(text, &status, 1);
                if (status != want || (root != nullptr) != (want == 0)) ++failures[t];
                ZvFree(root);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
