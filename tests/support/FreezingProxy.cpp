#include "support/FreezingProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace testing_support {

namespace {

int connectTo(const QString& host, int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(quint16(port));
    ::inet_pton(AF_INET, host.toLatin1().constData(), &a.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

FreezingProxy::FreezingProxy(const QString& host, int port) : m_host(host), m_targetPort(port)
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
    m_thread = std::thread([this] { run(); });
}

FreezingProxy::~FreezingProxy()
{
    m_done = true;
    m_thread.join();
    ::close(m_listener);
}

void FreezingProxy::run()
{
    std::vector<std::pair<int, int>> pairs; // client, server
    char buffer[16384];
    while (!m_done) {
        std::vector<pollfd> fds{{m_listener, POLLIN, 0}};
        for (const auto& [client, server] : pairs) {
            fds.push_back({client, short(m_frozen ? 0 : POLLIN), 0});
            fds.push_back({server, short(m_frozen ? 0 : POLLIN), 0});
        }
        if (::poll(fds.data(), fds.size(), 50) <= 0)
            continue;
        const std::size_t polled = pairs.size();
        if (fds[0].revents & POLLIN) {
            const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            const int server = client < 0 ? -1 : connectTo(m_host, m_targetPort);
            if (server < 0 && client >= 0)
                ::close(client);
            else if (client >= 0)
                pairs.emplace_back(client, server);
        }
        for (std::size_t i = 0; i < polled; ++i) {
            for (int side = 0; side < 2; ++side) {
                const pollfd& p = fds[1 + 2 * i + side];
                if (pairs[i].first < 0 || !(p.revents & (POLLIN | POLLHUP)) || m_frozen)
                    continue;
                const int from = side == 0 ? pairs[i].first : pairs[i].second;
                const int to = side == 0 ? pairs[i].second : pairs[i].first;
                const ssize_t n = ::read(from, buffer, sizeof buffer);
                if (n <= 0) {
                    // One side is gone: so is the relay.
                    ::close(pairs[i].first);
                    ::close(pairs[i].second);
                    pairs[i] = {-1, -1};
                    break;
                }
                for (ssize_t sent = 0; sent < n;) {
                    const ssize_t w = ::write(to, buffer + sent, size_t(n - sent));
                    if (w <= 0)
                        break;
                    sent += w;
                }
            }
        }
        std::erase_if(pairs, [](const auto& pair) { return pair.first < 0; });
    }
    for (const auto& [client, server] : pairs) {
        ::close(client);
        ::close(server);
    }
}

} // namespace testing_support
