#include "frmMain.h"

// Standard library
#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

// Qt
#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMoveEvent>
#include <QPalette>
#include <QScrollBar>
#include <QStatusBar>
#include <QTime>

// Ours
#include "AboutGavrel.h"
#include "CircleDrag.h"
#include "CircleListPanel.h"
#include "CircleSelection.h"
#include "ErrorTitle.h"
#include "HandlerGuard.h"
#include "InspectionFormat.h"
#include "InspectionRecorder.h"
#include "Int32Rounding.h"
#include "JudgementRules.h"
#include "LenientNumber.h"
#include "LiveFeed.h"
#include "MainLayout.h"
#include "MessageBox.h"
#include "NumberFormat.h"
#include "PelmintBinding.h"
#include "PixelReadout.h"
#include "RecipeFile.h"
#include "ValueBoxPictures.h"
#include "frmFileLoad.h"
#include "frmFileSave.h"
#include "frmSelectVideoConfFile.h"
#include "ui_frmMain.h"

namespace {

constexpr double kInitialCentreX = 100.0;
constexpr double kInitialCentreY = 100.0;
constexpr double kInitialRadius = 50.0;
// For a second after a layout the frame is looked at again, five times.
constexpr int kFrameCheckMs = 200;
constexpr int kFrameChecks = 5;
constexpr auto kSettleAfterOpen = std::chrono::milliseconds(350);

QString filesOnly() {
    return QCoreApplication::translate("frmMain", "画像ファイルのみの利用になります。");
}
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

// The first circle is blue; further ones take these in turn.
quint32 circleColour(int index) {
    static constexpr QRgb kFurther[] = {qRgb(220, 0, 220), qRgb(230, 120, 0),  qRgb(0, 150, 0),
                                        qRgb(0, 150, 200), qRgb(140, 60, 255), qRgb(170, 90, 0),
                                        qRgb(120, 120, 0), qRgb(255, 60, 140)};
    if (index == 0) {
        return CircleFigure::kBlue;
    }
    const QRgb colour = kFurther[(index - 1) % std::size(kFurther)];
    return static_cast<quint32>(qRed(colour)) | static_cast<quint32>(qGreen(colour)) << 8 |
           static_cast<quint32>(qBlue(colour)) << 16; // red in the low byte
}

QColor toColour(quint32 windowsColour) {
    return QColor(windowsColour & 0xFF, (windowsColour >> 8) & 0xFF, (windowsColour >> 16) & 0xFF);
}

void paintLabel(QLabel* label, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(role, colour);
    label->setPalette(palette);
}

// Setting a text repaints its box even when nothing changes; during a drag most texts stay.
template <typename TextBox> void showText(TextBox* box, const QString& text) {
    if (box->text() != text) {
        box->setText(text);
    }
}

} // namespace

struct frmMain::Form {
    Ui::frmMain ui;
};

