#pragma once

#include <QString>
#include <atomic>
#include <thread>

namespace testing_support {

// A TCP relay on 127.0.0.1 in front of a real server, on a thread of its
// own (a client blocked in a database call cannot starve it). freeze()
// makes it a server that stopped answering: connections stay open, nothing
// passes any more, as with a server under SIGSTOP.
class FreezingProxy
{
public:
    FreezingProxy(const QString& host, int port);
    ~FreezingProxy();
    FreezingProxy(const FreezingProxy&) = delete;
    FreezingProxy& operator=(const FreezingProxy&) = delete;

    int port() const { return m_port; }
    void freeze() { m_frozen = true; }

private:
    void run(const QString& host, int port);

    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_frozen{false};
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

} // namespace testing_support
