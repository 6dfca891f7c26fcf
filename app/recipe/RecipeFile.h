#pragma once

// Standard library
#include <optional>

// Qt
#include <QByteArray>
#include <QString>

// Ours
#include "InspectionRecipe.h"

// Recipes on disk: small UTF-8 JSON files ending in .gavrel-recipe. A camera file is kept
// relative to the recipe's folder, so that a recipe and its camera can move together.
namespace RecipeFile {

inline const QString kSuffix = QStringLiteral("gavrel-recipe");
constexpr qsizetype kMaxFileBytes = 64 * 1024;

struct ReadResult {
    std::optional<InspectionRecipe> recipe;
    QString error; // what is wrong, for the operator; empty when a recipe was read
};

// `folder` resolves a relative camera path.
ReadResult parse(const QByteArray& bytes, const QString& folder);
QByteArray serialize(const InspectionRecipe& recipe, const QString& folder);

ReadResult read(const QString& path);
// Writes the whole file or nothing (an existing file stays as it was on failure).
// Returns what went wrong, or an empty text.
QString write(const QString& path, const InspectionRecipe& recipe);

// Adds the recipe suffix to a name that has no suffix of its own.
QString withSuffix(const QString& path);

} // namespace RecipeFile
