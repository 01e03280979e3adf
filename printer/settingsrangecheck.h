#pragma once

#include "dlp/valueranges.h"

#include <QMap>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>
#include <string>

class QSettings;

// Outside text (a stored value, a printer's reply) as a message or the log
// shows it: control characters (C0, DEL and C1) as \xNN and direction
// marks as \uNNNN, at most
// `shownCharacters` shown, then the text's whole length. A file or a printer may hand over megabytes in one
// piece, or bytes that would garble the log.
QString shortPrintable(const QString& text, int shownCharacters);

// Marks that turn the direction of the text after them (overrides,
// embeddings, isolates, the plain marks): in a name or a value they would show
// what follows reversed.
bool isDirectionMark(ushort u);

// The number a stored settings value holds as our readers take it: typed
// floats and integers, text that is a number ("nan" and "inf" included),
// "true" and "false" as 1 and 0. Nothing for other text and other types.
std::optional<double> storedNumber(const QVariant& value);

// Reads the number keys of one group of a settings file against the ranges a
// printer takes (DLP::Ranges). A missing key reads as it always did; text
// that is no number and numbers outside their range are noted, naming the
// file and the key, and kept as stored so that writing the group back
// changes nothing the user did not change.
class RangeCheckedGroup
{
public:
    using RangeOf = const DLP::ValueRange* (*)(const std::string& key);

    // keyPrefix: the group's path as messages name it, e.g. "Recipe/Resin A/".
    RangeCheckedGroup(const QSettings& settings, QString file, QString keyPrefix, RangeOf rangeOf);

    // settings.value(key), checked.
    QVariant value(const QString& key);

    // The first value refused: "<file>: <key> = <stored text> (allowed <range>)";
    // empty when every value read was in range.
    const QString& problem() const { return m_problem; }
    // Every refused key with its value as stored.
    const QMap<QString, QVariant>& refused() const { return m_refused; }

private:
    const QSettings& m_settings;
    QString m_file;
    QString m_prefix;
    RangeOf m_rangeOf;
    QString m_problem;
    QMap<QString, QVariant> m_refused;
};

// The message of a value outside its range, as the readers and the job
// start word it.
QString valueProblemText(const QString& file, const QString& key, const QString& value, const QString& allowed);

// Where a job's value came from, as the message names it.
struct ValueSource
{
    QString file;
    QString key;
};

// The first value of `job` a printer cannot take (DLP::checkJobValues), worded
// as valueProblemText with the source `sourceOf` names for its field; empty
// when every value is in range.
QString jobValueProblemText(const DLP::SliceBuildConfig& job,
                            const std::function<ValueSource(const std::string& field)>& sourceOf);
