#pragma once

// Qt
#include <QComboBox>
#include <QString>

// A drop-down of the volumes of VolumeList::active(). Setting drive() from code emits
// changed() synchronously, exactly as the operator's choice does.
class DriveListBox : public QComboBox {
    Q_OBJECT

public:
    explicit DriveListBox(QWidget* parent = nullptr);

    // The current drive: on Windows "c:" and the like, on Linux the volume's root path.
    QString drive() const;
    // Selects the drive that holds `driveOrPath` (a drive, a drive root or any path on it).
    // Emits changed() when the drive changes. Throws RuntimeError 68 when no volume of
    // VolumeList::active() holds it.
    void setDrive(const QString& driveOrPath);

    // The root folder of a drive as drive() reports it ("c:\" on Windows, the volume
    // root itself on Linux).
    static QString rootOf(const QString& drive);

    // Reads the volumes of VolumeList::active() again; the drive stays as it is.
    void refresh();

    void showPopup() override;

signals:
    void changed();

private:
    void chooseByOperator(int index);
    void showCurrent();

    QString drive_;
};
