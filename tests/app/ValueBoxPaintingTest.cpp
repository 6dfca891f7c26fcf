// The value boxes and the pointer readout draw from kept pictures: they must look exactly
// as the boxes draw themselves, and the readout must follow the pointer at a screen's pace.

// Standard library
#include <cstdlib>
#include <memory>

// Qt
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

// Ours
#include "PixelReadout.h"
#include "ValueBoxPictures.h"

#include <gtest/gtest.h>

namespace {

QImage drawn(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The region where two pictures of the same size differ; empty when they agree.
QRect difference(const QImage& a, const QImage& b) {
    QRect differing;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                differing |= QRect(x, y, 1, 1);
            }
        }
    }
    return differing;
}

// The bounding box of everything not in the background colour.
QRect ink(const QImage& image) {
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    QRect inked;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background) {
                inked |= QRect(x, y, 1, 1);
            }
        }
    }
    return inked;
}

TEST(ValueBoxPaintingTest, BoxesRepaintedFromPicturesLookAsTheyPaintThemselves) {
    ValueBoxPictures pictures;
    struct Case {
        const char* text;
        Qt::Alignment alignment;
        bool enabled;
    };
    const Case cases[] = {
        {"124.9", Qt::AlignRight | Qt::AlignVCenter, true},
        {"0.01ms", Qt::AlignRight | Qt::AlignVCenter, false},
        {"エラー", Qt::AlignLeft | Qt::AlignTop, true},
        {"", Qt::AlignLeft, true},
    };
    QLineEdit plainEdit;
    QLineEdit keptEdit;
    QLabel plainLabel;
    QLabel keptLabel;
    pictures.watch(&keptEdit);
    pictures.watch(&keptLabel);
    plainEdit.setAutoFillBackground(true); // the kept ones are given theirs
    plainLabel.setAutoFillBackground(true);
    for (QLineEdit* edit : {&plainEdit, &keptEdit}) {
        edit->resize(65, 21);
        edit->setReadOnly(true);
        edit->show();
    }
    for (QLabel* label : {&plainLabel, &keptLabel}) {
        label->resize(49, 17);
        label->show();
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        for (QLineEdit* edit : {&plainEdit, &keptEdit}) {
            edit->setAlignment(c.alignment);
            edit->setText(QString::fromUtf8(c.text));
            edit->setEnabled(c.enabled);
        }
        for (QLabel* label : {&plainLabel, &keptLabel}) {
            label->setAlignment(c.alignment);
            label->setText(QString::fromUtf8(c.text));
            label->setEnabled(c.enabled);
        }
        for (int drawing = 0; drawing < 2; ++drawing) { // painted, then from the picture
            QTest::qWait(1);
            EXPECT_EQ(difference(drawn(plainEdit), drawn(keptEdit)), QRect());
            EXPECT_EQ(difference(drawn(plainLabel), drawn(keptLabel)), QRect());
        }
        // The second drawing came from a picture (a new look drops the older ones).
        EXPECT_GE(pictures.pictureCount(&keptEdit), 1);
        EXPECT_GE(pictures.pictureCount(&keptLabel), 1);
    }
}

TEST(ValueBoxPaintingTest, KeepsABoundedNumberOfPicturesPerBox) {
    ValueBoxPictures pictures;
    QLabel label;
    label.resize(49, 17);
    label.show();
    pictures.watch(&label);
    for (int i = 0; i < ValueBoxPictures::kMostPicturesPerBox + 20; ++i) {
        label.setText(QString::number(i));
        QTest::qWait(0);
        label.grab();
        QCoreApplication::processEvents();
        if (i == 99) {
            EXPECT_EQ(pictures.pictureCount(&label), 100); // one for every text shown
        }
    }
    EXPECT_GT(pictures.pictureCount(&label), 0);
    EXPECT_LE(pictures.pictureCount(&label), ValueBoxPictures::kMostPicturesPerBox);
}

TEST(ValueBoxPaintingTest, ReadoutFillsInTheFormatInAnyOrder) {
    struct Case {
        const char* format;
        const char* expected;
    };
    const Case cases[] = {
        {"X %1  Y %2  濃度 %3", "X 30  Y 40  濃度 77"},
        {"%3 @ (%1, %2)", "77 @ (30, 40)"},
        {"%2%1", "4030"},
    };
    for (const Case& c : cases) {
        PixelReadout readout(QString::fromUtf8(c.format));
        readout.showPixel(30, 40, 77);
        EXPECT_EQ(readout.text(), QString::fromUtf8(c.expected));
    }
}

TEST(ValueBoxPaintingTest, ReadoutDrawsItsTextWhereALabelWould) {
    const QString format = QStringLiteral("X %1  Y %2  濃度 %3");
    for (const Qt::Alignment alignment :
         {Qt::AlignLeft | Qt::AlignVCenter, Qt::AlignRight | Qt::AlignBottom}) {
        PixelReadout readout(format);
        readout.setAlignment(alignment);
        readout.setAutoFillBackground(true);
        readout.resize(160, 20);
        readout.showPixel(123, 45, 200);
        QLabel label(readout.text());
        label.setAlignment(alignment);
        label.setAutoFillBackground(true);
        label.resize(readout.size());
        const QRect fromPieces = ink(drawn(readout));
        const QRect whole = ink(drawn(label));
        ASSERT_FALSE(whole.isEmpty());
        // The parts are placed at whole pixels; a label may round a glyph the other way.
        for (const int edge :
             {fromPieces.left() - whole.left(), fromPieces.right() - whole.right(),
              fromPieces.top() - whole.top(), fromPieces.bottom() - whole.bottom()}) {
            EXPECT_LE(std::abs(edge), 1) << fromPieces.x() << "," << fromPieces.y() << " "
                                         << fromPieces.width() << "x" << fromPieces.height();
        }
    }
}

TEST(ValueBoxPaintingTest, ReadoutShowsTheNewestPixelOncePerFrame) {
    PixelReadout readout(QStringLiteral("%1,%2,%3"));
    QElapsedTimer burst;
    burst.start();
    readout.showPixel(1, 1, 10);
    EXPECT_EQ(readout.text(), QStringLiteral("1,1,10")); // the first at once
    readout.showPixel(2, 1, 11);
    readout.showPixel(3, 1, 12);
    if (burst.elapsed() < PixelReadout::kFrameMs / 2) {      // else the machine stalled
        EXPECT_EQ(readout.text(), QStringLiteral("1,1,10")); // the others wait for the frame
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return readout.text() == QStringLiteral("3,1,12"); },
                                10 * PixelReadout::kFrameMs));

    // Off the image, nothing waits to be shown.
    QTest::qWait(2 * PixelReadout::kFrameMs);
    readout.showPixel(4, 1, 13);
    readout.showPixel(5, 1, 14);
    readout.showNoPixel();
    EXPECT_EQ(readout.text(), QString());
    QTest::qWait(3 * PixelReadout::kFrameMs);
    EXPECT_EQ(readout.text(), QString());
}

} // namespace
