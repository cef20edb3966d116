#pragma once
// lanx1ctl as the tests run it: the built program, as a process of its own,
// in a working folder, with its exit status and both outputs.
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct TCtlRun {
    int Status = -1; // -1 when it crashed or did not finish
    QString Out;
    QString Err;
};

// The lanx1ctl of this build.
QString BuiltCtl();

// Runs Program (BuiltCtl() when empty) with Args in WorkDir, in Env when given,
// and waits for it (a failure of the test when it does not finish).
TCtlRun RunCtl(const QStringList &Args, const QString &WorkDir, const QProcessEnvironment &Env = {},
               const QString &Program = {});
