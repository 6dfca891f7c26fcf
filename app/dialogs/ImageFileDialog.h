#pragma once

// Standard library
#include <memory>

// Qt
#include <QString>

// Ours
#include "Services.h"

class DialogWindow;
class DirListBox;
class DriveListBox;
class FileListBox;
class QPushButton;

// What the open- and save-image dialogs share. The object lives as long as the program and
// keeps its pattern and result; its window is loaded for each showing and unloaded when it
// closes.
class ImageFileDialog {
public:
    virtual ~ImageFileDialog();
    ImageFileDialog(const ImageFileDialog&) = delete;
    ImageFileDialog& operator=(const ImageFileDialog&) = delete;

    void setStrPattern(const QString& pattern); // strPattern (write only); loads the window
    QString strFilePath() const;                // the chosen full path; empty when cancelled
    void showModal();                           // returns when the window has been unloaded

protected:
    // The widgets that both forms have, under the same names.
    struct SharedWidgets {
        DriveListBox* drvFile;
        DirListBox* dirFile;
        FileListBox* filFile;
        QPushButton* cmdOK;
        QPushButton* cmdCancel;
    };

    explicit ImageFileDialog(Services services); // Form_Initialize of both dialogs

    const Services& services() const { return services_; }

    // The loaded window's widgets.
    const SharedWidgets& widgets() const;
    // Stores `path` as the answer and unloads the window.
    void confirm(const QString& path);

private:
    struct Window;

    // Builds the form on a newly loaded window, before the shared handlers are connected
    // and Form_Load runs.
    virtual SharedWidgets setUpForm(DialogWindow& dialog) = 0;
    virtual void cmdOK_Click() = 0;

    Window& loaded();
    void Form_Load();
    void drvFile_Change();
    void dirFile_Change();
    void cmdCancel_Click();

    Services services_;
    QString storedPattern_;
    QString storedResult_;
    std::unique_ptr<Window> window_;
};
