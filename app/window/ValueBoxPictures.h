#pragma once

// Qt
#include <QFont>
#include <QHash>
#include <QObject>
#include <QPixmap>
#include <QSize>
#include <QString>

class QWidget;

// Repaints value boxes (labels and read-only line edits) from a picture of how each box
// looked with the same text, rendered from the box alone after the first time it was
// painted with it (never copied from the screen), and paints
// their background in their palette's background colour. A drag repaints the same few
// boxes on every step, and a box would draw itself through the style each time: a frame,
// an antialiased panel, a shaped text. A box with the keyboard focus or a selection is
// painted as usual; one whose look changed has its pictures taken again.
class ValueBoxPictures : public QObject {
    Q_OBJECT

public:
    explicit ValueBoxPictures(QObject* parent = nullptr);
    ~ValueBoxPictures() override;

    void watch(QWidget* box);
    // Pictures kept for one box; a bounded number, dropped all at once when full.
    qsizetype pictureCount(const QWidget* box) const;

    static constexpr qsizetype kMostPicturesPerBox = 512;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Everything besides the text that decides how a box looks.
    struct Look {
        QSize size;
        qint64 palette = 0;
        QFont font;
        int state = 0;
        qreal pixelRatio = 1.0;
        bool operator==(const Look& other) const;
    };
    struct Box {
        Look look;
        QHash<QString, QPixmap> pictures;
        bool pictureWanted = false; // a picture is to be rendered once the paint is over
    };

    bool paintFromPicture(QWidget* box);
    void takePicture(QWidget* box);

    QHash<const QObject*, Box> boxes_;
    bool takingPicture_ = false;
};
