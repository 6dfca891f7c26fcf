#pragma once

// Qt
#include <QDialog>
#include <QString>

// The start-up chooser: a video configuration file for the camera, or none to work
// from image files only.
class frmSelectVideoConfFile : public QDialog {
    Q_OBJECT

public:
    explicit frmSelectVideoConfFile(QWidget* parent = nullptr);
    ~frmSelectVideoConfFile() override;

    // The result, readable after the dialog has closed: the chosen file's full path,
    // or empty for working without a camera (also when the close box was used).
    QString strVideoConfFilePath;

    // Where the configuration files are offered first; tests point it elsewhere.
    static QString defaultFolder();
    class DefaultFolderOverride {
    public:
        explicit DefaultFolderOverride(const QString& folder);
        ~DefaultFolderOverride();
        DefaultFolderOverride(const DefaultFolderOverride&) = delete;
        DefaultFolderOverride& operator=(const DefaultFolderOverride&) = delete;

    private:
        QString previous_;
    };
};
