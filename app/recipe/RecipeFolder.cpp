#include "RecipeFolder.h"

// Qt
#include <QDir>

// Ours
#include "RecipeFile.h"

namespace RecipeFolder {
namespace {

template <typename Wanted> std::optional<Found> firstWhere(const QString& folder, Wanted wanted) {
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    const QFileInfoList files = QDir(folder).entryInfoList(
        {QStringLiteral("*.") + RecipeFile::kSuffix}, QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        RecipeFile::ReadResult read = RecipeFile::read(file.absoluteFilePath());
        if (read.recipe && wanted(*read.recipe)) {
            return Found{file.absoluteFilePath(), std::move(*read.recipe)};
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<Found> findSlot(const QString& folder, int slot) {
    // 0 is a recipe without a slot, which no PLC can choose.
    if (slot < 1) {
        return std::nullopt;
    }
    return firstWhere(folder,
                      [slot](const InspectionRecipe& recipe) { return recipe.slot == slot; });
}

std::optional<Found> first(const QString& folder) {
    return firstWhere(folder, [](const InspectionRecipe&) { return true; });
}

} // namespace RecipeFolder
