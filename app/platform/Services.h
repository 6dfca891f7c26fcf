#pragma once

// Standard library
#include <functional>
#include <memory>

// Qt
#include <QString>

// Ours
#include "DesktopMessageBox.h"
#include "PelmintBinding.h"
#include "ProgramFolder.h"
#include "SystemVolumeList.h"

class QWidget;

// The replaceable parts of the program, given to the windows by whoever opens them. A
// default-constructed Services holds the real ones; tests replace the parts they fake.
// A new service is one more member here with its real part as the default.
struct Services {
    std::shared_ptr<MessageBox> messages = std::make_shared<DesktopMessageBox>();
    std::shared_ptr<const VolumeList> volumes = std::make_shared<SystemVolumeList>();
    // Where Pelmint is looked for first, and where the image dialogs open (unless it cannot
    // be written: then in the user's picture folder, see StartFolders).
    QString programFolder = ProgramFolder::path();
    std::shared_ptr<PelmintBinding> pelmint = std::make_shared<PelmintBinding>(programFolder);
    // Where the start-up chooser offers video configuration files first (when it is missing,
    // the installed samples).
    QString videoConfFolder = defaultVideoConfFolder();
    // Asks for the video configuration file at start-up (empty: no camera); when not set,
    // the main window shows the real chooser.
    std::function<QString(QWidget* parent)> chooseVideoConfFile;

    static QString defaultVideoConfFolder() {
#ifdef Q_OS_WIN
        return QStringLiteral("c:\\DREMLY_KESH\\Video_IniFiles");
#else
        return QStringLiteral("/opt/DREMLY_KESH/Video_IniFiles");
#endif
    }
};
