// The main window on top of the real polling engine and the simulated
// transducer: polling control, the echo, the statistics, the command runner,
// the keyboard, closing, and the faults of the serial line.
#include "EngineRig.h"
#include "Lanx1.h"
#include "RecordingMessages.h"
#include "UiTestSupport.h"
#include "uLanx1Commands.h"
#include "TLanx1DeviceModel.h"
#include "fGraph.h"
#include "fMain.h"
#include "TElidedLabel.h"
#include "fProgressBar.h"
#include "uTextFit.h"
#include "fSelectCMD.h"
#include "uIniFile.h"
#include "uLanx1Instance.h"
#include "uMath.h"
#include "uMessageBoxes.h"
#include "uParamStr.h"
#include "uString.h"
#include "uWin1251.h"
#include "uWindows.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QToolBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

// Readable texts in failure messages.
void PrintTo(const QString &Text, std::ostream *Out) {
    *Out << '"' << Text.toStdString() << '"';
}

namespace {




QStringList Bodies(const TFormMain &Form) {
    QStringList Result;
    for (const QString &Line : Form.EchoLines())
        Result << EchoBody(Line);
    return Result;
}

QStringList ActionNames(const QList<QAction *> &Actions) {
    QStringList Names;
    for (const QAction *A : Actions)
        Names << (A->isSeparator() ? QStringLiteral("|") : A->objectName());
    return Names;
}

void PressKey(QObject *Target, int Key, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
    QKeyEvent Press(QEvent::KeyPress, Key, Mods);
    QCoreApplication::sendEvent(Target, &Press);
}

// Short time-outs, so that a silent device costs little time per try.
const QStringList kFastLine{QStringLiteral("ReadTotalConstant=60"), QStringLiteral("ReadTotalMultiplier=0"),
                            QStringLiteral("ReadInterval=20")};

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        SetFullMode(false);
        WindowHooks() = TWindowHooks();
        Rig = std::make_unique<TEngineRig>(kFastLine);
        Timer().SetInterval(100);
    }
    void TearDown() override {
        Form.reset();
        Rig.reset();
        WindowHooks() = TWindowHooks();
    }
    void Create() { Form = std::make_unique<TFormMain>(); }
    TCustomTimer &Timer() { return *Rig->Engine().ReqDevicesTimer; }
    QString PanelText(int i) { return Form->StatusPanel(i)->text(); }
    QString SentFrame(std::uint8_t Kind) { return StringToHex(AppendCrc16(Lanx1->BuildRequest(Kind))); }

    TRecordingMessages Messages;
    std::unique_ptr<TEngineRig> Rig;
    std::unique_ptr<TFormMain> Form;
};

} // namespace

TEST_F(MainWindow, StartUpLeavesPollingOffAndOpensTheWindows) {
    WriteAll(Rig->Folder().File(QStringLiteral("INI/Timer.ini")), "[ctReqDevices]\r\nEnabled=1\r\nInterval=250\r\n");
    Timer().LoadFromIni();
    ASSERT_TRUE(Timer().Enabled());
    int Readings = 0, Parameters = 0;
    WindowHooks().ShowLanx1 = [&] { ++Readings; };
    WindowHooks().ShowLanx1Par = [&] { ++Parameters; };
    Create();

    EXPECT_EQ(Form->objectName(), "FormMain");
    EXPECT_EQ(Form->windowTitle(), "ЛАНКС1хх - Одноэлементный");
    EXPECT_EQ(FormMain, Form.get());
    EXPECT_EQ(Bodies(*Form), QStringList{"Стоп"});
    EXPECT_FALSE(Timer().Enabled());
    EXPECT_EQ(Timer().Interval(), 250);
    EXPECT_FALSE(Form->actOprosStop->isEnabled());
    EXPECT_TRUE(Form->actOprosStart->isEnabled());
    EXPECT_TRUE(Form->mmPar->menuAction()->isEnabled());
    EXPECT_EQ(Rig->Engine().EchoRadix.load(), 16);
    EXPECT_TRUE(Form->act16->isChecked());
    EXPECT_FALSE(Form->act10->isChecked());
    EXPECT_EQ(Readings, 1);
    EXPECT_EQ(Parameters, 1);
    EXPECT_NE(FormSelectCMD, nullptr);
    EXPECT_EQ(PanelText(0), Rig->Sim().PortName() +
                                ", BoudRate:9600, DataBits:8, StopBits:1, Parity:None, FlowControl:None");
    EXPECT_EQ(PanelText(1), "Запросов: 0");
    EXPECT_EQ(PanelText(2), "Ответов: 0");
    EXPECT_EQ(PanelText(3), "");
    EXPECT_TRUE(Messages.Messages().isEmpty());
}

