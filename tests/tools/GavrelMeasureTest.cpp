// gavrel-measure run as a child process on real files in a temporary folder.

// Standard library
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

// POSIX
#include <unistd.h>

// Qt
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

// GoogleTest
#include <gtest/gtest.h>

// Ours
#include "Inspection.h"
#include "JudgementRules.h"
#include "KeshFileAccess.h"
#include "KeshImage.h"
#include "KeshPerformanceCounter.h"
#include "PelmintBinding.h"
#include "ProgramFolder.h"
#include "ProgramRun.h"
#include "RecipeFile.h"
#include "ShippedSamples.h"
#include "testutils.h"

namespace {

using testutils::ProgramRun;

// Runs the program; `prefix` (for instance setpriv) runs it as another user.
ProgramRun runMeasure(const QStringList& arguments, const QStringList& prefix = {},
                      const QString& outputFile = {}) {
    QProcess process;
    QStringList command = prefix;
    command << QStringLiteral(GAVREL_MEASURE_PROGRAM) << arguments;
    if (!outputFile.isEmpty()) {
        process.setStandardOutputFile(outputFile);
    }
    return testutils::runToEnd(process, command);
}

KeshImage greyImage(int width, int height, const std::vector<std::uint8_t>& pixels) {
    KeshImage image;
    image.assign(width, height, 8, KeshImage::Grey, pixels);
    return image;
}

KeshImage flatImage(std::uint8_t level, int width = 512, int height = 480) {
    return greyImage(width, height, std::vector<std::uint8_t>(std::size_t(width) * height, level));
}

QString writeBmp(const testutils::Sandbox& sandbox, const QString& name, const KeshImage& image) {
    const QString path = sandbox.filePath(name);
    KeshFileAccess access;
    access.setFileName(path);
    access.write(image);
    EXPECT_EQ(access.errorCode(), 0) << name.toStdString();
    return path;
}

QString writePicture(const testutils::Sandbox& sandbox, const QString& name, const QImage& image) {
    const QString path = sandbox.filePath(name);
    EXPECT_TRUE(image.save(path)) << name.toStdString();
    return path;
}

QList<QByteArray> csvColumn(const ProgramRun& run, int column) {
    QList<QByteArray> values;
    const QList<QByteArray> lines = run.lines();
    for (qsizetype line = 1; line < lines.size(); ++line) {
        values << lines[line].split(',').value(column);
    }
    return values;
}

} // namespace

TEST(GavrelMeasureTest, EachKindOfFileGivesItsRow) {
    testutils::Sandbox sandbox;
    QImage colour(600, 500, QImage::Format_RGB32);
    colour.fill(qRgb(200, 200, 200));
    QImage grey(512, 480, QImage::Format_Grayscale8);
    grey.fill(100);
    QByteArray damaged = testutils::readAll(writeBmp(sandbox, "damaged.bmp", flatImage(128)));
    damaged.truncate(damaged.size() / 2);

    struct Case {
        QString path;
        QByteArray row; // the CSV row that follows the file's name
        QByteArray error;
    };
    const Case cases[] = {
        {writeBmp(sandbox, "good.bmp", flatImage(128)),
         ",100,100,50,7845,128,0,128,128,128,20,OK,false",
         {}},
        {writeBmp(sandbox, "wrong-size.bmp", flatImage(90, 640, 480)),
         ",100,100,50,7845,90,0,90,90,128,20,NG,true",
         {}},
        {sandbox.write("damaged.bmp", damaged), ",100,100,50,,,,,,128,20,ERROR,", "(ErrCode=-3)"},
        {sandbox.write("text.bmp", "not an image"), ",100,100,50,,,,,,128,20,ERROR,",
         "(ErrCode=-3)"},
        {sandbox.filePath("missing.bmp"), ",100,100,50,,,,,,128,20,ERROR,", "(ErrCode=-1)"},
        {writePicture(sandbox, "grey.png", grey),
         ",100,100,50,7845,100,0,100,100,128,20,NG,false",
         {}},
        {writePicture(sandbox, "colour.tiff", colour),
         ",100,100,50,7845,200,0,200,200,128,20,NG,true",
         {}},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.path.toStdString());
        const ProgramRun run = runMeasure({testCase.path});
        ASSERT_EQ(run.lines().size(), 2);
        EXPECT_EQ(run.lines()[0], "source,cx,cy,r,count,mean,stddev,min,max,standard,tolerance,"
                                  "verdict,converted");
        EXPECT_EQ(run.lines()[1], testCase.path.toUtf8() + testCase.row);
        EXPECT_EQ(run.exitCode,
                  testCase.error.isEmpty() ? (testCase.row.contains("OK") ? 0 : 1) : 2);
        if (testCase.error.isEmpty()) {
            EXPECT_TRUE(run.errors.isEmpty()) << run.errors.toStdString();
        } else {
            EXPECT_TRUE(run.errors.contains(testCase.path.toUtf8() + ": "))
                << run.errors.toStdString();
            EXPECT_TRUE(run.errors.contains(testCase.error)) << run.errors.toStdString();
        }
    }
}

