#pragma once

// Standard library
#include <vector>

// Qt
#include <QWidget>

// Ours
#include "CircleSetting.h"
#include "Judgement.h"

class QLabel;
class QTableWidget;

// Every circle of the part with its last result, and the part's verdict at the top. Names
// and limits are edited in place; choosing a row selects that circle in the window.
class CircleListPanel : public QWidget {
    Q_OBJECT

public:
    explicit CircleListPanel(QWidget* parent = nullptr);

    // The circles as set and, when there is one, their last judgement (with a settled
    // judgement's spread where it is known).
    void showCircles(const std::vector<CircleSetting>& circles, int selected,
                     const Judgement* judged);

    QTableWidget* table() const { return table_; }
    QLabel* partVerdict() const { return partVerdict_; }

signals:
    void circleChosen(int index);
    // A name, standard or tolerance was edited in the list.
    void circleEdited(int index, const QString& name, double standard, double tolerance);

private:
    void cellEdited(int row, int column);

    QLabel* partVerdict_;
    QTableWidget* table_;
    bool filling_ = false;
};
