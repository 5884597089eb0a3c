#pragma once
// One TCP client channel to a peer unit: its socket, its connected flag and the
// lock held for every connect, send, receive and close on it. The sonar has two
// (command and data); the network position input uses a third.

#include "platform/lock.h"
#include "platform/socket.h"

#include <atomic>
#include <cstdint>

namespace kestrova::platform {

struct NetChannel {
    Lock lock;
    TcpSocket socket;
    std::atomic<bool> connected{false};
};

struct ChannelConnectOptions {
    std::uint32_t roundMicroseconds = 500000; // one select round
    int rounds = 3;
    int sendBufferBytes = 0x100000;
};

// Connects the channel's socket to `peer` under the channel lock: closes the
// old socket, opens a non-blocking one, starts the connect, waits up to
// `rounds` rounds for it to complete, checks the socket error, and sets the
// send buffer size. On any failure the socket is closed (handle invalid).
// The connected flag is left to the caller.
bool connectChannel(NetChannel& channel, const Ipv4Endpoint& peer,
                    const ChannelConnectOptions& options = {});

// Closes the channel's socket under its lock and clears the connected flag.
void closeChannel(NetChannel& channel);

} // namespace kestrova::platform