TEST(GavrelMeasureTest, NamesAreQuotedAndKeptInUtf8) {
    testutils::Sandbox sandbox;
    struct Case {
        QString name;
        QByteArray csvField;
    };
    const Case cases[] = {
        {QStringLiteral("a,b.bmp"), "\"a,b.bmp\""},
        {QStringLiteral("say \"hi\".bmp"), "\"say \"\"hi\"\".bmp\""},
        {QStringLiteral("検査画像.bmp"), "検査画像.bmp"},
        {QStringLiteral("plain.bmp"), "plain.bmp"},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name.toStdString());
        writeBmp(sandbox, testCase.name, flatImage(128));
        const ProgramRun csv = runMeasure({sandbox.path() + "/" + testCase.name});
        EXPECT_TRUE(csv.lines().value(1).startsWith(
            (testCase.csvField.startsWith('"')
                 ? "\"" + sandbox.path().toUtf8() + "/" + testCase.csvField.mid(1)
                 : sandbox.path().toUtf8() + "/" + testCase.csvField) +
            ","))
            << csv.output.toStdString();
        const ProgramRun json =
            runMeasure({"--format", "jsonl", sandbox.path() + "/" + testCase.name});
        const QJsonObject row = QJsonDocument::fromJson(json.lines().value(0)).object();
        EXPECT_EQ(row.value("source").toString(), sandbox.path() + "/" + testCase.name);
        EXPECT_EQ(row.value("verdict").toString(), "OK");
    }
}

TEST(GavrelMeasureTest, ANameThatIsNotUtf8IsStillMeasured) {
    // As a folder copied from a Windows share may have them: "検査" in Shift_JIS.
    testutils::Sandbox sandbox;
    const QString written = writeBmp(sandbox, "written.bmp", flatImage(128));
    const QByteArray folder = QFile::encodeName(sandbox.path());
    const QByteArray name = folder + "/\x8c\x9f\x8d\xb8.bmp";
    ASSERT_EQ(::rename(QFile::encodeName(written).constData(), name.constData()), 0);

    const ProgramRun run = runMeasure({sandbox.path()});
    ASSERT_EQ(run.lines().size(), 2) << run.errors.toStdString();
    const QList<QByteArray> fields = run.lines()[1].split(',');
    EXPECT_TRUE(fields[0].startsWith(folder + "/")) << fields[0].toStdString();
    EXPECT_EQ(fields.value(11), "OK") << run.errors.toStdString();
    EXPECT_EQ(run.exitCode, 0);
}

