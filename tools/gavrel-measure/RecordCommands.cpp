#include "RecordCommands.h"

// Standard library
#include <memory>
#include <optional>

// Qt
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

// Ours
#include "ChainVerifier.h"
#include "CsvExport.h"
#include "DatabaseUrl.h"
#include "MeasureOptions.h"
#include "RecordDatabase.h"
#include "RecordLocations.h"
#include "SaveTarget.h"

namespace {

constexpr int kIntact = 0;
constexpr int kBroken = 1;
constexpr int kFailed = 2;

void print(std::FILE* stream, const QString& message) {
    const QByteArray text = (message + QLatin1Char('\n')).toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stream);
}

void report(std::FILE* stream, const QString& message) {
    print(stream, QCoreApplication::applicationName() + QStringLiteral(": ") + message);
}

// An existing record database, opened read-only; nothing (with the reason on `errors`)
// otherwise. Reading never creates a file, a schema or a journal, so a write-protected copy
// can be audited.
std::unique_ptr<RecordDatabase> openExisting(const QString& urlText, std::FILE* errors) {
    QString error;
    const std::optional<DatabaseUrl> url = DatabaseUrl::parse(urlText, &error);
    if (!url) {
        report(errors, error);
        return nullptr;
    }
    auto database = std::make_unique<RecordDatabase>(*url, QStringLiteral("command"),
                                                     RecordDatabase::Access::ReadOnly);
    if (!database->open()) {
        report(errors, QStringLiteral("%1: %2").arg(url->toDisplayString(), database->lastError()));
        return nullptr;
    }
    return database;
}

} // namespace

namespace RecordCommands {

int exportCsv(const MeasureOptions& options, std::FILE* output, std::FILE* errors) {
    const std::unique_ptr<RecordDatabase> database = openExisting(options.database, errors);
    if (!database) {
        return kFailed;
    }
    RecordFilter filter;
    filter.since = options.since;
    filter.until = options.until;
    QString error;
    if (options.outputFile.isEmpty()) {
        std::fflush(output);
        QFile out;
        if (!out.open(output, QIODevice::WriteOnly) ||
            CsvExport::write(database->connection(), filter, out, &error) < 0 || !out.flush() ||
            std::fflush(output) != 0 || std::ferror(output) != 0) {
            report(errors, error.isEmpty() ? QStringLiteral("the output could not be written: %1")
                                                 .arg(out.error() != QFileDevice::NoError
                                                          ? out.errorString()
                                                          : QStringLiteral("write error"))
                                           : error);
            return kFailed;
        }
        return kIntact;
    }
    // Only a regular file is replaced; a device, a pipe or a folder is refused as the
    // window's save refuses it, and a link is followed to the file it names.
    const SaveTarget::Resolution target = SaveTarget::resolve(options.outputFile);
    if (target.code != 0) {
        report(errors, QStringLiteral("%1: not a regular file that can be replaced (%2)")
                           .arg(options.outputFile)
                           .arg(target.code));
        return kFailed;
    }
    // Written whole or not at all: an earlier file of that name stays until the new one is done.
    QSaveFile out(target.path);
    if (!out.open(QIODevice::WriteOnly)) {
        report(errors, QStringLiteral("%1: %2").arg(options.outputFile, out.errorString()));
        return kFailed;
    }
    if (CsvExport::write(database->connection(), filter, out, &error) < 0) {
        out.cancelWriting();
        report(errors, QStringLiteral("%1: %2").arg(options.outputFile, error));
        return kFailed;
    }
    // A failed flush (a full disk) must not let the commit replace the earlier file.
    if (!out.flush()) {
        const QString reason = out.errorString();
        out.cancelWriting();
        report(errors, QStringLiteral("%1: %2").arg(options.outputFile, reason));
        return kFailed;
    }
    if (!out.commit()) {
        report(errors, QStringLiteral("%1: %2").arg(options.outputFile, out.errorString()));
        return kFailed;
    }
    return kIntact;
}

int verify(const MeasureOptions& options, std::FILE* output, std::FILE* errors) {
    const std::unique_ptr<RecordDatabase> database = openExisting(options.database, errors);
    if (!database) {
        return kFailed;
    }
    const DatabaseUrl& url = database->url();
    const ChainVerifier::Report result =
        ChainVerifier::verifyAll(database->connection(), RecordLocations::keyFolder(),
                                 RecordLocations::headsFileFor(RecordLocations::keyFolder(), url),
                                 RecordLocations::archiveFolderFor(url));
    if (!result.readable) {
        report(errors, result.error);
        return kFailed;
    }
    if (result.records == 0) {
        report(errors,
               QStringLiteral("%1: the database holds no record").arg(url.toDisplayString()));
        return result.missingHeads.isEmpty() ? kFailed : kBroken;
    }
    if (result.intact()) {
        print(output, QStringLiteral("%1 records of %2 stations: every chain intact")
                          .arg(result.records)
                          .arg(result.stations));
        return kIntact;
    }
    for (const qint64 id : result.brokenIds) {
        report(errors, QStringLiteral("broken link at record %1").arg(id));
    }
    for (const QString& station : result.missingHeads) {
        report(errors, QStringLiteral("the newest known record of station %1 is missing or "
                                      "changed: records were removed or replaced")
                           .arg(station));
    }
    if (result.unknownKeys > 0) {
        report(errors, QStringLiteral("%1 records are sealed with a key that is not in %2: "
                                      "copy that station's key there to check them")
                           .arg(result.unknownKeys)
                           .arg(RecordLocations::keyFolder()));
    }
    for (const QString& note : result.badImageNotes) {
        report(errors, QStringLiteral("archived image of %1").arg(note));
    }
    report(errors, QStringLiteral("%1 broken links, %2 unchecked records and %3 bad images in "
                                  "%4 records of %5 stations")
                       .arg(result.brokenLinks)
                       .arg(result.unknownKeys)
                       .arg(result.badImages)
                       .arg(result.records)
                       .arg(result.stations));
    return kBroken;
}

} // namespace RecordCommands
