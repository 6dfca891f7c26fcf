#include "frmRecordSettings.h"

// Ours
#include "DatabaseProbe.h"
#include "DatabaseUrl.h"
#include "RecordLocations.h"
#include "RecordSettings.h"
#include "ui_frmRecordSettings.h"

frmRecordSettings::frmRecordSettings(RecordSettings& settings, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmRecordSettings>()), settings_(settings) {
    ui->setupUi(this);
    setFixedSize(size());
    ui->txtDatabaseUrl->setPlaceholderText(RecordLocations::defaultDatabaseUrl().toString());
    ui->txtDatabaseUrl->setText(settings_.databaseUrlText());
    ui->txtStation->setPlaceholderText(RecordLocations::hostName());
    ui->txtStation->setText(settings_.stationOverride());
    ui->chkKeepOkImages->setChecked(settings_.keepOkImages());
    connect(ui->cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(ui->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

frmRecordSettings::~frmRecordSettings() = default;

void frmRecordSettings::cmdOK_Click() {
    const QString url = ui->txtDatabaseUrl->text().trimmed();
    QString error;
    const std::optional<DatabaseUrl> parsed =
        url.isEmpty() ? std::nullopt : DatabaseUrl::parse(url, &error);
    if (!url.isEmpty() && !parsed) {
        ui->lblError->setText(error);
        return;
    }
    // Tried before it is taken; a second OK keeps an unreachable URL (records wait in the
    // spool until it answers).
    if (parsed && url != triedAndRefused_) {
        const DatabaseProbe::Result tried = DatabaseProbe::tryUrl(*parsed);
        if (!tried.reachable) {
            triedAndRefused_ = url;
            ui->lblError->setText(
                tr("%1\nこのまま保存するにはもう一度OKを押してください").arg(tried.message));
            return;
        }
    }
    settings_.setDatabaseUrlText(url);
    settings_.setStationOverride(ui->txtStation->text());
    settings_.setKeepOkImages(ui->chkKeepOkImages->isChecked());
    accept();
}
