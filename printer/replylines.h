#pragma once

#include <QByteArray>
#include <QList>

// The printer's acknowledgement is a reply line that begins with "ok" ("ok",
// "ok\r\n", "ok T:25 ..."). Anything else, an error line that happens to hold
// "ok" in "broken" among them, is no acknowledgement.
//
// Lines end at LF or CR. The buffer's first byte starts a line unless the
// buffer lost its head to the size limit mid-line (startsMidLine).
namespace ReplyLines {

// Position of the first acknowledgement line, or -1.
int ackPosition(const QByteArray& buffer, bool startsMidLine = false);

}  // namespace ReplyLines

// Follows one command's replies as they grow: finds the acknowledgement and
// hands out every other complete line once, for the log.
class AckScanner
{
public:
    // Restart for a new command (the receive buffer was emptied).
    void reset() { m_reported = 0; }
    // The acknowledgement's position in `buffer`, or -1; complete lines that
    // are no acknowledgement and were not handed out yet go to `others`.
    int scan(const QByteArray& buffer, bool startsMidLine, QList<QByteArray>* others);

private:
    int m_reported = 0;  // bytes of the buffer whose lines were handed out
};
