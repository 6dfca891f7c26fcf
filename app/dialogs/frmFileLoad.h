#pragma once

// Ours
#include "ImageFileDialog.h"

// The open-image dialog: the answer is the file selected in the file list.
class frmFileLoad : public ImageFileDialog {
public:
    explicit frmFileLoad(Services services = {}) : ImageFileDialog(std::move(services)) {}

private:
    SharedWidgets setUpForm(DialogWindow& dialog) override;
    void cmdOK_Click() override;
};
