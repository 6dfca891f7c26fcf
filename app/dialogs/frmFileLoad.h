#pragma once

// Ours
#include "ImageFileDialog.h"

// The open-image dialog: the answer is the file selected in the file list.
class frmFileLoad : public ImageFileDialog {
private:
    SharedWidgets setUpForm(DialogWindow& dialog) override;
    void cmdOK_Click() override;
};
