#include "VideoConfigFile.h"

// Qt
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

// Safe inside a double-quoted gst-launch value: the parser unescapes backslashes.
QString quotedPath(const QString& folder) {
    QString path = QDir::fromNativeSeparators(folder);
    path.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    path.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return path;
}

} // namespace

VideoConfigFile VideoConfigFile::read(const QString& path, const QString& programFolder) {
    VideoConfigFile config;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile() || info.size() > kMaxFileSize) {
        return config;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return config;
    }
    const QByteArray bytes = file.read(kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > kMaxFileSize) {
        return config;
    }
    return parse(QString::fromUtf8(bytes), info.absolutePath(), programFolder);
}

VideoConfigFile VideoConfigFile::parse(const QString& text, const QString& iniFolder,
                                       const QString& programFolder) {
    VideoConfigFile config;
    config.result_ = Result::NoPipeline;
    bool inVideoGroup = false;
    QString rawPipeline;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.trimmed();
        if (line.startsWith(QChar(0xFEFF))) {
            line = line.mid(1).trimmed();
        }
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const QString group = line.mid(1, line.size() - 2).trimmed();
            inVideoGroup = group.compare(QLatin1String("Video"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inVideoGroup || equals <= 0) {
            continue;
        }
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key.compare(QLatin1String("Pipeline"), Qt::CaseInsensitive) == 0) {
            rawPipeline = value;
        } else if (key.compare(QLatin1String("Fit"), Qt::CaseInsensitive) == 0) {
            config.fit_ = value.compare(QLatin1String("stretch"), Qt::CaseInsensitive) == 0
                              ? Fit::Stretch
                              : Fit::Crop;
        } else if (key.compare(QLatin1String("OpenTimeoutMs"), Qt::CaseInsensitive) == 0) {
            config.openTimeoutMs_ = parseTimeout(value);
        } else if (key.compare(QLatin1String("CaptureTimeoutMs"), Qt::CaseInsensitive) == 0) {
            config.captureTimeoutMs_ = parseTimeout(value);
        } else if (key.compare(QLatin1String("CloseTimeoutMs"), Qt::CaseInsensitive) == 0) {
            config.closeTimeoutMs_ = parseTimeout(value);
        }
    }
    if (!rawPipeline.isEmpty()) {
        config.pipeline_ = expandPlaceholders(rawPipeline, iniFolder, programFolder);
        config.result_ = Result::Ok;
    }
    return config;
}

QString VideoConfigFile::expandPlaceholders(QString text, const QString& iniFolder,
                                            const QString& programFolder) {
    text.replace(QLatin1String("$(IniFolder)"), quotedPath(iniFolder), Qt::CaseInsensitive);
    text.replace(QLatin1String("$(ProgramFolder)"), quotedPath(programFolder), Qt::CaseInsensitive);
    return text;
}

// An unusable value falls back to the default rather than refusing the camera.
std::optional<int> VideoConfigFile::parseTimeout(const QString& value) {
    bool ok = false;
    const int ms = value.toInt(&ok);
    if (!ok || ms <= 0 || ms > kMaxTimeoutMs) {
        return std::nullopt;
    }
    return ms;
}
