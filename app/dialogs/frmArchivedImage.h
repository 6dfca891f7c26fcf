#pragma once

// Qt
#include <QDialog>

// Ours
#include "InspectionRecord.h"

// An archived judged image with the record's circle drawn over it, as it was judged.
class frmArchivedImage : public QDialog {
    Q_OBJECT

public:
    frmArchivedImage(const QString& imagePath, const InspectionRecord& record,
                     QWidget* parent = nullptr);
    bool hasImage() const { return hasImage_; }

private:
    bool hasImage_ = false;
};
