#pragma once

// Qt
#include <QString>

// How the desktop knows the running program: its desktop entry (gavrel.desktop), so that a
// dock groups the window under Gavrel's launcher, and its icon.
namespace DesktopIdentity {

// The icon beside the program (<folder>/../share/icons/...), whether installed or built.
QString iconBeside(const QString& programFolder);

// Call once the QGuiApplication exists.
void apply(const QString& programFolder);

} // namespace DesktopIdentity