frmMain::frmMain(Services services, QWidget* parent)
    : QWidget(parent), KeshVideo1(services.programFolder), form_(std::make_unique<Form>()),
      ui(form_->ui), inspectionArea_(new QWidget(this)), menuBar_(new QMenuBar(this)),
      helpMenu_(menuBar_->addMenu(QCoreApplication::translate("frmMain", "ヘルプ(&H)"))),
      statusLine_(new QStatusBar(this)), services_(std::move(services)),
      inspection_(*services_.pelmint, KeshImage1) {
    ui.setupUi(inspectionArea_);
    // The display and its help line follow the window; everything else stays where designed.
    for (const QWidget* control :
         inspectionArea_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (control != ui.KeshDisplayEx1 && control != ui.Label5) {
            fixedControlsBottom_ = std::max(fixedControlsBottom_, control->geometry().bottom() + 1);
        }
    }
    setWindowTitle(inspectionArea_->windowTitle());
    menuBar_->setNativeMenuBar(false);
    resize(inspectionArea_->width(), inspectionArea_->height() + barsHeight());
    placeBars(); // a hidden window gets its resize event only when shown
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    KeshDisplayEx1 = ui.KeshDisplayEx1;
    paintLabel(ui.lblJudge, QPalette::WindowText, QColor(0, 0, 255));
    // The boxes a measurement changes paint their own background (so that their group
    // frame stays out of their repaints), and repaint from pictures of texts already shown.
    auto* valueBoxPictures = new ValueBoxPictures(this);
    for (QWidget* box :
         {static_cast<QWidget*>(ui.lblCircleCenterX), static_cast<QWidget*>(ui.lblCircleCenterY),
          static_cast<QWidget*>(ui.lblCircleRadius), static_cast<QWidget*>(ui.txtAverageDensity),
          static_cast<QWidget*>(ui.txtExecuteTime), static_cast<QWidget*>(ui.lblJudge)}) {
        if (box != ui.lblJudge) {
            box->setBackgroundRole(QPalette::Window);
        }
        // Numbers need no shaping; a new text is then laid out in a fraction of the time.
        QFont plain = box->font();
        plain.setStyleStrategy(QFont::PreferNoShaping);
        box->setFont(plain);
        // A new text would otherwise ask the frame around the box to lay out again.
        box->setFixedSize(box->size());
        if (auto* label = qobject_cast<QLabel*>(box)) {
            label->setTextFormat(Qt::PlainText); // numbers and OK/NG: nothing to detect
        }
        valueBoxPictures->watch(box);
    }

    connect(ui.cmdRecalc, &QPushButton::clicked, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { cmdRecalc_Click(); }); });
    connect(ui.cmdGrab, &QPushButton::clicked, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { cmdGrab_Click(); }); });
    connect(ui.cmdLoadImage, &QPushButton::clicked, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { cmdLoadImage_Click(); }); });
    connect(ui.cmdSaveImage, &QPushButton::clicked, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { cmdSaveImage_Click(); }); });
    connect(helpMenu_->addAction(QCoreApplication::translate("frmMain", "バージョン情報(&A)…")),
            &QAction::triggered, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { showVersion(); }); });
    connect(KeshDisplayEx1, &KeshDisplayEx::mouseDown, this,
            [this](int button, int shift, int x, int y) {
                HandlerGuard::run(*services_.messages,
                                  [&] { KeshDisplayEx1_MouseDown(button, shift, x, y); });
            });
    connect(KeshDisplayEx1, &KeshDisplayEx::mouseMove, this,
            [this](int button, int shift, int x, int y) {
                HandlerGuard::run(*services_.messages,
                                  [&] { KeshDisplayEx1_MouseMove(button, shift, x, y); });
            });
    frameCheck_.setInterval(kFrameCheckMs);
    connect(&frameCheck_, &QTimer::timeout, this, [this] {
        if (frameGeometry().size() != laidOutFor_) {
            HandlerGuard::run(*services_.messages, [this] { Form_Resize(); });
        } else if (--frameChecksLeft_ <= 0) {
            frameCheck_.stop();
        }
    });

    connect(KeshDisplayEx1, &KeshDisplayEx::mouseUp, this, [this](int button, int, int, int) {
        if (button & (KeshDisplayEx::LeftButton | KeshDisplayEx::RightButton)) {
            settle(SettleRule::Event::DragReleased);
        }
    });
    connect(KeshDisplayEx1, &KeshDisplayEx::keyNudge, this, [this](int dx, int dy, int dRadius) {
        HandlerGuard::run(*services_.messages, [&] { nudgeCircle(dx, dy, dRadius); });
    });
    connect(KeshDisplayEx1, &KeshDisplayEx::keyNudgeReleased, this,
            [this] { settle(SettleRule::Event::KeysReleased); });
    createInspectionCommands();
}

