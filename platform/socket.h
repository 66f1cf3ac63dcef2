// TCP sockets for the agent's channel and its client: BSD sockets on POSIX,
// Winsock on Windows. Every socket is non-blocking once made; WaitSocket
// waits for it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zentrada::platform {

// A socket, closed when the object goes.
class Socket {
public:
    Socket() = default;
    explicit Socket(std::intptr_t handle) : handle_(handle) {}
    ~Socket() { Close(); }
    Socket(Socket&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = other.handle_;
            other.handle_ = -1;
        }
        return *this;
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool Valid() const { return handle_ != -1; }
    void Close();
    std::intptr_t Handle() const { return handle_; }

private:
    std::intptr_t handle_ = -1;
};

enum class ListenResult { Listening, AddressInUse, BadAddress, Failed };
// A listener on a numeric address (IPv4 or IPv6) and port; port 0 takes any
// free one (LocalPort tells which).
ListenResult Listen(const std::string& address, std::uint16_t port, Socket& listener);
std::uint16_t LocalPort(const Socket& socket);

// A connection waiting on `listener`; `peer` gets its address and port
// ("127.0.0.1", 54321). Nothing when none waits.
struct Peer {
    std::string address;
    std::uint16_t port = 0;
};
std::optional<Socket> Accept(const Socket& listener, Peer& peer);

// A connection to `host` (a name or a numeric address) within `timeout`;
// an invalid socket when none could be made.
Socket Connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout);

// Waits up to `timeout` until the socket can be read (data, the peer's end
// or an error) when `read`, or written when `write`.
struct Readiness {
    bool read = false;
    bool write = false;
};
Readiness WaitSocket(const Socket& socket, bool read, bool write, std::chrono::milliseconds timeout);

// Bytes received (> 0); kPeerEnded when the peer will send nothing more,
// kNothingYet when nothing waits, kBroken on an error.
inline constexpr std::ptrdiff_t kPeerEnded = 0;
inline constexpr std::ptrdiff_t kNothingYet = -1;
inline constexpr std::ptrdiff_t kBroken = -2;
std::ptrdiff_t Receive(const Socket& socket, char* buffer, std::size_t size);
// The bytes the system took (0 when its buffer is full), or kBroken.
std::ptrdiff_t Send(const Socket& socket, std::string_view bytes);

}  // namespace zentrada::platform
