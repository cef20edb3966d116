#include "fMain.h"

#include "fExchangeStatistics.h"
#include "fInputInteger.h"
#include "fProgressBar.h"
#include "fSelectCMD.h"
#include "fTransmitterSetup.h"
#include "uEscapeKey.h"
#include "uFirstStartLayout.h"
#include "uFormat.h"
#include "uGuiSync.h"
#include "uLanx1Instance.h"
#include "uMakeFolder.h"
#include "uMessages.h"
#include "uMqttPublisher.h"
#include "uParamStr.h"
#include "uRequestDevices.h"
#include "uString.h"
#include "uTextFit.h"
#include "uWindowPosition.h"
#include "uWindows.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextBlock>
#include <QPointer>
#include <QTextCursor>
#include <mutex>

Q_LOGGING_CATEGORY(lcMain, "lanx1.main")

TFormMain *FormMain = nullptr;
bool Terminating = false;
std::atomic<int> RequestCount{0};
std::atomic<int> AnswerCount{0};

namespace {

const QString kAttention = QStringLiteral("Внимание");

// The frame as it went over the wire, in the echo's radix.
QString FrameText(const QByteArray &Frame, int Radix) {
    return Radix == 10 ? StringToDec(Frame, false) : StringToHex(Frame);
}

} // namespace

TFormMain::TFormMain(QWidget *Parent) : QMainWindow(Parent) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("ЛАНКС1хх - Одноэлементный"));
    resize(DefaultWidth, DefaultHeight);
    FormMain = this;
    Terminating = false;
    RequestCount = 0;
    AnswerCount = 0;

    mEcho = new QPlainTextEdit(this);
    mEcho->setObjectName(QStringLiteral("mEcho"));
    mEcho->setReadOnly(true);
    mEcho->setLineWrapMode(QPlainTextEdit::NoWrap);
    mEcho->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mEcho->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mEcho->setStyleSheet(QStringLiteral("QPlainTextEdit { background-color: black; color: lime; }"));
    setCentralWidget(mEcho);

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();

    AttachObserver(true);
    try {
        LoadWindowPosition(this);
    } catch (const std::exception &E) {
        qCInfo(lcMain) << "window position not restored:" << E.what();
    }
    act16->trigger();
    FullModeControlRefresh();
    qApp->installEventFilter(this);
    if (RequestDevices && RequestDevices->ReqDevicesTimer)
        connect(RequestDevices->ReqDevicesTimer.get(), &TCustomTimer::Tick, this, &TFormMain::ReqDevicesTimerTick);
    actOprosStop->trigger(); // polling is off after every start, whatever the timer's settings say
    actLanx1Show->trigger();
    actLanx1ParShow->trigger();
    actSelectCmdShow->trigger();
    // Windows with no saved position open side by side on the first start.
    const auto TopLevel = [](const char *Name) -> QWidget * {
        for (QWidget *W : QApplication::topLevelWidgets())
            if (W->objectName() == QLatin1String(Name))
                return W;
        return nullptr;
    };
    ArrangeFirstStart({this, TopLevel("FormLanx1"), TopLevel("FormSelectCMD"), TopLevel("FormLanx1Par")});
    MqttStart();
    RefreshAll();
}

TFormMain::~TFormMain() {
    MqttStop();
    qApp->removeEventFilter(this);
    AttachObserver(false);
    if (FormMain == this)
        FormMain = nullptr;
}

// ---- refresh

void TFormMain::RefreshAll() {
    try {
        RefreshSelectCMD();
        for (const auto &Refresh : WindowHooks().Refresh)
            if (Refresh)
                Refresh();
        ModeCurrentOutputControlRefresh();
        PortStatusRefresh();
        StatisticsRefresh();
    } catch (const std::exception &E) {
        qCInfo(lcMain) << "refresh failed:" << E.what();
    } catch (...) {
        qCInfo(lcMain) << "refresh failed";
    }
}

void TFormMain::ModeCurrentOutputControlRefresh() {
    const int Mode = Lanx1 ? Lanx1->ModeCurrentOutput() : 0;
    actModeCurrentOutput1->setChecked(Mode == 1);
    actModeCurrentOutput2->setChecked(Mode == 2);
}

