#pragma once

// Ours
#include "MessageBox.h"

// Messages as modal message boxes.
class DesktopMessageBox : public MessageBox {
protected:
    void present(const QString& text, int style, const QString& title) override;
};
