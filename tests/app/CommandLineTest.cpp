// Qt
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

// Ours
#include "CommandLine.h"
#include "GavrelVersion.h"

#include <gtest/gtest.h>

TEST(CommandLineTest, ReadsTheOptionsAndRefusesEverythingElse) {
    using A = CommandLine::Action;
    struct Case {
        QStringList arguments;
        A action;
        QString recipe;
    };
    for (const Case& c :
         {Case{{}, A::OpenWindow, {}}, Case{{"--help"}, A::ShowHelp, {}},
          Case{{"-h"}, A::ShowHelp, {}}, Case{{"--version"}, A::ShowVersion, {}},
          Case{{"-v"}, A::ShowVersion, {}}, Case{{"--help", "--version"}, A::ShowHelp, {}},
          Case{{"--recipe", "line 3.ini"}, A::OpenWindow, "line 3.ini"},
          Case{{"--recipe=a.ini"}, A::OpenWindow, "a.ini"}, Case{{"--recipe"}, A::Refuse, {}},
          Case{{"--bogus"}, A::Refuse, {}}, Case{{"-x"}, A::Refuse, {}},
          Case{{"line 3.gavrel-recipe"}, A::OpenWindow, "line 3.gavrel-recipe"},
          Case{{"a.gavrel-recipe", "b.gavrel-recipe"}, A::Refuse, {}},
          Case{{"--recipe", "a.gavrel-recipe", "b.gavrel-recipe"}, A::Refuse, {}},
          Case{{"--version=2"}, A::Refuse, {}}}) {
        CommandLine commandLine;
        const QStringList arguments = QStringList{"Gavrel"} + c.arguments;
        EXPECT_EQ(commandLine.read(arguments), c.action) << arguments.join(' ').toStdString();
        EXPECT_EQ(commandLine.refusal().isEmpty(), c.action != A::Refuse);
        if (c.action != A::Refuse) {
            EXPECT_EQ(commandLine.recipePath(), c.recipe);
        }
    }
}

TEST(CommandLineTest, VersionNamesBothPartsAndALibraryThatWillNotLoad) {
    EXPECT_EQ(CommandLine::versionText(10100),
              QStringLiteral("Gavrel %1\nPelmint 1.1.0\n").arg(QLatin1String(gavrel::kVersion)));
    EXPECT_EQ(CommandLine::versionText(20304).section('\n', 1, 1), QStringLiteral("Pelmint 2.3.4"));
    const QString missing = CommandLine::versionText(0).section('\n', 1, 1);
    EXPECT_TRUE(missing.startsWith(QStringLiteral("Pelmint "))) << missing.toStdString();
    EXPECT_FALSE(missing.contains(QStringLiteral("0.0.0")));
}

namespace {

struct ProgramRun {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QString out, err;
};

// Runs the built program with nothing of a window system in its environment.
ProgramRun runWithoutDisplay(const QStringList& arguments) {
    QProcessEnvironment environment;
    environment.insert("PATH", qEnvironmentVariable("PATH"));
    environment.insert("HOME", qEnvironmentVariable("HOME"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QCoreApplication::applicationDirPath() + "/Gavrel", arguments);
    ProgramRun run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitCode();
    run.status = process.exitStatus();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

TEST(CommandLineTest, OptionsAnswerWithoutADisplay) {
    const ProgramRun help = runWithoutDisplay({"--help"});
    EXPECT_EQ(help.status, QProcess::NormalExit);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--version")) << help.out.toStdString();

    const ProgramRun version = runWithoutDisplay({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("Gavrel %1\nPelmint ").arg(gavrel::kVersion)))
        << version.out.toStdString();
}

TEST(CommandLineTest, WithoutADisplayOneLineAndStatusOne) {
    for (const QStringList& arguments : {QStringList{}, QStringList{"--bogus"}}) {
        const ProgramRun run = runWithoutDisplay(arguments);
        EXPECT_EQ(run.status, QProcess::NormalExit) << "no abort";
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.startsWith("Gavrel: ")) << run.err.toStdString();
    }
}
