#include "DriveListBox.h"

// Qt
#include <QDir>
#include <QSignalBlocker>

// Ours
#include "HandlerGuard.h"
#include "RuntimeError.h"
#include "VolumeList.h"

namespace {

constexpr int DriveRole = Qt::UserRole;

QString driveNameOf(const VolumeList::Volume& volume) {
#ifdef Q_OS_WIN
    return volume.rootPath.left(2).toLower();
#else
    return QDir::toNativeSeparators(QDir::cleanPath(volume.rootPath));
#endif
}

RuntimeError deviceUnavailable() {
    return RuntimeError(RuntimeError::DeviceUnavailable, QStringLiteral("Device unavailable"));
}

// What a drive argument stands for as a path: "c", "c:" and "c:\..." all mean drive C.
QString pathOf(const QString& driveOrPath) {
#ifdef Q_OS_WIN
    if (!driveOrPath.isEmpty() && driveOrPath.at(0).isLetter()) {
        return driveOrPath.left(1) + QStringLiteral(":/");
    }
    return QDir::cleanPath(QDir::fromNativeSeparators(driveOrPath));
#else
    return QDir::cleanPath(QDir(QDir::currentPath()).absoluteFilePath(driveOrPath));
#endif
}

} // namespace

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    showCurrentFolderDrive();
    connect(this, &QComboBox::activated, this, &DriveListBox::chooseByOperator);
}

void DriveListBox::setServices(const Services& services) {
    services_ = services;
    showCurrentFolderDrive();
}

void DriveListBox::showCurrentFolderDrive() {
    const auto volume = services_.volumes->volumeHolding(QDir::currentPath());
    drive_ = volume ? driveNameOf(*volume) : QString();
    refresh();
}

QString DriveListBox::drive() const {
    return drive_;
}

void DriveListBox::setDrive(const QString& driveOrPath) {
    if (driveOrPath.trimmed().isEmpty()) {
        throw deviceUnavailable();
    }
    refresh();
    const auto volume = services_.volumes->volumeHolding(pathOf(driveOrPath));
    if (!volume) {
        throw deviceUnavailable();
    }
    const QString chosen = driveNameOf(*volume);
    if (chosen == drive_) {
        return;
    }
    drive_ = chosen;
    showCurrent();
    // Last statement: handlers may set the drive again from inside.
    emit changed();
}

QString DriveListBox::rootOf(const QString& drive) {
#ifdef Q_OS_WIN
    return drive.isEmpty() ? QString() : drive.left(1) + QStringLiteral(":\\");
#else
    return drive.isEmpty() ? QStringLiteral("/") : QDir::toNativeSeparators(drive);
#endif
}

void DriveListBox::refresh() {
    const std::vector<VolumeList::Volume> volumes = services_.volumes->volumes();
    bool same = int(volumes.size()) == count();
    for (int row = 0; same && row < count(); ++row) {
        same = itemText(row) == volumes[row].displayName &&
               itemData(row, DriveRole).toString() == driveNameOf(volumes[row]);
    }
    // Rebuilt only when the volumes changed: this also runs inside the operator's choice.
    if (!same) {
        const QSignalBlocker blocker(this);
        clear();
        for (const VolumeList::Volume& volume : volumes) {
            addItem(volume.displayName, driveNameOf(volume));
        }
    }
    showCurrent();
}

void DriveListBox::showPopup() {
    refresh();
    QComboBox::showPopup();
}

void DriveListBox::showCurrent() {
    const QSignalBlocker blocker(this);
    setCurrentIndex(findData(drive_, DriveRole));
}

void DriveListBox::chooseByOperator(int index) {
    const QString chosen = itemData(index, DriveRole).toString();
    if (chosen.isEmpty() || chosen == drive_) {
        return;
    }
    drive_ = chosen;
    // The dialogs trap their own errors; anything else must not unwind through Qt.
    HandlerGuard::run(*services_.messages, [this] { emit changed(); });
}
