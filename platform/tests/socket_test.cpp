// Loopback sockets: the client side as the sonar channels use it.

#include "platform/net_channel.h"
#include "platform/socket.h"

#include <gtest/gtest.h>

#include <chrono>

namespace kestrova::platform {
namespace {

TEST(Ipv4, ParsesDottedAddressesOnly) {
    EXPECT_EQ(parseIpv4("127.0.0.1"), 0x7F000001u);
    EXPECT_EQ(parseIpv4("10.20.30.40"), 0x0A141E28u);
    EXPECT_FALSE(parseIpv4("127.0.0"));
    EXPECT_FALSE(parseIpv4("256.0.0.1"));
    EXPECT_FALSE(parseIpv4("localhost"));
    EXPECT_FALSE(parseIpv4(""));
    EXPECT_FALSE(parseIpv4("127.0.0.1 "));
}

struct Pair {
    TcpListener listener;
    NetChannel client;
    TcpSocket server;
};

bool connectPair(Pair& p) {
    if (!p.listener.listen({0x7F000001, 0})) return false;
    if (!connectChannel(p.client, {0x7F000001, p.listener.localPort()})) return false;
    p.server = p.listener.accept();
    return p.server.valid();
}

TEST(NetChannel, ConnectsSendsAndReceivesNonBlocking) {
    Pair p;
    ASSERT_TRUE(connectPair(p));
    std::uint8_t buf[16];
    // Nothing waiting: would-block, not an error and not a closure.
    EXPECT_EQ(p.client.socket.receive(buf).status, IoStatus::WouldBlock);
    auto sent = p.client.socket.send(std::string_view("00"));
    EXPECT_EQ(sent.status, IoStatus::Ok);
    EXPECT_EQ(sent.bytes, 2u);
    auto got = p.server.receive(buf);
    ASSERT_EQ(got.status, IoStatus::Ok);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), got.bytes), "00");
    p.server.send(std::string_view("$x\r\n"));
    Readiness r;
    ASSERT_EQ(waitSocket(p.client.socket, true, false, 1000000, r), WaitStatus::Ready);
    EXPECT_TRUE(r.readable);
    EXPECT_EQ(p.client.socket.receive(buf).bytes, 4u);
}

// The receive thread resets the assembler when the peer closes: closure must
// be told apart from "nothing yet".
TEST(NetChannel, PeerCloseIsReportedAsClosed) {
    Pair p;
    ASSERT_TRUE(connectPair(p));
    p.server.close();
    Readiness r;
    waitSocket(p.client.socket, true, false, 1000000, r);
    std::uint8_t buf[16];
    EXPECT_EQ(p.client.socket.receive(buf).status, IoStatus::Closed);
}

// A heartbeat on a connection the peer has closed must fail (not kill the
// program with SIGPIPE) within a couple of sends.
TEST(NetChannel, SendToAClosedPeerFailsWithoutSignal) {
    Pair p;
    ASSERT_TRUE(connectPair(p));
    p.server.close();
    bool failed = false;
    for (int i = 0; i < 50 && !failed; ++i) {
        failed = p.client.socket.send(std::string_view("00")).status == IoStatus::Error;
        if (!failed) {
            Readiness r;
            waitSocket(p.client.socket, true, false, 20000, r);
        }
    }
    EXPECT_TRUE(failed);
}

TEST(NetChannel, ConnectToAClosedPortFailsAndLeavesNoSocket) {
    TcpListener l;
    ASSERT_TRUE(l.listen({0x7F000001, 0}));
    const std::uint16_t port = l.localPort();
    l.close();
    NetChannel c;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(connectChannel(c, {0x7F000001, port}));
    EXPECT_FALSE(c.socket.valid());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// Reconnecting replaces the old socket: the peer sees the old connection end.
TEST(NetChannel, ReconnectClosesTheOldSocket) {
    Pair p;
    ASSERT_TRUE(connectPair(p));
    ASSERT_TRUE(connectChannel(p.client, {0x7F000001, p.listener.localPort()}));
    TcpSocket second = p.listener.accept();
    ASSERT_TRUE(second.valid());
    Readiness r;
    waitSocket(p.server, true, false, 1000000, r);
    std::uint8_t buf[4];
    EXPECT_EQ(p.server.receive(buf).status, IoStatus::Closed);
    closeChannel(p.client);
    EXPECT_FALSE(p.client.socket.valid());
    EXPECT_FALSE(p.client.connected);
}

TEST(TcpListener, PortZeroGetsAFreePort) {
    TcpListener a, b;
    ASSERT_TRUE(a.listen({0x7F000001, 0}));
    ASSERT_TRUE(b.listen({0x7F000001, 0}));
    EXPECT_NE(a.localPort(), 0);
    EXPECT_NE(a.localPort(), b.localPort());
    TcpListener c;
    EXPECT_FALSE(c.listen({0x7F000001, a.localPort()}));
}

} // namespace
} // namespace kestrova::platform
