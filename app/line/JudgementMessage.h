#pragma once

// Qt
#include <QByteArray>
#include <QString>

// Ours
#include "Judgement.h"

// The JSON message the plant receives for one judgement, written from the judgement itself.
namespace JudgementMessage {

// `utcOffsetSeconds`: the station's offset from UTC at the judgement's time.
QByteArray encode(const Judgement& judgement, const QString& station, int utcOffsetSeconds);

} // namespace JudgementMessage
