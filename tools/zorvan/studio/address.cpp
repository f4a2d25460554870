// SPDX-License-Identifier: MIT
#include "tools/zorvan/studio/address.h"

#include <arpa/inet.h>
#include <ifaddrs.h>

#include <algorithm>
#include <cstring>

namespace zv::cli {

namespace {

constexpr const char* kLoopbackNames[] = {"127.0.0.1", "localhost", "[::1]"};

bool IsIpv6(const std::string& address) {
    in6_addr a;
    return inet_pton(AF_INET6, address.c_str(), &a) == 1;
}

bool IsWildcard(const std::string& address) { return address == "0.0.0.0" || address == "::"; }

// Every address of this machine's interfaces of the families asked for, as
// URL hosts.
std::vector<std::string> MachineAddresses(bool v4, bool v6) {
    std::vector<std::string> names;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return names;
    for (const ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr) continue;
        char text[INET6_ADDRSTRLEN] = {};
        const int family = i->ifa_addr->sa_family;
        if (family == AF_INET && v4) {
            inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr, text,
                      sizeof text);
        } else if (family == AF_INET6 && v6) {
            inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(i->ifa_addr)->sin6_addr,
                      text, sizeof text);
        }
        if (*text) names.push_back(UrlHost(text));
    }
    freeifaddrs(list);
    return names;
}

}  // namespace

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
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

}  // namespace zv::cli
