#include "frmFileSave.h"

// Ours
#include "DialogWindow.h"
#include "HandlerGuard.h"
#include "ListChain.h"
#include "MessageBox.h"
#include "ProgramFolder.h"
#include "ui_frmFileSave.h"

struct frmFileSave::Window {
    DialogWindow dialog{nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                     Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint};
    Ui::frmFileSave ui;
};

frmFileSave::frmFileSave() : storedPattern_(QStringLiteral("*.*")) {}

frmFileSave::~frmFileSave() = default;

void frmFileSave::setStrDefaultExtension(const QString& extension) {
    storedDefaultExtension_ = extension;
}

void frmFileSave::setStrPattern(const QString& pattern) {
    storedPattern_ = pattern;
    loaded().ui.filFile->setPattern(pattern);
}

QString frmFileSave::strFilePath() const {
    return storedResult_;
}

void frmFileSave::showModal() {
    // Only OK of this showing may leave a path behind, so that the save command never
    // writes to a file confirmed in an earlier showing.
    storedResult_.clear();
    loaded().dialog.exec();
    window_.reset();
}

frmFileSave::Window& frmFileSave::loaded() {
    if (window_) {
        return *window_;
    }
    window_ = std::make_unique<Window>();
    Ui::frmFileSave& ui = window_->ui;
    ui.setupUi(&window_->dialog);
    ui.cmdCancel->setFocus();

    QObject::connect(ui.drvFile, &DriveListBox::changed, &window_->dialog,
                     [this] { HandlerGuard::run([this] { drvFile_Change(); }); });
    QObject::connect(ui.dirFile, &DirListBox::changed, &window_->dialog,
                     [this] { HandlerGuard::run([this] { dirFile_Change(); }); });
    QObject::connect(ui.filFile, &FileListBox::fileClicked, &window_->dialog,
                     [this] { HandlerGuard::run([this] { filFile_Click(); }); });
    QObject::connect(ui.cmdOK, &QPushButton::clicked, &window_->dialog,
                     [this] { HandlerGuard::run([this] { cmdOK_Click(); }); });
    QObject::connect(ui.cmdCancel, &QPushButton::clicked, &window_->dialog,
                     [this] { HandlerGuard::run([this] { cmdCancel_Click(); }); });

    HandlerGuard::run([this] { Form_Load(); });
    return *window_;
}

void frmFileSave::Form_Load() {
    Ui::frmFileSave& ui = window_->ui;
    ui.filFile->setPattern(storedPattern_);
    ui.drvFile->setDrive(ProgramFolder::path());
    ui.dirFile->setPath(ProgramFolder::path());
}

void frmFileSave::drvFile_Change() {
    ListChain::changeDrive(*window_->ui.drvFile, *window_->ui.dirFile, MessageBox::OkOnly,
                           QString());
}

void frmFileSave::dirFile_Change() {
    window_->ui.filFile->setPath(window_->ui.dirFile->path());
}

void frmFileSave::filFile_Click() {
    const FileListBox& files = *window_->ui.filFile;
    // A new folder clears the selection; that is no click on a file.
    if (files.listIndex() != -1) {
        window_->ui.txtFilename->setText(files.fileName());
    }
}

void frmFileSave::cmdOK_Click() {
    const QString name = window_->ui.txtFilename->text();
    if (name.isEmpty()) {
        MessageBox::show(QStringLiteral("ファイル名を入力してください"), MessageBox::Exclamation,
                         QStringLiteral("エラー"));
        return;
    }
    QString path = ListChain::joinFolderAndName(window_->ui.dirFile->path(), name);
    if (!path.contains(QLatin1Char('.'))) {
        path += QLatin1Char('.') + storedDefaultExtension_;
    }
    storedResult_ = path;
    window_->dialog.accept();
}

void frmFileSave::cmdCancel_Click() {
    storedResult_.clear();
    window_->dialog.reject();
}
