#pragma once

// Standard library
#include <memory>

// Qt
#include <QDialog>
#include <QString>

// Ours
#include "DialogWindow.h"
#include "Services.h"

namespace Ui {
class frmSelectVideoConfFile;
}

// The start-up chooser: a video configuration file for the camera, or none to work
// from image files only.
class frmSelectVideoConfFile : public DialogWindow {
    Q_OBJECT

public:
    // Offers the files of the services' video configuration folder first.
    explicit frmSelectVideoConfFile(Services services = {}, QWidget* parent = nullptr);
    ~frmSelectVideoConfFile() override;

    // The result, readable after the dialog has closed: the chosen file's full path,
    // or empty for working without a camera (also when the close box was used).
    QString strVideoConfFilePath;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void drvConfFile_Change();
    void dirConfFile_Change();
    void chkNotUseCamera_Click();
    void cmdOK_Click();

    Services services_;
    std::unique_ptr<Ui::frmSelectVideoConfFile> ui_;
};
