#pragma once

// Standard library
#include <memory>

// Qt
#include <QString>

// The open-image dialog. The object lives as long as the program and keeps its pattern
// and result; its window is loaded for each showing and unloaded when it closes.
class frmFileLoad {
public:
    frmFileLoad(); // Form_Initialize
    ~frmFileLoad();
    frmFileLoad(const frmFileLoad&) = delete;
    frmFileLoad& operator=(const frmFileLoad&) = delete;

    void setStrPattern(const QString& pattern); // strPattern (write only); loads the window
    QString strFilePath() const;                // the chosen full path; empty when cancelled
    void showModal();                           // returns when the window has been unloaded

private:
    struct Window;

    Window& loaded();
    void Form_Load();
    void drvFile_Change();
    void dirFile_Change();
    void cmdOK_Click();
    void cmdCancel_Click();

    QString storedPattern_;
    QString storedResult_;
    std::unique_ptr<Window> window_;
};
