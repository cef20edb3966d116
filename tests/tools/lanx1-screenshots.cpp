// Saves pictures of the program's windows at their opening sizes, as a new
// user sees them on the first start: the main window polling the simulated
// transducer, the readings and parameters windows, the exchange statistics,
// the search for a device, the table editor with the typical table, the
// import of a tank's certificate, and the graph window over an archived hour.
//
//     lanx1-screenshots DIR
//
// Runs in a fresh temporary program folder, so no saved position or setting
// of the user counts. scripts/screenshots runs it offscreen under C.UTF-8.
#include "Lanx1.h"
#include "TLanx1Simulator.h"
#include "fDeviceScan.h"
#include "fMqttSettings.h"
#include "fExchangeStatistics.h"
#include "fGraph.h"
#include "fLanx1.h"
#include "fLanx1Par.h"
#include "fMain.h"
#include "fSelectCMD.h"
#include "fCertificateImport.h"
#include "fTaraEditor.h"
#include "fTurning.h"
#include "rGraph.h"
#include "uBDE.h"
#include "uFormat.h"
#include "uLanx1Instance.h"
#include "uLanx1Windows.h"
#include "uMessageBoxes.h"
#include "uQtTranslations.h"
#include "uRequestDevices.h"
#include "uSysUtils.h"

#include <QLabel>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <cmath>
#include <memory>

