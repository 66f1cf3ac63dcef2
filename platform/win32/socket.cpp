#include "platform/socket.h"
#include "platform/socket_address.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

namespace zentrada::platform {
namespace {

// Winsock is started once for the process and never stopped: sockets may
// live until the process ends.
bool StartWinsock() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

SOCKET Handle(const Socket& socket) { return static_cast<SOCKET>(socket.Handle()); }

void MakeNonBlocking(SOCKET s) {
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
    // Records go out as they are written, not gathered by Nagle's delay.
    const BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
}

bool WouldBlock() {
    const int error = WSAGetLastError();
    return error == WSAEWOULDBLOCK || error == WSAEINTR;
}

}  // namespace

void Socket::Close() {
    if (handle_ != -1) closesocket(static_cast<SOCKET>(handle_));
    handle_ = -1;
}

ListenResult Listen(const std::string& address, std::uint16_t port, Socket& listener) {
    if (!StartWinsock()) return ListenResult::Failed;
    sockaddr_storage storage;
    const int length = socket_address::Make(address, port, storage);
    if (length == 0) return ListenResult::BadAddress;
    const SOCKET s = socket(storage.ss_family, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return ListenResult::Failed;
    Socket made(static_cast<std::intptr_t>(s));
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    // No other program may bind the port over the agent's listener.
    const BOOL exclusive = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
    if (bind(s, reinterpret_cast<sockaddr*>(&storage), length) != 0) {
        const int error = WSAGetLastError();
        return error == WSAEADDRINUSE || error == WSAEACCES ? ListenResult::AddressInUse
               : error == WSAEADDRNOTAVAIL                 ? ListenResult::BadAddress
                                                           : ListenResult::Failed;
    }
    if (listen(s, 64) != 0) return ListenResult::Failed;
    MakeNonBlocking(s);
    listener = std::move(made);
    return ListenResult::Listening;
}

std::uint16_t LocalPort(const Socket& socket) {
    sockaddr_storage storage{};
    int length = sizeof storage;
    if (getsockname(Handle(socket), reinterpret_cast<sockaddr*>(&storage), &length) != 0) return 0;
    return socket_address::Port(storage);
}

std::optional<Socket> Accept(const Socket& listener, Peer& peer) {
    sockaddr_storage storage{};
    int length = sizeof storage;
    const SOCKET s = accept(Handle(listener), reinterpret_cast<sockaddr*>(&storage), &length);
    if (s == INVALID_SOCKET) return std::nullopt;
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    MakeNonBlocking(s);
    peer = socket_address::Describe(storage);
    return Socket(static_cast<std::intptr_t>(s));
}

Socket Connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout) {
    if (!StartWinsock()) return Socket();
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return Socket();
    Socket connected;
    for (addrinfo* at = found; at != nullptr && !connected.Valid(); at = at->ai_next) {
        const SOCKET s = socket(at->ai_family, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET) continue;
        Socket candidate(static_cast<std::intptr_t>(s));
        MakeNonBlocking(s);
        if (connect(s, at->ai_addr, static_cast<int>(at->ai_addrlen)) != 0) {
            if (WSAGetLastError() != WSAEWOULDBLOCK || !WaitSocket(candidate, false, true, timeout).write) continue;
            int error = 0;
            int size = sizeof error;
            if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0 || error != 0)
                continue;
        }
        connected = std::move(candidate);
    }
    freeaddrinfo(found);
    return connected;
}

Readiness WaitSocket(const Socket& socket, bool read, bool write, std::chrono::milliseconds timeout) {
    Readiness ready;
    if (!read && !write) {
        // WSAPoll asks for at least one event.
        Sleep(static_cast<DWORD>(timeout.count()));
        return ready;
    }
    WSAPOLLFD events{};
    events.fd = Handle(socket);
    events.events = static_cast<SHORT>((read ? POLLRDNORM : 0) | (write ? POLLWRNORM : 0));
    if (WSAPoll(&events, 1, static_cast<INT>(timeout.count())) <= 0) return ready;
    ready.read = read && (events.revents & (POLLRDNORM | POLLHUP | POLLERR)) != 0;
    ready.write = (events.revents & (POLLWRNORM | POLLERR)) != 0;
    return ready;
}

std::ptrdiff_t Receive(const Socket& socket, char* buffer, std::size_t size) {
    const int n = recv(Handle(socket), buffer, static_cast<int>(size), 0);
    if (n >= 0) return n;
    return WouldBlock() ? kNothingYet : kBroken;
}

std::ptrdiff_t Send(const Socket& socket, std::string_view bytes) {
    const int n = send(Handle(socket), bytes.data(), static_cast<int>(bytes.size()), 0);
    if (n >= 0) return n;
    return WouldBlock() ? 0 : kBroken;
}

}  // namespace zentrada::platform
