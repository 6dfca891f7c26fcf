#pragma once

// Qt
#include <QSqlDatabase>
#include <QString>

// Ours
#include "RecordFilter.h"

class QIODevice;

// Filtered records as CSV for spreadsheet programs: UTF-8 led by a byte-order mark so that
// Japanese text reads right, RFC 4180 quoting, CRLF line ends, oldest first.
namespace CsvExport {

// One field, quoted when it holds a comma, a quote or a line break.
QString field(const QString& text);
// One text field: as field(), and led by an apostrophe when a spreadsheet would take it for
// a formula (it starts with =, +, -, @, a tab or a carriage return). Numbers are not text
// fields and stay numbers.
QString textField(const QString& text);

// Writes the header and the rows; returns the number of rows, or -1 with `error` set.
qint64 write(QSqlDatabase& database, const RecordFilter& filter, QIODevice& out, QString* error);

} // namespace CsvExport
