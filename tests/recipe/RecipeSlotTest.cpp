// The slot a PLC selects a recipe by.

// Ours
#include "RecipeFile.h"

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
