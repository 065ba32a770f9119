// libFuzzer target: arbitrary bytes as everything an SMTP server says during
// one send, served over a loopback connection. The client must end with a
// success or one of its own errors, never anything else.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include "net/MailMessage.h"
#include "net/SmtpClient.h"

namespace {

int listener(int& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        std::abort();
    port = ntohs(addr.sin_port);
    return fd;
}

// Sends the reply bytes as they are, reading whatever the client sends, and
// hangs up at the end.
void serve(int listenFd, std::string replies)
{
    pollfd ready{listenFd, POLLIN, 0};
    if (::poll(&ready, 1, 5000) <= 0)
        return;
    const int fd = ::accept(listenFd, nullptr, nullptr);
    if (fd < 0)
        return;
    std::size_t sent = 0;
    char buffer[4096];
    while (sent < replies.size()) {
        pollfd p{fd, POLLIN | POLLOUT, 0};
        if (::poll(&p, 1, 2000) <= 0)
            break;
        if (p.revents & POLLIN) {
            if (::recv(fd, buffer, sizeof buffer, 0) <= 0)
                break;
        }
        if (p.revents & POLLOUT) {
            const ssize_t n = ::send(fd, replies.data() + sent, replies.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
    }
    ::shutdown(fd, SHUT_WR);
    while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
    ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tolvan;
    static int port = 0;
    static const int listenFd = listener(port);

    std::thread server(serve, listenFd, std::string(reinterpret_cast<const char*>(data), size));
    MailMessage message;
    message.sender.setAddress("from@example.net");
    message.recipients.add("to@example.net", "");
    message.setSubject("Fuzz");
    message.setBody({"one line"});
    SmtpClient client;
    client.setWinsockLoaded(true);
    client.server = "127.0.0.1:" + std::to_string(port);
    client.timeOut = 2;
    client.mailMessage = &message;
    try {
        client.send();
    } catch (const SmtpError&) {
    } catch (const TolvanError&) {
    }
    server.join();
    return 0;
}
