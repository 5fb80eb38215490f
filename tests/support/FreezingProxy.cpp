#include "support/FreezingProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace testing_support {

FreezingProxy::FreezingProxy(const QString& host, int port)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&a), size) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &size) != 0)
        throw std::runtime_error("the proxy cannot listen");
    m_port = ntohs(a.sin_port);
    m_thread = std::thread([this, host, port] { run(host, port); });
}

FreezingProxy::~FreezingProxy()
{
    m_done = true;
    m_thread.join();
    ::close(m_listener);
}

// Sockets in pairs (client, server) at 2i and 2i + 1; a pair one side of
// which has gone is -1, which poll skips.
void FreezingProxy::run(const QString& host, int port)
{
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(quint16(port));
    ::inet_pton(AF_INET, host.toLatin1().constData(), &server.sin_addr);
    std::vector<pollfd> fds{{m_listener, POLLIN, 0}};
    char buffer[16384];
    while (!m_done) {
        for (pollfd& p : fds)
            p.events = m_frozen ? 0 : POLLIN;
        if (::poll(fds.data(), fds.size(), 50) <= 0 || m_frozen)
            continue;
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            const std::size_t other = i % 2 ? i + 1 : i - 1;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0 || ::send(fds[other].fd, buffer, size_t(n), MSG_NOSIGNAL) != n) {
                ::close(fds[i].fd);
                ::close(fds[other].fd);
                fds[i].fd = fds[other].fd = -1;
            }
        }
        if (fds[0].revents & POLLIN) {
            const int to = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            ::connect(to, reinterpret_cast<sockaddr*>(&server), sizeof server);
            fds.push_back({::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC), POLLIN, 0});
            fds.push_back({to, POLLIN, 0});
        }
    }
    for (std::size_t i = 1; i < fds.size(); ++i)
        if (fds[i].fd >= 0)
            ::close(fds[i].fd);
}

} // namespace testing_support
