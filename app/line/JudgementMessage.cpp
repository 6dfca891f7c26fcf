#include "JudgementMessage.h"

// Qt
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

// Ours
#include "JudgementRules.h"

namespace JudgementMessage {

namespace {

QJsonValue textOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QJsonObject circleObject(const CircleJudgement& circle) {
    QJsonObject object;
    object[QStringLiteral("circle")] = circle.name;
    object[QStringLiteral("x")] = circle.circle.centreX;
    object[QStringLiteral("y")] = circle.circle.centreY;
    object[QStringLiteral("r")] = circle.circle.radius;
    const bool measured = circle.verdict != Verdict::Rejected;
    if (measured && circle.statistics) {
        const PixelStatistics& s = *circle.statistics;
        object[QStringLiteral("count")] = static_cast<qint64>(s.count);
        object[QStringLiteral("stddev")] = s.stddev;
        object[QStringLiteral("min")] = s.min;
        object[QStringLiteral("max")] = s.max;
    } else {
        for (const char* key : {"count", "stddev", "min", "max"}) {
            object[QLatin1String(key)] = QJsonValue();
        }
    }
    object[QStringLiteral("mean")] = measured ? QJsonValue(circle.mean) : QJsonValue();
    object[QStringLiteral("standard")] = circle.standard;
    object[QStringLiteral("tolerance")] = circle.tolerance;
    object[QStringLiteral("verdict")] = JudgementRules::verdictText(circle.verdict);
    object[QStringLiteral("record_uuid")] = textOrNull(circle.recordUuid);
    object[QStringLiteral("measurement_us")] = qRound64(circle.elapsedMs * 1000.0);
    if (!measured) {
        object[QStringLiteral("rejection")] = circle.rejection;
    }
    return object;
}

} // namespace

QByteArray encode(const Judgement& judgement, const QString& station, int utcOffsetSeconds,
                  const std::vector<CircleAlarm>& alarms) {
    QJsonObject object;
    object[QStringLiteral("station")] = station;
    object[QStringLiteral("time")] =
        judgement.judgedAt.toOffsetFromUtc(utcOffsetSeconds).toString(Qt::ISODateWithMs);
    object[QStringLiteral("sequence")] = static_cast<qint64>(judgement.sequence);
    object[QStringLiteral("recipe")] = judgement.recipe;
    object[QStringLiteral("source")] = judgement.origin.source;
    object[QStringLiteral("frame")] =
        judgement.origin.frame ? QJsonValue(*judgement.origin.frame) : QJsonValue();
    object[QStringLiteral("verdict")] = JudgementRules::verdictText(judgement.partVerdict());
    object[QStringLiteral("inspection_uuid")] = textOrNull(judgement.inspectionUuid);
    double elapsedMs = 0.0;
    QJsonArray circles;
    for (const CircleJudgement& circle : judgement.circles) {
        elapsedMs += circle.elapsedMs;
        circles.append(circleObject(circle));
    }
    object[QStringLiteral("measurement_us")] = qRound64(elapsedMs * 1000.0);
    object[QStringLiteral("circles")] = circles;
    if (!alarms.empty()) {
        QJsonArray list;
        for (const CircleAlarm& alarm : alarms) {
            QJsonArray rules;
            for (const int rule : alarm.rules) {
                rules.append(rule);
            }
            list.append(QJsonObject{{QStringLiteral("circle"), alarm.circle},
                                    {QStringLiteral("rules"), rules}});
        }
        object[QStringLiteral("alarms")] = list;
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace JudgementMessage
