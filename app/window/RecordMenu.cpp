#include "RecordMenu.h"

// Qt
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

// Ours
#include "DatabaseProbe.h"
#include "RecordStore.h"
#include "frmMain.h"
#include "frmMeasurementRecord.h"
#include "frmRecordSettings.h"

RecordMenu::RecordMenu(frmMain& window, RecordStore& store, QSettings& settings)
    : QObject(&window), window_(window), store_(store), settings_(settings),
      indicator_(
          new QLabel(QCoreApplication::translate("RecordMenu", "記録 OK"), window.statusLine())) {
    indicator_->setObjectName(QStringLiteral("lblRecordState"));
    window_.statusLine()->addPermanentWidget(indicator_);
    QMenu* menu = window_.addMenu(QCoreApplication::translate("RecordMenu", "記録(&R)"));
    menu->addAction(QCoreApplication::translate("RecordMenu", "測定記録…"), this,
                    [this] { showRecords(); });
    menu->addAction(QCoreApplication::translate("RecordMenu", "CSV書き出し…"), this,
                    [this] { exportCsv(); });
    menu->addAction(QCoreApplication::translate("RecordMenu", "記録の設定…"), this,
                    [this] { editSettings(); });
    connect(&store_, &RecordStore::stateChanged, this, &RecordMenu::showState);
}

RecordMenu::~RecordMenu() = default;

frmMeasurementRecord& RecordMenu::recordWindow() {
    if (!records_) {
        records_ = std::make_unique<frmMeasurementRecord>(store_.config());
    }
    return *records_;
}

void RecordMenu::showRecords() {
    recordWindow().refresh();
    recordWindow().show();
    recordWindow().raise();
}

void RecordMenu::exportCsv() {
    recordWindow().exportCsvInteractively();
}

void RecordMenu::editSettings() {
    frmRecordSettings dialog(settings_, &window_);
    if (dialog.exec() == QDialog::Accepted) {
        store_.setConfig(settings_.config());
        records_.reset(); // opened again on the new database
    }
}

void RecordMenu::showState(const RecordState& state) {
    switch (state.kind) {
    case RecordState::Kind::Ok:
        indicator_->setText(QCoreApplication::translate("RecordMenu", "記録 OK"));
        break;
    case RecordState::Kind::Spooling:
        indicator_->setText(
            QCoreApplication::translate("RecordMenu", "記録 待機 %1件").arg(state.spooled));
        break;
    case RecordState::Kind::Error:
        indicator_->setText(QCoreApplication::translate("RecordMenu", "記録 エラー"));
        break;
    }
    const QString said = DatabaseProbe::explain(store_.config().url, state.text);
    indicator_->setToolTip(said);
    if (state.kind != shownKind_) {
        shownKind_ = state.kind;
        const QString notice =
            state.kind == RecordState::Kind::Ok
                ? QCoreApplication::translate("RecordMenu", "記録: データベースに書き込みました")
                : QCoreApplication::translate("RecordMenu", "記録: %1").arg(said);
        window_.statusLine()->showMessage(notice, 15000);
    }
}
