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
    QString station;
    QString operatorName;
    bool keepOkImages = false;
};
