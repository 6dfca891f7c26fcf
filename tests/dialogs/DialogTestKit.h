#pragma once

// What the dialog tests share: fake volumes rooted in a sandbox, the current folder they
// change and restore, and operator actions on the real list widgets.

// Standard library
#include <functional>
#include <memory>
#include <utility>
#include <vector>

// Qt
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QListWidget>
#include <QStringList>
#include <QTest>
#include <QTimer>

// Ours
#include "DirListBox.h"
#include "DriveListBox.h"
#include "RuntimeError.h"
#include "Services.h"
#include "VolumeList.h"
#include "testutils.h"

#include <gtest/gtest.h>

namespace dialogtest {

class FakeVolumes : public VolumeList {
public:
    std::vector<Volume> list;
    std::vector<Volume> volumes() const override { return list; }
};

inline QString native(const QString& path) {
    return QDir::toNativeSeparators(QDir::cleanPath(path));
}

// Three volumes inside a sandbox: A and C ready, B mounted but not ready. The process's
// current folder is restored afterwards.
class Volumes {
public:
    Volumes()
        : a(native(sandbox.mkdir(QStringLiteral("volA")))),
          b(native(sandbox.mkdir(QStringLiteral("volB")))),
          c(native(sandbox.mkdir(QStringLiteral("volC")))), previousCurrent_(QDir::currentPath()),
          fake_(std::make_shared<FakeVolumes>(fakeOf(a, b, c))) {}
    ~Volumes() { QDir::setCurrent(previousCurrent_); }
    Volumes(const Volumes&) = delete;
    Volumes& operator=(const Volumes&) = delete;

    QString write(const QString& name) const {
        return native(sandbox.write(name, QByteArrayLiteral("x")));
    }
    QString mkdir(const QString& name) const { return native(sandbox.mkdir(name)); }
    std::shared_ptr<const VolumeList> list() const { return fake_; }
    // What a dialog over these volumes is given: these volumes, `messages`, and the real rest.
    Services services(std::shared_ptr<MessageBox> messages) const {
        Services services;
        services.messages = std::move(messages);
        services.volumes = fake_;
        return services;
    }
    // The same, with the program in `programFolder`.
    Services services(std::shared_ptr<MessageBox> messages, const QString& programFolder) const {
        Services withFolder = services(std::move(messages));
        withFolder.programFolder = programFolder;
        return withFolder;
    }

    testutils::Sandbox sandbox;
    const QString a;
    const QString b;
    const QString c;

private:
    static FakeVolumes fakeOf(const QString& ready1, const QString& notReady,
                              const QString& ready2) {
        FakeVolumes fake;
        fake.list = {{ready1, QStringLiteral("A"), true},
                     {notReady, QStringLiteral("B"), false},
                     {ready2, QStringLiteral("C"), true}};
        return fake;
    }

    QString previousCurrent_;
    std::shared_ptr<FakeVolumes> fake_;
};

inline QStringList itemTexts(const QListWidget& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) {
        texts << list.item(i)->text();
    }
    return texts;
}

inline void clickItem(QListWidget& list, const QString& text) {
    const QList<QListWidgetItem*> found = list.findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    list.scrollToItem(found.first());
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(found.first()).center());
}

// Opens `folder` the way the operator does: a double-click on its entry.
inline void openFolder(DirListBox& list, const QString& folder) {
    for (int i = 0; i < list.count(); ++i) {
        if (list.item(i)->data(DirListBox::PathRole).toString() == folder) {
            list.scrollToItem(list.item(i));
            QTest::mouseDClick(list.viewport(), Qt::LeftButton, {},
                               list.visualItemRect(list.item(i)).center());
            return;
        }
    }
    FAIL() << "no entry for " << folder.toStdString();
}

// Picks the drive with the arrow keys, as the operator can on the closed drop-down. Stops
// where a drive is refused (the list went back), so pass no drive that is not ready.
inline void chooseDrive(DriveListBox& drives, const QString& drive) {
    const int target = drives.findData(drive);
    ASSERT_GE(target, 0) << drive.toStdString();
    drives.setFocus();
    for (int step = 0; step < drives.count() && drives.currentIndex() != target; ++step) {
        const int before = drives.currentIndex();
        QTest::keyClick(&drives, before < target ? Qt::Key_Down : Qt::Key_Up);
        if (drives.currentIndex() == before) {
            return;
        }
    }
}

// The next widget that Tab moves to after `widget`.
inline QWidget* nextFocusable(QWidget* widget) {
    QWidget* next = widget->nextInFocusChain();
    while (next != widget && next->focusPolicy() == Qt::NoFocus) {
        next = next->nextInFocusChain();
    }
    return next;
}

inline QDialog* visibleDialog(const QString& objectName) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == objectName && widget->isVisible()) {
            return qobject_cast<QDialog*>(widget);
        }
    }
    return nullptr;
}

// Shows a modal dialog through `showModal` and lets `operate` work on its window from
// inside the modal loop. A window still open afterwards is closed, so nothing blocks.
inline void whileShown(const QString& objectName, const std::function<void()>& showModal,
                       const std::function<void(QDialog&)>& operate) {
    bool operated = false;
    QTimer::singleShot(0, [&] {
        QDialog* window = visibleDialog(objectName);
        if (window == nullptr) {
            ADD_FAILURE() << "no modal " << objectName.toStdString();
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modal->close();
            }
            return;
        }
        operated = true;
        operate(*window);
        if (window->isVisible()) {
            window->close();
        }
    });
    showModal();
    EXPECT_TRUE(operated);
}

// The folder list's error for opening `folder`, as the platform words it.
inline QString errorText(const Volumes& volumes, const QString& folder) {
    Services services;
    services.volumes = volumes.list();
    DirListBox probe;
    probe.setServices(services);
    try {
        probe.setPath(folder);
    } catch (const RuntimeError& error) {
        return QString::number(error.number()) + QStringLiteral(" : ") + error.description();
    }
    return QString();
}

} // namespace dialogtest
