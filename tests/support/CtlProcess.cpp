#include "CtlProcess.h"

#include <QCoreApplication>
#include <QProcess>
#include <gtest/gtest.h>

QString BuiltCtl() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../src/lanx1ctl");
}

TCtlRun RunCtl(const QStringList &Args, const QString &WorkDir, const QProcessEnvironment &Env,
               const QString &Program) {
    QProcess P;
    P.setWorkingDirectory(WorkDir);
    if (!Env.isEmpty())
        P.setProcessEnvironment(Env);
    P.start(Program.isEmpty() ? BuiltCtl() : Program, Args);
    TCtlRun R;
    if (!P.waitForFinished(120000)) {
        ADD_FAILURE() << "lanx1ctl did not finish: " << Args.join(u' ').toStdString();
        P.kill();
        P.waitForFinished();
        return R;
    }
    R.Status = P.exitStatus() == QProcess::NormalExit ? P.exitCode() : -1;
    R.Out = QString::fromLocal8Bit(P.readAllStandardOutput());
    R.Err = QString::fromLocal8Bit(P.readAllStandardError());
    return R;
}
