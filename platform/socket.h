#pragma once
// Sockets for the sonar channels and (later) the network position input: a
// small common base owning the descriptor, a non-blocking TCP client, a TCP
// listener (the simulators and the position server role) and select-like
// waiting. IPv4 only, as the sonar and positioning units speak it. Sends never
// raise SIGPIPE: a peer that went away shows as a failed send.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kestrova::platform {

struct Ipv4Endpoint {
    std::uint32_t address = 0x7F000001; // host byte order; 127.0.0.1
    std::uint16_t port = 0;
};

// "a.b.c.d" to a host-order address; nullopt for anything else.
std::optional<std::uint32_t> parseIpv4(std::string_view dotted);

enum class IoStatus { Ok, WouldBlock, Closed, Error };

struct IoResult {
    IoStatus status = IoStatus::Error;
    std::size_t bytes = 0;
};

class Socket {
  public:
    Socket() = default;
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;

    bool valid() const { return fd_ >= 0; }
    int handle() const { return fd_; }
    void close();

    bool setNonBlocking(bool on);
    bool setSendBufferSize(int bytes);
    bool setReceiveBufferSize(int bytes);
    bool setReuseAddress(bool on);
    // The pending error of the socket (SO_ERROR); -1 when it cannot be read.
    int pendingError() const;
    // Port the socket is bound to locally; 0 when unknown.
    std::uint16_t localPort() const;

  protected:
    explicit Socket(int fd) : fd_(fd) {}
    int fd_ = -1;
};

class TcpSocket : public Socket {
  public:
    TcpSocket() = default;
    // Takes ownership of an accepted descriptor.
    static TcpSocket adopt(int fd) { return TcpSocket(fd); }

    // Creates a fresh IPv4 stream socket, closing any previous one.
    bool open();

    enum class ConnectStart { Connected, InProgress, Failed };
    ConnectStart startConnect(const Ipv4Endpoint& peer);

    IoResult send(std::span<const std::uint8_t> bytes);
    IoResult send(std::string_view text) {
        return send(std::span<const std::uint8_t>(
            reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    }
    // Closed: the peer ended the connection (receive returned 0).
    IoResult receive(std::span<std::uint8_t> into);

  private:
    explicit TcpSocket(int fd) : Socket(fd) {}
};

class TcpListener : public Socket {
  public:
    // Binds and listens; port 0 lets the kernel choose (see localPort()).
    bool listen(const Ipv4Endpoint& local, int backlog = 4);
    // A pending connection, or an invalid socket when none is waiting (in
    // non-blocking mode) or on error.
    TcpSocket accept();
};

struct Readiness {
    bool readable = false;
    bool writable = false;
    bool failed = false; // error or hang-up reported by the system
};

enum class WaitStatus { Ready, Timeout, Interrupted, Failed };

// Waits until the socket is readable and/or writable, like select with one
// descriptor. A socket with an error or hang-up counts as both readable and
// writable, as select reports it, so callers look at pendingError().
WaitStatus waitSocket(const Socket& socket, bool wantRead, bool wantWrite, std::uint32_t timeoutUs,
                      Readiness& out);

} // namespace kestrova::platform
