#include "LoopbackGuard.h"

#include <QDebug>
#include <QHostAddress>
#include <QStringList>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>

#include <atomic>

namespace
{
std::atomic<bool> g_enabled{false};

class LoopbackInterceptor : public QWebEngineUrlRequestInterceptor
{
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        if (!LoopbackGuard::allows(info.requestUrl())) {
            qDebug() << "Loopback guard: page request dropped" << info.requestUrl().toString();
            info.block(true);
        }
    }
};
}

void LoopbackGuard::setEnabled(bool on)
{
    g_enabled = on;
}

bool LoopbackGuard::enabled()
{
    if (g_enabled)
        return true;
    const QByteArray env = qgetenv("VEXMOR_LOOPBACK_ONLY");
    return !env.isEmpty() && env != "0";
}

bool LoopbackGuard::isLoopbackHost(const QString& host)
{
    // QHostAddress also takes "127.1" and similar short forms; demand the
    // four-part dotted text so what is tested is what gets connected to.
    if (host.count(QLatin1Char('.')) != 3)
        return false;
    QHostAddress addr;
    if (!addr.setAddress(host) || addr.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    return (addr.toIPv4Address() >> 24) == 127;
}

bool LoopbackGuard::allows(const QUrl& url)
{
    if (!enabled())
        return true;
    if (url.host().isEmpty()) {
        // Network schemes without a host are malformed; let none through.
        static const QStringList network{"http", "https", "ws", "wss", "ftp"};
        return !network.contains(url.scheme(), Qt::CaseInsensitive);
    }
    return isLoopbackHost(url.host());
}

void LoopbackGuard::protectProfile(QWebEngineProfile* profile)
{
    if (!profile || profile->findChild<LoopbackInterceptor*>(QString(), Qt::FindDirectChildrenOnly))
        return;
    // The profile outlives every view; the interceptor lives as its child.
    profile->setUrlRequestInterceptor(new LoopbackInterceptor(profile));
}
