#include "CircleListPanel.h"

// Qt
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

// Ours
#include "JudgementRules.h"
#include "LenientNumber.h"
#include "NumberFormat.h"

namespace {

enum Column { Name, CentreX, CentreY, Radius, Mean, Spread, Standard, Tolerance, Result, Columns };

QString dash() {
    return QStringLiteral("—");
}

// The window's verdict colours: OK blue on white, NG black on red.
void paintVerdict(QTableWidgetItem* item, Verdict verdict) {
    const bool ok = verdict == Verdict::OK;
    item->setBackground(ok ? QColor(255, 255, 255) : QColor(255, 0, 0));
    item->setForeground(ok ? QColor(0, 0, 255) : QColor(0, 0, 0));
}

} // namespace

CircleListPanel::CircleListPanel(QWidget* parent)
    : QWidget(parent), partVerdict_(new QLabel(this)), table_(new QTableWidget(0, Columns, this)) {
    setWindowTitle(QCoreApplication::translate("CircleListPanel", "円の一覧"));
    partVerdict_->setObjectName(QStringLiteral("lblPartVerdict"));
    partVerdict_->setAutoFillBackground(true);
    partVerdict_->setAlignment(Qt::AlignCenter);
    QFont bold = partVerdict_->font();
    bold.setBold(true);
    partVerdict_->setFont(bold);
    table_->setObjectName(QStringLiteral("tblCircles"));
    table_->setHorizontalHeaderLabels({
        QCoreApplication::translate("CircleListPanel", "名前"),
        QCoreApplication::translate("CircleListPanel", "中心Ｘ"),
        QCoreApplication::translate("CircleListPanel", "中心Ｙ"),
        QCoreApplication::translate("CircleListPanel", "半径"),
        QCoreApplication::translate("CircleListPanel", "平均濃度値"),
        QCoreApplication::translate("CircleListPanel", "標準偏差"),
        QCoreApplication::translate("CircleListPanel", "基準濃度値"),
        QCoreApplication::translate("CircleListPanel", "許容差(±)"),
        QCoreApplication::translate("CircleListPanel", "判定"),
    });
    table_->setAccessibleName(windowTitle());
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    // Columns sized once per set of circles: sizing them on every new value would cost a
    // drag step many times over.
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(partVerdict_);
    layout->addWidget(table_);
    connect(table_, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int previous, int) {
                if (!filling_ && row >= 0 && row != previous) {
                    emit circleChosen(row);
                }
            });
    connect(table_, &QTableWidget::cellChanged, this, &CircleListPanel::cellEdited);
}

void CircleListPanel::showCircles(const std::vector<CircleSetting>& circles, int selected,
                                  const Judgement* judged) {
    filling_ = true;
    const QSignalBlocker quiet(table_);
    const bool resized = table_->rowCount() != static_cast<int>(circles.size());
    table_->setRowCount(static_cast<int>(circles.size()));
    const bool current = judged && judged->circles.size() == circles.size();
    for (int row = 0; row < static_cast<int>(circles.size()); ++row) {
        const CircleSetting& circle = circles[row];
        const CircleJudgement* result = current ? &judged->circles[row] : nullptr;
        const bool measured = result && result->verdict != Verdict::Rejected;
        const QString texts[Columns] = {
            circle.name,
            NumberFormat::general(circle.figure.centerX()),
            NumberFormat::general(circle.figure.centerY()),
            NumberFormat::general(circle.figure.radius()),
            measured ? NumberFormat::fixed(result->mean, 1) : dash(),
            measured && result->statistics ? NumberFormat::fixed(result->statistics->stddev, 2)
                                           : dash(),
            NumberFormat::general(circle.standard),
            NumberFormat::general(circle.tolerance),
            result ? JudgementRules::verdictText(result->verdict) : dash(),
        };
        for (int column = 0; column < Columns; ++column) {
            QTableWidgetItem* item = table_->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                table_->setItem(row, column, item);
            }
            if (item->text() != texts[column]) {
                item->setText(texts[column]);
            }
            const bool editable = column == Name || column == Standard || column == Tolerance;
            item->setFlags(editable ? item->flags() | Qt::ItemIsEditable
                                    : item->flags() & ~Qt::ItemIsEditable);
        }
        if (result) {
            paintVerdict(table_->item(row, Result), result->verdict);
            if (!result->rejection.isEmpty()) {
                table_->item(row, Result)->setToolTip(result->rejection);
            }
        }
    }
    if (resized) {
        table_->resizeColumnsToContents();
    }
    if (table_->currentRow() != selected) {
        table_->setCurrentCell(selected, table_->currentColumn() < 0 ? 0 : table_->currentColumn());
    }
    const Verdict part = judged ? judged->partVerdict() : Verdict::Rejected;
    partVerdict_->setText(QCoreApplication::translate("CircleListPanel", "部品の判定: %1")
                              .arg(judged ? JudgementRules::verdictText(part) : dash()));
    QPalette palette = partVerdict_->palette();
    palette.setColor(QPalette::Window,
                     part == Verdict::OK ? QColor(255, 255, 255) : QColor(255, 0, 0));
    palette.setColor(QPalette::WindowText,
                     part == Verdict::OK ? QColor(0, 0, 255) : QColor(0, 0, 0));
    partVerdict_->setPalette(palette);
    filling_ = false;
}

void CircleListPanel::cellEdited(int row, int column) {
    if (filling_ || (column != Name && column != Standard && column != Tolerance)) {
        return;
    }
    const QString name = table_->item(row, Name)->text().trimmed();
    emit circleEdited(row, name, LenientNumber::read(table_->item(row, Standard)->text()),
                      LenientNumber::read(table_->item(row, Tolerance)->text()));
}
