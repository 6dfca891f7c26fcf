#pragma once

// Qt
#include <QString>

// Ours
#include "CircleFigure.h"

// One place of a part to check: where its circle sits and what density is good there.
struct CircleSetting {
    QString name;
    CircleFigure figure; // whole numbers, as the drags and keys leave them
    double standard = 128.0;
    double tolerance = 20.0;
};
