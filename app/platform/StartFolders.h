#pragma once

// Qt
#include <QString>

// Where the file dialogs start. Installed, the program's folder cannot be written and holds no
// samples; from a build folder everything stays as it was.
namespace StartFolders {

// The program's folder when it can be written. Otherwise the user's picture folder for Gavrel
// (`picturesFolder` + "/Gavrel"): made on first use and given the images of
// `sampleImagesFolder` then; when it cannot be made, the program's folder after all.
QString imageFolder(const QString& programFolder, bool programFolderWritable,
                    const QString& picturesFolder, const QString& sampleImagesFolder);

// The default folder when it exists, else the installed samples when they exist, else empty
// (the chooser stays where its lists start).
QString videoFolder(const QString& defaultFolder, const QString& sampleVideoFolder);

// The installed data folder as seen from the program's folder.
QString installedDataFolder(const QString& programFolder);

// imageFolder() for a program started from `programFolder`, for this user.
QString imageFolderFor(const QString& programFolder);

} // namespace StartFolders