void frmMain::createInspectionCommands() {
    // Each input box is announced by its caption. The form's captions and buttons get no
    // mnemonics: an accelerator would change their text.
    const std::pair<QLabel*, QWidget*> captioned[] = {
        {ui.Label1, ui.txtAverageDensity},
        {ui.Label2, ui.txtExecuteTime},
        {ui.Label6, ui.txtStandard},
        {ui.Label8, ui.txtTolerance},
    };
    for (const auto& [caption, box] : captioned) {
        caption->setBuddy(box);
        box->setAccessibleName(caption->text());
    }
    KeshDisplayEx1->setAccessibleName(QCoreApplication::translate("frmMain", "画像"));

    liveAction_ = new QAction(QCoreApplication::translate("frmMain", "ライブ(&L)"), this);
    liveAction_->setObjectName(QStringLiteral("actLive"));
    liveAction_->setCheckable(true);
    liveAction_->setShortcut(QKeySequence(Qt::Key_F5));
    liveAction_->setEnabled(false);
    addAction(liveAction_);
    connect(liveAction_, &QAction::toggled, this,
            [this](bool on) { HandlerGuard::run(*services_.messages, [&] { setLive(on); }); });
    ui.cmdGrab->installEventFilter(this);

    openRecipeAction_ =
        new QAction(QCoreApplication::translate("frmMain", "レシピを開く(&O)…"), this);
    openRecipeAction_->setObjectName(QStringLiteral("actOpenRecipe"));
    connect(openRecipeAction_, &QAction::triggered, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { chooseAndOpenRecipe(); }); });
    saveRecipeAction_ =
        new QAction(QCoreApplication::translate("frmMain", "レシピを保存(&S)…"), this);
    saveRecipeAction_->setObjectName(QStringLiteral("actSaveRecipe"));
    connect(saveRecipeAction_, &QAction::triggered, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { chooseAndSaveRecipe(); }); });

    QMenu* inspection = addMenu(QCoreApplication::translate("frmMain", "検査(&I)"));
    inspection->addAction(liveAction_);
    inspection->addSeparator();
    inspection->addAction(openRecipeAction_);
    inspection->addAction(saveRecipeAction_);

    addCircleAction_ = new QAction(QCoreApplication::translate("frmMain", "円を追加(&A)"), this);
    addCircleAction_->setObjectName(QStringLiteral("actAddCircle"));
    addCircleAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Insert));
    connect(addCircleAction_, &QAction::triggered, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { addCircle(); }); });
    removeCircleAction_ = new QAction(QCoreApplication::translate("frmMain", "円を削除(&D)"), this);
    removeCircleAction_->setObjectName(QStringLiteral("actRemoveCircle"));
    removeCircleAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    removeCircleAction_->setEnabled(false);
    connect(removeCircleAction_, &QAction::triggered, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { removeCircle(); }); });
    auto* listAction = new QAction(QCoreApplication::translate("frmMain", "円の一覧(&C)"), this);
    listAction->setObjectName(QStringLiteral("actCircleList"));
    connect(listAction, &QAction::triggered, this, [this] { showCirclePanel(); });
    inspection->addSeparator();
    inspection->addAction(addCircleAction_);
    inspection->addAction(removeCircleAction_);
    inspection->addAction(listAction);
    addAction(addCircleAction_);
    addAction(removeCircleAction_);

    // A window of its own beside the inspection window, so that the designed layout stays.
    circlePanel_ = new CircleListPanel(this);
    circlePanel_->setWindowFlag(Qt::Tool);
    circlePanel_->setObjectName(QStringLiteral("frmCircles"));
    connect(circlePanel_, &CircleListPanel::circleChosen, this, [this](int index) {
        HandlerGuard::run(*services_.messages, [&] {
            selectCircle(index);
            MeasureCircle();
        });
    });
    connect(circlePanel_, &CircleListPanel::circleEdited, this,
            [this](int index, const QString& name, double standard, double tolerance) {
                HandlerGuard::run(*services_.messages,
                                  [&] { editCircle(index, name, standard, tolerance); });
            });
    circlePanelRefresh_.setSingleShot(true);
    circlePanelRefresh_.setInterval(50);
    connect(&circlePanelRefresh_, &QTimer::timeout, this, [this] {
        if (circlePanel_->isVisible()) {
            circlePanel_->showCircles(inspection_.circles(), inspection_.selectedIndex(),
                                      inspection_.last());
        }
    });

    pointerReadout_ = new PixelReadout(
        QCoreApplication::translate("frmMain", "X %1  Y %2  濃度 %3"), statusLine_);
    pointerReadout_->setObjectName(QStringLiteral("lblPointer"));
    liveReadout_ = new QLabel(statusLine_);
    liveReadout_->setObjectName(QStringLiteral("lblLive"));
    statusLine_->addWidget(pointerReadout_);
    statusLine_->addPermanentWidget(liveReadout_);
    alarmReadout_ = new QLabel(statusLine_);
    alarmReadout_->setObjectName(QStringLiteral("lblAlarm"));
    paintLabel(alarmReadout_, QPalette::WindowText, QColor(200, 0, 0));
    alarmReadout_->hide(); // until a live run sees its process change
    statusLine_->addPermanentWidget(alarmReadout_);
    // Each readout as wide as its longest text in the language shown.
    const QString widest[] = {
        QCoreApplication::translate("frmMain", "X 511  Y 479  濃度 255  "),
        QCoreApplication::translate("frmMain", "ライブ %1 fps  取込→判定 %2 ms").arg(99).arg(999) +
            QStringLiteral("  ")};
    int i = 0;
    for (QLabel* readout : {static_cast<QLabel*>(pointerReadout_), liveReadout_}) {
        // A fixed size (the height the status line gives it) keeps a changing text from
        // laying out and repainting the whole status line again.
        readout->setFixedSize(readout->fontMetrics().horizontalAdvance(widest[i++]),
                              readout->height());
        readout->setAutoFillBackground(true);
    }
    connect(KeshDisplayEx1, &KeshDisplayEx::pointerOverPixel, this, &frmMain::showPointer);
    connect(KeshDisplayEx1, &KeshDisplayEx::pointerOffImage, pointerReadout_,
            &PixelReadout::showNoPixel);
}

QLabel* frmMain::pointerReadout() const {
    return pointerReadout_;
}

frmMain::~frmMain() {
    stopLive();
}

