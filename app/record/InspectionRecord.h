#pragma once

// Standard library
#include <optional>

// Qt
#include <QByteArray>
#include <QDateTime>
#include <QMetaType>
#include <QString>

// One settled judgement: what was looked at, what was measured and what was decided.
struct InspectionRecord {
    // Unique across every station and run, so that a replayed spool writes a record once.
    QString uuid;
    QDateTime measuredAt; // UTC
    int utcOffsetSeconds = 0;
    QString station;
    QString operatorName;
    QString source; // the camera's configuration file or the image file
    std::optional<qint64> frame;
    QString imageSha256;
    QString imageFile; // within the image archive; empty when the image is not kept
    double cx = 0;
    double cy = 0;
    double r = 0;
    qint64 pixelCount = 0;
    double mean = 0;
    double stddev = 0;
    double min = 0;
    double max = 0;
    double standard = 0;
    double tolerance = 0;
    QString verdict; // "OK" or "NG"
    qint64 elapsedUs = 0;

    // The product set-up the judgement was made under ("" without a recipe), and the part it
    // belongs to: every circle of one inspected image shares `inspectionUuid`, carries its own
    // name and the part's verdict ("OK" only when every circle of the part is OK).
    QString recipe;
    QString inspectionUuid;
    QString circleName;
    QString partVerdict;

    // Set when the record is written: the chain link to the station's record before it.
    // `recordSha256` is a plain SHA-256 in chain form 1 (records written before the seal) and
    // an HMAC-SHA256 under the station key named by `chainKey` in form 2.
    QString previousSha256;
    QString recordSha256;
    int chainForm = 0;
    QString chainKey;
    qint64 id = 0;

    // The judged 512 x 480 pixels, carried to the writer and never stored in the database.
    QByteArray pixels;
    int imageWidth = 0;
    int imageHeight = 0;
};

Q_DECLARE_METATYPE(InspectionRecord)
