#pragma once

// Standard library
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Qt
#include <QByteArray>
#include <QStringList>

// Ours
#include "InputSource.h"

// The files named on the command line, folders opened in place: their image files in
// byte order of their names, subfolders too when recursive. Only the listings of the folders
// being walked are held, never the list of all files.
class InputWalker : public InputSource {
public:
    InputWalker(QStringList paths, bool recursive);
    std::optional<MeasureInput> next() override;

    // How many inputs a walk of the same paths yields; gives up (returning nothing) when
    // `stop` becomes true.
    static std::optional<std::int64_t> count(const QStringList& paths, bool recursive,
                                             const std::atomic<bool>& stop);

private:
    // One folder's entries, sorted. Each entry is its kind (one byte) and its name ending in
    // a zero byte, all in one block of text: about 25 bytes a file for typical names.
    struct Folder {
        QByteArray path; // as given, in the file system's encoding
        QString shownPath;
        std::string entries;
        std::vector<std::uint32_t> starts; // of the names; the kind is the byte before
        std::size_t position = 0;
    };

    std::optional<MeasureInput> enter(const QString& path);
    std::optional<MeasureInput> openFolder(const QString& shownPath, const QByteArray& path);

    QStringList paths_;
    qsizetype nextPath_ = 0;
    bool recursive_;
    std::vector<Folder> folders_; // the folder being walked and the ones above it
};
