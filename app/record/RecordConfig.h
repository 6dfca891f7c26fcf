#pragma once

// Qt
#include <QString>

// Ours
#include "DatabaseUrl.h"

// Everything a record writer needs to know, resolved from the settings and the defaults.
struct RecordConfig {
    DatabaseUrl url;
    QString spoolFolder;
    QString archiveFolder;
    // The station key and chain heads; empty for the user's own (RecordLocations::keyFolder).
    QString keyFolder;
    QString station;
    QString operatorName;
    bool keepOkImages = false;
};
