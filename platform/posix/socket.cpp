#include "platform/socket.h"
#include "platform/socket_address.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace zentrada::platform {
namespace {

int Fd(const Socket& socket) { return static_cast<int>(socket.Handle()); }

void MakeNonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    // Records go out as they are written, not gathered by Nagle's delay.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

}  // namespace

void Socket::Close() {
    if (handle_ != -1) close(static_cast<int>(handle_));
    handle_ = -1;
}

ListenResult Listen(const std::string& address, std::uint16_t port, Socket& listener) {
    sockaddr_storage storage;
    const int length = socket_address::Make(address, port, storage);
    if (length == 0) return ListenResult::BadAddress;
    const int fd = socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return ListenResult::Failed;
    Socket made(fd);
    // A restarted agent takes its port back at once, though connections of
    // the last run linger; another listener on it is still refused.
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0)
        return errno == EADDRINUSE ? ListenResult::AddressInUse
               : errno == EADDRNOTAVAIL ? ListenResult::BadAddress
                                        : ListenResult::Failed;
    if (listen(fd, 64) != 0) return errno == EADDRINUSE ? ListenResult::AddressInUse : ListenResult::Failed;
    MakeNonBlocking(fd);
    listener = std::move(made);
    return ListenResult::Listening;
}

std::uint16_t LocalPort(const Socket& socket) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&storage), &length) != 0) return 0;
    return socket_address::Port(storage);
}

std::optional<Socket> Accept(const Socket& listener, Peer& peer) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    const int fd = accept(Fd(listener), reinterpret_cast<sockaddr*>(&storage), &length);
    if (fd < 0) return std::nullopt;
    MakeNonBlocking(fd);
    peer = socket_address::Describe(storage);
    return Socket(fd);
}

Socket Connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return Socket();
    Socket connected;
    for (addrinfo* at = found; at != nullptr && !connected.Valid(); at = at->ai_next) {
        const int fd = socket(at->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) continue;
        Socket candidate(fd);
        MakeNonBlocking(fd);
        if (connect(fd, at->ai_addr, at->ai_addrlen) != 0) {
            if (errno != EINPROGRESS || !WaitSocket(candidate, false, true, timeout).write) continue;
            int error = 0;
            socklen_t size = sizeof error;
            if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) continue;
        }
        connected = std::move(candidate);
    }
    freeaddrinfo(found);
    return connected;
}

Readiness WaitSocket(const Socket& socket, bool read, bool write, std::chrono::milliseconds timeout) {
    pollfd events{Fd(socket), static_cast<short>((read ? POLLIN : 0) | (write ? POLLOUT : 0)), 0};
    Readiness ready;
    if (poll(&events, 1, static_cast<int>(timeout.count())) <= 0) return ready;
    ready.read = read && (events.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    ready.write = (events.revents & (POLLOUT | POLLERR)) != 0;
    return ready;
}

std::ptrdiff_t Receive(const Socket& socket, char* buffer, std::size_t size) {
    const ssize_t n = recv(Fd(socket), buffer, size, 0);
    if (n >= 0) return n;
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? kNothingYet : kBroken;
}

std::ptrdiff_t Send(const Socket& socket, std::string_view bytes) {
    // A peer gone raises no SIGPIPE: the error is answered instead.
    const ssize_t n = send(Fd(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n >= 0) return n;
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : kBroken;
}

}  // namespace zentrada::platform
