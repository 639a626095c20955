#pragma once
// A raw wire client of the benchmarks' server: one request frame at a time,
// from a chosen loopback address.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>
#include <string>

#include "server/request_frame.h"

namespace benchsupport {

class BenchClient {
  public:
    explicit BenchClient(int port, const std::string& from = "127.0.0.1") : random_(port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, from.c_str(), &a.sin_addr);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        a.sin_addr.s_addr = htonl(0x7F000001);
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
        int on = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    ~BenchClient() {
        if (fd_ >= 0) ::close(fd_);
    }
    BenchClient(const BenchClient&) = delete;
    BenchClient& operator=(const BenchClient&) = delete;

    bool Ok() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    bool Send(const std::string& command, int flags = 0) {
        std::string frame = RequestFrame::BuildRequest(command, random_);
        return fd_ >= 0 && ::send(fd_, frame.data(), frame.size(), MSG_NOSIGNAL | flags) > 0;
    }
    // The next reply; "" when the connection ended.
    std::string Read() {
        std::string payload;
        char buffer[65536];
        while (reader_.Next(payload) != RequestFrame::FrameReader::Status::kFrame) {
            ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) return "";
            reader_.Feed(buffer, static_cast<std::size_t>(n));
        }
        return payload;
    }
    std::string Ask(const std::string& command) { return Send(command) ? Read() : ""; }

  private:
    int fd_ = -1;
    std::mt19937 random_;
    RequestFrame::FrameReader reader_;
};

}  // namespace benchsupport
