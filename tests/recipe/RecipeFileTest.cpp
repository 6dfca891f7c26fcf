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
    recipe.circles = {{QStringLiteral("1"), 511, 0, 3, 97.5, 12.25}};
    recipe.cameraConfigFile = camera;
    return recipe;
}

InspectionRecipe bracket() {
    InspectionRecipe recipe;
    recipe.name = QStringLiteral("bracket");
    recipe.circles = {{QStringLiteral("hole A"), 100, 100, 20, 30, 10},
                      {QStringLiteral("hole B"), 400, 100, 20, 30.5, 10},
                      {QStringLiteral("印字"), 256, 400, 60, 200, 25.25}};
    return recipe;
}

QByteArray circlesWith(const QByteArray& circles) {
    return "{\"format\":\"gavrel-recipe\",\"version\":2,\"circles\":" + circles + "}";
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

TEST(RecipeFileTest, OneCircleIsWrittenAsVersionOneAndSeveralAsVersionTwo) {
    testutils::Sandbox sandbox;
    const struct {
        InspectionRecipe recipe;
        const char* version;
    } cases[] = {
        {sample(QString()), "\"version\": 1"},
        {bracket(), "\"version\": 2"},
        // One circle with a name of its own needs the newer form to keep it.
        {[] {
             InspectionRecipe one = bracket();
             one.circles.resize(1);
             return one;
         }(),
         "\"version\": 2"},
    };
    for (const auto& c : cases) {
        const QString path = sandbox.filePath(QStringLiteral("r.gavrel-recipe"));
        ASSERT_EQ(RecipeFile::write(path, c.recipe), QString());
        const QByteArray bytes = testutils::readAll(path);
        EXPECT_TRUE(bytes.contains(c.version)) << bytes.toStdString();
        const RecipeFile::ReadResult back = RecipeFile::read(path);
        ASSERT_TRUE(back.recipe) << back.error.toStdString();
        EXPECT_EQ(*back.recipe, c.recipe);
    }
    // A version 1 file reads back and is written again byte for byte.
    const QByteArray v1 = RecipeFile::serialize(sample(QString()), sandbox.path());
    EXPECT_FALSE(v1.contains("circles"));
    const RecipeFile::ReadResult read = RecipeFile::parse(v1, sandbox.path());
    ASSERT_TRUE(read.recipe);
    EXPECT_EQ(RecipeFile::serialize(*read.recipe, sandbox.path()), v1);
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
         "{\"format\":\"gavrel-recipe\",\"version\":3,\"circle\":{\"x\":1,\"y\":1,\"r\":5}}", "版"},
        {"version 2 without circles",
         "{\"format\":\"gavrel-recipe\",\"version\":2,\"circle\":{\"x\":1,\"y\":1,\"r\":5}}",
         "circles"},
        {"version 2, no circle", circlesWith("[]"), "circles"},
        {"version 2, 33 circles", circlesWith("[" + QByteArray("{},").repeated(32) + "{}]"),
         "circles"},
        {"version 2, a circle without a name",
         circlesWith("[{\"x\":1,\"y\":2,\"r\":5,\"standard\":1,\"tolerance\":1}]"),
         "circles[0].name"},
        {"version 2, the second circle off the image",
         circlesWith("[{\"name\":\"a\",\"x\":1,\"y\":2,\"r\":5,\"standard\":1,\"tolerance\":1},"
                     "{\"name\":\"b\",\"x\":512,\"y\":2,\"r\":5,\"standard\":1,\"tolerance\":1}]"),
         "circles[1].x"},
        {"version 2, a tolerance missing",
         circlesWith("[{\"name\":\"a\",\"x\":1,\"y\":2,\"r\":5,\"standard\":1}]"),
         "circles[0].tolerance"},
        {"version 2, an infinite standard",
         circlesWith(
             "[{\"name\":\"a\",\"x\":1,\"y\":2,\"r\":5,\"standard\":1e999,\"tolerance\":1}]"),
         "JSON"}, // Qt reads no number beyond the double range
        {"version 2, two circles of one name",
         circlesWith("[{\"name\":\"a\",\"x\":1,\"y\":2,\"r\":5,\"standard\":1,\"tolerance\":1},"
                     "{\"name\":\" a \",\"x\":3,\"y\":2,\"r\":5,\"standard\":1,\"tolerance\":1}]"),
         "重複"},
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
    ASSERT_EQ(result.recipe->circles.size(), 1u);
    EXPECT_EQ(result.recipe->circles[0].centreY, 479);
    EXPECT_EQ(result.recipe->circles[0].name, QStringLiteral("1"));
    EXPECT_TRUE(result.recipe->name.isEmpty());
    EXPECT_TRUE(result.recipe->cameraConfigFile.isEmpty());
}

TEST(RecipeFileTest, MissingUnreadableAndUnwritableFilesAreReported) {
    testutils::Sandbox sandbox;
    EXPECT_FALSE(RecipeFile::read(sandbox.filePath(QStringLiteral("absent"))).recipe);
    EXPECT_FALSE(RecipeFile::read(sandbox.path()).recipe); // a folder

    const QString kept = sandbox.write(QStringLiteral("kept.gavrel-recipe"), "old");
    InspectionRecipe notFinite = sample(QString());
    notFinite.circles[0].standard = std::numeric_limits<double>::infinity();
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
