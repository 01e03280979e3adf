#pragma once

#include <QString>
#include <QUrl>

class QWebEngineProfile;

// A process-wide switch that keeps every network request of the printer
// page on this machine: when on, requests and page loads whose host is not
// an IPv4 address in 127.0.0.0/8 are dropped with a debug line. Tests turn
// it on before anything sends; the environment variable
// VEXMOR_LOOPBACK_ONLY (any value but "0") turns it on as well.
namespace LoopbackGuard
{
void setEnabled(bool on);
bool enabled();

// True for a dotted IPv4 literal inside 127.0.0.0/8. Host names are not
// resolved, so "localhost" is not one.
bool isLoopbackHost(const QString& host);

// Whether a request to this URL may go out now. URLs of other schemes
// without a host (data:, qrc:, about:) send nothing and always pass.
bool allows(const QUrl& url);

// Installs the guard's request interceptor on a browser profile (once per
// profile), so the page's own requests pass the same test.
void protectProfile(QWebEngineProfile* profile);
}
