// Hosts that take a connection and never answer: `silent_peers PORT FIRST-LAST...`
// listens on PORT of every address of each range (dotted, inclusive, all
// inside 127.0.0.0/8) and never accepts, so the kernel completes each
// handshake and keeps what is sent. Writes "ready" once all listen, then waits
// for its standard input to close; ends with its parent. Exit code 3: the
// port is taken on one of the addresses.
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
bool loopbackAddress(const char* text, in_addr_t* host)
{
    in_addr a{};
    if (inet_pton(AF_INET, text, &a) != 1)
        return false;
    *host = ntohl(a.s_addr);
    return (*host >> 24) == 127;
}
}

int main(int argc, char** argv)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const long port = argc >= 3 ? std::strtol(argv[1], nullptr, 10) : 0;
    if (port <= 0 || port > 65535)
        return 2;
    std::vector<std::pair<in_addr_t, in_addr_t>> ranges;
    rlim_t hosts = 0;
    for (int i = 2; i < argc; ++i) {
        const char* dash = std::strchr(argv[i], '-');
        in_addr_t first = 0, last = 0;
        if (!dash || !loopbackAddress(std::string(argv[i], size_t(dash - argv[i])).c_str(), &first) || !loopbackAddress(dash + 1, &last)
            || last < first || last - first >= 65536)
            return 2;
        ranges.emplace_back(first, last);
        hosts += last - first + 1;
    }
    // One socket an address, and a few more for the rest of the process.
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t need = hosts + 64;
    if (limit.rlim_cur < need) {
        if (limit.rlim_max < need)
            return 2;
        limit.rlim_cur = need;
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
            return 2;
    }
    for (const auto& [first, last] : ranges) {
        for (in_addr_t host = first; host <= last; ++host) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (fd < 0)
                return 2;
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_port = htons(uint16_t(port));
            addr.sin_addr.s_addr = htonl(host);
            if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
                return errno == EADDRINUSE ? 3 : 2;
            if (listen(fd, 8) != 0)
                return 2;
        }
    }
    std::printf("ready\n");
    std::fflush(stdout);
    char buffer[64];
    while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
    return 0;
}
