#pragma once

// Standard library
#include <memory>

// Qt
#include <QString>

// The save-image dialog: the open-image dialog with a typed file name and a default
// extension added to a path without a dot.
class frmFileSave {
public:
    frmFileSave(); // Form_Initialize
    ~frmFileSave();
    frmFileSave(const frmFileSave&) = delete;
    frmFileSave& operator=(const frmFileSave&) = delete;

    void setStrDefaultExtension(const QString& extension); // strDefaultExtension (write only)
    void setStrPattern(const QString& pattern); // strPattern (write only); loads the window
    QString strFilePath() const;                // empty when cancelled
    void showModal();

private:
    struct Window;

    Window& loaded();
    void Form_Load();
    void drvFile_Change();
    void dirFile_Change();
    void filFile_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

    QString storedDefaultExtension_;
    QString storedPattern_;
    QString storedResult_;
    std::unique_ptr<Window> window_;
};
