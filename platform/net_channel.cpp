#include "platform/net_channel.h"

namespace kestrova::platform {

bool connectChannel(NetChannel& channel, const Ipv4Endpoint& peer,
                    const ChannelConnectOptions& options) {
    LockHold hold(channel.lock);
    TcpSocket& s = channel.socket;
    s.close();
    if (!s.open()) return false;
    auto fail = [&s]() {
        s.close();
        return false;
    };
    if (!s.setNonBlocking(true)) return fail();

    TcpSocket::ConnectStart start = s.startConnect(peer);
    if (start == TcpSocket::ConnectStart::Failed) return fail();
    if (start == TcpSocket::ConnectStart::InProgress) {
        bool done = false;
        for (int round = 0; round < options.rounds && !done; ++round) {
            Readiness ready;
            WaitStatus w = waitSocket(s, true, true, options.roundMicroseconds, ready);
            if (w == WaitStatus::Timeout || w == WaitStatus::Interrupted) continue;
            if (w == WaitStatus::Failed) return fail();
            if (!ready.writable) continue;
            // A writable socket may still carry a refused or reset connect:
            // only a clear socket error means the connection stands.
            if (s.pendingError() != 0) return fail();
            done = true;
        }
        if (!done) return fail();
    }
    if (!s.setNonBlocking(true)) return fail();
    if (!s.setSendBufferSize(options.sendBufferBytes)) return fail();
    return true;
}

void closeChannel(NetChannel& channel) {
    LockHold hold(channel.lock);
    channel.socket.close();
    channel.connected = false;
}

} // namespace kestrova::platform
