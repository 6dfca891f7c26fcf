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

// An existing database, opened; nothing (with the reason on `errors`) otherwise. Reading never
// creates an SQLite file where there was none.
std::unique_ptr<RecordDatabase> openExisting(const QString& urlText, std::FILE* errors) {
    QString error;
    const std::optional<DatabaseUrl> url = DatabaseUrl::parse(urlText, &error);
    if (!url) {
        report(errors, QStringLiteral("%1: %2").arg(urlText, error));
        return nullptr;
    }
    if (url->kind() == DatabaseUrl::Kind::Sqlite && !QFileInfo(url->path()).isFile()) {
        report(errors, QStringLiteral("%1: no such database file").arg(url->toDisplayString()));
        return nullptr;
    }
    auto database = std::make_unique<RecordDatabase>(*url, QStringLiteral("command"));
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
            CsvExport::write(database->connection(), filter, out, &error) < 0) {
            report(errors,
                   error.isEmpty() ? QStringLiteral("the output could not be written") : error);
            return kFailed;
        }
        out.flush();
        return kIntact;
    }
    // Written whole or not at all: an earlier file of that name stays until the new one is done.
    QSaveFile out(options.outputFile);
    if (!out.open(QIODevice::WriteOnly)) {
        report(errors, QStringLiteral("%1: %2").arg(options.outputFile, out.errorString()));
        return kFailed;
    }
    if (CsvExport::write(database->connection(), filter, out, &error) < 0) {
        out.cancelWriting();
        report(errors, error);
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
    const ChainVerifier::Report result = ChainVerifier::verifyAll(database->connection());
    if (!result.readable) {
        report(errors, result.error);
        return kFailed;
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
    report(errors, QStringLiteral("%1 broken links in %2 records of %3 stations")
                       .arg(result.brokenLinks)
                       .arg(result.records)
                       .arg(result.stations));
    return kBroken;
}

} // namespace RecordCommands
