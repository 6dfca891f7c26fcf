#pragma once

// Standard library
#include <memory>

// Qt
#include <QComboBox>
#include <QString>

// Ours
#include "Services.h"

// A drop-down of the volumes of its services. Setting drive() from code emits
// changed() synchronously, exactly as the operator's choice does.
class DriveListBox : public QComboBox {
    Q_OBJECT

public:
    explicit DriveListBox(QWidget* parent = nullptr);

    // The widget starts on the real services; a form replaces them right after building.
    // Shows the drive of the current folder among the new volumes.
    void setServices(const Services& services);

    // The current drive: on Windows "c:" and the like, on Linux the volume's root path.
    QString drive() const;
    // Selects the drive that holds `driveOrPath` (a drive, a drive root or any path on it).
    // Emits changed() when the drive changes. Throws RuntimeError 68 when no volume of
    // the volume list holds it.
    void setDrive(const QString& driveOrPath);

    // The root folder of a drive as drive() reports it ("c:\" on Windows, the volume
    // root itself on Linux).
    static QString rootOf(const QString& drive);

    // Reads the volume list again; the drive stays as it is.
    void refresh();

    void showPopup() override;

signals:
    void changed();

private:
    void chooseByOperator(int index);
    void showCurrent();

    void showCurrentFolderDrive();

    Services services_;
    QString drive_;
};
