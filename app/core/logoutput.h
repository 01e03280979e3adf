#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <functional>

// The process-wide message handler: one line per message, appended to the
// day's log file "<log folder>/yyyy_MM_ddlog.txt" (CR LF line ends, UTF-8).
void VexmorMessageOutput(QtMsgType type, const QMessageLogContext& context, const QString& msg);

// The folder the log goes to: $VEXMOR_LOG_DIR when set, else the configuration folder.
QString vexmorLogDir();

// The exact line (without CR LF) the handler writes for one message.
QString vexmorLogLine(const QDateTime& when, QtMsgType type, const QMessageLogContext& context,
                      const QString& msg);

// Tests replace the clock; an empty function restores the real one.
void setVexmorLogClock(std::function<QDateTime()> clock);