void TFormMain::UpdateActionsEnabled() {
    const bool E = actOprosStart->isEnabled();
    for (QAction *Action :
         {actTaraEditor, mmPar->menuAction(), actTransmitterChange, actTimerParametersChange, actSystemAddressChange,
          actKKalmanChange, mmModeCurrentOutputChange->menuAction(), actModeCurrentOutputChange,
          actModeCurrentOutput1, actModeCurrentOutput2, actLanx1Load, actLanx1Save, actTurning20mAShow,
          actTurning4mAShow, mmRead->menuAction(), actPlantNumberRead, actModeCurrentOutputRead, actAllParamRead,
          mmWrite->menuAction(), actSystemAddressWrite, actPlantNumberWrite, actModeCurrentOutputWrite,
          actAllParamWrite, actDeviceScan})
        Action->setEnabled(E);
}

void TFormMain::FullModeControlRefresh() {
    const bool Full = FullMode();
    actPlantNumberChange->setVisible(Full);
    actPlantNumberChange->setEnabled(Full);
    actPlantNumberWrite->setVisible(Full);
}

void TFormMain::StatisticsRefresh() {
    FPanels[1]->setText(QStringLiteral("Запросов: ") + QString::number(RequestCount.load()));
    FPanels[2]->setText(QStringLiteral("Ответов: ") + QString::number(AnswerCount.load()));
    if (RequestDevices)
        ShowQualityPanel(FPanels[4], RequestDevices->Statistics());
    if (FMqtt)
        MqttStatusShow(FMqtt->Status());
    WriteProblemsRefresh();
}

void TFormMain::WriteProblemsRefresh() {
    if (!RequestDevices)
        return;
    const QString Archive = RequestDevices->ArchiveProblem();
    if (Archive.isEmpty()) {
        FArchiveProblemShown.clear();
        FPanels[6]->hide();
    } else {
        if (FArchiveProblemShown.isEmpty())
            AddEchoLine(QStringLiteral("Архив не записан: ") + Archive);
        FArchiveProblemShown = Archive;
        FPanels[6]->setToolTip(Archive);
        FPanels[6]->show();
    }
    const QString Log = RequestDevices->RequestLogProblem();
    if (!Log.isEmpty() && !FRequestLogProblemShown) {
        FRequestLogProblemShown = true;
        AddEchoLine(QStringLiteral("Журнал запросов не записан: ") + Log);
    }
}

void TFormMain::PortStatusRefresh() {
    if (!RequestDevices || !RequestDevices->Transmitter)
        return;
    const TPortSettings S = RequestDevices->Transmitter->GetSettings();
    const QString Text = !FLostPort.isEmpty() ? QStringLiteral("Порт недоступен: ") + FLostPort : S.Port + QStringLiteral(", BoudRate:") + S.BaudRate + QStringLiteral(", DataBits:") +
                         S.DataBits + QStringLiteral(", StopBits:") + S.StopBits + QStringLiteral(", Parity:") +
                         S.Parity + QStringLiteral(", FlowControl:") + S.FlowControl;
    FPanels[0]->setText(Text);
    FPanels[0]->update();
}

// ---- echo

void TFormMain::AddEchoLine(const QString &Text) {
    try {
        const QString Line = DateTimeToStr(Now(), DefaultFormatSettings()) + u' ' + Text;
        QTextDocument *Doc = mEcho->document();
        QTextCursor Cursor(Doc);
        if (Doc->isEmpty()) {
            Cursor.insertText(Line);
            return;
        }
        Cursor.movePosition(QTextCursor::Start);
        Cursor.insertText(Line + u'\n');
        if (Doc->blockCount() > EchoLinesMax) {
            Cursor.setPosition(Doc->findBlockByNumber(EchoLinesMax - 1).position());
            Cursor.movePosition(QTextCursor::EndOfBlock);
            Cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            Cursor.removeSelectedText();
        }
    } catch (const std::exception &E) {
        qCInfo(lcMain) << "echo line not written:" << E.what();
    }
}

QStringList TFormMain::EchoLines() const {
    const QString Text = mEcho->toPlainText();
    return Text.isEmpty() ? QStringList() : Text.split(u'\n');
}

