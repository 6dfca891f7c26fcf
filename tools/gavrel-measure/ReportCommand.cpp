#include "ReportCommand.h"

// Standard library
#include <cstring>
#include <optional>

// Qt
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QTranslator>

// Ours
#include "CapabilityReport.h"
#include "CapabilityText.h"
#include "DatabaseUrl.h"
#include "MeasureOptions.h"
#include "RecordDatabase.h"
#include "RecordLocations.h"

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 2;

void print(std::FILE* stream, const QString& message) {
    const QByteArray text = (message + QLatin1Char('\n')).toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stream);
}

void report(std::FILE* stream, const QString& message) {
    print(stream, QCoreApplication::applicationName() + QStringLiteral(": ") + message);
}

} // namespace

namespace ReportCommand {

bool wanted(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--report") == 0 || std::strncmp(argv[i], "--report=", 9) == 0) {
            return true;
        }
    }
    return false;
}

std::unique_ptr<QCoreApplication> application(int& argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    // The report speaks the window's language: English under an English locale.
    if (QLocale().language() == QLocale::English) {
        auto* english = new QTranslator(app.get());
        if (english->load(QStringLiteral("gavrel_en"),
                          QDir(QCoreApplication::applicationDirPath())
                              .filePath(QStringLiteral(GAVREL_TRANSLATIONS_FROM_PROGRAM)))) {
            QCoreApplication::installTranslator(english);
        }
    }
    return app;
}

int run(const MeasureOptions& options, std::FILE* output, std::FILE* errors) {
    QString error;
    const std::optional<DatabaseUrl> url = DatabaseUrl::parse(options.database, &error);
    if (!url) {
        report(errors, QStringLiteral("%1: %2").arg(options.database, error));
        return kFailed;
    }
    // Reading never creates an SQLite file where there was none.
    if (url->kind() == DatabaseUrl::Kind::Sqlite && !QFileInfo(url->path()).isFile()) {
        report(errors, QStringLiteral("%1: no such database file").arg(url->toDisplayString()));
        return kFailed;
    }
    RecordDatabase database(*url, QStringLiteral("report"));
    if (!database.open()) {
        report(errors, QStringLiteral("%1: %2").arg(url->toDisplayString(), database.lastError()));
        return kFailed;
    }
    RecordFilter filter;
    filter.since = options.since;
    filter.until = options.until;
    filter.station = options.station;
    filter.recipe = options.recipe;
    CapabilityReport::Content content = CapabilityReport::gather(
        database.connection(), filter, RecordLocations::archiveFolderFor(*url));
    content.database = url->toDisplayString();
    if (!content.data.readable) {
        report(errors, content.data.error);
        return kFailed;
    }
    if (!CapabilityReport::writeFile(content, options.outputFile, &error)) {
        report(errors, error);
        return kFailed;
    }
    // The same figures as the report and the window, one "name<TAB>value" a line.
    for (const QString& line : content.filterLines) {
        print(output, line);
    }
    print(output, CapabilityText::summaryHeading(static_cast<int>(content.data.groups.size())));
    for (const auto& group : content.data.groups) {
        print(output, QString());
        for (const auto& [name, value] : CapabilityText::rows(ProcessCapability::compute(group))) {
            print(output, name + u'\t' + value);
        }
        const auto limits = CapabilityReport::controlLimits(content, group);
        print(output, QStringLiteral("rules\t") +
                          (limits ? CapabilityText::breaksText(
                                        ControlChartRules::breaks(group.values, *limits))
                                  : QStringLiteral("—")));
    }
    return kDone;
}

} // namespace ReportCommand
