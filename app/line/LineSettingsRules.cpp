#include "LineSettingsRules.h"

// System
#include <arpa/inet.h>

// Qt
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace LineSettingsRules {

QString stationNameError(const QString& name) {
    if (name.isEmpty()) {
        return QStringLiteral("missing");
    }
    if (name.contains(QRegularExpression(QStringLiteral("[/#+\\s]")))) {
        return QStringLiteral("must not hold spaces, '/', '#' or '+'");
    }
    return {};
}

QString brokerUrlError(const QString& url) {
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme();
    if (!parsed.isValid() || parsed.host().isEmpty() ||
        (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts"))) {
        return QStringLiteral("broker URL %1: expected mqtt://host:port or mqtts://host:port")
            .arg(url);
    }
    return {};
}

QString brokerTlsError(const QString& url, const QString& caFile) {
    if (QUrl(url).scheme() == QLatin1String("mqtts") && caFile.isEmpty()) {
        return QStringLiteral("broker URL %1 uses TLS but no CA file is given").arg(url);
    }
    return {};
}

QString topicPrefixError(const QString& prefix) {
    if (prefix.contains(QLatin1Char('#')) || prefix.contains(QLatin1Char('+'))) {
        return QStringLiteral("topic prefix %1 must not hold '#' or '+'").arg(prefix);
    }
    return {};
}

QString normalizedTopicPrefix(const QString& prefix) {
    if (!prefix.isEmpty() && !prefix.endsWith(QLatin1Char('/'))) {
        return prefix + QLatin1Char('/');
    }
    return prefix;
}

QString defaultTopicPrefix(const QString& station) {
    return QStringLiteral("gavrel/%1/").arg(station);
}

QString allowedClientError(const QString& address) {
    const QByteArray text = address.toLatin1();
    unsigned char binary[sizeof(in6_addr)];
    if (address.isEmpty() || inet_pton(AF_INET, text.constData(), binary) != 1) {
        if (address.isEmpty() || inet_pton(AF_INET6, text.constData(), binary) != 1) {
            return QStringLiteral("\"%1\" is not an IP address").arg(address);
        }
    }
    return {};
}

QString readablePathError(const QString& path, bool folder) {
    const QFileInfo info(path);
    if (!info.exists() || (folder ? !info.isDir() : !info.isFile()) || !info.isReadable()) {
        return QStringLiteral("%1 \"%2\" cannot be read")
            .arg(folder ? QStringLiteral("folder") : QStringLiteral("file"), path);
    }
    return {};
}

} // namespace LineSettingsRules
