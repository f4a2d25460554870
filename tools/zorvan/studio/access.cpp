// SPDX-License-Identifier: MIT
#include "tools/zorvan/studio/access.h"

#include <algorithm>
#include <random>
#include <string_view>

namespace zv::cli {

namespace {

// Compares in time that does not depend on where they differ.
bool SameSecret(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

}  // namespace

std::string NewToken() {
    std::random_device device;
    std::uniform_int_distribution<int> digit(0, 15);
    std::string token(32, '0');
    for (char& c : token) c = "0123456789abcdef"[digit(device)];
    return token;
}

Access::Access(std::string token, const std::vector<std::string>& names, int port)
    : token_(std::move(token)) {
    for (const std::string& name : names) hosts_.push_back(name + ":" + std::to_string(port));
}

std::optional<Refusal> Access::Check(const std::string& token, const std::string& host,
                                     const std::string& origin) const {
    const auto known = [this](const std::string& h) {
        return std::find(hosts_.begin(), hosts_.end(), h) != hosts_.end();
    };
    if (!known(host)) return Refusal{403, "unknown Host \"" + host + "\""};
    constexpr std::string_view kScheme = "http://";
    if (!origin.empty() &&
        (origin.rfind(kScheme, 0) != 0 || !known(origin.substr(kScheme.size())))) {
        return Refusal{403, "requests from another site are refused"};
    }
    if (!SameSecret(token, token_)) return Refusal{403, "a valid token is needed"};
    return std::nullopt;
}

}  // namespace zv::cli
