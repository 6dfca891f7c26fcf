#pragma once

// Standard library
#include <optional>
#include <vector>

// Qt
#include <QString>

// The mounted volumes that stand for drives. The program lists the system's (a service);
// tests give their own (for instance to offer a volume that is not ready).
class VolumeList {
public:
    struct Volume {
        QString rootPath;    // native separators; "/" for the root volume
        QString displayName; // what the drive list shows
        bool ready = true;   // false: mounted but unreadable (the drive is "not ready")
    };

    virtual ~VolumeList() = default;
    virtual std::vector<Volume> volumes() const = 0;

    // The volume whose root is the longest one holding `path` (absolute, either
    // separator); none when no volume holds it.
    std::optional<Volume> volumeHolding(const QString& path) const;
    // Whether `path` is `rootPath` itself or lies below it (whole components only).
    static bool holds(const QString& rootPath, const QString& path);
    // How the platform compares file and folder names.
    static Qt::CaseSensitivity fileNameCase();
};
