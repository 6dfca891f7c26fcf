#include "frmMain.h"

// Standard library
#include <algorithm>
#include <chrono>
#include <thread>

// Qt
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMoveEvent>
#include <QPalette>
#include <QStatusBar>

// Ours
#include "CircleDrag.h"
#include "DensityJudge.h"
#include "ErrorTitle.h"
#include "GavrelVersion.h"
#include "HandlerGuard.h"
#include "InspectionFormat.h"
#include "Int32Rounding.h"
#include "MainLayout.h"
#include "MessageBox.h"
#include "NumberFormat.h"
#include "PelmintBinding.h"
#include "frmFileLoad.h"
#include "frmFileSave.h"
#include "frmSelectVideoConfFile.h"
#include "ui_frmMain.h"

namespace {

constexpr quint32 kCircleColour = 0x00FF0000; // pure blue, red in the low byte
constexpr double kRejected = -1.0;
constexpr double kInitialCentreX = 100.0;
constexpr double kInitialCentreY = 100.0;
constexpr double kInitialRadius = 50.0;
constexpr auto kSettleAfterOpen = std::chrono::milliseconds(350);

const QString kFilesOnly = QStringLiteral("画像ファイルのみの利用になります。");
const QString kLineBreak = QStringLiteral("\r\n");

// Start-up runs every step even when an earlier one failed; a failed step is dropped
// without a word.
template <typename Step> void skipOnError(Step&& step) {
    try {
        step();
    } catch (...) {
    }
}

// The load and save commands take a test that cannot be evaluated as passed, so that
// they go on into its branch.
template <typename Test> bool trueOnError(Test&& test) {
    try {
        return test();
    } catch (...) {
        return true;
    }
}

QString withErrorCode(const QString& text, int code) {
    return text + QStringLiteral("(ErrCode=") + QString::number(code) + QLatin1Char(')');
}

QString chooseWithDialog(const Services& services, QWidget* parent) {
    frmSelectVideoConfFile chooser(services, parent);
    chooser.exec();
    return chooser.strVideoConfFilePath;
}

void paintLabel(QLabel* label, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(role, colour);
    label->setPalette(palette);
}

} // namespace

struct frmMain::Form {
    Ui::frmMain ui;
};

frmMain::frmMain(Services services, QWidget* parent)
    : QWidget(parent), form_(std::make_unique<Form>()), ui(form_->ui),
      inspectionArea_(new QWidget(this)), menuBar_(new QMenuBar(this)),
      helpMenu_(menuBar_->addMenu(QStringLiteral("ヘルプ(&H)"))), statusLine_(new QStatusBar(this)),
      services_(std::move(services)) {
    ui.setupUi(inspectionArea_);
    setWindowTitle(inspectionArea_->windowTitle());
    menuBar_->setNativeMenuBar(false);
    resize(inspectionArea_->width(), inspectionArea_->height() + barsHeight());
    placeBars(); // a hidden window gets its resize event only when shown
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    KeshDisplayEx1 = ui.KeshDisplayEx1;
    paintLabel(ui.lblJudge, QPalette::WindowText, QColor(0, 0, 255));

    connect(ui.cmdRecalc, &QPushButton::clicked, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { cmdRecalc_Click(); }); });
    connect(ui.cmdGrab, &QPushButton::clicked, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { cmdGrab_Click(); }); });
    connect(ui.cmdLoadImage, &QPushButton::clicked, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { cmdLoadImage_Click(); }); });
    connect(ui.cmdSaveImage, &QPushButton::clicked, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { cmdSaveImage_Click(); }); });
    connect(helpMenu_->addAction(QStringLiteral("バージョン情報(&A)…")), &QAction::triggered, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { showVersion(); }); });
    connect(KeshDisplayEx1, &KeshDisplayEx::mouseDown, this,
            [this](int button, int shift, int x, int y, int spare) {
                HandlerGuard::run(*services_.messages,
                                  [&] { KeshDisplayEx1_MouseDown(button, shift, x, y, spare); });
            });
    connect(KeshDisplayEx1, &KeshDisplayEx::mouseMove, this,
            [this](int button, int shift, int x, int y, int spare) {
                HandlerGuard::run(*services_.messages,
                                  [&] { KeshDisplayEx1_MouseMove(button, shift, x, y, spare); });
            });
}

