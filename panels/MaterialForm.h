#pragma once

#include "RecipePara.h"
#include "dlp/saturatingcast.h"
#include "dlp/slicebuildconfig.h"

#include <QIntValidator>
#include <QLineEdit>
#include <QString>

#include <cmath>

// The material page shared by the save panel and the earlier print panel:
// both forms name their fields alike, so one writer and one reader serve
// either generated form class.
namespace MaterialForm {

inline QString text(float v)
{
    return QString::number(v, 'g', 6);
}

inline int whole(const QLineEdit* e)
{
    bool ok = false;
    const int v = e->text().toInt(&ok);
    return ok ? v : 0;
}

// Non-numbers and non-finite values read 0.
inline float real(const QLineEdit* e)
{
    const float v = e->text().toFloat();
    return std::isfinite(v) ? v : 0.0f;
}

// Whole-number fields take 0..1000000; the two tilt distances 1..50.
template <class Form>
void setValidators(Form* ui, QObject* owner)
{
    auto* wide = new QIntValidator(0, 1000000, owner);
    for (QLineEdit* e : {ui->edit_exposure_tm, ui->edit_bottom_exposure, ui->lEMaterialsStableTimeLow,
                         ui->lEMaterialsStableTimeHigh, ui->edit_lift_dist, ui->edit_lift_speed, ui->edit_retract_speed,
                         ui->lineEditNearSpeed, ui->edit_tilt_speed1, ui->edit_tilt_speed2, ui->edit_retract_speed_2,
                         ui->edit_Dp})
        e->setValidator(wide);
    auto* tilt = new QIntValidator(1, 50, owner);
    ui->edit_tilt_dist1->setValidator(tilt);
    ui->edit_tilt_dist2->setValidator(tilt);
}

// The page's fields into a print configuration; light level, home adjustment
// and the blank time are left to the panel.
template <class Form>
void copyFields(DLP::SliceBuildConfig& c, const Form* ui)
{
    c.ExposureTimePerLayer = whole(ui->edit_exposure_tm);
    c.BottomExposureTime = whole(ui->edit_bottom_exposure);
    c.HighofBottomLayer = real(ui->edit_bottom_layers);
    c.ZLiftBottomSpeed = real(ui->le_zfirstbottomspeed);
    c.ZLiftDistance2 = real(ui->le_zdist2);
    c.ZLiftDistance = real(ui->edit_lift_dist);
    c.ZLiftSpeed = real(ui->edit_lift_speed);
    c.HighofMiddleLayer = real(ui->LEMIDDELHigh);
    c.ZLiftBottomLayer = whole(ui->le_zdivide);
    c.ZLiftFirstBottomSpeed = real(ui->le_zfirstbottomspeed);
    c.ZRetractSpeed = real(ui->edit_lift_speed);
    c.TiltDistance1 = real(ui->edit_tilt_dist1);
    c.TiltSpeed1 = real(ui->edit_tilt_speed1);
    c.TiltDistance2 = real(ui->edit_tilt_dist2);
    c.TiltSpeed2 = real(ui->edit_tilt_speed2);
    c.TiltRetractSpeed = real(ui->edit_retract_speed_2);
    c.TiltNearDistance = real(ui->lineEditNearDist);
    c.TiltNearDistance2 = real(ui->lineEditNearOffset);
    c.TiltNearSpeed = real(ui->lineEditNearSpeed);
    c.RotateDistance = real(ui->lERotatecircles);
    c.RotateSpeed = real(ui->lERotateSpeed);
    c.BottomMaterialStable = DLP::truncToInt(real(ui->lEMaterialsStableTimeHigh));
    c.MaterialStable = DLP::truncToInt(real(ui->lEMaterialsStableTimeLow));
    c.MirrorLongSide = ui->checkBox_longside->isChecked() ? 1 : 0;
    c.MirrorShortSide = ui->checkBox_shortSide->isChecked() ? 1 : 0;
    c.Dp = real(ui->edit_Dp);
}

// Every value field of the page (names and descriptions are the panels' own).
template <class Form>
void show(const RecipePara& r, Form* ui)
{
    ui->edit_exposure_tm->setText(QString::number(r.exposure_tm));
    ui->edit_bottom_exposure->setText(QString::number(r.bottom_exposure));
    ui->lEMaterialsStableTimeHigh->setText(QString::number(r.MaterialStable));
    ui->lEMaterialsStableTimeLow->setText(QString::number(r.bottomMaterialStable));
    ui->LEMIDDELHigh->setText(text(r.middle_layers));
    ui->edit_bottom_layers->setText(text(r.bottom_layers));
    ui->edit_Dp->setText(text(r.Dp));
    ui->le_zdist2->setText(text(r.lift_dist2));
    ui->le_zfirstbottomspeed->setText(text(r.lift_first_bottom_speed));
    ui->le_zbottomspeed->setText(text(r.lift_bottom_speed));
    ui->le_zdivide->setText(QString::number(r.lift_bottom_layer));
    ui->edit_lift_dist->setText(text(r.lift_dist1));
    ui->edit_lift_speed->setText(text(r.lift_speed));
    ui->edit_retract_speed->setText(text(r.retract_speed));
    ui->edit_tilt_dist1->setText(text(r.tilt_dist1));
    ui->edit_tilt_speed1->setText(text(r.tilt_speed1));
    ui->edit_tilt_dist2->setText(text(r.tilt_dist2));
    ui->edit_tilt_speed2->setText(text(r.tilt_speed2));
    ui->edit_retract_speed_2->setText(text(r.retract_speed_2));
    ui->lineEditNearDist->setText(text(r.tilt_near_dist));
    ui->lineEditNearOffset->setText(text(r.tilt_near_dist2));
    ui->lineEditNearSpeed->setText(text(r.tilt_near_speed));
    ui->lERotatecircles->setText(text(r.rotate_dist));
    ui->lERotateSpeed->setText(text(r.rotate_speed));
}

// The reverse of show(); the two stable times are read as floats and cut.
template <class Form>
void read(RecipePara& r, const Form* ui)
{
    r.exposure_tm = whole(ui->edit_exposure_tm);
    r.bottom_exposure = whole(ui->edit_bottom_exposure);
    r.lift_bottom_layer = whole(ui->le_zdivide);
    r.MaterialStable = DLP::truncToInt(real(ui->lEMaterialsStableTimeHigh));
    r.bottomMaterialStable = DLP::truncToInt(real(ui->lEMaterialsStableTimeLow));
    r.middle_layers = real(ui->LEMIDDELHigh);
    r.bottom_layers = real(ui->edit_bottom_layers);
    r.Dp = real(ui->edit_Dp);
    r.lift_dist2 = real(ui->le_zdist2);
    r.lift_first_bottom_speed = real(ui->le_zfirstbottomspeed);
    r.lift_bottom_speed = real(ui->le_zbottomspeed);
    r.lift_dist1 = real(ui->edit_lift_dist);
    r.lift_speed = real(ui->edit_lift_speed);
    r.retract_speed = real(ui->edit_retract_speed);
    r.tilt_dist1 = real(ui->edit_tilt_dist1);
    r.tilt_speed1 = real(ui->edit_tilt_speed1);
    r.tilt_dist2 = real(ui->edit_tilt_dist2);
    r.tilt_speed2 = real(ui->edit_tilt_speed2);
    r.retract_speed_2 = real(ui->edit_retract_speed_2);
    r.tilt_near_dist = real(ui->lineEditNearDist);
    r.tilt_near_dist2 = real(ui->lineEditNearOffset);
    r.tilt_near_speed = real(ui->lineEditNearSpeed);
    r.rotate_dist = real(ui->lERotatecircles);
    r.rotate_speed = real(ui->lERotateSpeed);
}

// The printer's own values as the control link reports them (mirror flags,
// light level, home adjustment): shown alike by both print panels.
template <class Form>
void showPrinterValues(Form* ui, bool longSide, bool shortSide, float pwm, float x, float y, float z)
{
    ui->checkBox_longside->setChecked(longSide);
    ui->checkBox_shortSide->setChecked(shortSide);
    ui->label_pwm->setText(text(pwm));
    ui->le_homeadjx->setText(text(x));
    ui->le_homeadjy->setText(text(y));
    ui->le_homeadjz->setText(text(z));
}

// Tilt distance 2 must exceed tilt distance 1. One bound per panel, moved
// on each edit rather than a new validator piled up per edit.
template <class Form>
void boundTiltDistance2(Form* ui, QObject* owner)
{
    auto* bound = owner->findChild<QIntValidator*>(QStringLiteral("tiltDistance2Bound"), Qt::FindDirectChildrenOnly);
    if (!bound) {
        bound = new QIntValidator(owner);
        bound->setObjectName(QStringLiteral("tiltDistance2Bound"));
    }
    bound->setRange(ui->edit_tilt_dist1->text().toInt() + 1, 500);
    ui->edit_tilt_dist2->setValidator(bound);
}

} // namespace MaterialForm