TEST(GavrelMeasureTest, UnreadableFileIsAnErrorRowAndTheRunGoesOn) {
    testutils::Sandbox sandbox;
    const QString locked = writeBmp(sandbox, "b-locked.bmp", flatImage(128));
    writeBmp(sandbox, "a-open.bmp", flatImage(128));
    writeBmp(sandbox, "c-open.bmp", flatImage(128));
    QStringList asNobody;
    if (::geteuid() == 0) {
        // Root reads any file: the run must be made by an ordinary user.
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (setpriv.isEmpty()) {
            GTEST_SKIP() << "running as root without setpriv to become nobody";
        }
        asNobody = {setpriv, "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
        QFile::setPermissions(sandbox.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadOther |
                                                  QFile::ExeOther);
    }
    QFile::setPermissions(locked, {});

    const ProgramRun run = runMeasure({"--jobs", "2", sandbox.path()}, asNobody);
    ASSERT_EQ(run.lines().size(), 4) << run.output.toStdString() << run.errors.toStdString();
    EXPECT_EQ(csvColumn(run, 11), QList<QByteArray>({"OK", "ERROR", "OK"}));
    EXPECT_TRUE(run.errors.contains("b-locked.bmp: permission denied (ErrCode=-2)"))
        << run.errors.toStdString();
    EXPECT_EQ(run.exitCode, 2);
}

TEST(GavrelMeasureTest, ABitmapIsReadNoFurtherThanItsHeaderSays) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer's shadow memory does not fit under a data limit";
#endif
    const QString prlimit = QStandardPaths::findExecutable("prlimit");
    if (prlimit.isEmpty()) {
        GTEST_SKIP() << "no prlimit";
    }
    // A good bitmap followed by 400 MiB of zeros, measured with 160 MiB of memory.
    testutils::Sandbox sandbox;
    const QString path = writeBmp(sandbox, "padded.bmp", flatImage(77));
    QFile padded(path);
    ASSERT_TRUE(padded.resize(qint64(400) * 1024 * 1024));
    const ProgramRun run = runMeasure({"--jobs", "1", path}, {prlimit, "--data=167772160", "--"});
    ASSERT_EQ(run.lines().size(), 2) << run.errors.toStdString();
    EXPECT_EQ(run.lines()[1], path.toUtf8() + ",100,100,50,7845,77,0,77,77,128,20,NG,false");
    EXPECT_EQ(run.exitCode, 1);
}

TEST(GavrelMeasureTest, ExitStatusSaysTheWorstRow) {
    testutils::Sandbox sandbox;
    const QString ok = writeBmp(sandbox, "ok.bmp", flatImage(128));
    const QString ng = writeBmp(sandbox, "ng.bmp", flatImage(20));
    const QString missing = sandbox.filePath("missing.bmp");
    struct Case {
        QStringList arguments;
        int exitCode;
    };
    const Case cases[] = {
        {{ok}, 0},
        {{ok, ng}, 1},
        {{ok, ng, missing}, 2},
        {{"--standard", "20", ng}, 0},
        {{"--standard", "2 0abc", ng}, 0},                     // read as the window reads it: 20
        {{"--standard", "abc", "--tolerance", "&H80", ng}, 0}, // 0 +- 128
        {{"--tolerance", "0", ok}, 1},                         // the limits are strict
        {{"--circle", "1,2", ok}, 64},
        {{"--circle", "512,0,5", ok}, 64},
        {{"--circle", "0,0,2", ok}, 64},
        {{"--jobs", "0", ok}, 64},
        {{"--format", "xml", ok}, 64},
        {{"--frames", "2", ok}, 64},
        {{"--camera", "x.ini", ok}, 64},
        {{"--no-such-option", ok}, 64},
        {{}, 64},
        {{"--help"}, 0},
        {{"--version"}, 0},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.arguments.join(' ').toStdString());
        const ProgramRun run = runMeasure(testCase.arguments);
        EXPECT_EQ(run.exitCode, testCase.exitCode) << run.errors.toStdString();
        if (testCase.exitCode == 64) {
            EXPECT_TRUE(run.output.isEmpty());
            EXPECT_TRUE(run.errors.contains("--help")) << run.errors.toStdString();
        }
    }
    EXPECT_TRUE(runMeasure({"--version"}).output.contains("gavrel-measure 1.0.0"));
}

