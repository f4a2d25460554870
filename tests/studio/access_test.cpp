#include "tools/zorvan/studio/access.h"

#include <gtest/gtest.h>

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
    const Access loopback(token, "127.0.0.1", 8123), other(token, "192.168.1.5", 80);
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

}  // namespace
}  // namespace zv::cli
