#pragma once

// Qt
#include <QString>

// Ours
#include "ImageFileDialog.h"

class QLineEdit;

// The save-image dialog: the open-image dialog with a typed file name and a default
// extension added to a path without a dot.
class frmFileSave : public ImageFileDialog {
public:
    explicit frmFileSave(Services services = {}) : ImageFileDialog(std::move(services)) {}

    void setStrDefaultExtension(const QString& extension); // strDefaultExtension (write only)

private:
    SharedWidgets setUpForm(DialogWindow& dialog) override;
    void filFile_Click();
    void cmdOK_Click() override;

    QString storedDefaultExtension_;
    QLineEdit* txtFilename_ = nullptr; // of the loaded window
};
