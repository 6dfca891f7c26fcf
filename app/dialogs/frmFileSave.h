#pragma once

// Standard library
#include <memory>

// Qt
#include <QString>

// The save-image dialog: the open-image dialog with a typed file name and a default
// extension added to a path without a dot.
class frmFileSave {
public:
    frmFileSave(); // Form_Initialize
    ~frmFileSave();
    frmFileSave(const frmFileSave&) = delete;
    frmFileSave& operator=(const frmFileSave&) = delete;

    void setStrDefaultExtension(const QString& extension); // strDefaultExtension (write only)
    void setStrPattern(const QString& pattern); // strPattern (write only); loads the window
    QString strFilePath() const;                // empty when cancelled
    void showModal();
};