TEST(GavrelMeasureTest, FoldersComeInNameOrderWhateverTheJobs) {
    testutils::Sandbox sandbox;
    // Written in reverse so that the folder's own order is not the name order.
    for (int level = 59; level >= 0; --level) {
        writeBmp(sandbox, QStringLiteral("img-%1.bmp").arg(level, 3, 10, QLatin1Char('0')),
                 flatImage(static_cast<std::uint8_t>(level * 4)));
    }
    sandbox.write("notes.txt", "not measured");
    sandbox.mkdir("sub");
    writeBmp(sandbox, "sub/deeper.bmp", flatImage(7));
    QList<QByteArray> expected;
    for (int level = 0; level < 60; ++level) {
        expected << QByteArray::number(level * 4);
    }

    const ProgramRun oneJob = runMeasure({"--jobs", "1", sandbox.path()});
    const ProgramRun eightJobs = runMeasure({"--jobs", "8", sandbox.path()});
    EXPECT_EQ(csvColumn(eightJobs, 5), expected);
    EXPECT_EQ(oneJob.output, eightJobs.output);

    const ProgramRun recursive =
        runMeasure({"--jobs", "8", "--recursive", "--format", "jsonl", sandbox.path()});
    ASSERT_EQ(recursive.lines().size(), 61);
    EXPECT_EQ(QJsonDocument::fromJson(recursive.lines().back()).object().value("source"),
              sandbox.path() + "/sub/deeper.bmp");
    EXPECT_EQ(
        recursive.output,
        runMeasure({"--jobs", "1", "--recursive", "--format", "jsonl", sandbox.path()}).output);
}

TEST(GavrelMeasureTest, StatisticsReadBackExactly) {
    testutils::Sandbox sandbox;
    std::mt19937 random(20261208);
    std::vector<std::uint8_t> pixels(512 * 480);
    for (std::uint8_t& pixel : pixels) {
        pixel = static_cast<std::uint8_t>(random());
    }
    const QString path = writeBmp(sandbox, "noise.bmp", greyImage(512, 480, pixels));

    struct Circle {
        int x, y, r;
    };
    const Circle circles[] = {{100, 100, 50}, {0, 0, 3}, {511, 479, 40}, {256, 240, 400}};
    QStringList arguments{"--format", "jsonl"};
    for (const Circle& circle : circles) {
        arguments << "--circle"
                  << QStringLiteral("%1,%2,%3").arg(circle.x).arg(circle.y).arg(circle.r);
    }
    const ProgramRun run = runMeasure(arguments << path);
    ASSERT_EQ(run.lines().size(), 4);
    for (qsizetype index = 0; index < 4; ++index) {
        const Circle circle = circles[index];
        SCOPED_TRACE(circle.r);
        std::int64_t count = 0;
        std::uint64_t sum = 0;
        std::uint64_t squares = 0;
        int low = 255;
        int high = 0;
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 512; ++x) {
                const std::int64_t dx = x - circle.x;
                const std::int64_t dy = y - circle.y;
                if (dx * dx + dy * dy <= std::int64_t(circle.r) * circle.r) {
                    const int value = pixels[std::size_t(y) * 512 + x];
                    ++count;
                    sum += value;
                    squares += std::uint64_t(value) * value;
                    low = std::min(low, value);
                    high = std::max(high, value);
                }
            }
        }
        const double mean = double(sum) / double(count);
        const double variance = double(squares) / double(count) - mean * mean;
        const QJsonObject row = QJsonDocument::fromJson(run.lines()[index]).object();
        EXPECT_EQ(row.value("count").toInteger(), count);
        EXPECT_EQ(row.value("mean").toDouble(), mean); // every digit survives the text
        EXPECT_NEAR(row.value("stddev").toDouble(), std::sqrt(variance), 1e-9);
        EXPECT_EQ(row.value("min").toInt(), low);
        EXPECT_EQ(row.value("max").toInt(), high);
        EXPECT_EQ(row.value("converted").toBool(true), false);
    }
}

