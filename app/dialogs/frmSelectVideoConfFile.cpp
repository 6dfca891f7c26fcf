#include "frmSelectVideoConfFile.h"

// Qt
#include <QCoreApplication>
#include <QDir>
#include <QScreen>

// Ours
#include "ErrorTitle.h"
#include "HandlerGuard.h"
#include "ListChain.h"
#include "MessageBox.h"
#include "StartFolders.h"
#include "ui_frmSelectVideoConfFile.h"

frmSelectVideoConfFile::frmSelectVideoConfFile(Services services, QWidget* parent)
    : DialogWindow(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                               Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowCloseButtonHint),
      services_(std::move(services)), ui_(std::make_unique<Ui::frmSelectVideoConfFile>()) {
    ui_->setupUi(this);
    ui_->drvConfFile->setServices(services_);
    ui_->dirConfFile->setServices(services_);
    setFixedSize(size());
    ui_->drvConfFile->setFocus();

    connect(ui_->drvConfFile, &DriveListBox::changed, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { drvConfFile_Change(); }); });
    connect(ui_->dirConfFile, &DirListBox::changed, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { dirConfFile_Change(); }); });
    connect(ui_->chkNotUseCamera, &QCheckBox::toggled, this, [this] {
        HandlerGuard::run(*services_.messages, [this] { chkNotUseCamera_Click(); });
    });
    connect(ui_->cmdOK, &QPushButton::clicked, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { cmdOK_Click(); }); });

    HandlerGuard::run(*services_.messages, [this] { Form_Load(); });
}

frmSelectVideoConfFile::~frmSelectVideoConfFile() = default;

void frmSelectVideoConfFile::showEvent(QShowEvent* event) {
    DialogWindow::showEvent(event);
    if (QScreen* shownOn = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(shownOn->availableGeometry().center());
        move(frame.topLeft());
    }
}

void frmSelectVideoConfFile::Form_Load() {
    const QString folder = QDir::toNativeSeparators(services_.videoConfFolder);
    // An existing folder lists at least its "." entry, even when it holds no file.
    const QStringList entries =
        QDir(folder + QDir::separator())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Name);
    // Without it the lists stay where they were created: the current drive and folder.
    if (!entries.isEmpty() && !entries.first().isEmpty()) {
        ui_->drvConfFile->setDrive(folder);
        ui_->dirConfFile->setPath(folder);
    } else if (const QString samples = StartFolders::videoFolder(
                   folder, StartFolders::installedDataFolder(services_.programFolder) +
                               QStringLiteral("/video"));
               !samples.isEmpty()) {
        // Installed, the sample configurations are a better start than the current folder.
        ui_->drvConfFile->setDrive(samples);
        ui_->dirConfFile->setPath(samples);
    }
    ui_->filConfFile->setPattern(QStringLiteral("*.ini"));
}

void frmSelectVideoConfFile::drvConfFile_Change() {
    ListChain::changeDrive(*services_.messages, *ui_->drvConfFile, *ui_->dirConfFile,
                           MessageBox::Exclamation, ErrorTitle::text());
}

void frmSelectVideoConfFile::dirConfFile_Change() {
    ui_->filConfFile->setPath(ui_->dirConfFile->path());
}

void frmSelectVideoConfFile::chkNotUseCamera_Click() {
    const bool useCamera = !ui_->chkNotUseCamera->isChecked();
    ui_->drvConfFile->setEnabled(useCamera);
    ui_->dirConfFile->setEnabled(useCamera);
    ui_->filConfFile->setEnabled(useCamera);
}

void frmSelectVideoConfFile::cmdOK_Click() {
    if (ui_->chkNotUseCamera->isChecked()) {
        strVideoConfFilePath.clear();
    } else {
        if (ui_->filConfFile->listIndex() == -1) {
            services_.messages->show(
                QCoreApplication::translate("frmSelectVideoConfFile",
                                            "ビデオ設定ファイルが選択されていません"),
                MessageBox::Exclamation, ErrorTitle::text());
            return;
        }
        strVideoConfFilePath =
            ListChain::joinFolderAndName(ui_->filConfFile->path(), ui_->filConfFile->fileName());
    }
    accept();
}
