#include "ImageFileDialog.h"

// Qt
#include <QPushButton>

// Ours
#include "DialogWindow.h"
#include "DirListBox.h"
#include "DriveListBox.h"
#include "FileListBox.h"
#include "HandlerGuard.h"
#include "ListChain.h"
#include "StartFolders.h"

struct ImageFileDialog::Window {
    DialogWindow dialog{nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                     Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint};
    SharedWidgets widgets{};
};

ImageFileDialog::ImageFileDialog(Services services)
    : services_(std::move(services)), storedPattern_(QStringLiteral("*.*")) {}

ImageFileDialog::~ImageFileDialog() = default;

void ImageFileDialog::setStrPattern(const QString& pattern) {
    storedPattern_ = pattern;
    loaded().widgets.filFile->setPattern(pattern);
}

QString ImageFileDialog::strFilePath() const {
    return storedResult_;
}

void ImageFileDialog::showModal() {
    // Only OK of this showing may leave a path behind: the close box runs neither OK nor
    // Cancel, and an earlier answer must not be taken for this one (the save command would
    // write to a file confirmed in an earlier showing).
    storedResult_.clear();
    loaded().dialog.exec();
    window_.reset();
}

const ImageFileDialog::SharedWidgets& ImageFileDialog::widgets() const {
    return window_->widgets;
}

void ImageFileDialog::confirm(const QString& path) {
    storedResult_ = path;
    window_->dialog.accept();
}

ImageFileDialog::Window& ImageFileDialog::loaded() {
    if (window_) {
        return *window_;
    }
    window_ = std::make_unique<Window>();
    const SharedWidgets& widgets = window_->widgets = setUpForm(window_->dialog);
    widgets.drvFile->setServices(services_);
    widgets.dirFile->setServices(services_);

    QObject::connect(widgets.drvFile, &DriveListBox::changed, &window_->dialog, [this] {
        HandlerGuard::run(*services_.messages, [this] { drvFile_Change(); });
    });
    QObject::connect(widgets.dirFile, &DirListBox::changed, &window_->dialog, [this] {
        HandlerGuard::run(*services_.messages, [this] { dirFile_Change(); });
    });
    QObject::connect(widgets.cmdOK, &QPushButton::clicked, &window_->dialog,
                     [this] { HandlerGuard::run(*services_.messages, [this] { cmdOK_Click(); }); });
    QObject::connect(widgets.cmdCancel, &QPushButton::clicked, &window_->dialog, [this] {
        HandlerGuard::run(*services_.messages, [this] { cmdCancel_Click(); });
    });

    HandlerGuard::run(*services_.messages, [this] { Form_Load(); });
    return *window_;
}

void ImageFileDialog::Form_Load() {
    const SharedWidgets& widgets = window_->widgets;
    widgets.filFile->setPattern(storedPattern_);
    const QString folder = StartFolders::imageFolderFor(services_.programFolder);
    widgets.drvFile->setDrive(folder);
    widgets.dirFile->setPath(folder);
}

void ImageFileDialog::drvFile_Change() {
    ListChain::changeDrive(*services_.messages, *window_->widgets.drvFile,
                           *window_->widgets.dirFile, MessageBox::OkOnly, QString());
}

void ImageFileDialog::dirFile_Change() {
    window_->widgets.filFile->setPath(window_->widgets.dirFile->path());
}

void ImageFileDialog::cmdCancel_Click() {
    storedResult_.clear();
    window_->dialog.reject();
}