void TFormMain::AttachObserver(bool Attach) {
    if (!RequestDevices || !RequestDevices->Transmitter)
        return;
    // The polling thread calls the observer during its exchanges: change it only
    // while no exchange runs.
    if (Attach == FAttached)
        return;
    TExchangeGuard Guard(*RequestDevices);
    FAttached = Attach;
    TTransmitter &T = *RequestDevices->Transmitter;
    if (!Attach) {
        T.OnTransmit = nullptr;
        T.OnPortState = nullptr;
        return;
    }
    T.OnTransmit = [this](TTransmitter *Sender, const QByteArray &Sent, bool Answered, const QByteArray &Reply) {
        TransmitterTransmit(Sender, Sent, Answered, Reply);
    };
    T.OnPortState = [this](TTransmitter *, bool Available, const QString &Port) {
        if (TGuiSync::Instance().InGuiThread())
            TransmitterPortState(Available, Port);
        else
            TGuiSync::Instance().Post([Self = QPointer<TFormMain>(this), Available, Port] {
                if (Self)
                    Self->TransmitterPortState(Available, Port);
            });
    };
}

void TFormMain::TransmitterPortState(bool Available, const QString &Port) {
    FLostPort = Available ? QString() : Port;
    AddEchoLine((Available ? QStringLiteral("Порт снова доступен: ") : QStringLiteral("Порт недоступен: ")) + Port);
    PortStatusRefresh();
}

void TFormMain::TransmitterTransmit(TTransmitter *, const QByteArray &Sent, bool Answered, const QByteArray &Reply) {
    ++RequestCount;
    if (Answered)
        ++AnswerCount;
    const int Radix = RequestDevices ? RequestDevices->EchoRadix.load() : 16;
    if (TGuiSync::Instance().InGuiThread()) {
        ShowExchange(Sent, Reply, Radix);
        return;
    }
    // The polling thread never waits for the screen: the texts travel with the call.
    TGuiSync::Instance().Post([Self = QPointer<TFormMain>(this), Sent, Reply, Radix] {
        if (Self)
            Self->ShowExchange(Sent, Reply, Radix);
    });
}

void TFormMain::ShowExchange(const QByteArray &Sent, const QByteArray &Reply, int Radix) {
    AddEchoLine(QStringLiteral(" -> ") + FrameText(Sent, Radix));
    AddEchoLine(QStringLiteral(" <- ") + (Reply.isEmpty() ? QStringLiteral("Нет ответа") : FrameText(Reply, Radix)));
    RefreshAll();
}

// ---- commands

bool TFormMain::ExecuteCommand(std::uint8_t Kind, const QString &Hint, std::uint8_t Attempts) {
    if (Attempts == 0)
        return false;
    bool Done = false;
    for (int n = 1; n <= Attempts && !Done; ++n) {
        ShowProgress(QStringLiteral("Повтор команды ") + Hint, n, Attempts);
        // The progress window let the user close the program meanwhile: no more tries then.
        if (Terminating && n > 1)
            break;
        Done = ExecuteRequest(Kind, n) == 0;
    }
    FLastCommandOutcome = Done ? TCommandOutcome::Done : TCommandOutcome::NotDone;
    FLastCommandReadBack = !Done && !Terminating && Lanx1 && IsParameterWrite(Kind);
    // The reply may have been lost while the device took the value.
    if (FLastCommandReadBack) {
        ShowProgress(QStringLiteral("Проверка записи ") + Hint, 0, 1);
        FLastCommandOutcome = CheckWrite(*Lanx1, Kind, Attempts);
        Done = FLastCommandOutcome == TCommandOutcome::Done;
    }
    CloseProgress();
    return Done;
}

QString TFormMain::CommandFailureText(const QString &Hint) const {
    switch (FLastCommandOutcome) {
    case TCommandOutcome::Unknown:
        return QStringLiteral("Не подтверждена команда\r") + Hint +
               QStringLiteral("\rНе подтверждено: прибор не ответил ни на запись, ни на проверочное чтение;"
                              " принял ли он значение, неизвестно");
    case TCommandOutcome::NotDone:
        if (FLastCommandReadBack)
            return QStringLiteral("Не выполнена команда\r") + Hint +
                   QStringLiteral("\rПроверочное чтение: прибор сохранил прежнее значение");
        break;
    case TCommandOutcome::Done: break;
    }
    return QStringLiteral("Не выполнена команда\r") + Hint;
}

