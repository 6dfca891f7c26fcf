#include "frmArchivedImage.h"

// Qt
#include <QCoreApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

// Ours
#include "CircleFigure.h"
#include "WindowsColor.h"

frmArchivedImage::frmArchivedImage(const QString& imagePath, const InspectionRecord& record,
                                   QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("%1  %2  %3")
                       .arg(record.verdict, record.source,
                            record.measuredAt.toOffsetFromUtc(record.utcOffsetSeconds)
                                .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    auto* layout = new QVBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picImage"));
    layout->addWidget(picture);
    QImage image(imagePath);
    hasImage_ = !image.isNull();
    if (!hasImage_) {
        picture->setText(
            QCoreApplication::translate("frmArchivedImage", "画像がありません: %1").arg(imagePath));
        return;
    }
    image = image.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setPen(QPen(WindowsColor::toQColor(CircleFigure::kBlue), 1));
    painter.drawEllipse(QPointF(record.cx, record.cy), record.r, record.r);
    painter.end();
    picture->setPixmap(QPixmap::fromImage(image));
}
