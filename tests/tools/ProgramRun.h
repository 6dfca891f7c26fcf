#pragma once

// Qt
#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

namespace testutils {

// How a program run by a test ended and what it wrote.
struct ProgramRun {
    int exitCode = -1; // -1 when it crashed or did not finish
    QByteArray output;
    QByteArray errors;
    QList<QByteArray> lines() const { return output.trimmed().split('\n'); }
};

// Starts `process`, set up by the caller (environment, folder, output file), with `command`
// (the program and its arguments) and waits for its end, for two minutes at most.
inline ProgramRun runToEnd(QProcess& process, QStringList command) {
    const QString program = command.takeFirst();
    process.start(program, command);
    ProgramRun run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << program.toStdString() << " did not finish";
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = process.readAllStandardOutput();
    run.errors = process.readAllStandardError();
    return run;
}

} // namespace testutils