// ライブ follows Grab: it can be started whenever a grab could be made.
bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui.cmdGrab && event->type() == QEvent::EnabledChange && !isLive()) {
        liveAction_->setEnabled(ui.cmdGrab->isEnabled());
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::useRecipeAtStartup(const InspectionRecipe& recipe) {
    startupRecipe_ = recipe;
}

QMenu* frmMain::addMenu(const QString& title) {
    auto* menu = new QMenu(title, menuBar_);
    menuBar_->insertMenu(helpMenu_->menuAction(), menu);
    return menu;
}

void frmMain::showVersion() {
    services_.messages->show(AboutGavrel::text(services_.pelmint->version(),
                                               AboutGavrel::manualPath(services_.programFolder)),
                             MessageBox::Information,
                             QCoreApplication::translate("frmMain", "バージョン情報"));
}

int frmMain::barsHeight() const {
    return menuBar_->sizeHint().height() + statusLine_->sizeHint().height();
}

void frmMain::placeBars() {
    const int menuHeight = menuBar_->sizeHint().height();
    const int statusHeight = statusLine_->sizeHint().height();
    // The status line never lies over the form's fixed controls: in a window too short for
    // both, it gives way until the window is tall enough again.
    const bool statusFits = height() - menuHeight - statusHeight >= fixedControlsBottom_;
    const int statusSpace = statusFits ? statusHeight : 0;
    menuBar_->setGeometry(0, 0, width(), menuHeight);
    inspectionArea_->setGeometry(0, menuHeight, width(),
                                 std::max(height() - menuHeight - statusSpace, 0));
    statusLine_->setGeometry(0, height() - statusHeight, width(), statusHeight);
    statusLine_->setVisible(statusFits);
}

void frmMain::Form_Load() {
    skipOnError([&] { blnVideoReady = false; });
    skipOnError([&] { ui.cmdGrab->setEnabled(false); });
    skipOnError([&] { show(); });
    QString chosen;
    if (startupRecipe_ && !startupRecipe_->cameraConfigFile.isEmpty()) {
        chosen = startupRecipe_->cameraConfigFile;
    } else {
        skipOnError([&] {
            chosen = services_.chooseVideoConfFile ? services_.chooseVideoConfFile(this)
                                                   : chooseWithDialog(services_, this);
        });
    }
    skipOnError([&] { strConfFilePath = chosen; });

    if (!strConfFilePath.isEmpty()) {
        openCamera();
    }

    skipOnError([&] { KeshDisplayEx1->prepare(); });
    skipOnError([&] { KeshDisplayEx1->showImage(KeshImage1); });
    skipOnError([&] { objCircle().setCenterX(kInitialCentreX); });
    skipOnError([&] { objCircle().setCenterY(kInitialCentreY); });
    skipOnError([&] { objCircle().setRadius(kInitialRadius); });
    if (startupRecipe_) {
        applyRecipe(*startupRecipe_);
    }
    skipOnError([&] { MeasureCircle(); });
}

void frmMain::openCamera() {
    skipOnError([&] { KeshVideo1.setConfigFile(strConfFilePath); });
    skipOnError([&] { KeshVideo1.open(); });
    int status = 0;
    skipOnError([&] { status = KeshVideo1.status(); });
    if (status != 0) {
        skipOnError([&] {
            services_.messages->show(
                QCoreApplication::translate("frmMain", "ビデオデバイスのオープンに失敗しました｡") +
                    kLineBreak + filesOnly(),
                MessageBox::Exclamation, ErrorTitle::text());
        });
        return;
    }

    // The device needs a moment before its first frame; events are deliberately not run.
    skipOnError([&] { std::this_thread::sleep_for(kSettleAfterOpen); });
    skipOnError([&] { KeshVideo1.captureBegin(); });
    skipOnError([&] { KeshVideo1.captureEnd(KeshImage1); });
    skipOnError([&] { status = KeshVideo1.status(); });
    if (status != 0) {
        skipOnError([&] {
            services_.messages->show(
                QCoreApplication::translate("frmMain", "ビデオの取込に失敗しました｡") + kLineBreak +
                    filesOnly(),
                MessageBox::Exclamation, ErrorTitle::text());
        });
        return;
    }

    skipOnError([&] { blnVideoReady = true; });
    skipOnError([&] { ui.cmdGrab->setEnabled(true); });
    inspection_.imageReplaced({ImageOrigin::Kind::CameraFrame, strConfFilePath, std::nullopt});
}

void frmMain::Form_Unload() {
    stopLive();
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
    laidOutFor_ = outer;
    frameChecksLeft_ = kFrameChecks;
    frameCheck_.start();
}

void frmMain::cmdRecalc_Click() {
    MeasureCircle();
    settle(SettleRule::Event::Recalculated);
}

void frmMain::cmdGrab_Click() {
    KeshVideo1.captureBegin();
    KeshVideo1.captureEnd(KeshImage1);
    // A lost camera leaves the previous image in place; the operator is told and can go
    // on with it or with image files.
    if (const int status = KeshVideo1.status(); status != 0) {
        services_.messages->show(
            withErrorCode(QCoreApplication::translate("frmMain", "画像の取込に失敗しました。"),
                          status),
            MessageBox::Exclamation, QCoreApplication::translate("frmMain", "取込失敗"));
        KeshDisplayEx1->showImage(KeshImage1);
        MeasureCircle();
        return;
    }
    inspection_.imageReplaced({ImageOrigin::Kind::CameraFrame, strConfFilePath, std::nullopt});
    KeshDisplayEx1->showImage(KeshImage1);
    MeasureCircle();
    settle(SettleRule::Event::Grabbed);
}

void frmMain::cmdLoadImage_Click() {
    bool loaded = false;
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
                    withErrorCode(QCoreApplication::translate("frmMain", "読込みに失敗しました。"),
                                  errorCode),
                    MessageBox::Exclamation,
                    QCoreApplication::translate("frmMain", "読み込み失敗"));
            });
        }
        loaded = errorCode == 0;
        if (loaded) {
            inspection_.imageReplaced(
                {ImageOrigin::Kind::File, fileLoadDialog().strFilePath(), std::nullopt});
        }

        if (trueOnError([&] { return !InspectionFormat::matches(KeshImage1); })) {
            skipOnError([&] {
                services_.messages->show(QCoreApplication::translate(
                                             "frmMain", "512*480 8bitグレイの画像ではありません"),
                                         MessageBox::OkOnly, QStringLiteral("error"));
            });
            skipOnError([&] { InspectionFormat::conform(KeshImage1); });
        }
        skipOnError([&] { KeshDisplayEx1->showImage(KeshImage1); });
    }
    skipOnError([&] { MeasureCircle(); });
    if (loaded) {
        settle(SettleRule::Event::Loaded);
    }
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
                withErrorCode(QCoreApplication::translate("frmMain", "保存に失敗しました。"),
                              errorCode),
                MessageBox::Exclamation, QCoreApplication::translate("frmMain", "保存失敗"));
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