namespace {

// Runs the event loop until Ready() holds or TimeoutMs passes.
bool WaitFor(const std::function<bool()> &Ready, int TimeoutMs) {
    QDeadlineTimer Deadline(TimeoutMs);
    while (!Ready()) {
        if (Deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

bool Save(QWidget *W, const QString &Dir, const QString &Name) {
    if (!W)
        return false;
    QCoreApplication::processEvents();
    const QString Path = QDir(Dir).filePath(Name + QStringLiteral(".png"));
    const bool Ok = W->grab().save(Path);
    QTextStream(stdout) << (Ok ? Path : QStringLiteral("not saved: ") + Path) << '\n';
    return Ok;
}

// An hour of a slowly filling tank, one reading every 10 s, ending now.
void ArchiveAnHour(TDateTime Now) {
    for (int I = 360; I >= 0; --I) {
        const TDateTime T = Now - I * 10.0 / 86400.0;
        const double Level = 40.0 + 15.0 * (360 - I) / 360.0 + 0.8 * std::sin(I / 9.0);
        ArchiveWrite(QStringLiteral("aLevel"), QString(), T, Level);
    }
}

} // namespace

int main(int argc, char **argv) {
    QApplication App(argc, argv);
    App.setQuitOnLastWindowClosed(false);
    QLocale::setDefault(DisplayLocale(QLocale::system()));
    SetDefaultFormatSettings(TFormatSettings::FromLocale(QLocale()));
    InstallQtTranslations(App);
    TMessageBoxes Messages;
    if (App.arguments().size() != 2) {
        QTextStream(stderr) << "Usage: lanx1-screenshots DIR\n";
        return 2;
    }
    const QString Out = App.arguments().at(1);
    QDir().mkpath(Out);

    QTemporaryDir Folder;
    QDir(Folder.path()).mkpath(QStringLiteral("INI"));
    SetAppDir(Folder.path());
    SetProgramDir(Folder.path());

    CreateLanx1();
    LoadArchiveSettings();
    TLanx1Simulator Simulator;
    if (!Simulator.Start()) {
        QTextStream(stderr) << "no pseudo-terminal for the simulator\n";
        return 1;
    }
    TRequestDevicesOptions Options;
    Options.PortOverride = Simulator.PortName();
    RequestDevices = new TRequestDevices(Options);
    CreateRepGraph();
    RegisterTaraEditor();
    RegisterGraphWindow();
    RegisterLanx1Windows();
    RegisterTurningDialogs();

    // Publishing to a broker that is not there: the status panel says so.
    TMqttSettings Mqtt;
    Mqtt.Enabled = true;
    Mqtt.Url = QStringLiteral("mqtt://127.0.0.1:1");
    SaveMqttSettings(Mqtt);

    int Failures = 0;
    auto *Main = new TFormMain;
    Main->SetPortOverride(Options.PortOverride);
    Main->show();
    Main->actOprosStart->trigger();
    if (!WaitFor([] { return AnswerCount >= 6; }, 15000))
        QTextStream(stderr) << "the simulator did not answer\n";
    Main->actOprosStop->trigger();
    WaitFor([] { return false; }, 300); // the last answers reach the windows

    Failures += !Save(Main, Out, QStringLiteral("main"));
    // The status bar with the panel of an archive that is not written.
    Main->StatusPanel(6)->show();
    Failures += !Save(Main, Out, QStringLiteral("main-archive-failure"));
    Main->StatusPanel(6)->hide();
    Failures += !Save(FormLanx1, Out, QStringLiteral("readings"));
    Failures += !Save(FormLanx1Par, Out, QStringLiteral("parameters"));
    Failures += !Save(FormSelectCMD, Out, QStringLiteral("commands"));

    Main->actExchangeStatistics->trigger();
    if (QWidget *Statistics = TFormExchangeStatistics::Instance()) {
        Failures += !Save(Statistics, Out, QStringLiteral("exchange-statistics"));
        Statistics->close();
    }
    {
        TFormDeviceScan::SystemPorts = [&] { return QStringList{Simulator.PortName()}; };
        TFormDeviceScan Scan(TScanOptions{}, Main);
        Scan.show();
        Failures += !Save(&Scan, Out, QStringLiteral("device-scan"));
    }
    {
        Mqtt.Url = QStringLiteral("mqtts://scada.example.org:8883");
        Mqtt.User = QStringLiteral("tank-7");
        Mqtt.Password = QStringLiteral("secret");
        Mqtt.CaFile = QStringLiteral("/etc/ssl/certs/site-ca.pem");
        TFormMqttSettings Settings(Mqtt, Main);
        Settings.show();
        Failures += !Save(&Settings, Out, QStringLiteral("mqtt-settings"));
    }

    TFormTaraEditor::FileDialogHook = [&](const TTaraFileDialog &) {
        return QDir(TFormTaraEditor::TableFolder()).filePath(QStringLiteral("ttTypical.txt"));
    };
    QDir().mkpath(TFormTaraEditor::TableFolder());
    ShowTaraEditor();
    if (FormTaraEditor) {
        FormTaraEditor->actCreateTypicalTaraFile->trigger();
        Failures += !Save(FormTaraEditor, Out, QStringLiteral("table-editor"));

        // The import of a certificate: a horizontal cylinder, one row per 10 mm.
        const QString Csv = QDir(Folder.path()).filePath(QStringLiteral("Бак 1.csv"));
        QFile File(Csv);
        if (File.open(QIODevice::WriteOnly)) {
            QString Text = QStringLiteral("Уровень, мм;Объем, л\r\n");
            for (int i = 0; i <= 200; ++i) {
                const double R = 1000, H = i * 10.0;
                const double Area = R * R * std::acos((R - H) / R) - (R - H) * std::sqrt(2 * R * H - H * H);
                Text += QString::number(H) + u';' + QString::number(Area * 5000 / 1e6, 'f', 3).replace(u'.', u',') +
                        QStringLiteral("\r\n");
            }
            File.write(Text.toUtf8());
            File.close();
        }
        auto *Import = new TFormCertificateImport(Csv, FormTaraEditor);
        Import->show();
        Failures += !Save(Import, Out, QStringLiteral("certificate-import"));
        delete Import;
        FormTaraEditor->close();
    }

    const TDateTime Now = ::Now();
    ArchiveAnHour(Now);
    auto *Graph = new TFormGraph;
    Graph->Open(QStringLiteral("aLevel"), &Lanx1->Level, QStringLiteral("График уровня"), Now - 1.0 / 24, Now);
    Graph->show();
    Failures += !Save(Graph, Out, QStringLiteral("graph"));
    delete Graph;

    delete Main;
    DestroyLanx1Windows();
    DestroyRepGraph();
    TRequestDevices *Engine = RequestDevices;
    RequestDevices = nullptr;
    delete Engine;
    DestroyLanx1();
    return Failures == 0 ? 0 : 1;
}