bool TFormMain::RunStandardCommand(std::uint8_t Kind, const QString &Hint) {
    AddEchoLine(Hint);
    if (ExecuteCommand(Kind, Hint, 5)) {
        RefreshAll();
        return true;
    }
    if (!Terminating)
        ShowMessageBox(kAttention, CommandFailureText(Hint), TMsgIcon::Warning, mbOK, mbOK);
    return false;
}

// ---- polling

void TFormMain::actOprosStartExecute() {
    AddEchoLine(QStringLiteral("Старт"));
    TCustomTimer *Timer = RequestDevices ? RequestDevices->ReqDevicesTimer.get() : nullptr;
    if (Timer)
        Timer->Start();
    const bool Polling = Timer && Timer->Enabled();
    actOprosStart->setEnabled(!Polling);
    actOprosStop->setEnabled(Polling);
    UpdateActionsEnabled();
}

void TFormMain::actOprosStopExecute() {
    AddEchoLine(QStringLiteral("Стоп"));
    TCustomTimer *Timer = RequestDevices ? RequestDevices->ReqDevicesTimer.get() : nullptr;
    if (Timer)
        Timer->Stop();
    const bool Polling = Timer && Timer->Enabled();
    actOprosStart->setEnabled(!Polling);
    actOprosStop->setEnabled(Polling);
    UpdateActionsEnabled();
    RefreshAll();
}

void TFormMain::ReqDevicesTimerTick() {
    if (!RequestDevices || !RequestDevices->ReqDevicesTimer)
        return;
    TCustomTimer &Timer = *RequestDevices->ReqDevicesTimer;
    Timer.SetPaused(true);
    if (!RequestDevices->AnyDeviceEnabled()) {
        actOprosStop->trigger();
        return;
    }
    if (RequestDevices->RequestThread) {
        std::lock_guard Lock(RequestDevices->RequestLock);
        RequestDevices->RequestThread->Resume(); // one poll step; a tick into a running one is dropped
    }
    RefreshAll();
    Timer.SetPaused(false);
}

void TFormMain::actTimerParametersChangeExecute() {
    if (!RequestDevices || !RequestDevices->ReqDevicesTimer)
        return;
    TCustomTimer &Timer = *RequestDevices->ReqDevicesTimer;
    Timer.SetInterval(InputInteger(QStringLiteral("Введите"), QStringLiteral("Период опроса, мс [100, 60000]"),
                                   Timer.Interval(), 100, 60000));
    try {
        Timer.SaveToIni(); // also after Cancel
    } catch (const std::exception &E) {
        qCWarning(lcMain) << "poll timer settings not saved:" << E.what();
        if (!FolderFailed(Timer.IniFile())) // a missing folder has been told once already
            ShowMessageBox(QStringLiteral("Ошибка"), QStringLiteral("Не удалось сохранить файл\r") + Timer.IniFile(),
                           TMsgIcon::Error, mbOK, mbOK);
    }
}

void TFormMain::actTransmitterChangeExecute() {
    ChangeTransmitterSettings([this](TTransmitter &T) { ShowTransmitterSetup(T, this); });
}

void TFormMain::ChangeTransmitterSettings(const std::function<void(TTransmitter &)> &Edit) {
    if (!RequestDevices || !RequestDevices->Transmitter)
        return;
    TTransmitter &T = *RequestDevices->Transmitter;
    T.Close();
    FLostPort.clear(); // a new start: the next exchange tells again if the port is missing
    QString FilePort;
    try {
        T.LoadSettings();
        FilePort = T.GetPort();
    } catch (const std::exception &E) {
        qCWarning(lcMain) << "serial settings not loaded:" << E.what();
    }
    if (!FPortOverride.isEmpty())
        T.SetPort(FPortOverride);
    try {
        Edit(T);
    } catch (const std::exception &E) {
        qCWarning(lcMain) << "serial settings dialog failed:" << E.what();
    }
    // A port of this run only (demo mode) never reaches the settings file; a
    // port the user picked replaces it.
    const bool KeepOverride = !FPortOverride.isEmpty() && T.GetPort() == FPortOverride;
    if (!FPortOverride.isEmpty() && !KeepOverride)
        FPortOverride.clear();
    try {
        if (KeepOverride)
            T.SetPort(FilePort);
        T.SaveSettings();
    } catch (const std::exception &E) {
        qCWarning(lcMain) << "serial settings not saved:" << E.what();
        if (!FolderFailed(T.IniFileName())) // a missing folder has been told once already
            ShowMessageBox(QStringLiteral("Ошибка"), QStringLiteral("Не удалось сохранить файл\r") + T.IniFileName(),
                           TMsgIcon::Error, mbOK, mbOK);
    }
    if (KeepOverride)
        T.SetPort(FPortOverride);
    T.Open(); // tells the user itself when the port will not open
    RefreshAll();
}

