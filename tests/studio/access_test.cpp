// SPDX-License-Identifier: MIT
#include "tools/zorvan/studio/access.h"

#include "tools/zorvan/studio/address.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace zv::cli {
namespace {

TEST(StudioAccess, TokensAreFreshHexOfSixteenBytes) {
    const std::string a = NewToken(), b = NewToken();
    EXPECT_EQ(a.size(), 32u);
    EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(a, b);
}

struct Request {
    const char* token;
    const char* host;
    const char* origin;
    const char* refusal;  // "": admitted
};

TEST(StudioAccess, OnlyThisServerWithItsTokenIsServed) {
    const std::string token(32, 'a');
    const Access loopback(token, ReachableNames("127.0.0.1"), 8123),
        other(token, ReachableNames("192.168.1.5"), 80);
    const Request requests[] = {
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "127.0.0.1:8123", "", ""},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "localhost:8123", "http://localhost:8123", ""},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "[::1]:8123", "http://127.0.0.1:8123", ""},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "127.0.0.1:8123", "", "a valid token is needed"},
        {"aaaa", "127.0.0.1:8123", "", "a valid token is needed"},
        {"", "127.0.0.1:8123", "", "a valid token is needed"},
        // Another name that resolves here: DNS rebinding.
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "evil.example:8123", "",
         "unknown Host \"evil.example:8123\""},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "127.0.0.1:8124", "",
         "unknown Host \"127.0.0.1:8124\""},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "", "", "unknown Host \"\""},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "127.0.0.1:8123", "http://evil.example",
         "requests from another site are refused"},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "127.0.0.1:8123", "https://127.0.0.1:8123",
         "requests from another site are refused"},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "127.0.0.1:8123", "null",
         "requests from another site are refused"},
    };
    for (const Request& r : requests) {
        const auto refusal = loopback.Check(r.token, r.host, r.origin);
        EXPECT_EQ(refusal ? refusal->message : "", r.refusal) << r.host << " " << r.origin;
        EXPECT_EQ(refusal ? refusal->status : 403, 403);
    }
    // An address given explicitly answers to itself only.
    EXPECT_FALSE(other.Check(token, "192.168.1.5:80", ""));
    EXPECT_TRUE(other.Check(token, "127.0.0.1:80", ""));
}

struct Bound {
    const char* address;
    const char* url;        // the host of the printed address
    bool loopback;
    const char* reachable;  // one name it answers to
    const char* stranger;   // one it does not
};

TEST(StudioAccess, EachAddressAnswersToTheNamesItIsReachedBy) {
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    std::string hostName = host;
    std::transform(hostName.begin(), hostName.end(), hostName.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const Bound bound[] = {
        {"127.0.0.1", "127.0.0.1", true, "[::1]", "0.0.0.0"},
        {"::1", "[::1]", true, "[::1]", "::1"},
        {"0:0:0:0:0:0:0:1", "[::1]", true, "localhost", "[0:0:0:0:0:0:0:1]"},
        {"::ffff:127.0.0.1", "127.0.0.1", true, "localhost", "[::ffff:127.0.0.1]"},
        {"192.168.1.5", "192.168.1.5", false, "192.168.1.5", "localhost"},
        {"fe80::1", "[fe80::1]", false, "[fe80::1]", "[::1]"},
        {"0.0.0.0", "127.0.0.1", false, "localhost", "evil.example"},
        {"0.0.0.0", "127.0.0.1", false, hostName.c_str(), ""},
        {"0", "127.0.0.1", false, "127.0.0.1", "0"},
        {"::ffff:0.0.0.0", "127.0.0.1", false, hostName.c_str(), "[::ffff:0.0.0.0]"},
        {"::", "[::1]", false, "127.0.0.1", "[::]x"},
        {"0:0:0:0:0:0:0:0", "[::1]", false, hostName.c_str(), "[0:0:0:0:0:0:0:0]"},
    };
    for (const Bound& b : bound) {
        const std::string address = NumericAddress(b.address);
        const std::vector<std::string> names = ReachableNames(address);
        const auto has = [&](const char* n) {
            return std::find(names.begin(), names.end(), n) != names.end();
        };
        EXPECT_EQ(LocalUrlHost(address), b.url) << b.address;
        EXPECT_EQ(IsLoopback(address), b.loopback) << b.address;
        EXPECT_TRUE(has(b.reachable)) << b.address << " " << b.reachable;
        EXPECT_FALSE(has(b.stranger)) << b.address << " " << b.stranger;
    }
}

}  // namespace
}  // namespace zv::cli
