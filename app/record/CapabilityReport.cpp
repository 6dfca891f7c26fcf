#include "CapabilityReport.h"

// Qt
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

// Ours
#include "CapabilityPainting.h"
#include "CapabilityText.h"
#include "ImageArchive.h"

namespace CapabilityReport {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("CapabilityReport", text);
}

QString localTime(const QDateTime& time) {
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// Lays text and pictures down a page, starting a new page when one is full.
class PageCursor {
public:
    PageCursor(QPdfWriter& writer, QPainter& painter)
        : writer_(writer), painter_(painter), page_(painter.viewport()), y_(page_.top()) {}

    double line() const { return painter_.fontMetrics().height() * 1.25; }
    double y() const { return y_; }
    double width() const { return page_.width(); }
    double left() const { return page_.left(); }

    void need(double height) {
        if (y_ + height > page_.bottom() && y_ > page_.top()) {
            newPage();
        }
    }
    void newPage() {
        writer_.newPage();
        y_ = page_.top();
    }
    void text(const QString& t, int flags = Qt::AlignLeft) {
        need(line());
        painter_.setPen(QPen(Qt::black, 0));
        painter_.drawText(QRectF(page_.left(), y_, page_.width(), line()), flags | Qt::AlignVCenter,
                          t);
        y_ += line();
    }
    void row(const QString& name, const QString& value) {
        need(line());
        painter_.setPen(QPen(Qt::black, 0));
        painter_.drawText(QRectF(page_.left(), y_, page_.width() * 0.3, line()),
                          Qt::AlignLeft | Qt::AlignVCenter, name);
        painter_.drawText(
            QRectF(page_.left() + page_.width() * 0.3, y_, page_.width() * 0.7, line()),
            Qt::AlignLeft | Qt::AlignVCenter, value);
        y_ += line();
    }
    QRectF take(double height) {
        need(height);
        const QRectF area(page_.left(), y_, page_.width(), height);
        y_ += height;
        return area;
    }
    void skip(double height) { y_ += height; }

private:
    QPdfWriter& writer_;
    QPainter& painter_;
    QRectF page_;
    double y_;
};

void writeGroup(PageCursor& cursor, QPainter& painter, const Content& content,
                const ProcessCapability::Group& group, int number) {
    const ProcessCapability::Figures figures = ProcessCapability::compute(group);
    QFont heading = painter.font();
    heading.setBold(true);
    painter.setFont(heading);
    cursor.need(cursor.line() * 18);
    cursor.text(tr("限界値の組 %1: %2").arg(number).arg(ProcessCapability::limitsText(group)));
    heading.setBold(false);
    painter.setFont(heading);
    for (const auto& [name, value] : CapabilityText::rows(figures)) {
        cursor.row(name, value);
    }
    const std::optional<ControlChartRules::Limits> limits = controlLimits(content, group);
    QString reason;
    if (!limits) {
        ControlChartRules::limitsFrom(group.values, &reason);
    }
    const std::vector<ControlChartRules::Break> breaks =
        limits ? ControlChartRules::breaks(group.values, *limits)
               : std::vector<ControlChartRules::Break>{};
    const bool frozen = content.baseline && content.baseline->standard == group.standard &&
                        content.baseline->tolerance == group.tolerance;
    cursor.row(tr("管理限界"), limits ? (frozen ? tr("固定した基準期間") : tr("表示中のデータ"))
                                      : QStringLiteral("— (%1)").arg(reason));
    cursor.row(tr("規則違反"), CapabilityText::breaksText(breaks));
    // The chart marks each rule's breaks with a shape of its own.
    QStringList marks;
    const QString shapes[] = {QStringLiteral("□"), QStringLiteral("△"), QStringLiteral("◇"),
                              QStringLiteral("○")};
    for (const auto rule :
         {ControlChartRules::Rule::BeyondThreeSigma, ControlChartRules::Rule::TwoOfThreeBeyondTwo,
          ControlChartRules::Rule::FourOfFiveBeyondOne, ControlChartRules::Rule::EightOnOneSide}) {
        const int n = ControlChartRules::number(rule);
        marks
            << tr("%1 規則%2: %3").arg(shapes[n - 1]).arg(n).arg(ControlChartRules::describe(rule));
    }
    cursor.row(tr("記号"), marks.mid(0, 2).join(QStringLiteral("　")));
    cursor.row(QString(), marks.mid(2).join(QStringLiteral("　")));
    cursor.skip(cursor.line() * 0.5);
    const double chartHeight = cursor.width() * 0.55;
    CapabilityPainting::drawControlChart(painter, cursor.take(chartHeight), group.values, limits,
                                         breaks);
    cursor.skip(cursor.line());
    CapabilityPainting::drawHistogram(painter, cursor.take(cursor.width() * 0.4), group, figures);
    cursor.skip(cursor.line());
}

void writeThumbnails(PageCursor& cursor, QPainter& painter, const Content& content) {
    QFont heading = painter.font();
    heading.setBold(true);
    painter.setFont(heading);
    cursor.need(cursor.line() * 12);
    cursor.text(tr("NG画像（新しい順、最大%1件）").arg(kThumbnails));
    heading.setBold(false);
    painter.setFont(heading);
    if (content.ngImages.empty()) {
        cursor.text(tr("保存されたNG画像はありません"));
        return;
    }
    constexpr int kColumns = 4;
    const double cell = cursor.width() / kColumns;
    const double imageHeight = cell * 0.9 * 480.0 / 512.0;
    const ImageArchive archive(content.archiveFolder);
    for (std::size_t i = 0; i < content.ngImages.size(); i += kColumns) {
        const QRectF band = cursor.take(imageHeight + cursor.line() * 2.2);
        for (std::size_t c = 0; c < kColumns && i + c < content.ngImages.size(); ++c) {
            const auto& ng = content.ngImages[i + c];
            const QRectF box(band.left() + cell * static_cast<double>(c), band.top(), cell * 0.9,
                             imageHeight);
            QImage image(archive.pathOf(ng.imageFile));
            if (image.isNull()) {
                painter.drawRect(box);
                painter.drawText(box, Qt::AlignCenter, tr("画像がありません"));
            } else {
                image = image.convertToFormat(QImage::Format_RGB32)
                            .scaled(256, 240, Qt::KeepAspectRatio, Qt::SmoothTransformation);
                painter.drawImage(box, image);
                painter.setPen(QPen(Qt::blue, 0));
                const double scale = box.width() / 512.0;
                painter.drawEllipse(QPointF(box.left() + ng.cx * scale, box.top() + ng.cy * scale),
                                    ng.r * scale, ng.r * scale);
                painter.setPen(QPen(Qt::black, 0));
            }
            painter.drawText(QRectF(box.left(), box.bottom(), box.width(), cursor.line()),
                             Qt::AlignLeft | Qt::AlignVCenter,
                             ng.measuredAt.toOffsetFromUtc(ng.utcOffsetSeconds)
                                 .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            painter.drawText(
                QRectF(box.left(), box.bottom() + cursor.line(), box.width(), cursor.line()),
                Qt::AlignLeft | Qt::AlignVCenter,
                QStringLiteral("%1  %2")
                    .arg(ng.mean, 0, 'f', 1)
                    .arg(QFileInfo(ng.source).fileName()));
        }
    }
}

} // namespace

QStringList describe(const RecordFilter& filter) {
    QStringList lines;
    if (filter.since.isValid() || filter.until.isValid()) {
        lines << tr("期間: %1 から %2 まで")
                     .arg(filter.since.isValid() ? localTime(filter.since) : tr("最初"),
                          filter.until.isValid() ? localTime(filter.until) : tr("最後"));
    }
    const std::pair<const char*, QString> parts[] = {
        {QT_TRANSLATE_NOOP("CapabilityReport", "判定: %1"), filter.verdict},
        {QT_TRANSLATE_NOOP("CapabilityReport", "ステーション: %1"), filter.station},
        {QT_TRANSLATE_NOOP("CapabilityReport", "レシピ: %1"), filter.recipe},
        {QT_TRANSLATE_NOOP("CapabilityReport", "円: %1"), filter.circle},
        {QT_TRANSLATE_NOOP("CapabilityReport", "ソースに含む: %1"), filter.source},
    };
    for (const auto& [text, value] : parts) {
        if (!value.isEmpty()) {
            lines << tr(text).arg(value);
        }
    }
    if (lines.isEmpty()) {
        lines << tr("すべての記録");
    }
    return lines;
}

Content gather(QSqlDatabase& database, const RecordFilter& filter, const QString& archiveFolder) {
    Content content;
    content.filterLines = describe(filter);
    content.data = RecordQueries::capabilityData(database, filter);
    content.ngImages = RecordQueries::archivedNgImages(database, filter, kThumbnails);
    content.archiveFolder = archiveFolder;
    content.generatedAt = QDateTime::currentDateTime();
    return content;
}

std::optional<ControlChartRules::Limits> controlLimits(const Content& content,
                                                       const ProcessCapability::Group& group) {
    if (content.baseline && content.baseline->standard == group.standard &&
        content.baseline->tolerance == group.tolerance) {
        return content.baseline->limits;
    }
    return ControlChartRules::limitsFrom(group.values);
}

bool write(const Content& content, QIODevice& output, QString* error) {
    QPdfWriter writer(&output);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    writer.setResolution(300);
    writer.setTitle(tr("測定記録 レポート"));
    writer.setCreator(QStringLiteral("Gavrel"));
    QPainter painter;
    if (!painter.begin(&writer)) {
        if (error) {
            *error = tr("PDFを書き始められません");
        }
        return false;
    }
    // Latin text and figures from a Latin face (its glyphs read back as text), Japanese from
    // the fallback.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(9);
    painter.setFont(font);
    PageCursor cursor(writer, painter);
    QFont title = font;
    title.setPointSizeF(15);
    title.setBold(true);
    painter.setFont(title);
    cursor.text(tr("測定記録 レポート"));
    painter.setFont(font);
    cursor.row(tr("作成日時"), localTime(content.generatedAt));
    if (!content.database.isEmpty()) {
        cursor.row(tr("データベース"), content.database);
    }
    for (int i = 0; i < content.filterLines.size(); ++i) {
        cursor.row(i == 0 ? tr("条件") : QString(), content.filterLines[i]);
    }
    if (!content.data.readable) {
        cursor.row(tr("エラー"), content.data.error);
    }
    cursor.row(tr("件数"), QString::number(content.data.count()));
    cursor.text(CapabilityText::summaryHeading(static_cast<int>(content.data.groups.size())));
    cursor.skip(cursor.line() * 0.5);
    int number = 1;
    for (const auto& group : content.data.groups) {
        writeGroup(cursor, painter, content, group, number++);
    }
    writeThumbnails(cursor, painter, content);
    if (!painter.end()) {
        if (error) {
            *error = tr("PDFを書き終えられません");
        }
        return false;
    }
    return true;
}

bool writeFile(const Content& content, const QString& path, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) {
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        }
        return false;
    }
    if (!write(content, file, error)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error) {
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        }
        return false;
    }
    return true;
}

} // namespace CapabilityReport
