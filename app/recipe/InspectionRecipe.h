#pragma once

// Standard library
#include <vector>

// Qt
#include <QString>

// One place of the product to check.
struct RecipeCircle {
    QString name = QStringLiteral("1");
    int centreX = 100;
    int centreY = 100;
    int radius = 50;
    double standard = 128.0;
    double tolerance = 20.0;

    bool operator==(const RecipeCircle& other) const = default;
};

// An inspection set-up for one product: its circles, each with the density that is good
// there, and optionally which camera takes the pictures.
struct InspectionRecipe {
    QString name;
    std::vector<RecipeCircle> circles{RecipeCircle{}}; // 1 to kMaxCircles
    QString cameraConfigFile; // absolute path of a video configuration file; empty: none
    int slot = 0;             // the number a PLC selects it by, 1 to 65535; 0: none

    static constexpr int kMaxCircles = 32;

    bool operator==(const InspectionRecipe& other) const = default;
};
