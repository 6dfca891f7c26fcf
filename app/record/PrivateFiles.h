#pragma once

// Qt
#include <QByteArray>
#include <QString>

// Files and folders that hold a factory's records: created readable by their owner alone
// (0600, folders 0700), written whole and flushed to the disk before anyone is told.
namespace PrivateFiles {

// The text of the last system error, as in "No space left on device".
QString systemError(int error);

// Creates the folder and any missing parents as 0700; existing folders keep their mode.
bool makeFolder(const QString& path, QString* error);

// Flushes a folder's entries (a new or renamed file in it) to the disk.
bool syncFolder(const QString& path, QString* error);

// Writes `data` to a new file beside `path`, flushes it and renames it over `path`, so that
// `path` is either what it was or the whole of `data`. The file is created 0600. Without
// `flush`, a power cut may leave the older file (but never a part of either).
bool writeWhole(const QString& path, const QByteArray& data, QString* error, bool flush = true);

} // namespace PrivateFiles
