#pragma once
// The main window: polling control, the echo of every frame exchanged, the
// exchange statistics and serial settings in the status bar, and the actions
// through which every user command of the program runs.
#include "uLanx1Commands.h"

#include <QByteArray>
#include <QMainWindow>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QToolBar;
class TTransmitter;
class TMqttPublisher;
struct TMqttStatus;

// Set once the user has confirmed "Завершить работу?"; long command sequences
// stop before their next step when it is set.
extern bool Terminating;
// Frames sent and exchanges answered since the main window was created.
extern std::atomic<int> RequestCount;
extern std::atomic<int> AnswerCount;

class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int EchoLinesMax = 64;

    explicit TFormMain(QWidget *Parent = nullptr);
    ~TFormMain() override;

    // A port used for this run instead of the settings file's (demo mode); the
    // serial settings dialog keeps it unless the user picks another port, and
    // never writes it to the settings file.
    void SetPortOverride(const QString &Port) { FPortOverride = Port; }

    // One request kind with up to Attempts tries behind the progress window;
    // true as soon as one try got a valid reply. A parameter write whose tries
    // all failed is read back (CheckWrite): true when the device holds the
    // value. LastCommandOutcome tells a write not done from one not confirmed.
    bool ExecuteCommand(std::uint8_t Kind, const QString &Hint, std::uint8_t Attempts);
    TCommandOutcome LastCommandOutcome() const { return FLastCommandOutcome; }
    // The read/write pattern of the device commands: Hint as echo line, five
    // tries, then RefreshAll, or the failure message.
    bool RunStandardCommand(std::uint8_t Kind, const QString &Hint);
    // The failure message of the last command: "Не выполнена команда" and the
    // hint, with what a read-back of a write showed.
    QString CommandFailureText(const QString &Hint) const;
    // Redraws everything that shows device data; never throws.
    void RefreshAll();
    // The value dialog of calibration point 1 or 2, shared by the change
    // actions and the autocalibrations; true when the user confirmed. A value
    // outside 0..the Level maximum leaves the point as it was.
    bool EditValue1();
    bool EditValue2();

    // Asks which parameter file to load: Folder is where the dialog starts,
    // Filter the Qt filter text; empty when cancelled. Replaceable so that
    // tests never block on a dialog.
    static std::function<QString(QWidget *Parent, const QString &Folder, const QString &Filter)>
        OpenParametersDialog;
    // Prepends "<date time> <Text>" to the echo, which keeps the newest 64 lines.
    void AddEchoLine(const QString &Text);
    void ModeCurrentOutputControlRefresh();
    void UpdateActionsEnabled();
    void FullModeControlRefresh();
    void StatisticsRefresh();
    void PortStatusRefresh();
    // Archive and request-log failures: told once in the echo, the archive's
    // in a red status panel as long as it lasts.
    void WriteProblemsRefresh();
    // Observer of the transmitter, called in whichever thread exchanged.
    void TransmitterTransmit(TTransmitter *Sender, const QByteArray &Sent, bool Answered, const QByteArray &Reply);
    // The port was lost or is back: said once in the echo, shown in the status bar.
    void TransmitterPortState(bool Available, const QString &Port);

    // The echo, newest line first (for the windows' users and tests).
    QStringList EchoLines() const;
    QLabel *StatusPanel(int Index) const { return FPanels[Index]; }
    // The publisher to the MQTT broker; nullptr while publishing is off.
    TMqttPublisher *MqttPublisher() const { return FMqtt.get(); }
    // The size the window opens at before a saved or first-start position.
    static constexpr int DefaultWidth = 900;
    static constexpr int DefaultHeight = 600;
    QPlainTextEdit *Echo() const { return mEcho; }

    // Menus whose enabled state follows polling, and the calibration pop-up
    // menu that the parameters window shows.
    QMenu *mmPar = nullptr;
    QMenu *mmRead = nullptr;
    QMenu *mmWrite = nullptr;
    QMenu *mmModeCurrentOutputChange = nullptr;
    QMenu *pmCalibration = nullptr;
    QToolBar *ToolBar = nullptr;

    // ---- polling, echo, windows
    QAction *actOprosStart, *actOprosStop, *actTimerParametersChange, *actTransmitterChange, *act10, *act16;
    QAction *actSelectCmdShow, *actLanx1Show, *actLanx1ParShow, *actTurning20mAShow, *actTurning4mAShow;
    QAction *actTaraEditor, *actGraphLevel, *actGraphVolume, *actClose;
    // ---- identity and operating parameters
    QAction *actSystemAddressChange, *actSystemAddressWrite, *actPlantNumberChange, *actPlantNumberRead;
    QAction *actPlantNumberWrite, *actModificationRead, *actKKalmanChange, *actKKalmanRead, *actKKalmanWrite;
    QAction *actModeCurrentOutputChange, *actModeCurrentOutput1, *actModeCurrentOutput2;
    QAction *actModeCurrentOutputWrite, *actModeCurrentOutputRead, *actControlRegisterRead;
    QAction *actControlRegisterWrite, *actReadAll, *actLevelRead, *actVolumeRead, *actFreqRead;
    QAction *actAllParamRead, *actAllParamWrite;
    // ---- calibration points
    QAction *actFreq1Change, *actFreq1Read, *actFreq1Write, *actFreq1Auto;
    QAction *actFreq2Change, *actFreq2Read, *actFreq2Write, *actFreq2Auto;
    QAction *actValue1Change, *actValue1Read, *actValue1Write;
    QAction *actValue2Change, *actValue2Read, *actValue2Write;
    QAction *actValue20mAChange, *actValue20mARead, *actValue20mAWrite;
    // ---- current-output trimming
    QAction *actTurning4mAChange, *actTurning4mARead, *actTurning4mAWrite;
    QAction *actTurning4mAStart, *actTurning4mASave, *actTurning4mACancel;
    QAction *actTurning20mAChange, *actTurning20mARead, *actTurning20mAWrite;
    QAction *actTurning20mAStart, *actTurning20mASave, *actTurning20mACancel;
    // ---- parameter files
    QAction *actLanx1Load, *actLanx1Save;
    // ---- link: the search for a device, the exchange statistics
    QAction *actDeviceScan, *actExchangeStatistics;
    // ---- publishing the readings to an MQTT broker
    QAction *actMqttSettings;

