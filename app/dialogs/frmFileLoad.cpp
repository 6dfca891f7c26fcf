#include "frmFileLoad.h"

// Ours
#include "DialogWindow.h"
#include "HandlerGuard.h"
#include "ListChain.h"
#include "MessageBox.h"
#include "ProgramFolder.h"
#include "ui_frmFileLoad.h"

struct frmFileLoad::Window {
    DialogWindow dialog{nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                     Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint};
    Ui::frmFileLoad ui;
};

frmFileLoad::frmFileLoad() : storedPattern_(QStringLiteral("*.*")) {}

frmFileLoad::~frmFileLoad() = default;

void frmFileLoad::setStrPattern(const QString& pattern) {
    storedPattern_ = pattern;
    loaded().ui.filFile->setPattern(pattern);
}

QString frmFileLoad::strFilePath() const {
    return storedResult_;
}

void frmFileLoad::showModal() {
    // Only OK of this showing may leave a path behind: the close box runs neither
    // OK nor Cancel, and an earlier answer must not be taken for this one.
    storedResult_.clear();
    loaded().dialog.exec();
    window_.reset();
}

frmFileLoad::Window& frmFileLoad::loaded() {
    if (window_) {
        return *window_;
    }
    window_ = std::make_unique<Window>();
    Ui::frmFileLoad& ui = window_->ui;
    ui.setupUi(&window_->dialog);
    ui.drvFile->setFocus();

    QObject::connect(ui.drvFile, &DriveListBox::changed, &window_->dialog,
                     [this] { HandlerGuard::run([this] { drvFile_Change(); }); });
    QObject::connect(ui.dirFile, &DirListBox::changed, &window_->dialog,
                     [this] { HandlerGuard::run([this] { dirFile_Change(); }); });
    QObject::connect(ui.cmdOK, &QPushButton::clicked, &window_->dialog,
                     [this] { HandlerGuard::run([this] { cmdOK_Click(); }); });
    QObject::connect(ui.cmdCancel, &QPushButton::clicked, &window_->dialog,
                     [this] { HandlerGuard::run([this] { cmdCancel_Click(); }); });

    HandlerGuard::run([this] { Form_Load(); });
    return *window_;
}

void frmFileLoad::Form_Load() {
    Ui::frmFileLoad& ui = window_->ui;
    ui.filFile->setPattern(storedPattern_);
    ui.drvFile->setDrive(ProgramFolder::path());
    ui.dirFile->setPath(ProgramFolder::path());
}

void frmFileLoad::drvFile_Change() {
    ListChain::changeDrive(*window_->ui.drvFile, *window_->ui.dirFile, MessageBox::OkOnly,
                           QString());
}

void frmFileLoad::dirFile_Change() {
    window_->ui.filFile->setPath(window_->ui.dirFile->path());
}

void frmFileLoad::cmdOK_Click() {
    const FileListBox& files = *window_->ui.filFile;
    if (files.listIndex() == -1) {
        MessageBox::show(QStringLiteral("ファイルが選択されていません｡"), MessageBox::Exclamation,
                         QStringLiteral("エラー"));
        return;
    }
    storedResult_ = ListChain::joinFolderAndName(files.path(), files.fileName());
    window_->dialog.accept();
}

void frmFileLoad::cmdCancel_Click() {
    storedResult_.clear();
    window_->dialog.reject();
}