TEST(GavrelMeasureTest, AFailedOutputIsReported) {
    testutils::Sandbox sandbox;
    const QString ok = writeBmp(sandbox, "ok.bmp", flatImage(128));
    const ProgramRun run = runMeasure({ok}, {}, QStringLiteral("/dev/full"));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.errors.contains("could not be written")) << run.errors.toStdString();
}

TEST(GavrelMeasureTest, CameraFramesAreMeasured) {
    const QString testPattern = shipped::video(QStringLiteral("test-pattern.ini"));
    const ProgramRun run = runMeasure(
        {"--camera", testPattern, "--frames", "3", "--format", "table", "--circle", "256,240,100"});
    ASSERT_EQ(run.lines().size(), 4) << run.errors.toStdString();
    EXPECT_TRUE(run.lines()[0].startsWith("verdict"));
    for (int frame = 1; frame <= 3; ++frame) {
        const QByteArray row = run.lines()[frame];
        EXPECT_TRUE(row.startsWith("OK") || row.startsWith("NG")) << row.toStdString();
        EXPECT_TRUE(row.contains(" 31417 ")) << row.toStdString();
        EXPECT_TRUE(row.endsWith(testPattern.toUtf8() + "#" + QByteArray::number(frame)));
    }

    testutils::Sandbox sandbox;
    const ProgramRun missing =
        runMeasure({"--camera", sandbox.filePath("none.ini"), "--frames", "3"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.lines().size(), 2); // a camera that does not open gives one row
    EXPECT_TRUE(missing.errors.contains("(ErrCode=1)")) << missing.errors.toStdString();
}

// The rows of the shipped samples, as this program has always written them, byte for byte.
TEST(GavrelMeasureTest, SampleRowsAreUnchangedByteForByte) {
    const QString samples = QStringLiteral(GAVREL_SOURCE_DIR "/samples/images");
    const struct {
        QStringList arguments;
        const char* expected;
    } cases[] = {
        {{"--circle", "100,100,50", "--circle", "0,0,3", "--circle", "256,240,200", "--standard",
          "120", "--tolerance", "30", samples},
         "sample-images.csv"},
        {{"--format", "jsonl", "--circle", "300,200,40", samples}, "sample-images.jsonl"},
    };
    for (const auto& c : cases) {
        QFile expected(QStringLiteral(GAVREL_SOURCE_DIR "/tests/tools/data/") +
                       QString::fromLatin1(c.expected));
        ASSERT_TRUE(expected.open(QIODevice::ReadOnly)) << c.expected;
        ProgramRun run = runMeasure(c.arguments);
        EXPECT_EQ(run.exitCode, 1) << run.errors.toStdString();
        EXPECT_EQ(run.output.replace(samples.toUtf8(), "@SAMPLES@").toStdString(),
                  expected.readAll().toStdString())
            << c.expected;
    }
}

// A recipe's circles are judged each against its own limits and together as one part, with
// the same results as the window's inspection of the same image.
TEST(GavrelMeasureTest, ARecipeJudgesEveryImageAsOnePart) {
    testutils::Sandbox sandbox;
    const QString disc =
        shipped::image(QStringLiteral("disc-200-at-100-100-radius-60-on-50_512x480_grey8.bmp"));
    InspectionRecipe recipe;
    recipe.name = QStringLiteral("washer");
    recipe.circles = {{QStringLiteral("centre"), 100, 100, 30, 200, 5},
                      {QStringLiteral("ground, far"), 400, 300, 40, 50, 5},
                      {QStringLiteral("rim"), 100, 100, 80, 150, 10}};
    const QString recipeFile = sandbox.filePath(QStringLiteral("washer.gavrel-recipe"));
    ASSERT_EQ(RecipeFile::write(recipeFile, recipe), QString());

    ProgramRun run = runMeasure({"--recipe", recipeFile, disc});
    EXPECT_EQ(run.exitCode, 1) << run.errors.toStdString(); // the rim is NG, so the part is
    const QList<QByteArray> lines = run.lines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].endsWith(",verdict,converted,circle,part_verdict"));
    const QByteArray expectedEnds[] = {",OK,false,centre,NG", ",OK,false,\"ground, far\",NG",
                                       ",NG,false,rim,NG"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(lines[i + 1].endsWith(expectedEnds[i])) << lines[i + 1].toStdString();
    }

    // The window's inspection of the same image makes the same judgements.
    KeshImage image;
    KeshFileAccess file;
    file.setFileName(disc);
    file.read(image);
    ASSERT_EQ(file.errorCode(), 0);
    PelmintBinding pelmint(ProgramFolder::path());
    Inspection inspection(pelmint, image);
    inspection.applyRecipe(recipe);
    KeshPerformanceCounter timer;
    const Judgement& judged = inspection.measure(timer);
    EXPECT_EQ(judged.partVerdict(), Verdict::NG);
    for (int i = 0; i < 3; ++i) {
        const QList<QByteArray> fields = lines[i + 1].split(',');
        EXPECT_EQ(fields[5].toDouble(), judged.circles[i].mean);
        EXPECT_TRUE(lines[i + 1].contains(
            "," + JudgementRules::verdictText(judged.circles[i].verdict).toUtf8() + ",false"));
    }

    // Every part OK: exit 0; with --circle beside --recipe: wrong usage.
    recipe.circles.pop_back();
    ASSERT_EQ(RecipeFile::write(recipeFile, recipe), QString());
    EXPECT_EQ(runMeasure({"--recipe", recipeFile, "--format", "jsonl", disc}).exitCode, 0);
    EXPECT_EQ(runMeasure({"--recipe", recipeFile, "--circle", "1,1,5", disc}).exitCode, 64);
    const ProgramRun broken =
        runMeasure({"--recipe", sandbox.filePath("none.gavrel-recipe"), disc});
    EXPECT_EQ(broken.exitCode, 64);
    EXPECT_TRUE(broken.errors.contains("--recipe")) << broken.errors.toStdString();
}

