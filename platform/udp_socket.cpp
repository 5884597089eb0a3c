#include "platform/udp_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrova::platform {

bool UdpSocket::open() {
    close();
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    return fd_ >= 0;
}

bool UdpSocket::bind(const Ipv4Endpoint& local) {
    if (fd_ < 0) return false;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(local.port);
    sa.sin_addr.s_addr = htonl(local.address);
    return ::bind(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
}

IoResult UdpSocket::receiveFrom(std::span<std::uint8_t> into, Ipv4Endpoint* from) {
    if (fd_ < 0) return {IoStatus::Error, 0};
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    ssize_t n =
        ::recvfrom(fd_, into.data(), into.size(), 0, reinterpret_cast<sockaddr*>(&sa), &len);
    if (n >= 0) {
        if (from) {
            from->address = ntohl(sa.sin_addr.s_addr);
            from->port = ntohs(sa.sin_port);
        }
        return {IoStatus::Ok, static_cast<std::size_t>(n)};
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return {IoStatus::WouldBlock, 0};
    return {IoStatus::Error, 0};
}

IoResult UdpSocket::sendTo(std::span<const std::uint8_t> bytes, const Ipv4Endpoint& to) {
    if (fd_ < 0) return {IoStatus::Error, 0};
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(to.port);
    sa.sin_addr.s_addr = htonl(to.address);
    ssize_t n = ::sendto(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                         reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    if (n >= 0) return {IoStatus::Ok, static_cast<std::size_t>(n)};
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {IoStatus::WouldBlock, 0};
    return {IoStatus::Error, 0};
}

void shutdownSocket(Socket& socket) {
    if (socket.valid()) ::shutdown(socket.handle(), SHUT_RDWR);
}

} // namespace kestrova::platform
