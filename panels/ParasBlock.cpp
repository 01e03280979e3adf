#include "ParasBlock.h"

#include "dlp/saturatingcast.h"

#include <QDataStream>
#include <QFile>
#include <QLineEdit>
#include <QWidget>

#include <cmath>

namespace {

QString fieldText(const QWidget& form, const char* name)
{
    const auto* e = form.findChild<QLineEdit*>(QString::fromLatin1(name));
    return e ? e->text() : QString();
}

void writePadded(QDataStream& out, const char* text)
{
    QByteArray b(text);
    b.append(QByteArray(20 - b.size(), '\0'));
    out.writeRawData(b.constData(), b.size());
}

} // namespace

bool appendParasBlock(const QString& fileName, const QWidget& form)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const qint64 before = file.size();
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    writePadded(out, "Paras:");
    // "Bottom High" is a millimetre text; the whole millimetres go here.
    const float range = fieldText(form, "edit_bottom_layers").toFloat();
    out << qint32(fieldText(form, "edit_exposure_tm").toInt()) << qint32(fieldText(form, "edit_bottom_exposure").toInt())
        << qint32(std::isfinite(range) ? DLP::truncToInt(range) : 0);
    for (const char* name : {"lEMaterialsStableTimeLow", "lEMaterialsStableTimeHigh", "edit_lift_dist",
                             "edit_lift_speed", "edit_retract_speed", "edit_tilt_dist1", "edit_tilt_speed1",
                             "edit_tilt_dist2", "edit_tilt_speed2", "edit_retract_speed_2", "lineEditNearDist",
                             "lineEditNearOffset", "lineEditNearSpeed", "lERotatecircles", "lERotateSpeed", "edit_Dp"})
        out << fieldText(form, name).toFloat();
    writePadded(out, "parasend");
    bool ok = out.status() == QDataStream::Ok && file.flush();
    file.close();
    ok = ok && file.error() == QFileDevice::NoError;
    // A half-written block would be read as parameters: cut it off again.
    if (!ok && file.size() > before)
        QFile::resize(fileName, before);
    return ok;
}
