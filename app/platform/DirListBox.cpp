#include "DirListBox.h"

// Standard library
#include <filesystem>
#include <system_error>

// Qt
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>

// Ours
#include "HandlerGuard.h"
#include "IndentedItemDelegate.h"
#include "RuntimeError.h"
#include "VolumeList.h"

namespace fs = std::filesystem;

namespace {

fs::path toFsPath(const QString& path) {
#ifdef Q_OS_WIN
    return fs::path(path.toStdWString());
#else
    return fs::path(QFile::encodeName(path).toStdString());
#endif
}

QString fromFsPath(const fs::path& path) {
#ifdef Q_OS_WIN
    return QString::fromStdWString(path.native());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

RuntimeError pathNotFound() {
    return RuntimeError(RuntimeError::PathNotFound, QStringLiteral("Path not found"));
}

RuntimeError errorFor(const std::error_code& error) {
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted) {
        return RuntimeError(RuntimeError::PathFileAccessError,
                            QStringLiteral("Path/File access error"));
    }
    if (error == std::errc::io_error || error == std::errc::no_such_device ||
        error == std::errc::no_such_device_or_address) {
        return RuntimeError(RuntimeError::DiskNotReady, QStringLiteral("Disk not ready"));
    }
    // Missing folders, dangling or looping links, names too long: nothing to open there.
    return pathNotFound();
}

void requireReadyVolume(const VolumeList& volumes, const QString& path) {
    const auto volume = volumes.volumeHolding(path);
    if (volume && !volume->ready) {
        throw RuntimeError(RuntimeError::DiskNotReady, QStringLiteral("Disk not ready"));
    }
}

QString absoluteOf(const QString& path) {
    QString absolute = QDir::fromNativeSeparators(path);
#ifdef Q_OS_WIN
    if (absolute.size() == 2 && absolute.at(1) == QLatin1Char(':')) {
        absolute += QLatin1Char('/');
    }
#endif
    return QDir::cleanPath(QDir(QDir::currentPath()).absoluteFilePath(absolute));
}

// The folder `path` stands for, links resolved (the kernel bounds link chains, so a loop
// ends in an error, not a hang), checked to be a folder that can be listed.
QString openableFolder(const VolumeList& volumes, const QString& path) {
    if (path.trimmed().isEmpty()) {
        throw pathNotFound();
    }
    const QString requested = absoluteOf(path);
    requireReadyVolume(volumes, requested);

    std::error_code error;
    const fs::path canonical = fs::canonical(toFsPath(requested), error);
    if (error) {
        throw errorFor(error);
    }
    const QString resolved = QDir::cleanPath(QDir::fromNativeSeparators(fromFsPath(canonical)));
    requireReadyVolume(volumes, resolved);

    if (!fs::is_directory(canonical, error)) {
        throw error ? errorFor(error) : pathNotFound();
    }
    const fs::directory_iterator listing(canonical, error);
    if (error) {
        throw errorFor(error);
    }
    return QDir::toNativeSeparators(resolved);
}

// Each folder from the root down to `path`, as full native paths; worked out from the
// text alone, so a folder that has gone meanwhile cannot make it fail.
QStringList waysUp(const QString& path) {
    QStringList folders;
    QString folder = QDir::cleanPath(QDir::fromNativeSeparators(path));
    for (;;) {
        folders.prepend(QDir::toNativeSeparators(folder));
        const QString parent = QFileInfo(folder).path();
        if (parent == folder || parent == QLatin1String(".")) {
            return folders;
        }
        folder = parent;
    }
}

QString nameOf(const QString& folder) {
    const QString name = QDir(folder).dirName();
    return name.isEmpty() || QDir(folder).isRoot() ? folder : name;
}

} // namespace

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new IndentedItemDelegate(this));
    showCurrentFolder();
}

void DirListBox::setServices(const Services& services) {
    services_ = services;
    showCurrentFolder();
}

void DirListBox::showCurrentFolder() {
    try {
        path_ = openableFolder(*services_.volumes, QDir::currentPath());
    } catch (const RuntimeError&) {
        path_ = QDir::toNativeSeparators(QDir::rootPath());
    }
    refresh();
}

QString DirListBox::path() const {
    return path_;
}

void DirListBox::setPath(const QString& path) {
    const QString folder = openableFolder(*services_.volumes, path);
    const bool differs = folder.compare(path_, VolumeList::fileNameCase()) != 0;
    path_ = folder;
    refresh();
    if (differs) {
        // Last statement: handlers may open another folder from inside.
        emit changed();
    }
}

void DirListBox::refresh() {
    clear();
    const QStringList ancestors = waysUp(path_);
    const int subFolderDepth = int(ancestors.size());
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);

    for (int depth = 0; depth < ancestors.size(); ++depth) {
        const QString& folder = ancestors.at(depth);
        auto* item = new QListWidgetItem(openIcon, nameOf(folder), this);
        item->setData(PathRole, folder);
        item->setData(IndentedItemDelegate::DepthRole, depth);
        item->setToolTip(folder);
    }
    QListWidgetItem* open = item(count() - 1);
    QFont bold = open->font();
    bold.setBold(true);
    open->setFont(bold);

    const QDir dir(path_);
    const QStringList subFolders =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : subFolders) {
        const QString folder = QDir::toNativeSeparators(dir.filePath(name));
        auto* item = new QListWidgetItem(closedIcon, name, this);
        item->setData(PathRole, folder);
        item->setData(IndentedItemDelegate::DepthRole, subFolderDepth);
        item->setToolTip(folder);
    }
    setCurrentItem(open);
}

void DirListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Accepted here so that Enter opens the folder and presses no dialog button.
        event->accept();
        openByOperator(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

void DirListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    const QListWidgetItem* target = itemAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || target == nullptr) {
        QListWidget::mouseDoubleClickEvent(event);
        return;
    }
    // Not passed on: opening rebuilds the items the base class would still look at.
    event->accept();
    openByOperator(target);
}

void DirListBox::openByOperator(const QListWidgetItem* item) {
    if (item == nullptr) {
        return;
    }
    const QString folder = item->data(PathRole).toString();
    if (!HandlerGuard::run(*services_.messages, [&] { setPath(folder); }) &&
        !QFileInfo::exists(folder)) {
        refresh(); // the folder went away: stop offering it
    }
}
