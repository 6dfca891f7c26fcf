#pragma once

// Standard library
#include <chrono>

// Qt
#include <QString>

// Ours
#include "DatabaseUrl.h"

// Trying a record database before it is taken, and saying what went wrong in the user's
// language with what to do about it.
namespace DatabaseProbe {

struct Result {
    bool reachable = false;
    QString message; // what was found, in the window's language
};

// Connects (PostgreSQL) or looks at the file and its folder (SQLite) without creating or
// changing anything.
Result tryUrl(const DatabaseUrl& url, std::chrono::seconds timeout = std::chrono::seconds(5));

// A driver's error as the user should read it: the missing driver's package, a refused
// password, an unreachable server; other errors as they came.
QString explain(const DatabaseUrl& url, const QString& driverError);

} // namespace DatabaseProbe
