// SPDX-License-Identifier: MIT
#include "tools/zorvan/studio/address.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace zv::cli {

namespace {

constexpr const char* kLoopbackNames[] = {"127.0.0.1", "localhost", "[::1]"};

bool IsIpv6(const std::string& address) {
    in6_addr a;
    return inet_pton(AF_INET6, address.c_str(), &a) == 1;
}

bool IsWildcard(const std::string& address) { return address == "0.0.0.0" || address == "::"; }

// An IPv4 or IPv6 socket address in numbers, an IPv4-mapped one as IPv4;
// "" for other families.
std::string Numeric(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                  sizeof text);
    } else if (address->sa_family == AF_INET6) {
        const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&a)) {
            inet_ntop(AF_INET, &a.s6_addr[12], text, sizeof text);
        } else {
            inet_ntop(AF_INET6, &a, text, sizeof text);
        }
    }
    return text;
}

// Every address of this machine's interfaces of the families asked for, as
// URL hosts.
std::vector<std::string> MachineAddresses(bool v4, bool v6) {
    std::vector<std::string> names;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return names;
    for (const ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr) continue;
        const int family = i->ifa_addr->sa_family;
        if ((family == AF_INET && v4) || (family == AF_INET6 && v6)) {
            names.push_back(UrlHost(Numeric(i->ifa_addr)));
        }
    }
    freeifaddrs(list);
    return names;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// This machine's name and its fully qualified one, as browsers send them.
std::vector<std::string> HostNames() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || !*name) return {};
    std::vector<std::string> names = {Lower(name)};
    addrinfo hints{};
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) == 0) {
        if (found->ai_canonname) names.push_back(Lower(found->ai_canonname));
        freeaddrinfo(found);
    }
    return names;
}

}  // namespace

std::string NumericAddress(const std::string& address) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(address.c_str(), nullptr, &hints, &found) != 0) return address;
    std::string numeric = Numeric(found->ai_addr);
    freeaddrinfo(found);
    return numeric.empty() ? address : numeric;
}

std::string UrlHost(const std::string& address) {
    return IsIpv6(address) ? "[" + address + "]" : address;
}

std::string LocalUrlHost(const std::string& address) {
    if (address == "0.0.0.0") return kLoopbackNames[0];
    if (address == "::") return kLoopbackNames[2];
    return UrlHost(address);
}

bool IsLoopback(const std::string& address) {
    in_addr v4;
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6;
    return inet_pton(AF_INET6, address.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

std::vector<std::string> ReachableNames(const std::string& address) {
    std::vector<std::string> names = {UrlHost(address)};
    if (IsLoopback(address) || IsWildcard(address)) {
        names.insert(names.end(), std::begin(kLoopbackNames), std::end(kLoopbackNames));
    }
    if (IsWildcard(address)) {
        // Bound to ::, Linux takes IPv4 connections too.
        const std::vector<std::string> own = MachineAddresses(true, address == "::");
        names.insert(names.end(), own.begin(), own.end());
        const std::vector<std::string> hostNames = HostNames();
        names.insert(names.end(), hostNames.begin(), hostNames.end());
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

}  // namespace zv::cli
