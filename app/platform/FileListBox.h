#pragma once

// Qt
#include <QListWidget>
#include <QString>

// The ordinary files of one folder that match a pattern ("*.bmp", or several separated
// by ';', without regard to case), sorted by name; hidden files are left out.
class FileListBox : public QListWidget {
    Q_OBJECT

public:
    // Starts in the process's current folder with the pattern "*.*" (every file).
    explicit FileListBox(QWidget* parent = nullptr);

    QString path() const;              // a root ends in its separator, any other folder does not
    void setPath(const QString& path); // clears the selection
    QString pattern() const;
    void setPattern(const QString& pattern); // clears the selection
    int listIndex() const;                   // -1 when nothing is selected
    // Throws RuntimeError 380 for an index outside -1 .. count() - 1.
    void setListIndex(int index);
    QString fileName() const; // the selected name without folder; empty when none

    // Lists the folder again; clears the selection. A folder that cannot be read
    // shows no files.
    void refresh();

    // Whether `name` matches `pattern` as the list filters.
    static bool matches(const QString& pattern, const QString& name);

signals:
    // The selection changed (by the operator or through setListIndex()), or the operator
    // clicked the file that was already selected.
    void fileClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void selectionChangedHere();
    void itemClickedHere(const QModelIndex& index);

    QString path_;
    QString pattern_;
    int selected_ = -1;
    int selectedBeforePress_ = -1;
};
