#pragma once

// Standard library
#include <memory>

// Qt
#include <QDialog>

class RecordSettings;
namespace Ui {
class frmRecordSettings;
}

// 記録の設定: where the record is kept, the station's name and whether OK images are kept.
// OK tries the URL, then stores a readable setting and closes; a URL that cannot be read or
// reached is said at once.
class frmRecordSettings : public QDialog {
    Q_OBJECT

public:
    explicit frmRecordSettings(RecordSettings& settings, QWidget* parent = nullptr);
    ~frmRecordSettings() override;

private:
    void cmdOK_Click();

    std::unique_ptr<Ui::frmRecordSettings> ui;
    RecordSettings& settings_;
    QString triedAndRefused_;
};
