// What both socket backends do alike with addresses: a numeric address and
// port made into a socket address, and a socket address read back as text
// and port. BSD sockets and Winsock share these calls and structures.
#pragma once

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <cstdint>
#include <string>

#include "platform/socket.h"

namespace zentrada::platform::socket_address {

// Fills `storage` for a numeric IPv4 or IPv6 address; its length, or 0 when
// the address is not numeric.
inline int Make(const std::string& address, std::uint16_t port, sockaddr_storage& storage) {
    storage = sockaddr_storage{};
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        return sizeof *v4;
    }
    if (inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        return sizeof *v6;
    }
    return 0;
}

inline std::uint16_t Port(const sockaddr_storage& storage) {
    if (storage.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in*>(&storage)->sin_port);
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_port);
}

inline Peer Describe(const sockaddr_storage& storage) {
    char text[INET6_ADDRSTRLEN] = "";
    if (storage.ss_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&storage)->sin_addr, text, sizeof text);
    } else {
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_addr, text, sizeof text);
    }
    return Peer{text, Port(storage)};
}

}  // namespace zentrada::platform::socket_address