TEST_F(MainWindow, MenusToolBarAndHiddenActions) {
    Create();
    EXPECT_EQ(ActionNames(Form->ToolBar->actions()).join(u' '),
              "actLanx1Load actLanx1Save | actOprosStart actOprosStop | act10 act16 | actSelectCmdShow "
              "actLanx1Show actLanx1ParShow actTurning20mAShow actTurning4mAShow actTaraEditor | actReadAll "
              "actLevelRead actVolumeRead actFreqRead | actAllParamRead actAllParamWrite | actClose");
    EXPECT_EQ(ActionNames(Form->mmPar->actions()).join(u' '),
              "actTransmitterChange actDeviceScan actTimerParametersChange actMqttSettings | actSystemAddressChange "
              "actPlantNumberChange | "
              "actFreq2Change actFreq1Change | actValue2Change actValue1Change | actKKalmanChange | "
              "actModeCurrentOutputChange actValue20mAChange actTurning20mAChange actTurning4mAChange | "
              "actLanx1Load actLanx1Save");
    EXPECT_EQ(ActionNames(Form->mmModeCurrentOutputChange->actions()).join(u' '),
              "actModeCurrentOutput1 actModeCurrentOutput2");
    EXPECT_EQ(Form->mmModeCurrentOutputChange->title(), "Режим работы токового сигнала");
    EXPECT_EQ(ActionNames(Form->mmWrite->actions()).join(u' '),
              "actSystemAddressWrite actTurning20mAWrite actTurning4mAWrite | actFreq2Write actFreq1Write | "
              "actValue2Write actValue1Write | actFreq2Auto actFreq1Auto | actKKalmanWrite | "
              "actModeCurrentOutputWrite actValue20mAWrite actControlRegisterWrite | actAllParamWrite");
    EXPECT_EQ(Form->mmRead->actions().size(), 17);

    for (QAction *Hidden : {Form->actTurning4mAChange, Form->actTurning4mARead, Form->actTurning4mAWrite,
                            Form->actTurning20mAChange, Form->actTurning20mARead, Form->actTurning20mAWrite,
                            Form->actControlRegisterWrite, Form->actAllParamWrite, Form->actPlantNumberChange,
                            Form->actPlantNumberWrite})
        EXPECT_FALSE(Hidden->isVisible()) << Hidden->objectName().toStdString();
    // Picture buttons have a picture on any machine, themed or not.
    for (QAction *Button : {Form->actLanx1Load, Form->actOprosStart, Form->actOprosStop, Form->actReadAll,
                            Form->actTaraEditor, Form->actClose})
        EXPECT_FALSE(Button->icon().isNull()) << Button->objectName().toStdString();
    EXPECT_EQ(Form->actOprosStart->statusTip(), "Начать опрос прибора");
    EXPECT_EQ(Form->actOprosStart->toolTip(), "Начать опрос прибора");
    EXPECT_EQ(Form->actAllParamWrite->text(), "Записать все параметры ");
    EXPECT_EQ(Form->actFreq1Auto->text(), QString::fromUtf8("Автокалибровка C1")); // Latin C
    EXPECT_FALSE(Form->actTurning4mASave->isEnabled());
    EXPECT_FALSE(Form->actTurning20mACancel->isEnabled());
    EXPECT_TRUE(Form->actTurning20mAStart->isEnabled());

    // A hidden action still works from code: the register goes to the device.
    const int Before = Rig->Sim().RequestCount();
    Form->actControlRegisterWrite->trigger();
    EXPECT_EQ(Rig->Sim().RequestCount(), Before + 1);
    EXPECT_EQ(Bodies(*Form).value(2), "Записать регистр управления");

    // The mode radio items follow the device object; other values check neither.
    Lanx1->SetModeCurrentOutput(2);
    Form->RefreshAll();
    EXPECT_TRUE(Form->actModeCurrentOutput2->isChecked());
    EXPECT_FALSE(Form->actModeCurrentOutput1->isChecked());
}

