#pragma once

// Qt
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

// The program's options, defined here and nowhere else. Reading them needs no window, so
// --help and --version answer without a display.
class CommandLine {
    Q_DECLARE_TR_FUNCTIONS(CommandLine)

public:
    enum class Action { OpenWindow, ShowHelp, ShowVersion, Refuse };

    CommandLine();

    // `arguments` starts with the program's name, as QCoreApplication::arguments() does.
    Action read(const QStringList& arguments);

    // The inspection recipe to start with (--recipe FILE, or FILE alone), or empty.
    QString recipePath() const;
    // Why the arguments were refused, one line.
    const QString& refusal() const { return refusal_; }
    QString helpText() const;
    // Names the program's version and the measurement library's, given as
    // MAJOR * 10000 + MINOR * 100 + PATCH, 0 when the library cannot be loaded.
    static QString versionText(int pelmintVersion);

private:
    QCommandLineParser parser_;
    QCommandLineOption help_;
    QCommandLineOption version_;
    QCommandLineOption recipe_;
    QString refusal_;
};
