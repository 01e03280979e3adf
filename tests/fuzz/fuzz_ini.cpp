// Feeds arbitrary bytes as an ini file the user edited, then writes owned
// keys into it and removes an owned group. Whatever the text, every line
// that is not an owned key stays, in its order, and the owned value is in
// the result.
#include "fuzz_input.h"
#include "inifileupdate.h"

#include <QFile>
#include <QSettings>

#include <cstddef>
#include <cstdint>

namespace {

QList<QByteArray> linesOf(const QByteArray& text)
{
    QList<QByteArray> lines = text.split('\n');
    if (text.isEmpty() || text.endsWith('\n'))
        lines.removeLast();
    return lines;
}

bool ownedLine(const QByteArray& line)
{
    const QByteArray key = line.left(line.indexOf('=')).trimmed();
    return line.contains('=') && (key == "Machine" || key == "size" || key.startsWith("1\\") ||
                                  key.startsWith("gone\\"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzApplication("fuzz_ini");
    static int n = 0;
    // A name of its own each time: QSettings keeps texts by name, size and time.
    const QString path = FuzzFolder().filePath(QStringLiteral("f%1.ini").arg(++n));
    const QByteArray before(reinterpret_cast<const char*>(data), int(size));
    if (!WriteFuzzInput(path, data, size))
        return 0;
    IniFileUpdate update(path);
    update.setValue(QStringLiteral("MachineConfig/Machine"), QStringLiteral("Pellar30"));
    update.setValue(QStringLiteral("MachineConfig/size"), 0);
    update.setValue(QStringLiteral("LightConfig/1/light_pwm"), QVariant::fromValue<float>(12.5f));
    update.removeGroup(QStringLiteral("Recipe/gone"));
    if (!update.commit())
        return 0;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        __builtin_trap();
    const QByteArray after = f.readAll();
    f.close();
    // The lines the program does not own keep their order.
    const QList<QByteArray> kept = linesOf(after);
    int at = 0;
    for (const QByteArray& line : linesOf(before)) {
        const QByteArray body = line.endsWith('\r') ? line.left(line.size() - 1) : line;
        if (ownedLine(body.trimmed()))
            continue;
        while (at < kept.size() && kept[at] != line)
            ++at;
        if (at == kept.size())
            __builtin_trap();
        ++at;
    }
    // The owned value: by its exact line.
    for (const QByteArray& owned : {QByteArrayLiteral("Machine=Pellar30")})
        if (after.count("\n" + owned) + (after.startsWith(owned) ? 1 : 0) == 0)
            __builtin_trap();
    return 0;
}
