#pragma once

// Standard library
#include <optional>
#include <vector>

// Qt
#include <QDateTime>
#include <QString>
#include <QStringList>

class QCommandLineParser;

enum class OutputFormat { Csv, JsonLines, Table };

struct InspectionCircle {
    int centreX = 0;
    int centreY = 0;
    int radius = 0;
    // A recipe's circles carry their names and limits; --circle ones take the run's.
    QString name;
    std::optional<double> standard;
    std::optional<double> tolerance;
    bool operator==(const InspectionCircle&) const = default;
};

// Everything the command line decides, in one place.
struct MeasureOptions {
    std::vector<InspectionCircle> circles;
    double standard = 128.0;
    double tolerance = 20.0;
    std::optional<OutputFormat> format; // unset: table on a terminal, csv otherwise
    int jobs = 1;
    bool recursive = false;
    QStringList paths;
    QString cameraConfig; // a video configuration file instead of paths
    // --recipe: the circles and limits come from this recipe, and every image is one part
    // judged OK only when each of its circles is.
    QString recipeFile;
    QString recipeName;
    int frames = 1;

    // The inspection record: rows go into `database` when recording; --export and --verify
    // read it instead of measuring.
    enum class Command { Measure, Export, Verify, Report };
    Command command = Command::Measure;
    QString database;   // a database URL; empty when not recording
    QDateTime since;    // --export: records from (inclusive)
    QDateTime until;    //           and before (exclusive)
    QString outputFile; // --export: empty for standard output; --report: the PDF
    QString station;    // --report: only this station's records
    QString recipe;     //           and this recipe's
};

// Reading the command line: the parser is built in one place so that new options are added
// there and land in MeasureOptions.
namespace MeasureCommandLine {

inline constexpr int kUsageExitCode = 64;

struct Outcome {
    std::optional<MeasureOptions> options; // unset when the run should stop
    int exitCode = 0;                      // when it should stop
    QString message;                       // for standard output (help, version) or error
    bool messageIsError = false;
};

void describe(QCommandLineParser& parser);
Outcome parse(const QStringList& arguments, int defaultJobs);

// "X,Y,R" with whole numbers; the centre on the working image and the radius at least the
// window's smallest.
std::optional<InspectionCircle> readCircle(const QString& text);

} // namespace MeasureCommandLine