TEST_F(MainWindow, StartAndStopPolling) {
    Create();
    PollSet.Include(rkReadAll);
    Form->actOprosStart->trigger();
    EXPECT_EQ(Bodies(*Form).value(0), "Старт");
    EXPECT_TRUE(Timer().Enabled());
    EXPECT_FALSE(Form->actOprosStart->isEnabled());
    EXPECT_TRUE(Form->actOprosStop->isEnabled());
    // Configuration commands wait; the readings stay available.
    for (QAction *Off : {Form->mmPar->menuAction(), Form->mmRead->menuAction(), Form->mmWrite->menuAction(),
                         Form->actTaraEditor, Form->actTransmitterChange, Form->actTimerParametersChange,
                         Form->actLanx1Load, Form->actTurning4mAShow, Form->actAllParamRead,
                         Form->actPlantNumberRead, Form->actModeCurrentOutput1, Form->actSystemAddressWrite})
        EXPECT_FALSE(Off->isEnabled()) << Off->objectName().toStdString();
    for (QAction *On : {Form->actReadAll, Form->actLevelRead, Form->actVolumeRead, Form->actFreqRead,
                        Form->actFreq1Read, Form->actValue2Change, Form->actGraphLevel})
        EXPECT_TRUE(On->isEnabled()) << On->objectName().toStdString();

    // Ticks run poll steps; their frames reach the echo and the counters.
    ASSERT_TRUE(WaitFor([&] { return AnswerCount >= 2; }));
    const QStringList Lines = Bodies(*Form);
    EXPECT_TRUE(Lines.contains(" -> " + SentFrame(rkReadAll)));
    EXPECT_TRUE(Lines.value(0).startsWith(" <- 01 03 "));

    // A disabled command does nothing.
    Form->actPlantNumberRead->trigger();
    EXPECT_FALSE(Bodies(*Form).contains("Считать заводской номер из прибора"));

    Form->actOprosStop->trigger();
    EXPECT_FALSE(Timer().Enabled());
    EXPECT_TRUE(Form->actOprosStart->isEnabled());
    EXPECT_FALSE(Form->actOprosStop->isEnabled());
    EXPECT_TRUE(Form->mmPar->menuAction()->isEnabled());
    EXPECT_TRUE(Form->actPlantNumberRead->isEnabled());
    EXPECT_TRUE(Bodies(*Form).mid(0, 3).contains("Стоп")); // a running step may still add its frames
    const auto Steps = Rig->Engine().RequestThread->Steps();
    ASSERT_TRUE(WaitFor([&] { return !Rig->Engine().RequestThread->Busy(); }));
    EXPECT_LE(Rig->Engine().RequestThread->Steps(), Steps + 1);
}

TEST_F(MainWindow, CommandDuringAPollStepWaitsForIt) {
    // Time-outs with room to spare: a reply that a busy machine delays past a
    // short one would count as unanswered, and this test counts answers.
    Rig.reset(); // one device object at a time
    Rig = std::make_unique<TEngineRig>(QStringList{QStringLiteral("ReadTotalConstant=2000"),
                                                   QStringLiteral("ReadTotalMultiplier=0"),
                                                   QStringLiteral("ReadInterval=100")});
    Timer().SetInterval(100);
    Create();
    PollSet.Include(rkReadAll);
    PollSet.Include(rkReadLevel);
    Rig->Sim().SetFault(TSimFault::Delay, 30);
    Form->actOprosStart->trigger();
    TRequestThread &Thread = *Rig->Engine().RequestThread;
    ASSERT_TRUE(WaitFor([&] { return Thread.Busy(); }));
    Form->actFreqRead->trigger();
    EXPECT_TRUE(Messages.Messages().isEmpty());
    // Every reply matched its request, and polling goes on afterwards.
    const auto Steps = Thread.Steps();
    ASSERT_TRUE(WaitFor([&] { return Thread.Steps() >= Steps + 2; }));
    Form->actOprosStop->trigger();
    ASSERT_TRUE(WaitFor([&] { return !Thread.Busy(); }));
    EXPECT_EQ(Rig->Sim().RequestCount(), RequestCount.load());
    EXPECT_EQ(AnswerCount.load(), RequestCount.load());
    Form->actLevelRead->trigger();
    EXPECT_TRUE(Messages.Messages().isEmpty());
}

TEST_F(MainWindow, TickWithoutEnabledDeviceStopsPolling) {
    Create();
    Rig->Engine().DeviceList[0].Enabled = false;
    Form->actOprosStart->trigger();
    ASSERT_TRUE(WaitFor([&] { return !Timer().Enabled(); }));
    EXPECT_EQ(Bodies(*Form), (QStringList{"Стоп", "Старт", "Стоп"}));
    EXPECT_TRUE(Form->actOprosStart->isEnabled());
    EXPECT_EQ(Rig->Sim().RequestCount(), 0);
}

