#include "platform/socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrova::platform {
namespace {

sockaddr_in toSockaddr(const Ipv4Endpoint& ep) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(ep.port);
    sa.sin_addr.s_addr = htonl(ep.address);
    return sa;
}

bool wouldBlock(int err) {
    return err == EAGAIN || err == EWOULDBLOCK;
}

} // namespace

std::optional<std::uint32_t> parseIpv4(std::string_view dotted) {
    if (dotted.empty() || dotted.size() > 15) return std::nullopt;
    std::string text(dotted);
    in_addr addr{};
    if (::inet_pton(AF_INET, text.c_str(), &addr) != 1) return std::nullopt;
    return ntohl(addr.s_addr);
}

Socket::~Socket() {
    close();
}

Socket::Socket(Socket&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void Socket::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool Socket::setNonBlocking(bool on) {
    if (fd_ < 0) return false;
    int flags = ::fcntl(fd_, F_GETFL, 0);
    if (flags < 0) return false;
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return ::fcntl(fd_, F_SETFL, flags) == 0;
}

bool Socket::setSendBufferSize(int bytes) {
    return fd_ >= 0 && ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes) == 0;
}

bool Socket::setReceiveBufferSize(int bytes) {
    return fd_ >= 0 && ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

bool Socket::setReuseAddress(bool on) {
    int v = on ? 1 : 0;
    return fd_ >= 0 && ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &v, sizeof v) == 0;
}

int Socket::pendingError() const {
    if (fd_ < 0) return -1;
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return -1;
    return err;
}

std::uint16_t Socket::localPort() const {
    if (fd_ < 0) return 0;
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
    return ntohs(sa.sin_port);
}

bool TcpSocket::open() {
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd_ >= 0;
}

TcpSocket::ConnectStart TcpSocket::startConnect(const Ipv4Endpoint& peer) {
    if (fd_ < 0) return ConnectStart::Failed;
    sockaddr_in sa = toSockaddr(peer);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0)
        return ConnectStart::Connected;
    if (errno == EINPROGRESS || errno == EALREADY || wouldBlock(errno) || errno == EINTR)
        return ConnectStart::InProgress;
    return ConnectStart::Failed;
}

IoResult TcpSocket::send(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) return {IoStatus::Error, 0};
    if (bytes.empty()) return {IoStatus::Ok, 0};
    ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n >= 0) return {IoStatus::Ok, static_cast<std::size_t>(n)};
    if (wouldBlock(errno)) return {IoStatus::WouldBlock, 0};
    return {IoStatus::Error, 0};
}

IoResult TcpSocket::receive(std::span<std::uint8_t> into) {
    if (fd_ < 0) return {IoStatus::Error, 0};
    if (into.empty()) return {IoStatus::Ok, 0};
    ssize_t n = ::recv(fd_, into.data(), into.size(), 0);
    if (n > 0) return {IoStatus::Ok, static_cast<std::size_t>(n)};
    if (n == 0) return {IoStatus::Closed, 0};
    if (wouldBlock(errno) || errno == EINTR) return {IoStatus::WouldBlock, 0};
    return {IoStatus::Error, 0};
}

bool TcpListener::listen(const Ipv4Endpoint& local, int backlog) {
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    setReuseAddress(true);
    sockaddr_in sa = toSockaddr(local);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(fd_, backlog) != 0) {
        close();
        return false;
    }
    return true;
}

TcpSocket TcpListener::accept() {
    if (fd_ < 0) return TcpSocket{};
    int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return TcpSocket{};
    return TcpSocket::adopt(fd);
}

WaitStatus waitSocket(const Socket& socket, bool wantRead, bool wantWrite, std::uint32_t timeoutUs,
                      Readiness& out) {
    out = Readiness{};
    if (!socket.valid()) return WaitStatus::Failed;
    pollfd p{};
    p.fd = socket.handle();
    p.events = static_cast<short>((wantRead ? POLLIN : 0) | (wantWrite ? POLLOUT : 0));
    // Round up so that a sub-millisecond wait still waits.
    int timeoutMs = static_cast<int>((std::uint64_t{timeoutUs} + 999) / 1000);
    int n = ::poll(&p, 1, timeoutMs);
    if (n < 0) return errno == EINTR ? WaitStatus::Interrupted : WaitStatus::Failed;
    if (n == 0) return WaitStatus::Timeout;
    out.failed = (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
    out.readable = (p.revents & POLLIN) != 0 || out.failed;
    out.writable = (p.revents & POLLOUT) != 0 || out.failed;
    if (p.revents & POLLNVAL) return WaitStatus::Failed;
    return WaitStatus::Ready;
}

} // namespace kestrova::platform
