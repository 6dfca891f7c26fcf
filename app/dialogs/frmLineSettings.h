#pragma once

// Qt
#include <QDialog>
#include <QString>

// Ours
#include "LineLink.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// ライン連携の設定: the station's name and mode, the PLC's Modbus server, the plant's broker and
// the folder of recipes the PLC chooses from. OK checks what is typed by the link's own rules
// and stays open, naming the field, until it is right.
class frmLineSettings : public QDialog {
    Q_OBJECT

public:
    frmLineSettings(const LineSettings& line, const QString& recipeFolder,
                    QWidget* parent = nullptr);

    // As typed; what the dialog does not show is kept as it was given.
    LineSettings settings() const;
    QString recipeFolder() const;

private:
    void cmdOK_Click();
    // What is wrong with the typed settings and the field at fault; empty when nothing.
    QString problem(QWidget** field) const;
    QStringList allowedClients() const;

    LineSettings given_;
    QLineEdit* txtStation_;
    QComboBox* cboMode_;
    QLineEdit* txtRecipeFolder_;
    QGroupBox* fraModbus_;
    QLineEdit* txtModbusAddress_;
    QSpinBox* spnModbusPort_;
    QSpinBox* spnModbusUnit_;
    QSpinBox* spnModbusClients_;
    QLineEdit* txtModbusAllow_;
    QGroupBox* fraMqtt_;
    QLineEdit* txtMqttUrl_;
    QLineEdit* txtCaFile_;
    QLineEdit* txtCertFile_;
    QLineEdit* txtKeyFile_;
    QLineEdit* txtCredentialsFile_;
    QLineEdit* txtTopicPrefix_;
    QSpinBox* spnQueue_;
    QLabel* lblError_;
};
