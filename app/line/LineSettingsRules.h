#pragma once

// Qt
#include <QString>

// The rules every line setting must keep, wherever it is typed (the station's configuration
// file, the window's dialog). Each returns what is wrong, or an empty text; the texts are
// those of the link's log and do not name the setting, so that each caller names it its way.
namespace LineSettingsRules {

// The station name goes into topics: no spaces or MQTT wildcards.
QString stationNameError(const QString& name);

// mqtt://host[:port] or mqtts://host[:port]; mqtts needs the broker's certificate authority.
QString brokerUrlError(const QString& url);
QString brokerTlsError(const QString& url, const QString& caFile);

// A topic prefix is published under: no wildcards.
QString topicPrefixError(const QString& prefix);
// The prefix as published: ends with '/'; empty stays empty (the station's default then).
QString normalizedTopicPrefix(const QString& prefix);
// The prefix used when none is given.
QString defaultTopicPrefix(const QString& station);

// An allow-list entry: a numeric IPv4 or IPv6 address, as the server sees its clients.
QString allowedClientError(const QString& address);

// A file or folder that must exist and be readable.
QString readablePathError(const QString& path, bool folder);

} // namespace LineSettingsRules