void frmMain::KeshDisplayEx1_MouseDown(int button, int /*shift*/, int x, int y) {
    // A press on another circle of the part selects it where it is; drags then act on it.
    if (selectCircleAt(x, y)) {
        objDragStart.setX(x);
        objDragStart.setY(y);
        MeasureCircle();
        return;
    }
    if (button & KeshDisplayEx::LeftButton) {
        moveCircleCentre(x, y);
        MeasureCircle();
    } else if (button & KeshDisplayEx::RightButton) {
        objDragStart.setX(x);
        objDragStart.setY(y);
    }
}

void frmMain::KeshDisplayEx1_MouseMove(int button, int /*shift*/, int x, int y) {
    if (button & KeshDisplayEx::LeftButton) {
        moveCircleCentre(x, y);
        MeasureCircle();
    } else if (button & KeshDisplayEx::RightButton) {
        objCircle().setRadius(CircleDrag::resizedRadius(objCircle().radius(), objDragStart.x(), x));
        objDragStart.setX(x);
        objDragStart.setY(y);
        MeasureCircle();
    }
}

void frmMain::moveCircleCentre(int x, int y) {
    const CircleDrag::Centre centre =
        CircleDrag::clampCentre(x, y, KeshImage1.width(), KeshImage1.height());
    objCircle().setCenterX(centre.x);
    objCircle().setCenterY(centre.y);
}

void frmMain::MeasureCircle() {
    if (pumpingEvents_) {
        measureAgain_ = true;
        return;
    }
    measureOnce();
    // A live frame's verdict is on screen once the events below have painted it.
    struct VerdictTime {
        frmMain& window;
        ~VerdictTime() {
            if (window.liveFrameArrived_ && !window.pumpingEvents_) {
                window.liveMeter_.frameJudged(*std::exchange(window.liveFrameArrived_, {}),
                                              LiveMeter::Clock::now());
            }
        }
    } verdictTime{*this};

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
    const CircleFigure& circle = objCircle();
    const bool several = inspection_.circleCount() > 1;
    KeshDisplayEx1->clearFigures();
    KeshDisplayEx1->setFigureColor(circleColour(inspection_.selectedIndex()));
    KeshDisplayEx1->setFigureLabel(several ? inspection_.selected().name : QString(), several);
    KeshDisplayEx1->drawCircle(circle);

    const double values[] = {circle.centerX(), circle.centerY(), circle.radius()};
    QLabel* const circleBoxes[] = {ui.lblCircleCenterX, ui.lblCircleCenterY, ui.lblCircleRadius};
    for (std::size_t i = 0; i < shownCircle_.size(); ++i) {
        if (shownCircle_[i] != values[i]) {
            shownCircle_[i] = values[i];
            showText(circleBoxes[i], NumberFormat::general(values[i]));
        }
    }

    // The limits as typed take effect here, with this measurement.
    inspection_.applyTypedLimits(ui.txtStandard->text(), ui.txtTolerance->text());
    inspection_.measure(KeshPerformanceCounter1);
    const CircleJudgement& judged = *inspection_.lastOfSelected();
    if (judged.verdict == Verdict::Rejected) {
        showText(ui.txtAverageDensity, ErrorTitle::text());
    } else {
        showText(ui.txtAverageDensity, NumberFormat::fixed(judged.mean, 1));
        JudgeDensity(judged);
    }
    showText(ui.txtExecuteTime, NumberFormat::fixed(judged.elapsedMs, 2) + QStringLiteral("ms"));
    if (several && !circlePanelRefresh_.isActive()) {
        circlePanelRefresh_.start();
    }
}

