#pragma once
// The datagram socket of the network position input: bound to the local
// address and port the operator chose, non-blocking, reading whatever
// positioning unit sends to it. Also the sender side the tests and simulators
// use. IPv4 only, like the other channels.

#include "platform/socket.h"

#include <cstdint>
#include <span>

namespace kestrova::platform {

class UdpSocket : public Socket {
  public:
    // Creates a fresh IPv4 datagram socket, closing any previous one.
    bool open();
    // Binds to the local endpoint; port 0 lets the kernel choose (see localPort()).
    bool bind(const Ipv4Endpoint& local);
    // One datagram (truncated to `into`); WouldBlock when none is waiting.
    IoResult receiveFrom(std::span<std::uint8_t> into, Ipv4Endpoint* from = nullptr);
    IoResult sendTo(std::span<const std::uint8_t> bytes, const Ipv4Endpoint& to);
};

// Ends both directions of a connected stream socket before it is closed, so
// the peer sees the end at once (a dropped positioning client, for example).
void shutdownSocket(Socket& socket);

} // namespace kestrova::platform
