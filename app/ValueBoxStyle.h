#pragma once

// Qt
#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QProxyStyle>
#include <QSize>
#include <QString>

// The application's style for boxes that repaint on every drag step: on a box that fills
// its own background with one colour, line-edit panels and item texts are drawn from
// pictures kept from their first drawing, where the style would stroke an antialiased panel
// and shape the text anew each time. Anything it cannot copy pixel for pixel (other
// backgrounds, transformed painters, texts allowed past their box) is left to the style.
class ValueBoxStyle : public QProxyStyle {
    Q_OBJECT

public:
    // Takes ownership of `base`.
    explicit ValueBoxStyle(QStyle* base);
    ~ValueBoxStyle() override;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& palette,
                      bool enabled, const QString& text,
                      QPalette::ColorRole textRole = QPalette::NoRole) const override;

    // How many pictures are kept; a bounded number, dropped all at once when full.
    qsizetype pictureCount() const { return pictures_.size(); }

private:
    struct PictureKey {
        QString text; // empty for a panel
        QSize size;
        int flags = 0;
        QFont font;
        qint64 palette = 0;
        QRgb pen = 0;
        int role = 0;
        int state = 0;
        int lineWidth = 0;
        int direction = 0;
        int hints = 0;
        int dpi = 0;
        qreal pixelRatio = 1.0;
        QRgb backdrop = 0; // the colour the picture was made on

        bool operator==(const PictureKey& other) const;
    };
    friend size_t qHash(const PictureKey& key, size_t seed);

    const QPixmap* remember(const PictureKey& key, QPixmap picture) const;

    mutable QHash<PictureKey, QPixmap> pictures_;
};
