#pragma once

// Standard library
#include <optional>

// Qt
#include <QString>

// Ours
#include "LineLink.h"

// The station's configuration file (INI), read and checked key by key.
struct StationConfig {
    static constexpr const char* kDefaultPath = "/etc/gavrel/station.conf";

    QString recipe;       // one recipe file, or
    QString recipeFolder; // a folder of recipes chosen by slot
    int slot = 0;         // the recipe to start with in the folder
    QString camera;       // the camera's .ini; empty: the recipe's camera
    QString recordUrl;    // empty: no record
    QString stateFolder;  // spool and image archive
    LineSettings line;

    struct ReadResult;
    static ReadResult read(const QString& path);
};

struct StationConfig::ReadResult {
    std::optional<StationConfig> config;
    QString error; // names the key at fault
};
