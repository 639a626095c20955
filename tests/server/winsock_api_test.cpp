#include "server/winsock_api.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <thread>

namespace {

TEST(WinsockApi, PortToIntegerKeepsSixteenBitsAndRefusesOverflow) {
    EXPECT_EQ(static_cast<std::uint16_t>(modWinsockAPI::PortToInteger(80)), htons(80));
    EXPECT_EQ(static_cast<std::uint16_t>(modWinsockAPI::PortToInteger(40000)), htons(40000));
    EXPECT_THROW(modWinsockAPI::PortToInteger(70000), std::overflow_error);
    EXPECT_THROW(modWinsockAPI::PortToInteger(-1), std::overflow_error);
}

TEST(WinsockApi, ErrorTextsAndUnknownCodes) {
    EXPECT_EQ(modWinsockAPI::GetWinsockErrorText(10035), "Resource temporarily unavailable.");
    EXPECT_EQ(modWinsockAPI::GetWinsockErrorText(10061), "Connection refused.");
    EXPECT_EQ(modWinsockAPI::GetWinsockErrorText(11004),
              "Valid name, no data record of requested type.");
    EXPECT_EQ(modWinsockAPI::GetWinsockErrorText(10059), "Unknown error.");
}

TEST(WinsockApi, ErrnoMapsToTheNumbersTheCallersTest) {
    EXPECT_EQ(platform::SocketErrorFromErrno(EINPROGRESS), 10035)
        << "a non-blocking connect under way must read as would-block";
    EXPECT_EQ(platform::SocketErrorFromErrno(EWOULDBLOCK), 10035);
    EXPECT_EQ(platform::SocketErrorFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(platform::SocketErrorFromErrno(EISCONN), 10056);
    EXPECT_EQ(platform::SocketErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(platform::SocketErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(platform::SocketErrorFromErrno(EPIPE), 10054);
}

TEST(WinsockApi, ResolvesDottedTextWithoutLookupAndRefusesUnknownNames) {
    EXPECT_EQ(modWinsockAPI::ResolveHostAddress("127.0.0.1"), htonl(0x7F000001));
    EXPECT_EQ(modWinsockAPI::ResolveHostAddress("no-such-host.invalid"), -1);
}

TEST(WinsockApi, BindAndConnectRefuseEmptyTextsAndBadPorts) {
    ASSERT_TRUE(modWinsockAPI::InitWinsock());
    platform::SocketHandle s = modWinsockAPI::CreateSocketHandle(AF_INET, SOCK_STREAM, 6);
    ASSERT_GT(s, 0);
    EXPECT_EQ(modWinsockAPI::BindToLocal(s, "", 0), -1);
    EXPECT_EQ(modWinsockAPI::ConnectToHost(s, "127.0.0.1", 0), -1);
    EXPECT_EQ(modWinsockAPI::BindToLocal(s, "127.0.0.1", 0), 0) << "port 0: the system picks";
    ::close(s);
}

TEST(WinsockApi, RefusedConnectGivesConnectionRefused) {
    // A port that was just free.
    int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(0x7F000001);
    ::bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&a), &len);
    int port = ntohs(a.sin_port);
    ::close(probe);
    platform::SocketHandle s = modWinsockAPI::CreateSocketHandle(AF_INET, SOCK_STREAM, 6);
    EXPECT_EQ(modWinsockAPI::ConnectToHost(s, "127.0.0.1", port), -1);
    EXPECT_EQ(modWinsockAPI::LastError(), 10061);
    ::close(s);
}

TEST(WinsockApi, SendToAClosedPeerFailsWithoutSignal) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    ::close(pair[1]);
    EXPECT_EQ(modWinsockAPI::SendStringData(pair[0], "hello"), -1);
    ::close(pair[0]);
}

TEST(WinsockApi, SendThatWouldBlockContinuesWhereItStopped) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    int small = 4096;
    ::setsockopt(pair[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    platform::SetNonBlockingMode(pair[0], true);
    std::string text(3 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>(i * 7);
    std::string received;
    std::thread reader([&] {
        char buffer[8192];
        while (received.size() < text.size()) {
            ssize_t n = ::recv(pair[1], buffer, sizeof buffer, 0);
            if (n <= 0) break;
            received.append(buffer, static_cast<std::size_t>(n));
        }
    });
    EXPECT_EQ(modWinsockAPI::SendStringData(pair[0], text), static_cast<int>(text.size()));
    reader.join();
    EXPECT_TRUE(received == text) << "bytes lost or repeated";
    ::close(pair[0]);
    ::close(pair[1]);
}

}  // namespace
