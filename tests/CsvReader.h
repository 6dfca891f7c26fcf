#pragma once

// Standard library
#include <utility>
#include <vector>

// Qt
#include <QString>
#include <QStringList>

namespace testutils {

// A plain RFC 4180 reader, written from the rules rather than from any writer of ours.
// Rows end in CR LF; a last row without one is not returned.
inline std::vector<QStringList> readCsv(const QString& text) {
    std::vector<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted && c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
            cell += c;
            ++i;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (!quoted && c == u',') {
            row << std::exchange(cell, {});
        } else if (!quoted && c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << std::exchange(cell, {});
            rows.push_back(std::exchange(row, {}));
            ++i;
        } else {
            cell += c;
        }
    }
    return rows;
}

} // namespace testutils
