// lanx1ctl: the transducer from scripts and test rigs, without windows, through
// the same logic library, settings files, request log and archive as the program.
#include "uCtlArgs.h"
#include "uCtlCommands.h"
#include "uCtlHelp.h"
#include "uCtlSession.h"
#include "uBDE.h"
#include "uFolders.h"
#include "uFormat.h"
#include "uSysUtils.h"
#include "uVersion.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QTextStream>
#include <csignal>
#include <utility>
#include <cstdio>

namespace {

void StopPolling(int) {
    RequestPollStop();
}

int Dispatch(const TGlobalOptions &Options, const QString &Command, const QStringList &Args, QTextStream &Out,
             QTextStream &Err) {
    if (Command == QLatin1String("frame"))
        return RunFrame(Options, Args, Out);
    if (Command == QLatin1String("read"))
        return RunRead(Options, Args, Out, Err);
    if (Command == QLatin1String("write"))
        return RunWrite(Options, Args, Out, Err);
    if (Command == QLatin1String("autocal"))
        return RunAutocal(Options, Args, Out);
    if (Command == QLatin1String("table"))
        return RunTable(Options, Args, Out);
    if (Command == QLatin1String("archive"))
        return RunArchive(Options, Args, Out);
    // Ctrl+C ends polling after the running cycle, so the archive and the log
    // stay whole; a scan or a link test ends after its running try.
    std::signal(SIGINT, StopPolling);
    std::signal(SIGTERM, StopPolling);
    if (Command == QLatin1String("scan"))
        return RunScan(Options, Args, Out, Err);
    if (Command == QLatin1String("stats"))
        return RunStats(Options, Args, Out);
    return RunPoll(Options, Args, Out, Err);
}

// The program's folders (portable or installed), then the overrides of this run.
void UseFolders(const TGlobalOptions &Options) {
    QString Error;
    if (!ApplyFolders(ChooseFolders(ProbeFolders(QCoreApplication::applicationDirPath())), FirstSerialPort, &Error))
        throw ECtlFailure(Error);
    // A folder given on the command line is used as it is: one that is not
    // there is named, never replaced by the default nor made.
    for (const auto &[Name, Dir] : {std::pair{"--data", Options.Data}, std::pair{"--ini", Options.Ini}})
        if (!Dir.isEmpty() && !QFileInfo(Dir).isDir())
            throw ECtlFailure(QLatin1String(Name) + QStringLiteral(": no folder ") + Dir);
    if (!Options.Data.isEmpty()) {
        SetProgramDir(Options.Data);
        PinDbPath(JoinPath(Options.Data, QStringLiteral("DATA")));
    }
    if (!Options.Ini.isEmpty())
        SetIniDir(Options.Ini);
}

int Run(QStringList Args, QTextStream &Out, QTextStream &Err) {
    bool Help = false;
    const TGlobalOptions Options = TakeGlobalOptions(Args, Help);
    if (Options.Version) {
        Out << "lanx1ctl " LANX1_VERSION "\n";
        return ExitOk;
    }
    UseFolders(Options);
    if (Args.isEmpty()) {
        if (!Help)
            throw ECtlUsage(QStringLiteral("no command given"));
        Out << GeneralHelp();
        return ExitOk;
    }
    const QString Command = Args.takeFirst();
    if (Command == QLatin1String("help")) {
        const QString Text = Args.isEmpty() ? GeneralHelp() : CommandHelp(Args.first());
        if (Text.isEmpty())
            throw ECtlUsage(QStringLiteral("unknown command ") + Args.first());
        Out << Text;
        return ExitOk;
    }
    const QString Text = CommandHelp(Command);
    if (Text.isEmpty())
        throw ECtlUsage(QStringLiteral("unknown command ") + Command);
    if (Help || Args.contains(QStringLiteral("--help"))) {
        Out << Text;
        return ExitOk;
    }
    return Dispatch(Options, Command, Args, Out, Err);
}

} // namespace

int main(int argc, char **argv) {
    AppDir(); // INI and the request log belong to the folder current at start
    QCoreApplication App(argc, argv);
    // The library's diagnostics stay quiet unless QT_LOGGING_RULES asks for them:
    // standard error carries the one line that explains a failure.
    QLoggingCategory::setFilterRules(QStringLiteral("lanx1.*=false"));
    SetDefaultFormatSettings(TFormatSettings::FromLocale(DisplayLocale(QLocale::system())));

    QTextStream Out(stdout);
    QTextStream Err(stderr);
    Out.setEncoding(QStringConverter::System);
    Err.setEncoding(QStringConverter::System);
    int Status = ExitFailure;
    try {
        Status = Run(App.arguments().mid(1), Out, Err);
    } catch (const ECtlUsage &E) {
        Err << "lanx1ctl: " << E.Text() << " (see lanx1ctl --help)\n";
        Status = ExitUsage;
    } catch (const ECtlFailure &E) {
        Err << "lanx1ctl: " << E.Text() << u'\n';
        Status = ExitFailure;
    } catch (const std::exception &E) {
        Err << "lanx1ctl: " << QString::fromStdString(E.what()) << u'\n';
        Status = ExitFailure;
    }
    // Every exchange of the run belongs in the request log: a log that could
    // not be written fails the run, whatever the command did.
    const QString Log = RequestLogFailureOfRun();
    if (!Log.isEmpty()) {
        Err << "lanx1ctl: the request log was not written: " << Log << u'\n';
        if (Status == ExitOk)
            Status = ExitFailure;
    }
    Out.flush();
    Err.flush();
    return Status;
}
