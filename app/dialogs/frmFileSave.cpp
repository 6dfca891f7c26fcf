#include "frmFileSave.h"

// Qt
#include <QCoreApplication>

// Ours
#include "DialogWindow.h"
#include "ErrorTitle.h"
#include "HandlerGuard.h"
#include "ListChain.h"
#include "MessageBox.h"
#include "ui_frmFileSave.h"

void frmFileSave::setStrDefaultExtension(const QString& extension) {
    storedDefaultExtension_ = extension;
}

ImageFileDialog::SharedWidgets frmFileSave::setUpForm(DialogWindow& dialog) {
    Ui::frmFileSave ui;
    ui.setupUi(&dialog);
    ui.cmdCancel->setFocus();
    txtFilename_ = ui.txtFilename;
    QObject::connect(ui.filFile, &FileListBox::fileClicked, &dialog, [this] {
        HandlerGuard::run(*services().messages, [this] { filFile_Click(); });
    });
    return {ui.drvFile, ui.dirFile, ui.filFile, ui.cmdOK, ui.cmdCancel};
}

void frmFileSave::filFile_Click() {
    const FileListBox& files = *widgets().filFile;
    // A new folder clears the selection; that is no click on a file.
    if (files.listIndex() != -1) {
        txtFilename_->setText(files.fileName());
    }
}

void frmFileSave::cmdOK_Click() {
    const QString name = txtFilename_->text();
    if (name.isEmpty()) {
        services().messages->show(
            QCoreApplication::translate("frmFileSave", "ファイル名を入力してください"),
            MessageBox::Exclamation, ErrorTitle::text());
        return;
    }
    QString path = ListChain::joinFolderAndName(widgets().dirFile->path(), name);
    if (!path.contains(QLatin1Char('.'))) {
        path += QLatin1Char('.') + storedDefaultExtension_;
    }
    confirm(path);
}
