// The program: start-up, the message loop, shut-down. Each start-up and
// shut-down block runs in its own error trap, so a failing block skips only
// its own rest and the program goes on with what it has.
//
// "lanx1 --simulator" runs against a simulated transducer on a pseudo-terminal
// instead of the port of INI/ComPort.ini (which is left as it is).
#include "TLanx1Simulator.h"
#include "fGraph.h"
#include "fMain.h"
#include "fTaraEditor.h"
#include "fTurning.h"
#include "rGraph.h"
#include "uBDE.h"
#include "uFolders.h"
#include "uFormat.h"
#include "uLanx1Instance.h"
#include "uLanx1Windows.h"
#include "uMessageBoxes.h"
#include "uParamStr.h"
#include "uProgramIcon.h"
#include "uQtTranslations.h"
#include "uRequestDevices.h"
#include "uSysUtils.h"

#include "uVersion.h"

#include <QApplication>
#include <QLoggingCategory>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

Q_LOGGING_CATEGORY(lcApp, "lanx1.app")

namespace {

void Trap(const char *Block, const std::function<void()> &Fn) {
    try {
        Fn();
    } catch (const std::exception &E) {
        qCCritical(lcApp) << Block << "failed:" << E.what();
    } catch (...) {
        qCCritical(lcApp) << Block << "failed";
    }
}

} // namespace

int main(int argc, char **argv) {
    // Answered before any window system is needed.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("lanx1 %s\n", LANX1_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("Usage: lanx1 [--simulator] [/full]\n"
                        "       lanx1 --help | --version\n"
                        "\n"
                        "Service and monitoring tool for a LANX1 liquid-level transducer.\n"
                        "  --simulator  work with the built-in simulated transducer instead of\n"
                        "               the port of INI/ComPort.ini\n"
                        "  /full        show the plant-number commands (Ctrl+F toggles them)\n"
                        "  --help       print this text and exit\n"
                        "  --version    print the version and exit\n");
            return 0;
        }
    }
    AppDir(); // the INI folder is the one current at start, whatever happens later
    QApplication App(argc, argv);
    // The application ends with the main window, even while other windows are open.
    App.setQuitOnLastWindowClosed(false);
    // Qt's own widgets (date edits, calendars, file dialogs) follow the same
    // conventions as the program's texts.
    QLocale::setDefault(DisplayLocale(QLocale::system()));
    SetDefaultFormatSettings(TFormatSettings::FromLocale(QLocale()));
    InstallQtTranslations(App);
    InstallProgramIcon(); // every window carries it
    TMessageBoxes Messages;
    // Portable beside the program, or installed with the user's own folder.
    Trap("folders", [] {
        QString Error;
        if (!ApplyFolders(ChooseFolders(ProbeFolders(QCoreApplication::applicationDirPath())), FirstSerialPort,
                          &Error))
            qCCritical(lcApp) << "folders:" << Error;
    });

    const QStringList Args = App.arguments();
    std::unique_ptr<TLanx1Simulator> Simulator;
    TRequestDevicesOptions Options;
    TFormMain *Main = nullptr;
    int Result = 0;

    Trap("command line", [&] { InitFullMode(Args); });
    Trap("device object", [] { CreateLanx1(); });
    Trap("archive settings", [] { LoadArchiveSettings(); });
    if (Args.contains(QStringLiteral("--simulator")))
        Trap("simulator", [&] {
            Simulator = std::make_unique<TLanx1Simulator>();
            if (Simulator->Start())
                Options.PortOverride = Simulator->PortName();
            else
                qCCritical(lcApp) << "no pseudo-terminal for the simulator";
        });
    Trap("polling engine", [&] { RequestDevices = new TRequestDevices(Options); });
    Trap("graph report", [] { CreateRepGraph(); });
    Trap("main window", [&] {
        RegisterTaraEditor();
        RegisterGraphWindow();
        RegisterLanx1Windows();
        RegisterTurningDialogs();
        Main = new TFormMain;
        Main->SetPortOverride(Options.PortOverride);
        QObject::connect(Main, &TFormMain::Closed, &App, &QCoreApplication::quit, Qt::QueuedConnection);
        Main->show();
        Result = App.exec();
    });

    Trap("main window shut-down", [&] { delete Main; });
    Trap("device windows shut-down", [] { DestroyLanx1Windows(); });
    Trap("graph report shut-down", [] { DestroyRepGraph(); });
    Trap("polling engine shut-down", [] {
        TRequestDevices *Engine = RequestDevices;
        RequestDevices = nullptr;
        delete Engine; // waits for a running poll step
    });
    Trap("simulator shut-down", [&] { Simulator.reset(); });
    Trap("device object shut-down", [] { DestroyLanx1(); });
    return Result;
}
