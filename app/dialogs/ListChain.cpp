#include "ListChain.h"

// Qt
#include <QDir>

// Ours
#include "DirListBox.h"
#include "DriveListBox.h"
#include "HandlerGuard.h"
#include "MessageBox.h"
#include "RuntimeError.h"

void ListChain::changeDrive(MessageBox& messages, DriveListBox& drive, DirListBox& folder,
                            int messageStyle, const QString& messageTitle) {
    try {
        folder.setPath(DriveListBox::rootOf(drive.drive()));
    } catch (const RuntimeError& error) {
        messages.show(HandlerGuard::describe(error.number(), error.description()), messageStyle,
                      messageTitle);
        // Re-enters this function through the drive list's notification when the drive
        // actually changes back; an unchanged drive ends the recovery.
        drive.setDrive(folder.path());
    }
}

QString ListChain::joinFolderAndName(const QString& folder, const QString& name) {
    const QChar separator = QDir::separator();
    return folder.endsWith(separator) ? folder + name : folder + separator + name;
}
