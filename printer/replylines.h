#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The printer acknowledges with a reply line that holds the word "ok" or
// "execok" ("ok", "ok\r\n", "ok T:25", "X:1 Y:2 ok", "execok"). Words are
// split at blanks, tabs, commas and colons and must match exactly: "okay"
// is no acknowledgement. A line that reports an error (its first word
// begins with "error", "Error" or "!!") acknowledges nothing, whatever it
// holds.
//
// Lines end at LF or CR. The buffer's first byte starts a line unless the
// buffer lost its head to the size limit mid-line (startsMidLine); such a
// line cannot be judged and acknowledges nothing.
//
// A word at the very end of the buffer may still grow ("ok" of "okay"): it
// is judged only when endSettled says no more bytes are on their way.
namespace ReplyLines {

// Position of the first acknowledging word, or -1.
int ackPosition(const QByteArray& buffer, bool startsMidLine = false, bool endSettled = true);

// Printer text (a reply, the firmware version, a device's name or USB
// strings) as the log and the panels show it: a printer may send terminal
// escapes or hundreds of kilobytes. Control characters escaped, at most
// kShownCharacters shown, then the whole length (shortPrintable).
constexpr int kShownCharacters = 300;
QString shown(const QString& text);
// Bytes read as Latin-1.
QString shown(const QByteArray& bytes);

}  // namespace ReplyLines

// Follows one command's replies as they grow: finds the acknowledgement and
// hands out every other complete line once, for the log. A word at the end
// of the buffer is judged at the look that finds no byte added since the
// look before.
class AckScanner
{
public:
    // Restart for a new command (the receive buffer was emptied).
    void reset()
    {
        m_reported = 0;
        m_lastSize = -1;
    }
    // The acknowledgement's position in `buffer`, or -1; complete lines that
    // are no acknowledgement and were not handed out yet go to `others`.
    int scan(const QByteArray& buffer, bool startsMidLine, QList<QByteArray>* others);

private:
    int m_reported = 0;   // bytes of the buffer whose lines were handed out
    int m_lastSize = -1;  // the buffer's size at the last look
};