TEST_F(MainWindow, EchoFormatsAndLimit) {
    Create();
    Form->actLevelRead->trigger();
    QStringList Lines = Bodies(*Form);
    ASSERT_GE(Lines.size(), 3);
    EXPECT_EQ(Lines[2], "Считать уровень");
    EXPECT_EQ(Lines[1], " -> " + SentFrame(rkReadLevel));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^ <- 01 03 04( [0-9A-F]{2}){6}$")).match(Lines[0]).hasMatch())
        << Lines[0].toStdString();

    Form->act10->trigger();
    EXPECT_EQ(Rig->Engine().EchoRadix.load(), 10);
    EXPECT_TRUE(Form->act10->isChecked());
    EXPECT_FALSE(Form->act16->isChecked());
    Form->actLevelRead->trigger();
    Lines = Bodies(*Form);
    EXPECT_EQ(Lines[1], " -> " + StringToDec(AppendCrc16(Lanx1->BuildRequest(rkReadLevel)), false));
    EXPECT_TRUE(Lines[1].startsWith(" -> 1 3 0 2 0 2 "));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^ <- 1 3 4( (0|[1-9]\\d{0,2})){6}$")).match(Lines[0]).hasMatch())
        << Lines[0].toStdString();
    EXPECT_EQ(Lines[4], " -> " + SentFrame(rkReadLevel)); // earlier lines stay as written

    Rig->Sim().SetFault(TSimFault::Silence);
    Form->act16->trigger();
    Form->actFreqRead->trigger();
    EXPECT_EQ(Bodies(*Form).value(0), " <- Нет ответа");

    for (int i = 0; i < 70; ++i)
        Form->AddEchoLine(QString::number(i));
    Lines = Bodies(*Form);
    EXPECT_EQ(Lines.size(), TFormMain::EchoLinesMax);
    EXPECT_EQ(Lines.first(), "69");
    EXPECT_EQ(Lines.last(), "6");
}

TEST_F(MainWindow, CountersAndRetriesOfAFailingCommand) {
    Create();
    Form->actReadAll->trigger();
    EXPECT_EQ(PanelText(1), "Запросов: 1");
    EXPECT_EQ(PanelText(2), "Ответов: 1");
    EXPECT_TRUE(Messages.Messages().isEmpty());

    EXPECT_FALSE(Form->ExecuteCommand(rkReadLevel, QStringLiteral("x"), 0));
    EXPECT_EQ(Rig->Sim().RequestCount(), 1);

    Rig->Sim().SetFault(TSimFault::Silence);
    Form->actVolumeRead->trigger();
    EXPECT_EQ(Rig->Sim().RequestCount(), 6);
    EXPECT_EQ(PanelText(1), "Запросов: 6");
    EXPECT_EQ(PanelText(2), "Ответов: 1");
    EXPECT_EQ(Bodies(*Form).count(" <- Нет ответа"), 5);
    const auto Shown = Messages.Messages();
    ASSERT_EQ(Shown.size(), 1);
    EXPECT_EQ(Shown[0].Caption, "Внимание");
    EXPECT_EQ(Shown[0].Text, "Не выполнена команда\rСчитать объем");
    EXPECT_EQ(Shown[0].Icon, TMsgIcon::Warning);
    EXPECT_EQ(Shown[0].Buttons, int(mbOK));

    // One lost reply: the second try succeeds, no message.
    Rig->Sim().ClearFaults();
    Rig->Sim().SetFault(TSimFault::Silence, 0, 1);
    Messages.Clear();
    EXPECT_TRUE(Form->ExecuteCommand(rkReadLevel, QStringLiteral("Считать уровень"), 5));
    EXPECT_EQ(Rig->Sim().RequestCount(), 8);
    EXPECT_TRUE(Messages.Messages().isEmpty());
}