TEST(GavrelMeasureTest, ASourceThatEndsGivesOneErrorRowAndStops) {
    testutils::Sandbox sandbox;
    const QString shortFeed = sandbox.write(
        QStringLiteral("short.ini"),
        "[Video]\nPipeline=videotestsrc num-buffers=2 ! video/x-raw,framerate=30/1\n");
    const ProgramRun run =
        runMeasure({"--camera", shortFeed, "--frames", "100000", "--format", "csv"});
    EXPECT_EQ(run.exitCode, 2);
    // The header, at most the two frames, and one row for the end.
    EXPECT_LE(run.lines().size(), 4) << run.errors.toStdString();
    EXPECT_GE(run.lines().size(), 2);
    EXPECT_TRUE(run.lines().back().contains("ERROR")) << run.lines().back().toStdString();
    EXPECT_EQ(run.errors.trimmed().count('\n'), 0) << "one message: " << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains("ended")) << run.errors.toStdString();
}

TEST(GavrelMeasureTest, NeedsNoWidgets) {
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {QStringLiteral(GAVREL_MEASURE_PROGRAM)});
    ASSERT_TRUE(ldd.waitForFinished(30000));
    const QByteArray libraries = ldd.readAllStandardOutput();
    EXPECT_TRUE(libraries.contains("libPelmint.so")) << libraries.toStdString();
    EXPECT_FALSE(libraries.contains("libQt6Widgets")) << libraries.toStdString();
}