frmMain::~frmMain() = default;

QMenu* frmMain::addMenu(const QString& title) {
    auto* menu = new QMenu(title, menuBar_);
    menuBar_->insertMenu(helpMenu_->menuAction(), menu);
    return menu;
}

void frmMain::showVersion() {
    services_.messages->show(QStringLiteral("Gavrel ") + QString::fromLatin1(gavrel::kVersion),
                             MessageBox::Information, QStringLiteral("バージョン情報"));
}

int frmMain::barsHeight() const {
    return menuBar_->sizeHint().height() + statusLine_->sizeHint().height();
}

void frmMain::placeBars() {
    const int menuHeight = menuBar_->sizeHint().height();
    const int statusHeight = statusLine_->sizeHint().height();
    menuBar_->setGeometry(0, 0, width(), menuHeight);
    inspectionArea_->setGeometry(0, menuHeight, width(),
                                 std::max(height() - menuHeight - statusHeight, 0));
    statusLine_->setGeometry(0, height() - statusHeight, width(), statusHeight);
}

void frmMain::Form_Load() {
    skipOnError([&] { blnVideoReady = false; });
    skipOnError([&] { ui.cmdGrab->setEnabled(false); });
    skipOnError([&] { show(); });
    QString chosen;
    skipOnError([&] {
        chosen = services_.chooseVideoConfFile ? services_.chooseVideoConfFile(this)
                                               : chooseWithDialog(services_, this);
    });
    skipOnError([&] { strConfFilePath = chosen; });

    if (!strConfFilePath.isEmpty()) {
        openCamera();
    }

    skipOnError([&] { KeshDisplayEx1->prepare(); });
    skipOnError([&] { KeshDisplayEx1->showImage(KeshImage1); });
    skipOnError([&] { objCircle.setCenterX(kInitialCentreX); });
    skipOnError([&] { objCircle.setCenterY(kInitialCentreY); });
    skipOnError([&] { objCircle.setRadius(kInitialRadius); });
    skipOnError([&] { MeasureCircle(); });
}

void frmMain::openCamera() {
    skipOnError([&] { KeshVideo1.setConfigFile(strConfFilePath); });
    skipOnError([&] { KeshVideo1.open(); });
    int status = 0;
    skipOnError([&] { status = KeshVideo1.status(); });
    if (status != 0) {
        skipOnError([&] {
            services_.messages->show(QStringLiteral("ビデオデバイスのオープンに失敗しました｡") +
                                         kLineBreak + kFilesOnly,
                                     MessageBox::Exclamation, ErrorTitle::text());
        });
        return;
    }

    // The device needs a moment before its first frame; events are deliberately not run.
    skipOnError([&] { std::this_thread::sleep_for(kSettleAfterOpen); });
    skipOnError([&] { KeshVideo1.captureBegin(KeshImage1); });
    skipOnError([&] { KeshVideo1.captureEnd(KeshImage1); });
    skipOnError([&] { status = KeshVideo1.status(); });
    if (status != 0) {
        skipOnError([&] {
            services_.messages->show(QStringLiteral("ビデオの取込に失敗しました｡") + kLineBreak +
                                         kFilesOnly,
                                     MessageBox::Exclamation, ErrorTitle::text());
        });
        return;
    }

    skipOnError([&] { blnVideoReady = true; });
    skipOnError([&] { ui.cmdGrab->setEnabled(true); });
}

void frmMain::Form_Unload() {
    // The close is issued once even if the window is asked to close again.
    if (blnVideoReady && videoCloseCount_ == 0) {
        ++videoCloseCount_;
        KeshVideo1.close();
    }
}

void frmMain::closeEvent(QCloseEvent* event) {
    HandlerGuard::run(*services_.messages, [this] { Form_Unload(); });
    event->accept();
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeBars();
    HandlerGuard::run(*services_.messages, [this] { Form_Resize(); });
}

// The window manager's frame is often known only after the first layout, and it comes with
// a move rather than a resize; the layout is reckoned on the outer size, frame included.
void frmMain::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    HandlerGuard::run(*services_.messages, [this] { Form_Resize(); });
}

void frmMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Restoring from the minimized state may keep the size and then raises no resize.
    if (event->type() == QEvent::WindowStateChange) {
        HandlerGuard::run(*services_.messages, [this] { Form_Resize(); });
    }
}

