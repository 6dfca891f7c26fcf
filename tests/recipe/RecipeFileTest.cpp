// Standard library
#include <sys/stat.h>

// Qt
#include <QDir>
#include <QFile>

// Ours
#include "RecipeFile.h"
#include "testutils.h"

#include <gtest/gtest.h>

namespace {

InspectionRecipe sample(const QString& camera) {
    InspectionRecipe recipe;
    recipe.name = QStringLiteral("ワッシャ M8");
    recipe.centreX = 511;
    recipe.centreY = 0;
    recipe.radius = 3;
    recipe.standard = 97.5;
    recipe.tolerance = 12.25;
    recipe.cameraConfigFile = camera;
    return recipe;
}

QByteArray recipeWith(const QByteArray& circle, const QByteArray& rest = {}) {
    return "{\"format\":\"gavrel-recipe\",\"version\":1,\"circle\":" + circle +
           ",\"standard\":128,\"tolerance\":20" + rest + "}";
}

TEST(RecipeFileTest, RoundTripKeepsEveryFieldAndTheCameraNextToTheRecipe) {
    testutils::Sandbox sandbox;
    const QString camera = sandbox.write(QStringLiteral("cams/usb.ini"), "[Video]\n");
    for (const QString& cameraFile : {QString(), camera}) {
        const QString path = sandbox.filePath(QStringLiteral("line1.gavrel-recipe"));
        ASSERT_EQ(RecipeFile::write(path, sample(cameraFile)), QString());
        const RecipeFile::ReadResult back = RecipeFile::read(path);
        ASSERT_TRUE(back.recipe) << back.error.toStdString();
        EXPECT_EQ(*back.recipe, sample(cameraFile));
    }
    // The file names the camera relative to itself, so both can move together.
    EXPECT_TRUE(testutils::readAll(sandbox.filePath(QStringLiteral("line1.gavrel-recipe")))
                    .contains("\"camera\": \"cams/usb.ini\""));
}

TEST(RecipeFileTest, DamagedOrForeignFilesAreRefusedWithAReason) {
    struct Case {
        const char* what;
        QByteArray bytes;
        const char* reasonPart;
    };
    const Case cases[] = {
        {"empty", "", "JSON"},
        {"truncated", recipeWith("{\"x\":1,\"y\":2,\"r\":5}").left(40), "JSON"},
        {"binary", QByteArray("BM\x00\x01\xff", 5), "JSON"},
        {"array", "[1,2]", "レシピではありません"},
        {"other program", "{\"format\":\"other\",\"version\":1}", "レシピではありません"},
        {"later version",
         "{\"format\":\"gavrel-recipe\",\"version\":2,\"circle\":{\"x\":1,\"y\":1,\"r\":5}}", "版"},
        {"no circle", "{\"format\":\"gavrel-recipe\",\"version\":1}", "circle.x"},
        {"x too large", recipeWith("{\"x\":512,\"y\":2,\"r\":5}"), "circle.x"},
        {"y negative", recipeWith("{\"x\":1,\"y\":-1,\"r\":5}"), "circle.y"},
        {"y beyond the image", recipeWith("{\"x\":1,\"y\":480,\"r\":5}"), "circle.y"},
        {"x fractional", recipeWith("{\"x\":1.5,\"y\":2,\"r\":5}"), "circle.x"},
        {"x as text", recipeWith("{\"x\":\"1\",\"y\":2,\"r\":5}"), "circle.x"},
        {"radius below three", recipeWith("{\"x\":1,\"y\":2,\"r\":2}"), "circle.r"},
        {"radius beyond int", recipeWith("{\"x\":1,\"y\":2,\"r\":3e10}"), "circle.r"},
        {"standard missing",
         "{\"format\":\"gavrel-recipe\",\"version\":1,\"circle\":{\"x\":1,\"y\":2,\"r\":5}}",
         "standard"},
        {"camera not text", recipeWith("{\"x\":1,\"y\":2,\"r\":5}", ",\"camera\":5"), "camera"},
        {"name not text", recipeWith("{\"x\":1,\"y\":2,\"r\":5}", ",\"name\":[]"), "name"},
        {"too large", QByteArray(RecipeFile::kMaxFileBytes + 1, ' '), "64 KiB"},
        {"infinite tolerance",
         "{\"format\":\"gavrel-recipe\",\"version\":1,\"circle\":{\"x\":1,\"y\":2,\"r\":5},"
         "\"standard\":128,\"tolerance\":1e999}",
         "JSON"},
        {"infinite standard",
         "{\"format\":\"gavrel-recipe\",\"version\":1,\"circle\":{\"x\":1,\"y\":2,\"r\":5},"
         "\"standard\":-1e999,\"tolerance\":20}",
         "JSON"},
    };
    for (const Case& c : cases) {
        const RecipeFile::ReadResult result = RecipeFile::parse(c.bytes, QDir::tempPath());
        EXPECT_FALSE(result.recipe) << c.what;
        EXPECT_TRUE(result.error.contains(QString::fromUtf8(c.reasonPart)))
            << c.what << ": " << result.error.toStdString();
    }
}

TEST(RecipeFileTest, BoundaryCirclesAndOptionalFieldsAreAccepted) {
    const RecipeFile::ReadResult result =
        RecipeFile::parse(recipeWith("{\"x\":0,\"y\":479,\"r\":3}", ",\"camera\":null"), "/x");
    ASSERT_TRUE(result.recipe) << result.error.toStdString();
    EXPECT_EQ(result.recipe->centreY, 479);
    EXPECT_TRUE(result.recipe->name.isEmpty());
    EXPECT_TRUE(result.recipe->cameraConfigFile.isEmpty());
}

TEST(RecipeFileTest, MissingUnreadableAndUnwritableFilesAreReported) {
    testutils::Sandbox sandbox;
    EXPECT_FALSE(RecipeFile::read(sandbox.filePath(QStringLiteral("absent"))).recipe);
    EXPECT_FALSE(RecipeFile::read(sandbox.path()).recipe); // a folder
    // A named pipe is refused before it is opened: opening it would wait for a writer.
    const QString pipe = sandbox.filePath(QStringLiteral("pipe.gavrel-recipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const RecipeFile::ReadResult fromPipe = RecipeFile::read(pipe);
    EXPECT_FALSE(fromPipe.recipe);
    EXPECT_FALSE(fromPipe.error.isEmpty());

    const QString kept = sandbox.write(QStringLiteral("kept.gavrel-recipe"), "old");
    InspectionRecipe notFinite = sample(QString());
    notFinite.standard = std::numeric_limits<double>::infinity();
    EXPECT_NE(RecipeFile::write(kept, notFinite), QString());
    EXPECT_NE(RecipeFile::write(sandbox.filePath(QStringLiteral("no/such/dir/r")), sample({})),
              QString());
    EXPECT_EQ(testutils::readAll(kept), QByteArray("old"));
}

TEST(RecipeFileTest, SuffixIsAddedOnlyToBareNames) {
    EXPECT_EQ(RecipeFile::withSuffix(QStringLiteral("/a/line1")),
              QStringLiteral("/a/line1.gavrel-recipe"));
    EXPECT_EQ(RecipeFile::withSuffix(QStringLiteral("/a.b/line1.json")),
              QStringLiteral("/a.b/line1.json"));
}

} // namespace
