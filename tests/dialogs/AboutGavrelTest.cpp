// ヘルプ's version text and its manual entry.

// Qt
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

// Ours
#include "AboutGavrel.h"
#include "GavrelVersion.h"
#include "ServiceFakes.h"

#include <gtest/gtest.h>

TEST(AboutGavrelTest, TextNamesBothVersionsTheLicenceAndTheManual) {
    const QString text =
        AboutGavrel::text(10203, QStringLiteral("/usr/share/doc/gavrel/README.md"));
    EXPECT_TRUE(text.startsWith(
        QStringLiteral("Gavrel %1\r\nPelmint 1.2.3\r\n").arg(QLatin1String(gavrel::kVersion))))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("MIT"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("/usr/share/doc/gavrel/README.md")));
    const QString without = AboutGavrel::text(0, QString());
    EXPECT_FALSE(without.contains(QStringLiteral("0.0.0"))) << without.toStdString();
    EXPECT_TRUE(without.contains(QStringLiteral("man Gavrel"))) << without.toStdString();
}

TEST(AboutGavrelTest, ManualIsFoundBesideTheProgramFirst) {
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const QString bin = prefix.filePath("bin");
    QDir().mkpath(bin);
    const QString manual = prefix.filePath("share/doc/gavrel/README.md");
    EXPECT_EQ(AboutGavrel::manualCandidates(bin).value(0), manual);
    QDir().mkpath(QFileInfo(manual).absolutePath());
    QFile file(manual);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("# Gavrel\n");
    file.close();
    EXPECT_EQ(AboutGavrel::manualPath(bin), manual);
}

TEST(AboutGavrelTest, ManualEntryComesFirstAndSaysWhereItLookedWhenMissing) {
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    QMenu help;
    help.addAction(QStringLiteral("バージョン情報(&A)…"));
    fakes::MessageRecorder messages;
    AboutGavrel::addManualEntry(help, messages, prefix.filePath("bin"));
    ASSERT_EQ(help.actions().size(), 2);
    EXPECT_EQ(help.actions()[0]->text(), QStringLiteral("マニュアル(&M)…"));
    if (!AboutGavrel::manualPath(prefix.filePath("bin")).isEmpty()) {
        GTEST_SKIP() << "a manual is installed on this machine, so it would be opened";
    }
    help.actions()[0]->trigger();
    ASSERT_EQ(messages.records().size(), 1u);
    EXPECT_EQ(messages.records()[0].style, MessageBox::Exclamation);
    EXPECT_TRUE(messages.records()[0].text.contains(prefix.filePath("share/doc/gavrel/README.md")))
        << messages.records()[0].text.toStdString();
}
