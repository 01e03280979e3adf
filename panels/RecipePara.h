#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

// One resin recipe: exposure and motion values for one resin on one printer
// model. Copied freely; held by value in lists.
struct RecipePara
{
    bool editable = false;
    int exposure_tm = 0;          // ms
    int bottom_exposure = 0;      // ms
    int MaterialStable = 0;       // ms
    int bottomMaterialStable = 0; // ms, shown as "Stable Time"
    int lift_bottom_layer = 0;
    float bottom_layers = 0;      // mm, burn-in range
    float middle_layers = 0;
    float lift_first_bottom_speed = 0; // mm/min
    float lift_bottom_speed = 0;
    float lift_dist1 = 0; // mm
    float lift_dist2 = 0; // mm
    float lift_speed = 0; // mm/min
    float retract_speed = 0;
    float tilt_dist1 = 0;
    float tilt_speed1 = 0;
    float tilt_dist2 = 0;
    float tilt_speed2 = 0;
    float retract_speed_2 = 0;
    float tilt_near_dist = 0;
    float tilt_near_dist2 = 0;
    float tilt_near_speed = 0;
    float rotate_dist = 0;
    float rotate_speed = 0;
    float Dp = 0;
    QString name;
    QString info;
    // Set when the file held a value outside its range (which file and key):
    // such a recipe is shown but never printed, and the refused values are
    // written back as they were stored.
    QString valueProblem;
    QMap<QString, QVariant> refusedValues; // file key -> value as stored
};
