// The desktop's names for the running program and its icon, found beside a built program.

// Qt
#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>

// Ours
#include "DesktopIdentity.h"

#include <gtest/gtest.h>

TEST(DesktopIdentityTest, NamesTheDesktopEntryAndShowsGavrelsIcon) {
    const QString programFolder = QCoreApplication::applicationDirPath();
    DesktopIdentity::apply(programFolder);
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("gavrel"));
    // The build puts the icon where an installation does, relative to the program.
    EXPECT_FALSE(QIcon(DesktopIdentity::iconBeside(programFolder)).pixmap(32, 32).isNull())
        << DesktopIdentity::iconBeside(programFolder).toStdString()
        << " (an SVG icon also needs libqt6svg6)";
    EXPECT_FALSE(QGuiApplication::windowIcon().isNull());
}
