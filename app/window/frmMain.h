#pragma once

// Standard library
#include <array>
#include <functional>
#include <memory>
#include <optional>

// Qt
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>

// Ours
#include "CircleFigure.h"
#include "DragAnchor.h"
#include "DriftAlarm.h"
#include "Inspection.h"
#include "InspectionRecipe.h"
#include "KeshDisplayEx.h"
#include "KeshFileAccess.h"
#include "KeshImage.h"
#include "KeshPerformanceCounter.h"
#include "KeshVideo.h"
#include "LiveMeter.h"
#include "Services.h"

class InspectionRecorder;
class LiveFeed;
class CircleListPanel;
class PixelReadout;
class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QStatusBar;
class frmFileLoad;
class frmFileSave;
namespace Ui {
class frmMain;
}

// The inspection window: the operator drags a circle over the image and every change is
// measured through Pelmint and judged OK or NG against the standard and tolerance.
class frmMain : public QWidget {
    Q_OBJECT

public:
    explicit frmMain(Services services = {}, QWidget* parent = nullptr);
    ~frmMain() override;

    // Start-up: shows the window and the chooser, brings the camera into service when one
    // was chosen, and runs the first measurement. Whoever opens the window calls it once.
    void Form_Load();

    // Before Form_Load: start with the recipe's circle, standard and tolerance, and with its
    // camera instead of asking for one when it names a camera.
    void useRecipeAtStartup(const InspectionRecipe& recipe);
    // Applies a recipe file, or tells the operator why not and changes nothing.
    bool openRecipe(const QString& path);
    // Applies a recipe already read (the line's changeover) and measures with it; nothing to
    // tell the operator, so nothing shown.
    void useRecipe(const InspectionRecipe& recipe);
    // Saves the current set-up; a name without a suffix gets .gavrel-recipe.
    bool saveRecipe(const QString& path);

    // The inspection commands: ライブ (checkable, F5), レシピを開く…, レシピを保存….
    QAction* liveAction() const { return liveAction_; }
    QAction* openRecipeAction() const { return openRecipeAction_; }
    QAction* saveRecipeAction() const { return saveRecipeAction_; }
    // 円を追加 (at the pointer when it is over the image, else at the image's centre) and
    // 円を削除 (the selected circle, never the last).
    QAction* addCircleAction() const { return addCircleAction_; }
    QAction* removeCircleAction() const { return removeCircleAction_; }
    // Every circle with its result; shown while there is more than one.
    CircleListPanel* circlePanel() const { return circlePanel_; }
    // For the status line: the pixel under the pointer, and the live rate and delay.
    QLabel* pointerReadout() const;
    QLabel* liveReadout() const { return liveReadout_; }
    QLabel* alarmReadout() const { return alarmReadout_; }
    const LiveMeter& liveMeter() const { return liveMeter_; }
    bool isLive() const { return liveFeed_ != nullptr; }
    // When the live frame judged last arrived from the camera; none before one.
    std::optional<LiveMeter::Clock::time_point> lastFrameArrived() const {
        return liveFrameArrived_;
    }
    // The menu bar above the inspection layout and the status line below it.
    QMenuBar* menuBar() const { return menuBar_; }
    QStatusBar* statusLine() const { return statusLine_; }
    // Adds a menu to the menu bar, before ヘルプ.
    QMenu* addMenu(const QString& title);
    // Every settled judgement that the settle rule keeps goes to it; none records nothing.
    void setRecorder(InspectionRecorder* recorder) { recorder_ = recorder; }
    // Asked for every live frame before it is judged: a frame it claims (the line's trigger
    // takes it) is settled as LineTriggered, kept whatever the live rule says.
    using LiveFrameClaim = std::function<bool(LiveMeter::Clock::time_point arrived)>;
    void setLiveFrameClaim(LiveFrameClaim claim) { liveFrameClaim_ = std::move(claim); }
    // What is being inspected and its last judgement: everything the window shows of it.
    const Inspection& inspection() const { return inspection_; }

