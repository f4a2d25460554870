/* SPDX-License-Identifier: MIT */
// Who may use the studio's server: a request must carry the token printed
// with the address, and name this server in Host (and Origin, when it has
// one), so that another site's page cannot drive it, not even through a
// name that resolves to 127.0.0.1.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zv::cli {

// 32 random hex digits.
std::string NewToken();

struct Refusal {
    int status;  // 403
    std::string message;
};

class Access {
   public:
    // The names this server answers to: each of names (URL hosts, as
    // ReachableNames gives them) with :port.
    Access(std::string token, const std::vector<std::string>& names, int port);

    // Why a request with these fields is refused, or nothing. token is the
    // query's or the X-Zorvan-Token header's; origin may be empty.
    std::optional<Refusal> Check(const std::string& token, const std::string& host,
                                 const std::string& origin) const;

    const std::string& token() const { return token_; }

   private:
    std::string token_;
    std::vector<std::string> hosts_;
};

}  // namespace zv::cli
