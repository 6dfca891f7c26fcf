#pragma once

// Qt
#include <QMetaType>
#include <QString>

// What the status indicator shows: all written, records waiting in the spool, or a fault
// that keeps records from even the spool.
struct RecordState {
    enum class Kind { Ok, Spooling, Error };
    Kind kind = Kind::Ok;
    int spooled = 0;
    QString text;

    friend bool operator==(const RecordState&, const RecordState&) = default;
};

Q_DECLARE_METATYPE(RecordState)
