#pragma once

// Qt
#include <QString>

// The folder the program was started from: the dialogs open there and the program
// looks there first for its measurement library.
namespace ProgramFolder {

QString path(); // native separators, no trailing separator

} // namespace ProgramFolder
