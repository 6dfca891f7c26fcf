#pragma once

// Standard library
#include <optional>

// Qt
#include <QString>

// Ours
#include "InspectionRecipe.h"

// A folder of recipes for product changeover: each recipe carries the slot a PLC selects it
// by. Files that cannot be read as recipes are passed over.
namespace RecipeFolder {

struct Found {
    QString path; // absolute
    InspectionRecipe recipe;
};

// The first recipe by file name that has `slot` (1 to 65535).
std::optional<Found> findSlot(const QString& folder, int slot);
// The first recipe by file name.
std::optional<Found> first(const QString& folder);

} // namespace RecipeFolder
