#pragma once

// Qt
#include <QString>

// An inspection set-up for one product: where the circle sits, what density is good and,
// optionally, which camera takes the pictures.
struct InspectionRecipe {
    QString name;
    int centreX = 100;
    int centreY = 100;
    int radius = 50;
    double standard = 128.0;
    double tolerance = 20.0;
    QString cameraConfigFile; // absolute path of a video configuration file; empty: none
    int slot = 0;             // the number a PLC selects it by, 1 to 65535; 0: none

    bool operator==(const InspectionRecipe& other) const = default;
};