// Shows the inspection's verdict; caption and colours go together, so an unchanged verdict
// leaves the label alone.
void frmMain::JudgeDensity(const CircleJudgement& judgement) {
    if (judgement.verdict == shownVerdict_) {
        return;
    }
    shownVerdict_ = judgement.verdict;
    const bool ok = judgement.verdict == Verdict::OK;
    ui.lblJudge->setText(ok ? QStringLiteral("OK") : QStringLiteral("NG"));
    paintLabel(ui.lblJudge, QPalette::Window, ok ? QColor(255, 255, 255) : QColor(255, 0, 0));
    paintLabel(ui.lblJudge, QPalette::WindowText, ok ? QColor(0, 0, 255) : QColor(0, 0, 0));
}

void frmMain::settle(SettleRule::Event event) {
    std::optional<Inspection::Settlement> settled =
        inspection_.settle(event, SettleRule::Clock::now());
    if (!settled) {
        return;
    }
    // Kept means kept: the record is in the database or the flushed spool before anything
    // hears of it.
    const bool kept = settled->record && recorder_ && recorder_->record(settled->judgement);
    if (circlePanel_->isVisible()) {
        circlePanelRefresh_.start(); // with the settled judgement's spread
    }
    // The alarm first, so that whoever publishes the judgement can say it broke a rule.
    if (event == SettleRule::Event::LiveFrame || event == SettleRule::Event::LineTriggered) {
        for (const DriftAlarm::Alarm& alarm : driftAlarm_.feed(settled->judgement)) {
            QList<int> rules;
            QStringList numbers;
            for (const ControlChartRules::Rule rule : alarm.rules) {
                rules.append(ControlChartRules::number(rule));
                numbers.append(QString::number(rules.back()));
            }
            alarmReadout_->setText(
                QCoreApplication::translate("frmMain", "工程の変化: 円 %1 規則 %2 (%3)")
                    .arg(alarm.circle, numbers.join(QLatin1Char(',')),
                         QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
            alarmReadout_->show();
            emit processAlarm(alarm.circle, rules);
        }
    }
    emit judgementSettled(settled->judgement, kept || (settled->record && !recorder_));
}

void frmMain::nudgeCircle(int dx, int dy, int dRadius) {
    if (dx != 0 || dy != 0) {
        moveCircleCentre(Int32Rounding::toNearestEven(objCircle().centerX()) + dx,
                         Int32Rounding::toNearestEven(objCircle().centerY()) + dy);
    }
    if (dRadius != 0) {
        objCircle().setRadius(std::max(CircleDrag::kMinimumRadius, objCircle().radius() + dRadius));
    }
    MeasureCircle();
}

void frmMain::showPointer(int x, int y, int grey) {
    pointerReadout_->showPixel(x, y, grey);
}

void frmMain::applyRecipe(const InspectionRecipe& recipe) {
    inspection_.applyRecipe(recipe);
    ui.txtStandard->setText(NumberFormat::general(inspection_.selected().standard));
    ui.txtTolerance->setText(NumberFormat::general(inspection_.selected().tolerance));
    circlesChanged();
    emit recipeApplied();
}

void frmMain::useRecipe(const InspectionRecipe& recipe) {
    applyRecipe(recipe);
    MeasureCircle();
}

bool frmMain::openRecipe(const QString& path) {
    const RecipeFile::ReadResult result = RecipeFile::read(path);
    if (!result.recipe) {
        services_.messages->show(
            QCoreApplication::translate("frmMain", "レシピを開けませんでした。") + kLineBreak +
                path + kLineBreak + result.error,
            MessageBox::Exclamation, QCoreApplication::translate("frmMain", "レシピ"));
        return false;
    }
    applyRecipe(*result.recipe);
    MeasureCircle();
    return true;
}

bool frmMain::saveRecipe(const QString& path) {
    const QString target = RecipeFile::withSuffix(path);
    InspectionRecipe recipe;
    recipe.name = inspection_.recipeName().isEmpty() ? QFileInfo(target).completeBaseName()
                                                     : inspection_.recipeName();
    // The boxes as typed count for the selected circle, as they would at the next measurement.
    recipe.circles.clear();
    for (int i = 0; i < inspection_.circleCount(); ++i) {
        const CircleSetting& setting = inspection_.circle(i);
        const MeasuredCircle at = JudgementRules::measuredCircle(setting.figure);
        const bool selected = i == inspection_.selectedIndex();
        recipe.circles.push_back(
            {setting.name, at.centreX, at.centreY, at.radius,
             selected ? LenientNumber::read(ui.txtStandard->text()) : setting.standard,
             selected ? LenientNumber::read(ui.txtTolerance->text()) : setting.tolerance});
    }
    // The PLC picks the product by its slot: an adjusted recipe keeps it.
    recipe.slot = inspection_.recipeSlot();
    if (blnVideoReady) {
        recipe.cameraConfigFile = QFileInfo(strConfFilePath).absoluteFilePath();
    }
    if (const QString error = RecipeFile::write(target, recipe); !error.isEmpty()) {
        services_.messages->show(
            QCoreApplication::translate("frmMain", "レシピを保存できませんでした。") + kLineBreak +
                target + kLineBreak + error,
            MessageBox::Exclamation, QCoreApplication::translate("frmMain", "レシピ"));
        return false;
    }
    return true;
}

namespace {
QString recipeFilter() {
    return QCoreApplication::translate("frmMain", "レシピ (*.%1)").arg(RecipeFile::kSuffix);
}
} // namespace

void frmMain::chooseAndOpenRecipe() {
    const QString path = QFileDialog::getOpenFileName(
        this, QCoreApplication::translate("frmMain", "レシピを開く"), QString(), recipeFilter());
    if (!path.isEmpty()) {
        openRecipe(path);
    }
}

void frmMain::chooseAndSaveRecipe() {
    const QString path = QFileDialog::getSaveFileName(
        this, QCoreApplication::translate("frmMain", "レシピを保存"), QString(), recipeFilter());
    if (!path.isEmpty()) {
        saveRecipe(path);
    }
}

void frmMain::selectCircle(int index) {
    if (index == inspection_.selectedIndex() || index < 0 || index >= inspection_.circleCount()) {
        return;
    }
    inspection_.select(index);
    const CircleSetting& selected = inspection_.selected();
    ui.txtStandard->setText(NumberFormat::general(selected.standard));
    ui.txtTolerance->setText(NumberFormat::general(selected.tolerance));
    circlesChanged();
}

bool frmMain::selectCircleAt(int x, int y) {
    if (inspection_.circleCount() < 2) {
        return false;
    }
    const int hit = CircleSelection::circleAt(inspection_.circles(), x, y);
    if (hit < 0 || hit == inspection_.selectedIndex()) {
        return false;
    }
    selectCircle(hit);
    return true;
}

void frmMain::addCircle() {
    CircleSetting circle;
    // At the pointer when it is over the image (a shortcut pressed there), else at the centre.
    const QPoint pointer = KeshDisplayEx1->viewport()->mapFromGlobal(QCursor::pos()) +
                           QPoint(KeshDisplayEx1->horizontalScrollBar()->value(),
                                  KeshDisplayEx1->verticalScrollBar()->value());
    const bool overImage = KeshDisplayEx1->viewport()->rect().contains(
                               KeshDisplayEx1->viewport()->mapFromGlobal(QCursor::pos())) &&
                           QRect(0, 0, KeshImage1.width(), KeshImage1.height()).contains(pointer);
    const CircleDrag::Centre centre =
        overImage ? CircleDrag::clampCentre(pointer.x(), pointer.y(), KeshImage1.width(),
                                            KeshImage1.height())
                  : CircleDrag::clampCentre(KeshImage1.width() / 2, KeshImage1.height() / 2,
                                            KeshImage1.width(), KeshImage1.height());
    circle.figure.setCenterX(centre.x);
    circle.figure.setCenterY(centre.y);
    circle.figure.setRadius(kInitialRadius);
    // The limits as applied to the circle selected so far.
    inspection_.applyTypedLimits(ui.txtStandard->text(), ui.txtTolerance->text());
    circle.standard = inspection_.selected().standard;
    circle.tolerance = inspection_.selected().tolerance;
    if (!inspection_.addCircle(circle)) {
        return;
    }
    circlesChanged();
    showCirclePanel();
    MeasureCircle();
}

void frmMain::removeCircle() {
    if (!inspection_.removeCircle(inspection_.selectedIndex())) {
        return;
    }
    const CircleSetting& selected = inspection_.selected();
    ui.txtStandard->setText(NumberFormat::general(selected.standard));
    ui.txtTolerance->setText(NumberFormat::general(selected.tolerance));
    circlesChanged();
    MeasureCircle();
}

void frmMain::editCircle(int index, const QString& name, double standard, double tolerance) {
    if (index < 0 || index >= inspection_.circleCount()) {
        return;
    }
    CircleSetting& circle = inspection_.circle(index);
    const bool nameTaken = std::any_of(
        inspection_.circles().begin(), inspection_.circles().end(),
        [&](const CircleSetting& other) { return &other != &circle && other.name == name; });
    if (!name.isEmpty() && !nameTaken) {
        circle.name = name;
    }
    circle.standard = standard;
    circle.tolerance = tolerance;
    if (index == inspection_.selectedIndex()) {
        ui.txtStandard->setText(NumberFormat::general(standard));
        ui.txtTolerance->setText(NumberFormat::general(tolerance));
    }
    circlesChanged();
    MeasureCircle();
}

void frmMain::circlesChanged() {
    std::vector<KeshDisplayEx::CircleMark> marks;
    const bool several = inspection_.circleCount() > 1;
    for (int i = 0; several && i < inspection_.circleCount(); ++i) {
        if (i == inspection_.selectedIndex()) {
            continue; // drawn as the figure, which follows the drags
        }
        const MeasuredCircle at = JudgementRules::measuredCircle(inspection_.circle(i).figure);
        marks.push_back({at.centreX, at.centreY, at.radius, toColour(circleColour(i)),
                         inspection_.circle(i).name, false});
    }
    KeshDisplayEx1->setMarks(marks);
    removeCircleAction_->setEnabled(several);
    addCircleAction_->setEnabled(inspection_.circleCount() < Inspection::kMaxCircles);
    if (!several) {
        circlePanel_->hide();
    } else if (isVisible()) {
        showCirclePanel();
    }
}

void frmMain::showCirclePanel() {
    if (inspection_.circleCount() < 2) {
        return;
    }
    if (!circlePanel_->isVisible()) {
        circlePanel_->resize(560, 120 + 24 * std::min(inspection_.circleCount(), 12));
        circlePanel_->move(frameGeometry().topRight() + QPoint(8, 0));
        circlePanel_->show();
    }
    circlePanel_->showCircles(inspection_.circles(), inspection_.selectedIndex(),
                              inspection_.last());
}

void frmMain::setLive(bool on) {
    if (!on) {
        stopLive();
        return;
    }
    if (isLive() || !blnVideoReady) {
        return;
    }
    // The camera is used by the feed's thread alone until live stops; Grab waits meanwhile.
    liveFeed_ = new LiveFeed(
        [this](KeshImage& image) {
            KeshVideo1.captureBegin();
            KeshVideo1.captureEnd(image);
            return KeshVideo1.status();
        },
        this);
    connect(liveFeed_, &LiveFeed::frameReady, this,
            [this] { HandlerGuard::run(*services_.messages, [this] { showLiveFrames(); }); });
    connect(liveFeed_, &LiveFeed::failed, this, [this](int status) {
        HandlerGuard::run(*services_.messages, [&] { liveCameraFailed(status); });
    });
    liveMeter_.reset();
    inspection_.startLive();
    driftAlarm_.reset();
    alarmReadout_->clear();
    alarmReadout_->hide();
    liveFiguresShown_ = LiveMeter::Clock::now();
    ui.cmdGrab->setEnabled(false);
    liveReadout_->setText(QCoreApplication::translate("frmMain", "ライブ"));
    liveFeed_->start();
}

void frmMain::stopLive() {
    if (!liveFeed_) {
        return;
    }
    // The feed may be reporting its failure right now, so it goes once that is over.
    LiveFeed* feed = std::exchange(liveFeed_, nullptr);
    feed->stop();
    feed->disconnect(this);
    feed->deleteLater();
    liveFrameArrived_.reset();
    const QSignalBlocker quiet(liveAction_);
    liveAction_->setChecked(false);
    ui.cmdGrab->setEnabled(blnVideoReady);
    liveReadout_->clear();
}

// Frames that come while one is being shown are not nested: the newest is taken after it.
void frmMain::showLiveFrames() {
    if (showingLiveFrames_) {
        liveFrameWaiting_ = true;
        return;
    }
    struct Scope {
        bool& flag;
        explicit Scope(bool& f) : flag(f) { flag = true; }
        ~Scope() { flag = false; }
    } scope(showingLiveFrames_);
    do {
        liveFrameWaiting_ = false;
        if (!liveFeed_) {
            return;
        }
        std::optional<LiveFrame> frame = liveFeed_->takeFrame();
        if (!frame) {
            return;
        }
        KeshImage1 = std::move(frame->image);
        liveFrameArrived_ = frame->arrived;
        inspection_.imageReplaced({ImageOrigin::Kind::LiveFrame, strConfFilePath, std::nullopt});
        const bool claimed = liveFrameClaim_ && liveFrameClaim_(frame->arrived);
        KeshDisplayEx1->showImage(KeshImage1);
        MeasureCircle();
        settle(claimed ? SettleRule::Event::LineTriggered : SettleRule::Event::LiveFrame);
        showLiveFigures();
    } while (liveFrameWaiting_);
}

void frmMain::showLiveFigures() {
    const LiveMeter::Clock::time_point now = LiveMeter::Clock::now();
    if (now - liveFiguresShown_ < std::chrono::milliseconds(250)) {
        return;
    }
    liveFiguresShown_ = now;
    liveReadout_->setText(QCoreApplication::translate("frmMain", "ライブ %1 fps  取込→判定 %2 ms")
                              .arg(liveMeter_.framesInLastSecond(now))
                              .arg(NumberFormat::fixed(liveMeter_.medianLatencyMs(), 1)));
}

// As after a failed Grab: the operator is told the camera's status and the last good
// frame stays on screen.
void frmMain::liveCameraFailed(int status) {
    stopLive();
    services_.messages->show(
        withErrorCode(QCoreApplication::translate("frmMain", "画像の取込に失敗しました。"), status),
        MessageBox::Exclamation, QCoreApplication::translate("frmMain", "取込失敗"));
}
