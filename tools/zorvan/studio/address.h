/* SPDX-License-Identifier: MIT */
// The address the studio listens on, as browsers and people see it: the
// host of its URL, the names a request's Host may carry, and whether other
// machines can reach it.
#pragma once

#include <string>
#include <vector>

namespace zv::cli {

// address as the server binds it, in numbers: a name resolved to its first
// address, IPv6 in its short form ("::" for "0:0:0:0:0:0:0:0") and an
// IPv4-mapped one as IPv4 ("::ffff:0.0.0.0" is "0.0.0.0"); as given when
// it does not resolve. The functions below take addresses in this form.
std::string NumericAddress(const std::string& address);

// IPv6 in brackets ("[::1]"), anything else as given.
std::string UrlHost(const std::string& address);

// Where a browser on this machine finds a server bound to address: the
// loopback address of its family for a wildcard one, else address itself.
std::string LocalUrlHost(const std::string& address);

// Whether only this machine can reach address (127.0.0.0/8, ::1).
bool IsLoopback(const std::string& address);

// The hosts (as in URLs, without the port) a server bound to address is
// reachable by: the address; for loopback and wildcard ones the loopback
// names; for a wildcard one (0.0.0.0, ::) every address of this machine
// and its host name, plain and fully qualified.
std::vector<std::string> ReachableNames(const std::string& address);

}  // namespace zv::cli