void TFormMain::act10Execute() {
    if (RequestDevices)
        RequestDevices->EchoRadix = 10;
    act10->setChecked(true);
    act16->setChecked(false);
}

void TFormMain::act16Execute() {
    if (RequestDevices)
        RequestDevices->EchoRadix = 16;
    act16->setChecked(true);
    act10->setChecked(false);
}

// ---- windows

namespace {
void CallHook(const std::function<void()> &Hook) {
    try {
        if (Hook)
            Hook();
    } catch (const std::exception &E) {
        qCWarning(lcMain) << "window not opened:" << E.what();
    }
}
} // namespace

void TFormMain::actSelectCmdShowExecute() {
    ShowSelectCMD();
}

void TFormMain::actLanx1ShowExecute() {
    CallHook(WindowHooks().ShowLanx1);
}

void TFormMain::actLanx1ParShowExecute() {
    CallHook(WindowHooks().ShowLanx1Par);
}

void TFormMain::actTurning20mAShowExecute() {
    CallHook(WindowHooks().ShowTurning20mA);
}

void TFormMain::actTurning4mAShowExecute() {
    CallHook(WindowHooks().ShowTurning4mA);
}

void TFormMain::actTaraEditorExecute() {
    CallHook(WindowHooks().ShowTaraEditor);
}

void TFormMain::actGraphLevelExecute() {
    if (Lanx1 && WindowHooks().ShowGraph)
        CallHook([] { WindowHooks().ShowGraph(QStringLiteral("aLevel"), Lanx1->Level, QStringLiteral("График"),
                                               Now() - 1.0, Now()); });
}

void TFormMain::actGraphVolumeExecute() {
    if (Lanx1 && WindowHooks().ShowGraph)
        CallHook([] { WindowHooks().ShowGraph(QStringLiteral("aVolume"), Lanx1->Volume, QStringLiteral("График"),
                                               Now() - 1.0, Now()); });
}

void TFormMain::actCloseExecute() {
    close();
}

// ---- keyboard and closing

void TFormMain::keyPressEvent(QKeyEvent *Event) {
    if (CloseOnEscape(this, Event))
        return;
    QMainWindow::keyPressEvent(Event);
}

bool TFormMain::eventFilter(QObject *Watched, QEvent *Event) {
    // A key press reaches the application's filter once at its window and again
    // at each widget it is passed on to: only the window's delivery counts.
    if (Event->type() != QEvent::KeyPress || !Watched->isWindowType())
        return QMainWindow::eventFilter(Watched, Event);
    const auto *Key = static_cast<QKeyEvent *>(Event);
    const Qt::KeyboardModifiers Mods = Key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    if (Key->key() == Qt::Key_F && Mods == Qt::ControlModifier) {
        SetFullMode(!FullMode());
        FullModeControlRefresh();
        RefreshAll();
    } else if (Key->key() == Qt::Key_F12) {
        show();
        raise();
        activateWindow();
    }
    return false; // the window still gets its key
}

void TFormMain::closeEvent(QCloseEvent *Event) {
    if (!FClosed) {
        const TMsgButton Answer = ShowMessageBox(kAttention, QStringLiteral("Завершить работу?"), TMsgIcon::Question,
                                                 mbYes | mbNo, mbNo);
        if (Answer != mbYes) {
            Event->ignore();
            return;
        }
        Terminating = true;
        FormClose();
    }
    Event->accept();
}

void TFormMain::FormClose() {
    FClosed = true;
    try {
        SaveWindowPosition(this);
    } catch (const std::exception &E) {
        qCWarning(lcMain) << "window position not saved:" << E.what();
    }
    AttachObserver(false);
    actOprosStop->trigger();
    // After the last cycle: it is handed over, or left in the archive for the next run.
    MqttStop();
    if (FormMain == this)
        FormMain = nullptr;
    emit Closed();
}
