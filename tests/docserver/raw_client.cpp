#include "raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "server/request_frame.h"

namespace testsupport {

int ConnectLoopback(int port, const std::string& from) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    if (!from.empty() && (::inet_pton(AF_INET, from.c_str(), &a.sin_addr) != 1 ||
                          ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)) {
        ::close(fd);
        return -1;
    }
    a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(0x7F000001);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string Exchange(int fd, const std::string& bytes, bool expectReply, int waitMs) {
    if (!bytes.empty()) ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    RequestFrame::FrameReader reader;
    std::string payload;
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, waitMs) > 0) {
        char buffer[4096];
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return "CLOSED";
        reader.Feed(buffer, static_cast<std::size_t>(n));
        if (reader.Next(payload) == RequestFrame::FrameReader::Status::kFrame) return payload;
    }
    return expectReply ? "TIMEOUT" : "OPEN";
}

RawClient::RawClient(int port, const std::string& from) : fd_(ConnectLoopback(port, from)) {}

RawClient::~RawClient() {
    if (fd_ >= 0) ::close(fd_);
}

std::string RawClient::Send(const std::string& command) {
    return Exchange(fd_, RequestFrame::BuildRequest(command, random_));
}

void RawClient::Post(const std::string& command) {
    const std::string frame = RequestFrame::BuildRequest(command, random_);
    ::send(fd_, frame.data(), frame.size(), MSG_NOSIGNAL);
}

std::string RawClient::Reply() {
    return Exchange(fd_, "");
}

bool RawClient::LogIn(const std::string& user, const std::string& password,
                      const std::string& project) {
    if (Send("TALQRequiredLogin," + user + "," + password + ",,DOM,1,8.6,1").rfind("1", 0) != 0)
        return false;
    return project.empty() ||
           Send("TALQGetProjectInfo," + user + "," + password + "," + project).rfind("ERROR", 0) !=
               0;
}

}  // namespace testsupport