    // The hosted controls; only the display is seen.
    KeshDisplayEx* KeshDisplayEx1 = nullptr;
    KeshVideo KeshVideo1;
    KeshImage KeshImage1;
    KeshFileAccess KeshFileAccess1;
    KeshPerformanceCounter KeshPerformanceCounter1;

signals:
    // A judgement stands: the end of a drag or of a key nudge, 再計算, a Grab or a load, and
    // live frames. `kept` when the settle rule keeps it and, where there is a recorder, the
    // record is committed or in the flushed spool.
    void judgementSettled(const Judgement& judgement, bool kept);
    // Live: a circle's results break a control-chart rule against the run's baseline (rule
    // numbers 1 to 4), while its parts may still be OK.
    void processAlarm(const QString& circle, const QList<int>& rules);
    // A recipe was applied: opened, chosen by the line, or given at start-up.
    void recipeApplied();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Resize();
    void Form_Unload();
    void MeasureCircle();
    void JudgeDensity(const CircleJudgement& judgement);
    void settle(SettleRule::Event event);
    CircleFigure& objCircle() { return inspection_.selected().figure; }
    void cmdRecalc_Click();
    void cmdGrab_Click();
    void cmdLoadImage_Click();
    void cmdSaveImage_Click();
    void KeshDisplayEx1_MouseDown(int button, int shift, int x, int y);
    void KeshDisplayEx1_MouseMove(int button, int shift, int x, int y);

    void createInspectionCommands();
    void nudgeCircle(int dx, int dy, int dRadius);
    void showPointer(int x, int y, int grey);
    void applyRecipe(const InspectionRecipe& recipe);
    // Several circles: the one the drags, keys and boxes act on.
    void selectCircle(int index);
    bool selectCircleAt(int x, int y);
    void addCircle();
    void removeCircle();
    void editCircle(int index, const QString& name, double standard, double tolerance);
    // The set of circles changed: the other circles' marks, the list and its visibility.
    void circlesChanged();
    void showCirclePanel();
    void chooseAndOpenRecipe();
    void chooseAndSaveRecipe();
    void setLive(bool on);
    void stopLive();
    void showLiveFrames();
    void liveCameraFailed(int status);
    void showLiveFigures();
    void showVersion();
    void placeBars();
    int barsHeight() const;
    void openCamera();
    void measureOnce();
    void moveCircleCentre(int x, int y);
    frmFileLoad& fileLoadDialog();
    frmFileSave& fileSaveDialog();

    struct Form; // the generated form, kept out of this header
    std::unique_ptr<Form> form_;
    Ui::frmMain& ui;
    // The form's widgets keep their designed positions inside this area under the menu bar.
    QWidget* inspectionArea_;
    int fixedControlsBottom_ = 0; // within the area
    QMenuBar* menuBar_;
    QMenu* helpMenu_;
    QStatusBar* statusLine_;
    Services services_;
    InspectionRecorder* recorder_ = nullptr;
    Inspection inspection_;

    DragAnchor objDragStart;
    bool blnVideoReady = false;
    QString strConfFilePath;

    // Created on first use and kept, so that they remember their last result.
    std::unique_ptr<frmFileLoad> fileLoadDialog_;
    std::unique_ptr<frmFileSave> fileSaveDialog_;

    // The circle's values as last shown (centre x, centre y, radius): a drag changes one
    // or two of them, and only those are formatted again.
    std::array<std::optional<double>, 3> shownCircle_;
    // The verdict on lblJudge.
    std::optional<Verdict> shownVerdict_;

    QAction* liveAction_ = nullptr;
    QAction* openRecipeAction_ = nullptr;
    QAction* saveRecipeAction_ = nullptr;
    QAction* addCircleAction_ = nullptr;
    QAction* removeCircleAction_ = nullptr;
    CircleListPanel* circlePanel_ = nullptr;
    QTimer circlePanelRefresh_; // the list follows a drag at a screen's pace, not every step
    PixelReadout* pointerReadout_ = nullptr;
    QLabel* liveReadout_ = nullptr;
    QLabel* alarmReadout_ = nullptr;
    DriftAlarm driftAlarm_;
    std::optional<InspectionRecipe> startupRecipe_;

    LiveFeed* liveFeed_ = nullptr; // a child while live, deleted later once stopped
    LiveMeter liveMeter_;
    bool showingLiveFrames_ = false;
    bool liveFrameWaiting_ = false;
    std::optional<LiveMeter::Clock::time_point> liveFrameArrived_;
    LiveFrameClaim liveFrameClaim_;
    LiveMeter::Clock::time_point liveFiguresShown_;

    int videoCloseCount_ = 0;
    // While pending events run at the end of a measurement, measurements asked for by the
    // events handled meanwhile are folded into one that runs after them.
    bool pumpingEvents_ = false;
    bool measureAgain_ = false;

    // The window manager may tell the frame of a new state only after the resize to it
    // (a maximized window's frame without borders); checks after each layout catch it.
    QTimer frameCheck_;
    QSize laidOutFor_; // the outer size of the last layout
    int frameChecksLeft_ = 0;
};
