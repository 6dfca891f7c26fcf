#include "AboutGavrel.h"

// Qt
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QUrl>

// Ours
#include "GavrelVersion.h"
#include "MessageBox.h"

namespace AboutGavrel {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("AboutGavrel", text);
}

} // namespace

QStringList manualCandidates(const QString& programFolder) {
    const QString relative = QStringLiteral("share/doc/gavrel/README.md");
    return {QDir::cleanPath(programFolder + QStringLiteral("/../") + relative),
            QStringLiteral("/usr/") + relative};
}

QString manualPath(const QString& programFolder) {
    for (const QString& candidate : manualCandidates(programFolder)) {
        if (QFileInfo(candidate).isFile()) {
            return candidate;
        }
    }
    return {};
}

QString text(int pelmintVersion, const QString& manual) {
    const QString pelmint = pelmintVersion > 0 ? QStringLiteral("%1.%2.%3")
                                                     .arg(pelmintVersion / 10000)
                                                     .arg(pelmintVersion / 100 % 100)
                                                     .arg(pelmintVersion % 100)
                                               : tr("（読み込めません）");
    return QStringLiteral("Gavrel %1\r\nPelmint %2\r\n\r\n")
               .arg(QString::fromLatin1(gavrel::kVersion), pelmint) +
           tr("ライセンス: MIT (Expat)") + QStringLiteral("\r\n") +
           (manual.isEmpty() ? tr("マニュアル: インストールされていません")
                             : tr("マニュアル: %1").arg(manual)) +
           QStringLiteral("\r\n") + tr("端末では man Gavrel、man gavrel-measure");
}

void addManualEntry(QMenu& help, MessageBox& messages, const QString& programFolder) {
    auto* entry = new QAction(tr("マニュアル(&M)…"), &help);
    help.insertAction(help.actions().value(0), entry);
    QObject::connect(entry, &QAction::triggered, &help, [&messages, programFolder] {
        const QString manual = manualPath(programFolder);
        if (manual.isEmpty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(manual))) {
            messages.show(tr("マニュアルを開けませんでした。探した場所:") + QStringLiteral("\r\n") +
                              manualCandidates(programFolder).join(QStringLiteral("\r\n")) +
                              QStringLiteral("\r\n") + tr("端末では man Gavrel"),
                          MessageBox::Exclamation, tr("マニュアル"));
        }
    });
}

} // namespace AboutGavrel