TEST_F(MainWindow, FullModeAndMainWindowKeys) {
    ASSERT_TRUE(InitFullMode({QStringLiteral("lanx1"), QStringLiteral("/full")}));
    Create();
    Form->show();
    ASSERT_TRUE(Form->windowHandle());
    EXPECT_TRUE(Form->actPlantNumberChange->isVisible());
    EXPECT_TRUE(Form->actPlantNumberChange->isEnabled());
    EXPECT_TRUE(Form->actPlantNumberWrite->isVisible());

    PressKey(Form->windowHandle(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(FullMode());
    EXPECT_FALSE(Form->actPlantNumberChange->isVisible());
    EXPECT_FALSE(Form->actPlantNumberWrite->isVisible());

    // From any other window as well, and once per key press.
    QWidget Other;
    Other.show();
    ASSERT_TRUE(Other.windowHandle());
    PressKey(Other.windowHandle(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(FullMode());
    EXPECT_TRUE(Form->actPlantNumberChange->isVisible());
    EXPECT_TRUE(Form->actPlantNumberChange->isEnabled());
    PressKey(Other.windowHandle(), Qt::Key_F); // without Ctrl: nothing
    EXPECT_TRUE(FullMode());

    Form->hide();
    PressKey(Other.windowHandle(), Qt::Key_F12);
    EXPECT_TRUE(Form->isVisible());

    // Esc closes the main window, which asks first.
    Messages.Answer(mbNo);
    PressKey(Form->windowHandle(), Qt::Key_Escape);
    ASSERT_EQ(Messages.Messages().size(), 1);
    EXPECT_EQ(Messages.Messages()[0].Text, "Завершить работу?");
    EXPECT_TRUE(Form->isVisible());
}

TEST_F(MainWindow, CloseAsksFirst) {
    Create();
    Form->show();
    Form->actOprosStart->trigger();
    Messages.Answer(mbNo);
    EXPECT_FALSE(Form->close());
    auto Shown = Messages.Messages();
    ASSERT_EQ(Shown.size(), 1);
    EXPECT_EQ(Shown[0].Caption, "Внимание");
    EXPECT_EQ(Shown[0].Text, "Завершить работу?");
    EXPECT_EQ(Shown[0].Icon, TMsgIcon::Question);
    EXPECT_EQ(Shown[0].Buttons, mbYes | mbNo);
    EXPECT_EQ(Shown[0].Default, mbNo);
    EXPECT_TRUE(Form->isVisible());
    EXPECT_FALSE(Terminating);
    EXPECT_TRUE(Timer().Enabled()); // polling goes on

    Messages.Answer(mbYes);
    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(Terminating);
    EXPECT_FALSE(Timer().Enabled());
    EXPECT_EQ(FormMain, nullptr);
    EXPECT_FALSE(Rig->Engine().Transmitter->OnTransmit);
    EXPECT_TRUE(FromWin1251(ReadAll(Rig->Folder().File(QStringLiteral("INI/WndPos.ini")))).contains("[FormMain]"));
}

TEST_F(MainWindow, PortThatCannotBeOpened) {
    Rig->Engine().Transmitter->Close();
    Rig->Engine().Transmitter->SetPort(Rig->Folder().File(QStringLiteral("no-such-port")));
    EXPECT_FALSE(Rig->Engine().Transmitter->Open());
    ASSERT_EQ(Messages.Messages().size(), 1);
    EXPECT_TRUE(Messages.Messages()[0].Text.startsWith("Ошибка активации порта :"));
    Messages.Clear();

    Create();
    Form->actLevelRead->trigger();
    // Nothing went out: no frame in the echo, the missing port said once.
    const QString Missing = "Порт недоступен: " + Rig->Folder().File(QStringLiteral("no-such-port"));
    EXPECT_EQ(Bodies(*Form).count(Missing), 1);
    EXPECT_EQ(Bodies(*Form).count(" <- Нет ответа"), 0);
    EXPECT_EQ(PanelText(0), Missing);
    EXPECT_EQ(PanelText(1), "Запросов: 0");
    EXPECT_EQ(PanelText(2), "Ответов: 0");
    ASSERT_EQ(Messages.Messages().size(), 1);
    EXPECT_EQ(Messages.Messages()[0].Text, "Не выполнена команда\rСчитать уровень");
}

TEST_F(MainWindow, SerialSettingsSequence) {
    Create();
    const QString Ini = Rig->Folder().File(QStringLiteral("INI/ComPort.ini"));
    const QString Bad = Rig->Folder().File(QStringLiteral("no-such-port"));
    WriteAll(Ini, ToWin1251("[Transmitter]\r\nPort=" + Bad + "\r\nBaudRate=19200\r\n"));
    auto Cancel = OnNextModal([](QWidget *Dialog) { static_cast<QDialog *>(Dialog)->reject(); });
    Form->actTransmitterChange->trigger();
    // Cancelled or not, the file's settings are loaded, saved and the port opened.
    ASSERT_EQ(Messages.Messages().size(), 1);
    EXPECT_EQ(Messages.Messages()[0].Text, "Ошибка активации порта :" + Bad + "\rпорт не найден");
    EXPECT_TRUE(PanelText(0).startsWith(Bad + ", BoudRate:19200, "));
    EXPECT_TRUE(FromWin1251(ReadAll(Ini)).contains("ReadTotalConstant=150"));
    EXPECT_FALSE(Rig->Engine().Transmitter->IsOpen());

    // A port of this run only stays in use and out of the file.
    Messages.Clear();
    Form->SetPortOverride(Rig->Sim().PortName());
    Cancel = OnNextModal([](QWidget *Dialog) { static_cast<QDialog *>(Dialog)->reject(); });
    Form->actTransmitterChange->trigger();
    EXPECT_TRUE(Messages.Messages().isEmpty());
    EXPECT_TRUE(Rig->Engine().Transmitter->IsOpen());
    EXPECT_TRUE(PanelText(0).startsWith(Rig->Sim().PortName() + ", "));
    EXPECT_TRUE(FromWin1251(ReadAll(Ini)).contains("Port=" + Bad));
}

// Demo mode ("--simulator") with a settings file that names no port: the
// simulator's port stays in use and out of the file, dialog cancelled or not.
TEST_F(MainWindow, PortOfThisRunNeverReachesASettingsFileWithoutPort) {
    const QString Ini = Rig->Folder().File(QStringLiteral("INI/ComPort.ini"));
    WriteAll(Ini, "[Transmitter]\r\nBaudRate=19200\r\n");
    TTransmitter &T = *Rig->Engine().Transmitter;
    ASSERT_EQ(T.GetPort(), Rig->Sim().PortName()); // as the engine starts in demo mode
    Create();
    Form->SetPortOverride(Rig->Sim().PortName());
    for (int Round = 0; Round < 2; ++Round) {
        SCOPED_TRACE(Round);
        auto Cancel = OnNextModal([](QWidget *Dialog) { static_cast<QDialog *>(Dialog)->reject(); });
        Form->actTransmitterChange->trigger();
        const QString Text = FromWin1251(ReadAll(Ini));
        EXPECT_FALSE(Text.contains(Rig->Sim().PortName())) << Text.toStdString();
        EXPECT_FALSE(Text.contains(QStringLiteral("/dev/pts/"))) << Text.toStdString();
        EXPECT_EQ(TIniFile(Ini).ReadString(QStringLiteral("Transmitter"), QStringLiteral("Port"), QStringLiteral("COM1")),
                  QStringLiteral("COM1"));
        EXPECT_TRUE(Text.contains(QStringLiteral("BaudRate=19200")));
        EXPECT_EQ(T.GetPort(), Rig->Sim().PortName());
        EXPECT_TRUE(T.IsOpen());
        EXPECT_TRUE(Messages.Messages().isEmpty());
    }
}

TEST_F(MainWindow, PollingPeriodDialog) {
    Create();
    const QString Ini = Rig->Folder().File(QStringLiteral("INI/Timer.ini"));
    auto Type = [](const QString &Text, bool Confirm) {
        return OnNextModal([Text, Confirm](QWidget *Modal) {
            auto *Dialog = static_cast<QDialog *>(Modal);
            if (QLineEdit *Edit = Dialog->findChild<QLineEdit *>())
                Edit->setText(Text);
            if (!Confirm) {
                Dialog->reject();
                return;
            }
            for (QPushButton *Button : Dialog->findChildren<QPushButton *>())
                if (Button->isDefault()) {
                    Button->click();
                    return;
                }
            ADD_FAILURE() << "no default button";
            Dialog->reject();
        });
    };
    auto Answerer = Type(QStringLiteral("70000"), true);
    Form->actTimerParametersChange->trigger();
    EXPECT_EQ(Timer().Interval(), 60000);
    EXPECT_TRUE(FromWin1251(ReadAll(Ini)).contains("Interval=60000"));

    QFile::remove(Ini);
    Answerer = Type(QStringLiteral("500"), false);
    Form->actTimerParametersChange->trigger();
    EXPECT_EQ(Timer().Interval(), 60000);
    EXPECT_TRUE(FromWin1251(ReadAll(Ini)).contains("Interval=60000"));
    EXPECT_TRUE(Messages.Messages().isEmpty());

    // A missing INI folder is made again.
    QDir(Rig->Folder().File(QStringLiteral("INI"))).removeRecursively();
    Answerer = Type(QStringLiteral("500"), true);
    Form->actTimerParametersChange->trigger();
    EXPECT_TRUE(FromWin1251(ReadAll(Ini)).contains("Interval=500"));
    EXPECT_TRUE(Messages.Messages().isEmpty());

    // One that cannot be made (a file in its place) is told once, with where
    // and why; later changes are not kept either, and say nothing more.
    QDir(Rig->Folder().File(QStringLiteral("INI"))).removeRecursively();
    WriteAll(Rig->Folder().File(QStringLiteral("INI")), "not a folder");
    for (const QString &Period : {QStringLiteral("700"), QStringLiteral("800")}) {
        Answerer = Type(Period, true);
        Form->actTimerParametersChange->trigger();
        EXPECT_EQ(Timer().Interval(), Period.toInt());
    }
    const auto Shown = Messages.Messages();
    ASSERT_EQ(Shown.size(), 1);
    EXPECT_EQ(Shown[0].Caption, "Ошибка");
    EXPECT_EQ(Shown[0].Text, "Не удалось создать папку\r" + Rig->Folder().File(QStringLiteral("INI")) +
                                 "\rна этом месте файл, а не папка");
}

// The adapter is pulled during polling and plugged in again under the same
// name: the echo and the status bar say each once, and polling goes on by itself.
TEST_F(MainWindow, PortThatVanishesDuringPollingComesBack) {
    const QString Link = Rig->Folder().File(QStringLiteral("ttyLink"));
    Relink(Link, Rig->Sim().PortName());
    TTransmitter &T = *Rig->Engine().Transmitter;
    T.Close();
    T.SetPort(Link);
    ASSERT_TRUE(T.Open());
    Create();
    PollSet.Include(rkReadAll);
    Timer().SetInterval(100);
    Form->actOprosStart->trigger();
    ASSERT_TRUE(WaitFor([&] { return AnswerCount >= 1; }));

    Rig->Sim().Stop();
    const QString Lost = "Порт недоступен: " + Link;
    ASSERT_TRUE(WaitFor([&] { return Bodies(*Form).contains(Lost); }));
    EXPECT_EQ(PanelText(0), Lost);
    const int Requests = RequestCount;
    const int Steps = int(Rig->Engine().RequestThread->Steps());
    ASSERT_TRUE(WaitFor([&] { return int(Rig->Engine().RequestThread->Steps()) >= Steps + 3; }));
    // Exchanges that reach no port are neither sent nor logged as unanswered.
    EXPECT_EQ(RequestCount.load(), Requests);
    EXPECT_FALSE(Bodies(*Form).contains(" <- Нет ответа"));
    EXPECT_TRUE(Timer().Enabled());

    ASSERT_TRUE(Rig->Sim().Start());
    Relink(Link, Rig->Sim().PortName());
    const int Answers = AnswerCount;
    ASSERT_TRUE(WaitFor([&] { return AnswerCount >= Answers + 2; }));
    EXPECT_EQ(Bodies(*Form).count(Lost), 1);
    EXPECT_EQ(Bodies(*Form).count("Порт снова доступен: " + Link), 1);
    EXPECT_TRUE(PanelText(0).startsWith(Link + ", BoudRate:"));
    Form->actOprosStop->trigger();
    ASSERT_TRUE(WaitFor([&] { return !Rig->Engine().RequestThread->Busy(); }));
}

TEST_F(MainWindow, ClosingDuringAPollCycleEndsCleanly) {
    Create();
    PollSet.Include(rkReadAll);
    PollSet.Include(rkReadLevel);
    PollSet.Include(rkReadVolume);
    Rig->Sim().SetFault(TSimFault::Delay, 40);
    Form->actOprosStart->trigger();
    ASSERT_TRUE(WaitFor([&] { return Rig->Engine().RequestThread->Busy(); }));
    Messages.Answer(mbYes);
    EXPECT_TRUE(Form->close());
    ASSERT_TRUE(WaitFor([&] { return !Rig->Engine().RequestThread->Busy(); }));
    WaitFor([] { return false; }, 50); // let the frames queued before the close arrive
    const int Requests = RequestCount;
    const QStringList Lines = Form->EchoLines();
    // Later exchanges no longer reach the closed window.
    Rig->PollOnce();
    WaitFor([] { return false; }, 50);
    EXPECT_EQ(Form->EchoLines(), Lines);
    EXPECT_EQ(RequestCount.load(), Requests);
    EXPECT_FALSE(Timer().Enabled());
    Form.reset();
    Rig.reset();
}

TEST_F(MainWindow, ClosingDuringCommandRetriesEndsCleanly) {
    Create();
    Form->show();
    Rig->Sim().SetFault(TSimFault::Silence);
    Messages.Answer(mbYes);
    QTimer::singleShot(0, Form.get(), [this] { Form->close(); });
    Form->actLevelRead->trigger();
    EXPECT_TRUE(Terminating);
    EXPECT_LT(Rig->Sim().RequestCount(), 5);
    const auto Shown = Messages.Messages();
    ASSERT_EQ(Shown.size(), 1);
    EXPECT_EQ(Shown[0].Text, "Завершить работу?");
}

// Polling a device that answers after the read time-out, then a command right
// after polling stops: the late answer of the last poll (as long as the
// command's own) is not taken for the command's.
TEST_F(MainWindow, ACommandRightAfterPollingStopsGetsItsOwnAnswer) {
    Create();
    Rig->Sim().SetRegister(TLanx1DeviceModel::rgKKalman, 7);
    PollSet.Include(rkReadFrequency);
    Rig->Sim().SetFault(TSimFault::Delay, 100); // the read time-out is 60 ms
    Form->actOprosStart->trigger();
    const auto Steps = Rig->Engine().RequestThread->Steps();
    ASSERT_TRUE(WaitFor([&] { return Rig->Engine().RequestThread->Steps() >= Steps + 2; }));
    Form->actOprosStop->trigger();
    ASSERT_TRUE(WaitFor([&] { return !Rig->Engine().RequestThread->Busy(); }));
    Rig->Sim().ClearFaults();
    Lanx1->SetKKalman(1);
    EXPECT_TRUE(Form->RunStandardCommand(rkReadKKalman, CommandHint(rkReadKKalman)));
    EXPECT_EQ(Lanx1->KKalman(), 7);
    EXPECT_TRUE(Messages.Messages().isEmpty());
}

TEST(MessageBoxes, ShownInTheUserInterfaceThread) {
    EXPECT_EQ(TMessageBoxes::DisplayText("a\rb\r\nc\nd"), "a\nb\nc\nd");
    TMessageBoxes Service;
    EXPECT_EQ(MessageService(), &Service);
    QString Text, Caption;
    bool DefaultIsNo = false;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    auto Answerer = OnNextModal([&](QWidget *Modal) {
        auto *Box = qobject_cast<QMessageBox *>(Modal);
        ASSERT_NE(Box, nullptr);
        Text = Box->text();
        Caption = Box->windowTitle();
        Icon = Box->icon();
        DefaultIsNo = Box->defaultButton() == Box->button(QMessageBox::No);
        Box->button(QMessageBox::Yes)->click();
    });
    std::atomic<int> Answer{-1};
    std::thread Worker([&] {
        Answer = ShowMessageBox(QStringLiteral("Внимание"), QStringLiteral("Заменить\rфайл?"), TMsgIcon::Question,
                                mbYes | mbNo, mbNo);
    });
    EXPECT_TRUE(WaitFor([&] { return Answer >= 0; }));
    Worker.join();
    EXPECT_EQ(Answer.load(), int(mbYes));
    EXPECT_EQ(Text, "Заменить\nфайл?");
    EXPECT_EQ(Caption, "Внимание");
    EXPECT_EQ(Icon, QMessageBox::Question);
    EXPECT_TRUE(DefaultIsNo);
}

TEST_F(MainWindow, GraphActionsOpenTheGraphOfTheirArchive) {
    RegisterGraphWindow();
    Create();
    QString Caption, Name;
    auto Watch = OnNextModal([&](QWidget *Modal) {
        if (auto *Graph = qobject_cast<TFormGraph *>(Modal)) {
            Caption = Graph->windowTitle();
            Name = Graph->Description().Title;
        }
        Modal->close();
    });
    Form->actGraphLevel->trigger(); // modal: returns when the window closes
    EXPECT_TRUE(Caption.startsWith("График")) << Caption.toStdString();
    EXPECT_EQ(Name, Lanx1->Level.Description.Title);
}

TEST_F(MainWindow, StatusPanelsFitAndOutliveHoverHints) {
    Create();
    // The test screen is too small for the first-start layout; the default size counts.
    Form->resize(TFormMain::DefaultWidth, TFormMain::DefaultHeight);
    Form->show();
    RequestCount = 9999999;
    AnswerCount = 9999999;
    Form->StatisticsRefresh();
    QCoreApplication::processEvents();
    EXPECT_EQ(PanelText(1), "Запросов: 9999999");
    EXPECT_EQ(PanelText(2), "Ответов: 9999999");
    // Hovering over a button shows its hint; the panels stay.
    QStatusTipEvent Hint(Form->actOprosStart->statusTip());
    QCoreApplication::sendEvent(Form.get(), &Hint);
    QCoreApplication::processEvents();
    for (int i = 0; i < 4; ++i) {
        QLabel *Panel = Form->StatusPanel(i);
        SCOPED_TRACE(Panel->text().toStdString());
        EXPECT_TRUE(Panel->isVisible());
        EXPECT_LE(Panel->mapTo(Form.get(), QPoint(Panel->width(), 0)).x(), Form->width());
        if (i > 0) {
            EXPECT_GE(Panel->contentsRect().width(), Panel->fontMetrics().horizontalAdvance(Panel->text()));
        }
    }
    // The test's port is a long temporary path, shortened in the middle with
    // the whole text as its tool tip; a usual port name fits whole.
    auto *Port = qobject_cast<TElidedLabel *>(Form->StatusPanel(0));
    ASSERT_NE(Port, nullptr);
    if (!Port->ShowsWholeText()) {
        EXPECT_EQ(Port->toolTip(), PanelText(0));
    }
    const int Usual = LabelWidthFor(Port, QStringLiteral("/dev/ttyUSB0, BoudRate:115200, DataBits:8, StopBits:1, "
                                                         "Parity:None, FlowControl:None"));
    EXPECT_LE(Usual + Form->StatusPanel(1)->width() + Form->StatusPanel(2)->width() + Form->StatusPanel(3)->width(),
              Form->statusBar()->contentsRect().width());
    RequestCount = 0;
    AnswerCount = 0;
}

TEST_F(MainWindow, ProgressWindowBelongsToTheMainWindow) {
    Create();
    Form->show();
    QApplication::setActiveWindow(Form.get());
    ShowProgress(QStringLiteral("Чтение"), 1, 2);
    ASSERT_NE(ProgressWindow(), nullptr);
    EXPECT_TRUE(ProgressWindow()->isWindow());
    // A window of its own that the window manager keeps above its owner.
    EXPECT_EQ(ProgressWindow()->parentWidget(), Form.get());
    CloseProgress();
}
