#pragma once

// Qt
#include <QListWidget>
#include <QString>

// The ordinary files of one folder that match a pattern ("*.bmp", or several separated
// by ';', without regard to case), sorted by name; hidden files are left out.
class FileListBox : public QListWidget {
    Q_OBJECT

public:
    explicit FileListBox(QWidget* parent = nullptr);

    QString path() const;              // a root ends in its separator, any other folder does not
    void setPath(const QString& path); // clears the selection
    QString pattern() const;
    void setPattern(const QString& pattern);
    int listIndex() const; // -1 when nothing is selected
    void setListIndex(int index);
    QString fileName() const; // the selected name without folder; empty when none

signals:
    // The selection changed (by the operator or through setListIndex()).
    void fileClicked();
};
