#include "MeasureRun.h"

// Standard library
#include <atomic>
#include <memory>
#include <optional>
#include <thread>

// Qt
#include <QCoreApplication>
#include <QSettings>

// Ours
#include "CameraFrames.h"
#include "CsvWriter.h"
#include "InputWalker.h"
#include "JsonLinesWriter.h"
#include "MeasurePipeline.h"
#include "ProgressBar.h"
#include "RecordCommands.h"
#include "RecordLocations.h"
#include "RecordSettings.h"
#include "ReportCommand.h"
#include "RowRecorder.h"
#include "TableWriter.h"

namespace {

constexpr int kAllOk = 0;
constexpr int kSomeNg = 1;
constexpr int kSomeError = 2;

std::unique_ptr<RowWriter> writerFor(OutputFormat format, std::FILE* stream) {
    switch (format) {
    case OutputFormat::JsonLines:
        return std::make_unique<JsonLinesWriter>(stream);
    case OutputFormat::Table:
        return std::make_unique<TableWriter>(stream);
    case OutputFormat::Csv:
        break;
    }
    return std::make_unique<CsvWriter>(stream);
}

void report(std::FILE* stream, const QString& message) {
    const QByteArray text =
        (QCoreApplication::applicationName() + QStringLiteral(": ") + message + QLatin1Char('\n'))
            .toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stream);
}

// As the window records: its station and image settings, with the database of --record.
RecordConfig recordConfig(const QString& urlText) {
    QSettings settings(QCoreApplication::organizationName(), QStringLiteral("Gavrel"));
    RecordConfig config = RecordSettings(settings).config();
    config.url = DatabaseUrl::parse(urlText).value_or(config.url);
    config.archiveFolder = RecordLocations::archiveFolderFor(config.url);
    return config;
}

} // namespace

MeasureRun::MeasureRun(MeasureOptions options, Streams streams)
    : options_(std::move(options)), streams_(streams) {}

int MeasureRun::exec() {
    switch (options_.command) {
    case MeasureOptions::Command::Export:
        return RecordCommands::exportCsv(options_, streams_.output, streams_.errors);
    case MeasureOptions::Command::Verify:
        return RecordCommands::verify(options_, streams_.output, streams_.errors);
    case MeasureOptions::Command::Report:
        return ReportCommand::run(options_, streams_.output, streams_.errors);
    case MeasureOptions::Command::Measure:
        break;
    }
    std::optional<RowRecorder> recorder;
    if (!options_.database.isEmpty()) {
        recorder.emplace(recordConfig(options_.database), options_.recipeName);
    }
    const OutputFormat format = options_.format.value_or(
        streams_.outputIsTerminal ? OutputFormat::Table : OutputFormat::Csv);
    const std::unique_ptr<RowWriter> writer = writerFor(format, streams_.output);
    const bool parts = !options_.recipeFile.isEmpty();
    writer->setPartColumns(parts);

    std::unique_ptr<InputSource> inputs;
    if (options_.cameraConfig.isEmpty()) {
        inputs = std::make_unique<InputWalker>(options_.paths, options_.recursive);
    } else {
        inputs = std::make_unique<CameraFrames>(options_.cameraConfig, options_.frames);
    }

    std::optional<ProgressBar> progress;
    std::atomic<bool> stopCounting{false};
    std::jthread counter;
    if (streams_.errorsIsTerminal) {
        progress.emplace(streams_.errors);
        if (options_.cameraConfig.isEmpty()) {
            counter = std::jthread([&] {
                if (const auto total =
                        InputWalker::count(options_.paths, options_.recursive, stopCounting)) {
                    progress->setTotal(*total);
                }
            });
        } else {
            progress->setTotal(options_.frames);
        }
    }

    bool anyNg = false;
    bool anyError = false;
    bool anyRow = false;
    writer->begin();
    MeasurePipeline(options_).run(*inputs, [&](MeasuredInput&& measured) {
        // The bar shares the terminal with messages, and with the rows when they go there too.
        if (progress && (streams_.outputIsTerminal || !measured.failure.isEmpty())) {
            progress->clear();
        }
        if (!measured.failure.isEmpty()) {
            std::fflush(streams_.output);
            report(streams_.errors,
                   measured.rows.empty()
                       ? measured.failure
                       : measured.rows.front().source + QStringLiteral(": ") + measured.failure);
        }
        if (recorder) {
            recorder->record(measured);
        }
        for (const MeasurementRow& row : measured.rows) {
            writer->write(row);
            anyRow = true;
            // With a recipe the part's verdict counts: a refused circle makes its part NG.
            const RowVerdict verdict = parts ? row.partVerdict : row.verdict;
            anyNg = anyNg || verdict == RowVerdict::NG;
            anyError = anyError || verdict == RowVerdict::Error;
        }
        if (streams_.outputIsTerminal) {
            std::fflush(streams_.output);
        }
        if (progress) {
            progress->advance();
        }
    });
    stopCounting = true;
    if (progress) {
        progress->finish();
    }
    std::fflush(streams_.output);
    if (recorder && !recorder->finish(streams_.errors)) {
        anyError = true;
    }
    if (!writer->ok()) {
        report(streams_.errors, QStringLiteral("the output could not be written"));
        return kSomeError;
    }
    if (!anyRow) {
        report(streams_.errors, QStringLiteral("no image found"));
    }
    return anyError ? kSomeError : anyNg ? kSomeNg : kAllOk;
}