signals:
    // The main window has been closed for good: the program ends.
    void Closed();

public slots:
    void actOprosStartExecute();
    void actOprosStopExecute();
    void actTimerParametersChangeExecute();
    void actTransmitterChangeExecute();
    void act10Execute();
    void act16Execute();
    void actSelectCmdShowExecute();
    void actLanx1ShowExecute();
    void actLanx1ParShowExecute();
    void actTurning20mAShowExecute();
    void actTurning4mAShowExecute();
    void actTaraEditorExecute();
    void actGraphLevelExecute();
    void actGraphVolumeExecute();
    void actCloseExecute();

    void actSystemAddressChangeExecute();
    void actSystemAddressWriteExecute();
    void actPlantNumberChangeExecute();
    void actPlantNumberReadExecute();
    void actPlantNumberWriteExecute();
    void actModificationReadExecute();
    void actKKalmanChangeExecute();
    void actKKalmanReadExecute();
    void actKKalmanWriteExecute();
    void actModeCurrentOutput1Execute();
    void actModeCurrentOutput2Execute();
    void actModeCurrentOutputWriteExecute();
    void actModeCurrentOutputReadExecute();
    void actControlRegisterReadExecute();
    void actControlRegisterWriteExecute();
    void actReadAllExecute();
    void actLevelReadExecute();
    void actVolumeReadExecute();
    void actFreqReadExecute();
    void actAllParamReadExecute();
    void actAllParamWriteExecute();

    void actFreq1ChangeExecute();
    void actFreq1ReadExecute();
    void actFreq1WriteExecute();
    void actFreq1AutoExecute();
    void actFreq2ChangeExecute();
    void actFreq2ReadExecute();
    void actFreq2WriteExecute();
    void actFreq2AutoExecute();
    void actValue1ChangeExecute();
    void actValue1ReadExecute();
    void actValue1WriteExecute();
    void actValue2ChangeExecute();
    void actValue2ReadExecute();
    void actValue2WriteExecute();
    void actValue20mAChangeExecute();
    void actValue20mAReadExecute();
    void actValue20mAWriteExecute();

    void actTurning4mAChangeExecute();
    void actTurning4mAReadExecute();
    void actTurning4mAWriteExecute();
    void actTurning4mAStartExecute();
    void actTurning4mASaveExecute();
    void actTurning4mACancelExecute();
    void actTurning20mAChangeExecute();
    void actTurning20mAReadExecute();
    void actTurning20mAWriteExecute();
    void actTurning20mAStartExecute();
    void actTurning20mASaveExecute();
    void actTurning20mACancelExecute();

    void actLanx1LoadExecute();
    void actLanx1SaveExecute();
    void actDeviceScanExecute();
    void actExchangeStatisticsExecute();
    void actMqttSettingsExecute();

    // The poll timer's tick.
    void ReqDevicesTimerTick();

protected:
    void closeEvent(QCloseEvent *Event) override;
    void keyPressEvent(QKeyEvent *Event) override;
    // The application-wide shortcuts: Ctrl+F and F12 from any window.
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    TCommandOutcome FLastCommandOutcome = TCommandOutcome::Done;
    bool FLastCommandReadBack = false; // the last command was a write read back
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    QAction *MakeAction(const char *Name, const QString &Caption, const QString &Hint);
    void ShowExchange(const QByteArray &Sent, const QByteArray &Reply, int Radix);
    // The point dialog; Typed receives the number the user confirmed.
    bool EditValue(int Point, double *Typed);
    void Autocalibration(int Point);
    // Reads the control register, applies Modify to the device's copy and
    // writes it back; the write is left out when the read failed.
    void ChangeControlRegister(const std::function<void()> &Modify);
    // The trimming of one end of the current output (20 mA when Top, else 4 mA).
    void StartCorrection(bool Top);
    void EndCorrection(bool Top);
    void CancelCorrection(bool Top);
    void AttachObserver(bool Attach);
    // The serial settings path: close the port, load the settings file, let
    // Edit change the settings, save them, open the port, refresh.
    void ChangeTransmitterSettings(const std::function<void(TTransmitter &)> &Edit);
    // Publishing as INI/Mqtt.ini says: started, restarted or stopped.
    void MqttStart();
    void MqttStop();
    // The status panel, and an echo line for each new trouble and each
    // connection after one.
    void MqttStatusShow(const TMqttStatus &Status);
    // Saves the position, detaches the observer and stops polling.
    void FormClose();

    QPlainTextEdit *mEcho = nullptr;
    QLabel *FPanels[7] = {};
    QActionGroup *FModeGroup = nullptr;
    QString FPortOverride;
    bool FClosed = false;
    bool FAttached = false;
    QString FLostPort; // the port that is lost; empty while it works
    QString FArchiveProblemShown; // the archive failure told in the echo; empty while archiving works
    bool FRequestLogProblemShown = false;
    std::unique_ptr<TMqttPublisher> FMqtt;
    QString FMqttUrl;
    QString FMqttEchoedError; // the last trouble said in the echo
    bool FMqttWasConnected = false;
};

// The main window while it is open, else nullptr.
extern TFormMain *FormMain;