void frmMain::Form_Resize() {
    if (windowState() & Qt::WindowMinimized) {
        return;
    }
    constexpr float twipsPerPixel = MainLayout::kTwipsPerPixel;
    const QSize outer = frameGeometry().size();
    const MainLayout::Result layout =
        MainLayout::fit(static_cast<float>(outer.width()) * twipsPerPixel,
                        static_cast<float>(outer.height()) * twipsPerPixel,
                        static_cast<float>(barsHeight()) * twipsPerPixel);
    // The container keeps positions in twips, so the help line follows the display's
    // height in twips rather than its height rounded to pixels.
    KeshDisplayEx1->resize(MainLayout::toPixels(layout.displayWidth),
                           MainLayout::toPixels(layout.displayHeight));
    ui.Label5->move(ui.Label5->x(), MainLayout::toPixels(layout.helpLineTop));
}

void frmMain::cmdRecalc_Click() {
    MeasureCircle();
}

void frmMain::cmdGrab_Click() {
    KeshVideo1.captureBegin(KeshImage1);
    KeshVideo1.captureEnd(KeshImage1);
    // A lost camera leaves the previous image in place; the operator is told and can go
    // on with it or with image files.
    if (const int status = KeshVideo1.status(); status != 0) {
        services_.messages->show(
            withErrorCode(QStringLiteral("画像の取込に失敗しました。"), status),
            MessageBox::Exclamation, QStringLiteral("取込失敗"));
    }
    KeshDisplayEx1->showImage(KeshImage1);
    MeasureCircle();
}

void frmMain::cmdLoadImage_Click() {
    skipOnError([&] { fileLoadDialog().setStrPattern(QStringLiteral("*.bmp")); });
    skipOnError([&] { fileLoadDialog().showModal(); });

    if (trueOnError([&] { return !fileLoadDialog().strFilePath().isEmpty(); })) {
        skipOnError([&] { KeshFileAccess1.setFileName(fileLoadDialog().strFilePath()); });
        skipOnError([&] { KeshFileAccess1.read(KeshImage1); });
        int errorCode = 0;
        skipOnError([&] { errorCode = KeshFileAccess1.errorCode(); });
        if (errorCode != 0) {
            skipOnError([&] {
                services_.messages->show(
                    withErrorCode(QStringLiteral("読込みに失敗しました。"), errorCode),
                    MessageBox::Exclamation, QStringLiteral("読み込み失敗"));
            });
        }

        if (trueOnError([&] { return !InspectionFormat::matches(KeshImage1); })) {
            skipOnError([&] {
                services_.messages->show(QStringLiteral("512*480 8bitグレイの画像ではありません"),
                                         MessageBox::OkOnly, QStringLiteral("error"));
            });
            skipOnError([&] { InspectionFormat::conform(KeshImage1); });
        }
        skipOnError([&] { KeshDisplayEx1->showImage(KeshImage1); });
    }
    skipOnError([&] { MeasureCircle(); });
}

void frmMain::cmdSaveImage_Click() {
    skipOnError([&] { fileSaveDialog().setStrDefaultExtension(QStringLiteral("bmp")); });
    skipOnError([&] { fileSaveDialog().setStrPattern(QStringLiteral("*.bmp")); });
    skipOnError([&] { fileSaveDialog().showModal(); });

    if (!trueOnError([&] { return !fileSaveDialog().strFilePath().isEmpty(); })) {
        return;
    }
    skipOnError([&] { KeshFileAccess1.setFileName(fileSaveDialog().strFilePath()); });
    skipOnError([&] { KeshFileAccess1.write(KeshImage1); });
    int errorCode = 0;
    skipOnError([&] { errorCode = KeshFileAccess1.errorCode(); });
    if (errorCode != 0) {
        skipOnError([&] {
            services_.messages->show(
                withErrorCode(QStringLiteral("保存に失敗しました。"), errorCode),
                MessageBox::Exclamation, QStringLiteral("保存失敗"));
        });
    }
}

frmFileLoad& frmMain::fileLoadDialog() {
    if (!fileLoadDialog_) {
        fileLoadDialog_ = std::make_unique<frmFileLoad>(services_);
    }
    return *fileLoadDialog_;
}

