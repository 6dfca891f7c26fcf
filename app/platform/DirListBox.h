#pragma once

// Qt
#include <QListWidget>
#include <QString>

// Ours
#include "Services.h"

// The open folder, the way up to its root and its sub-folders. A folder is opened by
// double-click or Enter, not by highlighting it; opening it changes path().
class DirListBox : public QListWidget {
    Q_OBJECT

public:
    // Starts in the process's current folder.
    explicit DirListBox(QWidget* parent = nullptr);

    // The widget starts on the real services; a form replaces them right after building.
    // Lists the current folder again, as seen through the new volumes.
    void setServices(const Services& services);

    QString path() const; // native separators, no trailing separator except at a root
    // Opens `path`; emits changed() synchronously when it differs from the current one.
    // Throws RuntimeError when the folder cannot be opened (drive not ready, missing,
    // unreadable, a link loop); the list then keeps its previous folder.
    void setPath(const QString& path);

    // Lists the open folder's sub-folders again.
    void refresh();

    // The full path of the folder an item stands for.
    static constexpr int PathRole = Qt::UserRole;

signals:
    void changed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void openByOperator(const QListWidgetItem* item);

    void showCurrentFolder();

    Services services_;
    QString path_;
};
