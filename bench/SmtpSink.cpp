// A discarding SMTP server on 127.0.0.1 for bench/mail_send_vs_curl.sh: it
// answers every command at once and throws the message away, so that a
// benchmark measures the sender and not the server. One connection at a
// time; prints its port, then serves until killed.
//   smtp_sink [PORT]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool say(int fd, const char* text)
{
    const size_t n = std::strlen(text);
    return ::send(fd, text, n, MSG_NOSIGNAL) == ssize_t(n);
}

void serve(int fd)
{
    if (!say(fd, "220 sink ready\r\n"))
        return;
    std::vector<char> buffer(1 << 20);
    std::string line;
    bool inData = false;
    // The last bytes of the data so far: the end mark may span two reads.
    std::string tail;
    for (;;) {
        const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (got <= 0)
            return;
        size_t at = 0;
        while (at < size_t(got)) {
            if (inData) {
                static const char mark[] = "\r\n.\r\n";
                const char* data = buffer.data() + at;
                const size_t n = size_t(got) - at;
                // The mark may begin in the previous read.
                const std::string edge = tail + std::string(data, std::min<size_t>(n, 4));
                size_t after = std::string::npos;
                if (const size_t e = edge.find(mark); e != std::string::npos)
                    after = e + 5 - tail.size();
                else if (const void* p = ::memmem(data, n, mark, 5))
                    after = size_t(static_cast<const char*>(p) - data) + 5;
                if (after == std::string::npos) {
                    tail = n >= 4 ? std::string(data + n - 4, 4)
                                  : (tail + std::string(data, n))
                                        .substr((tail.size() + n) > 4 ? tail.size() + n - 4 : 0);
                    at = size_t(got);
                    continue;
                }
                at += after;
                tail.clear();
                inData = false;
                if (!say(fd, "250 2.0.0 discarded\r\n"))
                    return;
                continue;
            }
            const char c = buffer[at++];
            if (c != '\n') {
                line += c;
                continue;
            }
            const std::string word = line.substr(0, 4);
            line.clear();
            if (word == "EHLO" || word == "ehlo")
                say(fd, "250-sink\r\n250 8BITMIME\r\n");
            else if (word == "DATA" || word == "data") {
                inData = true;
                tail = "\r\n"; // the data may end at once with "."
                say(fd, "354 go ahead\r\n");
            } else if (word == "QUIT" || word == "quit") {
                say(fd, "221 bye\r\n");
                return;
            } else
                say(fd, "250 OK\r\n");
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(argc > 1 ? uint16_t(std::atoi(argv[1])) : 0);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener, 8) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("smtp_sink");
        return 1;
    }
    std::printf("%d\n", ntohs(address.sin_port));
    std::fflush(stdout);
    for (;;) {
        const int fd = ::accept(listener, nullptr, nullptr);
        if (fd < 0)
            continue;
        serve(fd);
        ::close(fd);
    }
}
