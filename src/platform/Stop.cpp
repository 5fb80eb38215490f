#include "platform/Stop.h"

#include "platform/RunError.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

StopRequest* g_stop = nullptr;
int g_wake[2] = {-1, -1};

extern "C" void onStopSignal(int signal)
{
    const int saved = errno;
    if (g_stop)
        g_stop->request(signal);
    // The next one of this kind ends the process the ordinary way.
    std::signal(signal, SIG_DFL);
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_wake[1], &byte, 1);
    errno = saved;
}

} // namespace

void stopOnSignals(StopRequest& stop, std::function<void(int)> raised)
{
    if (::pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        throw RunError::fromErrno(errno, QStringLiteral("stopOnSignals"));
    g_stop = &stop;
    // The notifier lives as long as the application object: the signals may
    // come at any time until the end.
    auto* notifier =
        new QSocketNotifier(g_wake[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [raised = std::move(raised)] {
        char byte = 0;
        while (::read(g_wake[0], &byte, 1) == 1)
            if (raised)
                raised(int(byte));
    });
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // Restarted system calls: a database or socket call in progress is not
    // cut off by the signal, only the waits notice it.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace platform
