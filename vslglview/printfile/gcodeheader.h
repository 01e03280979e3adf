#pragma once

#include <QMap>
#include <QString>

class QIODevice;

// Leading ";key:value" lines of a print archive's G-code. The header ends at
// the first line without ':' (or at the end of the data). The value is the
// text between the first and the second ':' with its line end (LF or CR LF)
// removed; a later key replaces an earlier one. Text stops at a NUL byte.
// Returns false when the header runs past `maxBytes` (a member that is not a
// G-code header at all); `out` then holds the pairs read so far.
bool ReadGcodeHeader(QIODevice& in, QMap<QString, QString>& out, qint64 maxBytes = 1 << 20);

// Integer value of `key` within [minValue, maxValue]; false when the key is
// missing, not a whole number or out of range.
bool GcodeHeaderInt(const QMap<QString, QString>& header, const QString& key, int minValue, int maxValue,
                    int& value);

// Real value of `key` within [minValue, maxValue]; false as above.
bool GcodeHeaderReal(const QMap<QString, QString>& header, const QString& key, double minValue,
                     double maxValue, double& value);
