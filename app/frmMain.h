#pragma once

// Standard library
#include <memory>

// Qt
#include <QString>
#include <QWidget>

// Ours
#include "CircleFigure.h"
#include "DragAnchor.h"
#include "KeshDisplayEx.h"
#include "KeshFileAccess.h"
#include "KeshImage.h"
#include "KeshPerformanceCounter.h"
#include "KeshVideo.h"
#include "Services.h"

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

    // The menu bar above the inspection layout and the status line below it.
    QMenuBar* menuBar() const { return menuBar_; }
    QStatusBar* statusLine() const { return statusLine_; }
    // Adds a menu to the menu bar, before ヘルプ.
    QMenu* addMenu(const QString& title);

    // The hosted controls; only the display is seen.
    KeshDisplayEx* KeshDisplayEx1 = nullptr;
    KeshVideo KeshVideo1;
    KeshImage KeshImage1;
    KeshFileAccess KeshFileAccess1;
    KeshPerformanceCounter KeshPerformanceCounter1;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Resize();
    void Form_Unload();
    void MeasureCircle();
    void JudgeDensity(double average);
    void cmdRecalc_Click();
    void cmdGrab_Click();
    void cmdLoadImage_Click();
    void cmdSaveImage_Click();
    void KeshDisplayEx1_MouseDown(int button, int shift, int x, int y, int spare);
    void KeshDisplayEx1_MouseMove(int button, int shift, int x, int y, int spare);

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
    QMenuBar* menuBar_;
    QMenu* helpMenu_;
    QStatusBar* statusLine_;
    Services services_;

    CircleFigure objCircle;
    DragAnchor objDragStart;
    bool blnVideoReady = false;
    QString strConfFilePath;

    // Created on first use and kept, so that they remember their last result.
    std::unique_ptr<frmFileLoad> fileLoadDialog_;
    std::unique_ptr<frmFileSave> fileSaveDialog_;

    int videoCloseCount_ = 0;
    // While pending events run at the end of a measurement, measurements asked for by the
    // events handled meanwhile are folded into one that runs after them.
    bool pumpingEvents_ = false;
    bool measureAgain_ = false;
};
