#include "frmRecordSettings.h"

// Standard library
#include <optional>

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
    // A stored password is never shown: the field holds the URL without it, and OK keeps it
    // unless another is typed.
    const QString stored = settings_.databaseUrlText();
    const auto url = DatabaseUrl::parse(stored);
    if (url && !url->password().isEmpty()) {
        storedPassword_ = url->password();
        shownUrl_ = url->toDisplayString();
        ui->txtDatabaseUrl->setText(shownUrl_);
    } else {
        ui->txtDatabaseUrl->setText(stored);
    }
    ui->txtStation->setPlaceholderText(RecordLocations::hostName());
    ui->txtStation->setText(settings_.stationOverride());
    ui->chkKeepOkImages->setChecked(settings_.keepOkImages());
    connect(ui->cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(ui->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

frmRecordSettings::~frmRecordSettings() = default;

void frmRecordSettings::cmdOK_Click() {
    QString url = ui->txtDatabaseUrl->text().trimmed();
    QString error;
    const std::optional<DatabaseUrl> parsed =
        url.isEmpty() ? std::nullopt : DatabaseUrl::parse(url, &error);
    if (!url.isEmpty() && !parsed) {
        ui->lblError->setText(error);
        return;
    }
    const QString station = ui->txtStation->text();
    for (const QChar c : station) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format) {
            ui->lblError->setText(tr("ステーション名に制御文字は使えません。"));
            return;
        }
    }
    // The URL is shown without its password; unchanged, it keeps the one stored.
    std::optional<DatabaseUrl> full = parsed;
    if (parsed && !storedPassword_.isEmpty() && url == shownUrl_) {
        full = parsed->withPassword(storedPassword_);
        url = full->toString();
    }
    // Tried before it is taken; a second OK keeps an unreachable URL (records wait in the
    // spool until it answers).
    if (full && url != triedAndRefused_) {
        const DatabaseProbe::Result tried = DatabaseProbe::tryUrl(*full);
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
