#include "frmFileLoad.h"

// Qt
#include <QCoreApplication>

// Ours
#include "DialogWindow.h"
#include "ErrorTitle.h"
#include "ListChain.h"
#include "MessageBox.h"
#include "ui_frmFileLoad.h"

ImageFileDialog::SharedWidgets frmFileLoad::setUpForm(DialogWindow& dialog) {
    Ui::frmFileLoad ui;
    ui.setupUi(&dialog);
    ui.drvFile->setFocus();
    return {ui.drvFile, ui.dirFile, ui.filFile, ui.cmdOK, ui.cmdCancel};
}

void frmFileLoad::cmdOK_Click() {
    const FileListBox& files = *widgets().filFile;
    if (files.listIndex() == -1) {
        services().messages->show(
            QCoreApplication::translate("frmFileLoad", "ファイルが選択されていません｡"),
            MessageBox::Exclamation, ErrorTitle::text());
        return;
    }
    confirm(ListChain::joinFolderAndName(files.path(), files.fileName()));
}
