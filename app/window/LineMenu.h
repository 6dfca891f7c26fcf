#pragma once

// Standard library
#include <memory>

// Qt
#include <QObject>

// Ours
#include "Judgement.h"
#include "LineLink.h"

class QAction;
class QLabel;
class QSettings;
class frmMain;

// The main window's side of the line link: the menu ライン, 検査 > トリガ, and an indicator
// for the PLC and the broker in the status line, shown only while the link is on. The window's
// settled judgements go to the line as they are.
class LineMenu : public QObject {
    Q_OBJECT

public:
    LineMenu(frmMain& window, QSettings& settings);
    ~LineMenu() override;

    static LineSettings readSettings(QSettings& settings);
    static void writeSettings(QSettings& settings, const LineSettings& line);
    // The folder the PLC's recipe slots are looked up in; empty: none.
    static QString readRecipeFolder(QSettings& settings);
    static void writeRecipeFolder(QSettings& settings, const QString& folder);

    // Starts the link as set (off by default); says why not in the status line.
    void applySettings();
    QLabel* indicator() const { return indicator_; }
    QAction* triggerAction() const { return triggerAction_; }
    LineLink* link() const { return link_.get(); }

private:
    void editSettings();
    bool claimLiveFrame(TriggerGate::Clock::time_point arrived);
    void judged(const Judgement& judgement, bool kept);
    void showLink();
    void selectRecipeSlot(int slot);

    frmMain& window_;
    QSettings& settings_;
    QLabel* indicator_;
    QAction* triggerAction_;
    std::unique_ptr<LineLink> link_;
    bool claimPending_ = false; // a live frame claimed for a trigger, not yet settled
    QString recipeFolder_;
};
