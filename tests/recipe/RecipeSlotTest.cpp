// The slot a PLC selects a recipe by.

// Qt
#include <QFile>
#include <QTemporaryDir>

// Ours
#include "RecipeFile.h"
#include "RecipeFolder.h"

#include <gtest/gtest.h>

namespace {

QByteArray recipeWith(const QByteArray& rest) {
    return "{\"format\":\"gavrel-recipe\",\"version\":1,\"circle\":{\"x\":1,\"y\":2,\"r\":3},"
           "\"standard\":128,\"tolerance\":20" +
           rest + "}";
}

} // namespace

TEST(RecipeSlotTest, ASlotIsAWholeNumberFromOneTo65535AndAbsentMeansNone) {
    struct Case {
        const char* what;
        QByteArray rest;
        int slot; // -1: refused
    };
    const Case cases[] = {
        {"absent", "", 0},
        {"first", ",\"slot\":1", 1},
        {"last", ",\"slot\":65535", 65535},
        {"zero", ",\"slot\":0", -1},
        {"past the register", ",\"slot\":65536", -1},
        {"fraction", ",\"slot\":2.5", -1},
        {"text", ",\"slot\":\"7\"", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const RecipeFile::ReadResult read = RecipeFile::parse(recipeWith(c.rest), QString());
        if (c.slot < 0) {
            EXPECT_FALSE(read.recipe);
            EXPECT_TRUE(read.error.contains(QStringLiteral("slot"))) << read.error.toStdString();
        } else {
            ASSERT_TRUE(read.recipe) << read.error.toStdString();
            EXPECT_EQ(read.recipe->slot, c.slot);
        }
    }
    InspectionRecipe recipe;
    recipe.slot = 12;
    const RecipeFile::ReadResult again =
        RecipeFile::parse(RecipeFile::serialize(recipe, QString()), QString());
    ASSERT_TRUE(again.recipe);
    EXPECT_EQ(again.recipe->slot, 12);
    recipe.slot = 0;
    EXPECT_FALSE(RecipeFile::serialize(recipe, QString()).contains("slot"));
}

TEST(RecipeSlotTest, AFolderGivesTheFirstRecipeByNameWithTheSlotAndPassesOverTheRest) {
    QTemporaryDir folder;
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write("a-broken.gavrel-recipe", "{");
    write("b-none.gavrel-recipe", recipeWith(""));
    write("c-seven.gavrel-recipe", recipeWith(",\"slot\":7"));
    write("d-seven-too.gavrel-recipe", recipeWith(",\"slot\":7"));
    write("e-three.gavrel-recipe", recipeWith(",\"slot\":3"));
    write("f-nine.json", recipeWith(",\"slot\":9"));

    struct Case {
        int slot;
        QString file; // empty: none
    };
    for (const Case& c : {Case{7, "c-seven.gavrel-recipe"}, Case{3, "e-three.gavrel-recipe"},
                          Case{9, ""}, Case{0, ""}, Case{65535, ""}}) {
        SCOPED_TRACE(c.slot);
        const auto found = RecipeFolder::findSlot(folder.path(), c.slot);
        if (c.file.isEmpty()) {
            EXPECT_FALSE(found);
        } else {
            ASSERT_TRUE(found);
            EXPECT_EQ(found->path, folder.filePath(c.file));
            EXPECT_EQ(found->recipe.slot, c.slot);
        }
    }
    const auto first = RecipeFolder::first(folder.path());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->path, folder.filePath("b-none.gavrel-recipe"));
    EXPECT_FALSE(RecipeFolder::first(QString())) << "no folder is not the current folder";
    EXPECT_FALSE(RecipeFolder::findSlot(folder.filePath("missing"), 7));
}