frmFileSave& frmMain::fileSaveDialog() {
    if (!fileSaveDialog_) {
        fileSaveDialog_ = std::make_unique<frmFileSave>(services_);
    }
    return *fileSaveDialog_;
}

void frmMain::KeshDisplayEx1_MouseDown(int button, int /*shift*/, int x, int y, int /*spare*/) {
    if (button & KeshDisplayEx::LeftButton) {
        moveCircleCentre(x, y);
        MeasureCircle();
    } else if (button & KeshDisplayEx::RightButton) {
        objDragStart.setX(x);
        objDragStart.setY(y);
    }
}

void frmMain::KeshDisplayEx1_MouseMove(int button, int /*shift*/, int x, int y, int /*spare*/) {
    if (button & KeshDisplayEx::LeftButton) {
        moveCircleCentre(x, y);
        MeasureCircle();
    } else if (button & KeshDisplayEx::RightButton) {
        objCircle.setRadius(CircleDrag::resizedRadius(objCircle.radius(), objDragStart.x(), x));
        objDragStart.setX(x);
        objDragStart.setY(y);
        MeasureCircle();
    }
}

void frmMain::moveCircleCentre(int x, int y) {
    const CircleDrag::Centre centre =
        CircleDrag::clampCentre(x, y, KeshImage1.width(), KeshImage1.height());
    objCircle.setCenterX(centre.x);
    objCircle.setCenterY(centre.y);
}

void frmMain::MeasureCircle() {
    if (pumpingEvents_) {
        measureAgain_ = true;
        return;
    }
    measureOnce();

    // Pending events run so that the display and the boxes repaint during a drag. Drag
    // events handled meanwhile only change the circle; their measurement follows here
    // instead of nesting, so a flood of moves cannot deepen the stack.
    struct PumpScope {
        bool& flag;
        explicit PumpScope(bool& f) : flag(f) { flag = true; }
        ~PumpScope() { flag = false; }
    } scope(pumpingEvents_);
    measureAgain_ = false;
    QCoreApplication::processEvents();
    while (measureAgain_) {
        measureAgain_ = false;
        measureOnce();
        QCoreApplication::processEvents();
    }
}

void frmMain::measureOnce() {
    KeshDisplayEx1->clearFigures();
    KeshDisplayEx1->setFigureColor(kCircleColour);
    KeshDisplayEx1->drawCircle(0, objCircle);

    ui.lblCircleCenterX->setText(NumberFormat::general(objCircle.centerX()));
    ui.lblCircleCenterY->setText(NumberFormat::general(objCircle.centerY()));
    ui.lblCircleRadius->setText(NumberFormat::general(objCircle.radius()));

    KeshPerformanceCounter1.start();
    const std::uint8_t* pixels = KeshImage1.bufferAddress();
    const std::int32_t width = KeshImage1.width();
    const std::int32_t height = KeshImage1.height();
    const std::int32_t bitsPerPixel = KeshImage1.bitsPerPixel();
    const std::int32_t centreX = Int32Rounding::toNearestEven(objCircle.centerX());
    const std::int32_t centreY = Int32Rounding::toNearestEven(objCircle.centerY());
    const std::int32_t radius = Int32Rounding::toNearestEven(objCircle.radius());
    const double average = services_.pelmint->CircleAreaAverage(pixels, width, height, bitsPerPixel,
                                                                centreX, centreY, radius);
    const double elapsed = KeshPerformanceCounter1.elapsedMilliseconds();

    if (average == kRejected) {
        ui.txtAverageDensity->setText(ErrorTitle::text());
    } else {
        ui.txtAverageDensity->setText(NumberFormat::fixed(average, 1));
        JudgeDensity(average);
    }
    ui.txtExecuteTime->setText(NumberFormat::fixed(elapsed, 2) + QStringLiteral("ms"));
}

void frmMain::JudgeDensity(double average) {
    const bool ok = DensityJudge::judge(ui.txtStandard->text(), ui.txtTolerance->text(), average) ==
                    DensityJudge::Verdict::OK;
    ui.lblJudge->setText(ok ? QStringLiteral("OK") : QStringLiteral("NG"));
    paintLabel(ui.lblJudge, QPalette::Window, ok ? QColor(255, 255, 255) : QColor(255, 0, 0));
    paintLabel(ui.lblJudge, QPalette::WindowText, ok ? QColor(0, 0, 255) : QColor(0, 0, 0));
}
