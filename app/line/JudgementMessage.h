#pragma once

// Standard library
#include <vector>

// Qt
#include <QByteArray>
#include <QList>
#include <QString>

// Ours
#include "Judgement.h"

// The JSON message the plant receives for one judgement, written from the judgement itself.
namespace JudgementMessage {

// A circle whose results break control-chart rules (numbers 1 to 4) against the live run's
// baseline: the early alarm, before its parts are NG.
struct CircleAlarm {
    QString circle;
    QList<int> rules;
};

// `utcOffsetSeconds`: the station's offset from UTC at the judgement's time. `alarms` become
// the message's "alarms", left out when there are none.
QByteArray encode(const Judgement& judgement, const QString& station, int utcOffsetSeconds,
                  const std::vector<CircleAlarm>& alarms = {});

} // namespace JudgementMessage
