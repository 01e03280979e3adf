// Many hostile HTTP peers in a process of their own, so that what they hold
// never counts as the search's memory: `hostile_peers MODE COUNT`, on
// 127.0.0.100 onwards, all on one port, which is the first line written. Each
// request read writes a line "request"; each connection floods up to 16 MB.
// The process ends with its parent.
#include "hostile_http.h"
#include "loopback_http.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>
#include <sys/prctl.h>
#include <csignal>
#include <vector>

int main(int argc, char** argv)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const int mode = QByteArray(argv[1]).toInt(), count = QByteArray(argv[2]).toInt();
    if (mode < 0 || mode > HostileHttp::HeldChunks || count < 1 || count > 150)
        return 2;
    std::vector<std::unique_ptr<HostileHttp>> owned;
    std::vector<HostileHttp*> peers;
    QStringList addrs;
    for (int i = 0; i < count; ++i) {
        owned.push_back(std::make_unique<HostileHttp>(HostileHttp::Mode(mode)));
        owned.back()->setFlood(1 << 20, 16 << 20);
        owned.back()->requested = [](const QByteArray&) {
            std::printf("request\n");
            std::fflush(stdout);
        };
        peers.push_back(owned.back().get());
        addrs << QString("127.0.0.%1").arg(100 + i);
    }
    if (!listenAll(peers, addrs))
        return 1;
    std::printf("%u\n", unsigned(peers[0]->port()));
    std::fflush(stdout);
    return app.exec();
}
