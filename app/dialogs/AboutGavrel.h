#pragma once

// Qt
#include <QString>
#include <QStringList>

class MessageBox;
class QMenu;

// ヘルプ's texts and its manual entry: the versions, the licence and where the manual is.
namespace AboutGavrel {

// Where the manual (the README) may be, the program's own share folder first, then the system's.
QStringList manualCandidates(const QString& programFolder);
// The first candidate that exists, or empty.
QString manualPath(const QString& programFolder);

// Gavrel's and Pelmint's versions (Pelmint as MAJOR * 10000 + MINOR * 100 + PATCH, 0 when it
// cannot be loaded), the licence, and the manual's place (empty: not installed).
QString text(int pelmintVersion, const QString& manual);

// Adds "マニュアル(&M)…" at the top of the help menu: opens the installed manual with the
// desktop's viewer, or says where it was looked for.
void addManualEntry(QMenu& help, MessageBox& messages, const QString& programFolder);

} // namespace AboutGavrel
