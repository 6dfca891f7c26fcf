#pragma once

// Qt
#include <QString>

class DirListBox;
class DriveListBox;
class MessageBox;

// What the three file dialogs share about their chained drive, folder and file lists.
namespace ListChain {

// Moves the folder list to the root of the drive list's drive. When that fails, shows
// the error's number and description and sets the drive back to the folder list's
// drive, whose change notification then moves the folder list to that drive's root.
void changeDrive(MessageBox& messages, DriveListBox& drive, DirListBox& folder, int messageStyle,
                 const QString& messageTitle);

// `folder` and `name` joined by exactly one separator; a root keeps its own.
QString joinFolderAndName(const QString& folder, const QString& name);

} // namespace ListChain
