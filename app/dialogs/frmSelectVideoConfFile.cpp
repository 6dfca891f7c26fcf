#include "frmSelectVideoConfFile.h"

// Qt
#include <QCoreApplication>
#include <QDir>
#include <QScreen>

// Ours
#include "HandlerGuard.h"
#include "ListChain.h"
#include "MessageBox.h"
#include "ProgramFolder.h"
#include "StartFolders.h"
#include "ui_frmSelectVideoConfFile.h"

namespace {

QString errorTitle() {
    return QCoreApplication::translate("frmSelectVideoConfFile", "エラー");
}

} // namespace

QString frmSelectVideoConfFile::defaultFolderOverride_;

QString frmSelectVideoConfFile::defaultFolder() {
    if (!defaultFolderOverride_.isEmpty()) {
        return defaultFolderOverride_;
    }
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\DREMLY_KESH\\Video_IniFiles");
#else
    return QStringLiteral("/opt/DREMLY_KESH/Video_IniFiles");
#endif
}

frmSelectVideoConfFile::DefaultFolderOverride::DefaultFolderOverride(const QString& folder)
    : previous_(defaultFolderOverride_) {
    defaultFolderOverride_ = QDir::toNativeSeparators(folder);
}

frmSelectVideoConfFile::DefaultFolderOverride::~DefaultFolderOverride() {
    defaultFolderOverride_ = previous_;
}

frmSelectVideoConfFile::frmSelectVideoConfFile(QWidget* parent)
    : DialogWindow(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                               Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowCloseButtonHint),
      ui_(std::make_unique<Ui::frmSelectVideoConfFile>()) {
    ui_->setupUi(this);
    setFixedSize(size());
    ui_->drvConfFile->setFocus();

    connect(ui_->drvConfFile, &DriveListBox::changed, this,
            [this] { HandlerGuard::run([this] { drvConfFile_Change(); }); });
    connect(ui_->dirConfFile, &DirListBox::changed, this,
            [this] { HandlerGuard::run([this] { dirConfFile_Change(); }); });
    connect(ui_->chkNotUseCamera, &QCheckBox::toggled, this,
            [this] { HandlerGuard::run([this] { chkNotUseCamera_Click(); }); });
    connect(ui_->cmdOK, &QPushButton::clicked, this,
            [this] { HandlerGuard::run([this] { cmdOK_Click(); }); });

    HandlerGuard::run([this] { Form_Load(); });
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
    const QString folder = defaultFolder();
    // An existing folder lists at least its "." entry, even when it holds no file.
    const QStringList entries =
        QDir(folder + QDir::separator())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Name);
    // Without it the lists stay where they were created: the current drive and folder.
    if (!entries.isEmpty() && !entries.first().isEmpty()) {
        ui_->drvConfFile->setDrive(folder);
        ui_->dirConfFile->setPath(folder);
    } else if (const QString samples = StartFolders::videoFolder(
                   folder, StartFolders::installedDataFolder(ProgramFolder::path()) +
                               QStringLiteral("/video"));
               !samples.isEmpty()) {
        // Installed, the sample configurations are a better start than the current folder.
        ui_->drvConfFile->setDrive(samples);
        ui_->dirConfFile->setPath(samples);
    }
    ui_->filConfFile->setPattern(QStringLiteral("*.ini"));
}

void frmSelectVideoConfFile::drvConfFile_Change() {
    ListChain::changeDrive(*ui_->drvConfFile, *ui_->dirConfFile, MessageBox::Exclamation,
                           errorTitle());
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
            MessageBox::show(QCoreApplication::translate("frmSelectVideoConfFile",
                                                         "ビデオ設定ファイルが選択されていません"),
                             MessageBox::Exclamation, errorTitle());
            return;
        }
        strVideoConfFilePath =
            ListChain::joinFolderAndName(ui_->filConfFile->path(), ui_->filConfFile->fileName());
    }
    accept();
}
