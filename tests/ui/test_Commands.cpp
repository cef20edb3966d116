// The device commands of the main window against the simulated transducer:
// what the device object holds afterwards, what the windows show and what
// the transducer received.
#include "EngineRig.h"
#include "FileSizeLimit.h"
#include "Lanx1.h"
#include "RecordingMessages.h"
#include "UiTestSupport.h"
#include "TLanx1DeviceModel.h"
#include "fMain.h"
#include "fTurning.h"
#include "fTurning20mA.h"
#include "fTurning4mA.h"
#include "uLanx1Commands.h"
#include "uLanx1Instance.h"
#include "uMath.h"
#include "uParamStr.h"
#include "uWin1251.h"
#include "uWindows.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <deque>
#include "uTextFit.h"

#include <gtest/gtest.h>
#include <memory>

void PrintTo(const QString &Text, std::ostream *Out) {
    *Out << '"' << Text.toStdString() << '"';
}

namespace {

using TModel = TLanx1DeviceModel;

// Answers the modal windows that come up, in order, one step each: a window
// is handled once, however long it stays open.
class TDialogScript {
public:
    using TStep = std::function<void(QWidget *)>;
    TDialogScript() {
        FTimer.setInterval(5);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            QWidget *W = QApplication::activeModalWidget();
            if (!W || !W->isVisible() || W->property("scripted").toBool() || FSteps.empty())
                return;
            W->setProperty("scripted", true);
            TStep Step = FSteps.front();
            FSteps.pop_front();
            ++FHandled;
            Step(W);
        });
        FTimer.start();
    }
    TDialogScript &Then(TStep Step) {
        FSteps.push_back(std::move(Step));
        return *this;
    }
    int Handled() const { return FHandled; }
    bool Finished() const { return FSteps.empty(); }

private:
    QTimer FTimer;
    std::deque<TStep> FSteps;
    int FHandled = 0;
};

template <class T> T *Child(QWidget *W, const QString &Name) {
    T *C = W->findChild<T *>(Name);
    EXPECT_NE(C, nullptr) << Name.toStdString();
    return C;
}

// Steps for the value dialogs; each records the prompt it saw.
TDialogScript::TStep Integer(int Value, QString *Prompt = nullptr) {
    return [=](QWidget *W) {
        if (Prompt)
            *Prompt = Child<QLabel>(W, QStringLiteral("lblCaption"))->text();
        Child<QSpinBox>(W, QStringLiteral("speValue"))->setValue(Value);
        Child<QPushButton>(W, QStringLiteral("btnOK"))->click();
    };
}

TDialogScript::TStep Number(const QString &Text, QString *Prompt = nullptr) {
    return [=](QWidget *W) {
        if (Prompt)
            *Prompt = Child<QLabel>(W, QStringLiteral("lblCaption"))->text();
        Child<QLineEdit>(W, QStringLiteral("enValue"))->setText(Text);
        Child<QPushButton>(W, QStringLiteral("btnOK"))->click();
    };
}

TDialogScript::TStep Cancel(QString *Prompt = nullptr) {
    return [=](QWidget *W) {
        if (Prompt)
            *Prompt = Child<QLabel>(W, QStringLiteral("lblCaption"))->text();
        Child<QPushButton>(W, QStringLiteral("btnCancel"))->click();
    };
}

// A received frame as "function:first register", e.g. "03:13" or "10:150".
QString Describe(const QByteArray &Frame) {
    if (Frame.size() < 4)
        return QStringLiteral("?");
    const int Start = (std::uint8_t(Frame[2]) << 8) | std::uint8_t(Frame[3]);
    return QStringLiteral("%1:%2").arg(std::uint8_t(Frame[1]), 2, 16, QLatin1Char('0')).arg(Start);
}

QStringList Described(const QList<QByteArray> &Frames) {
    QStringList Result;
    for (const QByteArray &F : Frames)
        Result << Describe(F);
    return Result;
}

// The 16-bit word of a write frame's data (after address, function, start,
// count and byte count).
int WrittenWord(const QByteArray &Frame, int Index = 0) {
    const int At = 7 + 2 * Index;
    return (std::uint8_t(Frame[At]) << 8) | std::uint8_t(Frame[At + 1]);
}


// The echo lines that are no frames, oldest first.
QStringList CommandLines(const TFormMain &Form) {
    QStringList Result;
    for (const QString &Line : Form.EchoLines()) {
        const QString B = EchoBody(Line);
        if (!B.startsWith(QStringLiteral(" -> ")) && !B.startsWith(QStringLiteral(" <- ")))
            Result.prepend(B);
    }
    return Result;
}

// Every value a parameter file holds, set to something no file of the tests has.
void Scramble(TLanx1 &D) {
    D.SetPlantNumber(9);
    D.SetSystemAddress(9);
    D.SetKKalman(99);
    D.SetModeCurrentOutput(2);
    for (TDescriptionOfDouble *Desc : {&D.Level.Description, &D.Volume.Description}) {
        Desc->Title = Desc->Hint = Desc->Dimension = QStringLiteral("x");
        Desc->Digits = 7;
        Desc->SetMinMax(1, 2);
    }
    D.SetUpperLimitPercent(1);
    D.SetLowerLimitPercent(1);
}

const QStringList kFastLine{QStringLiteral("ReadTotalConstant=60"), QStringLiteral("ReadTotalMultiplier=0"),
                            QStringLiteral("ReadInterval=20")};

class Commands : public ::testing::Test {
protected:
    void SetUp() override {
        SetFullMode(false);
        WindowHooks() = TWindowHooks();
        Rig = std::make_unique<TEngineRig>(kFastLine);
        Form = std::make_unique<TFormMain>();
        Form->Echo()->clear();
    }
    void TearDown() override {
        Form.reset();
        Rig.reset();
        WindowHooks() = TWindowHooks();
        TFormMain::OpenParametersDialog = Saved;
        Terminating = false;
    }
    TLanx1Simulator &Sim() { return Rig->Sim(); }
    QStringList Texts() const {
        QStringList Result;
        for (const auto &M : Messages.Messages())
            Result << M.Text;
        return Result;
    }
    QString ParFile(const QString &Name) { return Rig->Folder().File(QStringLiteral("PAR/") + Name); }

    TRecordingMessages Messages;
    std::unique_ptr<TEngineRig> Rig;
    std::unique_ptr<TFormMain> Form;
    decltype(TFormMain::OpenParametersDialog) Saved = TFormMain::OpenParametersDialog;
};

} // namespace

TEST_F(Commands, LocalEditsUseTheirPromptsAndLimitsAndSendNothing) {
    QString P1, P2, P3, P4, P5, P6, P7;
    TDialogScript Script;
    Script.Then(Integer(255, &P1)).Then(Integer(0, &P2)).Then(Integer(70000, &P3)).Then(Integer(1000, &P4));
    Form->actSystemAddressChange->trigger();
    Form->actKKalmanChange->trigger();
    Form->actFreq2Change->trigger();
    Form->actTurning4mAChange->trigger();
    EXPECT_EQ(P1, "Системный адрес");
    EXPECT_EQ(Lanx1->SystemAddress(), 255); // set locally, though no device can be written to it
    EXPECT_EQ(P2, "Коэффициент усреднения (от 1 до 65535)");
    EXPECT_EQ(Lanx1->KKalman(), 1); // the dialog's minimum
    EXPECT_EQ(P3, "Частота калибровочной точки С2");
    EXPECT_EQ(Lanx1->Freq2(), 65535);
    EXPECT_EQ(P4, "Подстройка токового сигнала 4mA (от 500 до 1000)");
    EXPECT_EQ(Lanx1->Turning4mA(), 1000);

    // Point values: outside 0..Max the point keeps its value; Cancel changes nothing.
    Script.Then(Number(QStringLiteral("12,5"), &P5)).Then(Number(QStringLiteral("150"))).Then(Cancel());
    Form->actValue1Change->trigger();
    EXPECT_EQ(P5, "Значение калибровочной точки С1, %");
    EXPECT_EQ(Lanx1->Value1(), 12.5);
    Form->actValue1Change->trigger();
    EXPECT_EQ(Lanx1->Value1(), 12.5);
    Form->actValue2Change->trigger();
    EXPECT_EQ(Lanx1->Value2(), 100.0);

    // The value for 20 mA takes anything.
    Script.Then(Number(QStringLiteral("-5"), &P6));
    Form->actValue20mAChange->trigger();
    EXPECT_EQ(P6, "Значение для 20mA, %");
    EXPECT_EQ(Lanx1->Value20mA(), -5.0);

    // The mode items follow the device object.
    Form->actModeCurrentOutput2->trigger();
    EXPECT_EQ(Lanx1->ModeCurrentOutput(), 2);
    EXPECT_TRUE(Form->actModeCurrentOutput2->isChecked());
    EXPECT_FALSE(Form->actModeCurrentOutput1->isChecked());

    // The plant number only in full mode.
    Form->actPlantNumberChange->trigger();
    EXPECT_EQ(Script.Handled(), 8);
    SetFullMode(true);
    Form->FullModeControlRefresh();
    Script.Then(Integer(4321, &P7));
    Form->actPlantNumberChange->trigger();
    EXPECT_EQ(P7, "Заводской номер [0..65535]");
    EXPECT_EQ(Lanx1->PlantNumber(), 4321);

    EXPECT_EQ(Sim().RequestCount(), 0);
    EXPECT_TRUE(Messages.Messages().isEmpty());
}

TEST_F(Commands, AddressWriteKeepsTheProgramOnTheOldAddress) {
    QString P1, P2;
    TDialogScript Script;
    // Cancel at the first dialog, then at the second: nothing is sent.
    Script.Then(Cancel()).Then(Integer(1234, &P1)).Then(Cancel(&P2));
    Form->actSystemAddressWrite->trigger();
    EXPECT_EQ(Lanx1->PlantNumber(), 0);
    Form->actSystemAddressWrite->trigger();
    EXPECT_EQ(P1, "Заводской номер");
    EXPECT_EQ(P2, "Новый системный адрес [0..254]");
    EXPECT_EQ(Lanx1->PlantNumber(), 1234);
    EXPECT_EQ(Lanx1->SystemAddressNew(), 0);
    EXPECT_EQ(Sim().RequestCount(), 0);

    int Limit = 0;
    Script.Then(Integer(1234)).Then([&](QWidget *W) {
        Limit = Child<QSpinBox>(W, QStringLiteral("speValue"))->maximum();
        Integer(5)(W);
    });
    Form->actSystemAddressWrite->trigger();
    EXPECT_EQ(Limit, 254);
    ASSERT_EQ(Sim().Requests().size(), 1);
    const QByteArray Sent = Sim().Requests()[0];
    EXPECT_EQ(Describe(Sent), "10:7");
    EXPECT_EQ(std::uint8_t(Sent[0]), 1); // to the address in use
    EXPECT_EQ(WrittenWord(Sent, 0), 5);
    EXPECT_EQ(WrittenWord(Sent, 1), 1234);
    EXPECT_EQ(Sim().Address(), 5);
    EXPECT_EQ(Sim().Register(TModel::rgPlantNumber), 1234);
    EXPECT_EQ(Lanx1->SystemAddress(), 1);
    EXPECT_TRUE(CommandLines(*Form).contains("Записать системный адрес в прибор"));
    EXPECT_TRUE(Messages.Messages().isEmpty());

    // The next command still goes to address 1, where nobody answers now.
    Form->actModificationRead->trigger();
    const QList<QByteArray> After = Sim().Requests().mid(1);
    EXPECT_EQ(After.size(), 5);
    for (const QByteArray &F : After)
        EXPECT_EQ(std::uint8_t(F[0]), 1);
    EXPECT_EQ(Texts(), QStringList{"Не выполнена команда\rСчитать исполнение прибора"});
}

TEST_F(Commands, ModeWriteChangesOnlyBitFour) {
    Sim().SetRegister(TModel::rgControl, 0x0013); // 4...20 mA and two other bits
    Form->actModeCurrentOutput2->trigger();
    Form->actModeCurrentOutputWrite->trigger();
    EXPECT_EQ(Described(Sim().Requests()), (QStringList{"03:13", "10:13"}));
    EXPECT_EQ(WrittenWord(Sim().Requests()[1]), 0x0003);
    EXPECT_EQ(Sim().Register(TModel::rgControl), 0x0003);
    EXPECT_EQ(Lanx1->ModeCurrentOutput(), 2);
    EXPECT_TRUE(Form->actModeCurrentOutput2->isChecked());
    EXPECT_EQ(CommandLines(*Form), (QStringList{"Записать режим работы токового выхода", "Считать регистр управления",
                                                "Записать регистр управления"}));

    Sim().SetRegister(TModel::rgControl, 0x0001);
    Form->actModeCurrentOutput1->trigger();
    Form->actModeCurrentOutputWrite->trigger();
    EXPECT_EQ(Sim().Register(TModel::rgControl), 0x0011);

    // No register read, no write: the program's copy may be stale.
    Sim().SetFault(TSimFault::Silence);
    const int Before = Sim().RequestCount();
    Form->actModeCurrentOutput2->trigger();
    Form->actModeCurrentOutputWrite->trigger();
    Sim().ClearFaults();
    EXPECT_EQ(Described(Sim().Requests().mid(Before)), QStringList(5, "03:13"));
    EXPECT_EQ(Sim().Register(TModel::rgControl), 0x0011);
    EXPECT_EQ(Texts(), QStringList{"Не выполнена команда\rСчитать регистр управления"});
    EXPECT_EQ(Lanx1->ModeCurrentOutput(), 2); // the choice stays for a later write
}

TEST_F(Commands, ReadAllParametersInOrderAndStopWhenTerminating) {
    Sim().SetRegister(TModel::rgPlantNumber, 4321);
    Sim().SetRegister(TModel::rgKKalman, 7);
    Sim().SetRegister(TModel::rgTurning4mA, 777);
    Sim().SetRegister(TModel::rgControl, 0x0000);
    Form->actAllParamRead->trigger();
    EXPECT_EQ(Described(Sim().Requests()), (QStringList{"03:0", "03:1", "03:9", "03:149", "03:150", "03:12", "03:11",
                                                        "03:146", "03:144", "03:13", "03:148"}));
    QStringList Expected{ReadAllParametersHint()};
    for (std::uint8_t Kind : AllParameterKinds())
        Expected << CommandHint(Kind);
    EXPECT_EQ(CommandLines(*Form), Expected);
    EXPECT_EQ(Lanx1->PlantNumber(), 4321);
    EXPECT_EQ(Lanx1->KKalman(), 7);
    EXPECT_EQ(Lanx1->Turning4mA(), 777);
    EXPECT_EQ(Lanx1->ModeCurrentOutput(), 2);
    EXPECT_TRUE(Messages.Messages().isEmpty());

    // The user confirms closing while the third step runs: that step ends, no other starts.
    const int Before = Sim().RequestCount();
    WindowHooks().Refresh.push_back([&] {
        if (Sim().RequestCount() >= Before + 3)
            Terminating = true;
    });
    Form->actAllParamRead->trigger();
    EXPECT_EQ(Sim().RequestCount(), Before + 3);
    EXPECT_TRUE(Messages.Messages().isEmpty());
}

TEST_F(Commands, ReadAllParametersWithoutDeviceReportsEveryStep) {
    Sim().SetFault(TSimFault::Silence);
    Form->actAllParamRead->trigger();
    EXPECT_EQ(Sim().RequestCount(), 55);
    QStringList Expected;
    for (std::uint8_t Kind : AllParameterKinds())
        Expected << QStringLiteral("Не выполнена команда\r") + CommandHint(Kind);
    EXPECT_EQ(Texts(), Expected);
}

TEST_F(Commands, AutocalibrationOfTheLowerPoint) {
    Lanx1->SetLowerLimitPercent(10);
    Lanx1->SetUpperLimitPercent(95);
    TDialogScript Script;

    // No at the question: no dialog, nothing sent.
    Messages.Answer(mbNo);
    Form->actFreq1Auto->trigger();
    EXPECT_EQ(Script.Handled(), 0);
    ASSERT_EQ(Messages.Messages().size(), 1);
    const auto Question = Messages.Messages()[0];
    EXPECT_EQ(Question.Text, "Начать автокалибровку С1?");
    EXPECT_EQ(Question.Caption, "Внимание");
    EXPECT_EQ(Question.Icon, TMsgIcon::Question);
    EXPECT_EQ(Question.Default, mbNo);

    // 10.1 lies above 10 % of the range: warned, and No sends nothing but keeps the value.
    Messages.Clear();
    Messages.Answer(mbYes);
    Messages.Answer(mbNo);
    Script.Then(Number(QStringLiteral("10,1")));
    Form->actFreq1Auto->trigger();
    EXPECT_EQ(Texts(), (QStringList{"Начать автокалибровку С1?",
                                    "Значение калибровочной точки С1 10,1 должно быть не больше 10,0 (10,0% "
                                    "диапазона)\r\rПродолжить автокалибровку?"}));
    EXPECT_EQ(Messages.Messages()[1].Default, mbNo);
    EXPECT_EQ(Lanx1->Value1(), 10.1);
    EXPECT_EQ(Sim().RequestCount(), 0);
    EXPECT_EQ(CommandLines(*Form), QStringList{"Автокалибровка C1"});

    // 10 passes: value written, bit 5 set, point read back.
    Messages.Clear();
    Messages.Answer(mbYes);
    Sim().SetLevel(5);
    Script.Then(Number(QStringLiteral("10")));
    Form->actFreq1Auto->trigger();
    EXPECT_EQ(Texts(), QStringList{"Начать автокалибровку С1?"});
    const QList<QByteArray> Sent = Sim().Requests();
    EXPECT_EQ(Described(Sent), (QStringList{"10:144", "03:13", "10:13", "03:144", "03:11"}));
    ASSERT_EQ(Sent.size(), 5);
    EXPECT_TRUE(GetBit(WrittenWord(Sent[2]), 5));
    EXPECT_FALSE(GetBit(WrittenWord(Sent[2]), 6));
    EXPECT_EQ(Sim().FloatAt(TModel::rgValue1), 10.0f);
    EXPECT_EQ(Lanx1->Value1(), 10.0);
    EXPECT_EQ(Lanx1->Freq1(), Sim().Register(TModel::rgFreq1));
    EXPECT_EQ(CommandLines(*Form).mid(1),
              (QStringList{"Автокалибровка C1", "Записать значение калибровочной точки С1", "Считать регистр управления",
                           "Записать регистр управления", "Считать значение калибровочной точки С1",
                           "Считать частоту калибровочной точки С1"}));

    // A value the point refuses stops the calibration instead of using the old value.
    Messages.Clear();
    Messages.Answer(mbYes);
    Script.Then(Number(QStringLiteral("150")));
    const int Before = Sim().RequestCount();
    Form->actFreq1Auto->trigger();
    EXPECT_EQ(Sim().RequestCount(), Before);
    EXPECT_EQ(Texts().value(1), "Значение калибровочной точки С1 150,0 должно быть от 0 до 100,0");
    EXPECT_EQ(Lanx1->Value1(), 10.0);
}

TEST_F(Commands, AutocalibrationOfTheUpperPointWarnsBelowItsLimit) {
    Lanx1->SetLowerLimitPercent(10);
    Lanx1->SetUpperLimitPercent(95);
    TDialogScript Script;
    Messages.Answer(mbYes);
    Messages.Answer(mbNo);
    Script.Then(Number(QStringLiteral("94,9")));
    Form->actFreq2Auto->trigger();
    EXPECT_EQ(Texts(), (QStringList{"Начать автокалибровку С2?",
                                    "Значение калибровочной точки С2 94,9 должно быть не меньше 95,0 (95,0% "
                                    "диапазона)\r\rПродолжить автокалибровку?"}));
    EXPECT_EQ(Sim().RequestCount(), 0);

    Messages.Clear();
    Messages.Answer(mbYes);
    Script.Then(Number(QStringLiteral("95")));
    Form->actFreq2Auto->trigger();
    EXPECT_EQ(Texts(), QStringList{"Начать автокалибровку С2?"});
    const QList<QByteArray> Sent = Sim().Requests();
    EXPECT_EQ(Described(Sent), (QStringList{"10:146", "03:13", "10:13", "03:146", "03:12"}));
    ASSERT_EQ(Sent.size(), 5);
    EXPECT_TRUE(GetBit(WrittenWord(Sent[2]), 6));

    // Before any parameter file both limits are 0: С2 never warns.
    Lanx1->SetUpperLimitPercent(0);
    Messages.Clear();
    Messages.Answer(mbYes);
    Script.Then(Number(QStringLiteral("1")));
    Form->actFreq2Auto->trigger();
    EXPECT_EQ(Texts(), QStringList{"Начать автокалибровку С2?"});
}

TEST_F(Commands, TrimmingDialogOf4mA) {
    RegisterTurningDialogs();
    Sim().SetRegister(TModel::rgControl, 0x0010);
    Sim().SetRegister(TModel::rgTurning4mA, 995);
    TDialogScript Script;
    QStringList Seen;
    QString Caption, Label;
    int Register = -1;
    bool StartEnabled = true, StepsEnabled = false;
    QList<int> Written;
    Script.Then([&](QWidget *W) {
        auto *D = qobject_cast<TFormTurning *>(W);
        ASSERT_NE(D, nullptr);
        EXPECT_EQ(D, FormTurning4mA);
        Caption = W->windowTitle();
        Label = D->ValueLabel()->text();
        Register = Sim().Register(TModel::rgControl);
        StartEnabled = D->btnStart->isEnabled();
        StepsEnabled = D->sbtIncrement1->isEnabled() && D->sbtDefault->isEnabled();
        const int Before = Sim().RequestCount();
        D->sbtIncrement5->click(); // 995 + 5 would reach the bound: unchanged, but sent again
        D->sbtIncrement1->click(); // 996
        Lanx1->SetTurning4mA(998);
        D->sbtIncrement1->click(); // 999
        D->sbtIncrement1->click(); // stays 999
        Seen << D->ValueLabel()->text();
        Lanx1->SetTurning4mA(502);
        D->sbtDecrement1->click(); // 501
        D->sbtDecrement1->click(); // stays 501
        D->sbtDecrement5->click(); // stays 501
        Seen << D->ValueLabel()->text();
        D->sbtDefault->click();
        Seen << D->ValueLabel()->text();
        for (const QByteArray &F : Sim().Requests().mid(Before))
            Written << (Describe(F) == "10:150" ? WrittenWord(F) : -1);
        W->close();
    });
    Form->actTurning4mAShow->trigger();
    EXPECT_EQ(Caption, "Подстройка токового сигнала 4mA");
    EXPECT_EQ(Label, "995");
    EXPECT_EQ(Register, 0x0018); // bit 3 set while trimming
    EXPECT_FALSE(StartEnabled);
    EXPECT_TRUE(StepsEnabled);
    EXPECT_EQ(Seen, (QStringList{"999", "501", "810"}));
    EXPECT_EQ(Written, (QList<int>{995, 996, 999, 999, 501, 501, 501, 810}));
    EXPECT_EQ(Sim().Register(TModel::rgTurning4mA), 810);
    EXPECT_EQ(Sim().Register(TModel::rgControl), 0x0010); // cleared on close
    EXPECT_EQ(FormTurning4mA, nullptr);
    EXPECT_TRUE(Form->actTurning4mAStart->isEnabled());
    EXPECT_FALSE(Form->actTurning4mASave->isEnabled());
    EXPECT_TRUE(Messages.Messages().isEmpty());
    EXPECT_TRUE(FromWin1251(ReadAll(Rig->Folder().File(QStringLiteral("INI/WndPos.ini")))).contains("[FormTurning4mA]"));

    // Opening and closing at once: the register read and written twice, the correction read once.
    const int Before = Sim().RequestCount();
    Script.Then([](QWidget *W) { W->close(); });
    Form->actTurning4mAShow->trigger();
    EXPECT_EQ(Described(Sim().Requests().mid(Before)), (QStringList{"03:13", "10:13", "03:150", "03:13", "10:13"}));
    EXPECT_EQ(Sim().Register(TModel::rgControl), 0x0010);

    // A register that could not be read is not written back: the program's
    // copy would overwrite the device's other bits.
    Sim().SetFault(TSimFault::Silence, 0, 5);
    const int Failed = Sim().RequestCount();
    Script.Then([](QWidget *W) { W->close(); });
    Form->actTurning4mAShow->trigger();
    QStringList Expected(5, QStringLiteral("03:13"));
    Expected << "03:150" << "03:13" << "10:13";
    EXPECT_EQ(Described(Sim().Requests().mid(Failed)), Expected);
    EXPECT_EQ(Texts(), QStringList{"Не выполнена команда\rСчитать регистр управления"});
    EXPECT_EQ(Sim().Register(TModel::rgControl), 0x0010);

    // Not while polling.
    Form->actOprosStart->trigger();
    Form->actTurning4mAShow->trigger();
    Form->actOprosStop->trigger();
    EXPECT_EQ(Script.Handled(), 3);
}

TEST_F(Commands, TrimmingDialogOf20mA) {
    RegisterTurningDialogs();
    Sim().SetRegister(TModel::rgControl, 0x0011);
    Sim().SetRegister(TModel::rgTurning20mA, 3502);
    TDialogScript Script;
    QString Group, Label;
    int Register = -1;
    Script.Then([&](QWidget *W) {
        auto *D = qobject_cast<TFormTurning *>(W);
        ASSERT_NE(D, nullptr);
        EXPECT_EQ(D, FormTurning20mA);
        // The frame has room for the whole caption.
        EXPECT_GE(D->width(), TitleBarWidthFor(D, D->windowTitle()));
        EXPECT_GT(TitleBarWidthFor(D, D->windowTitle()), QFontMetrics(D->font()).horizontalAdvance(D->windowTitle()));
        Register = Sim().Register(TModel::rgControl);
        D->sbtDecrement1->click();
        D->sbtDecrement1->click();
        Label = D->ValueLabel()->text();
        D->sbtDefault->click();
        // Save ends the correction; the steps then do nothing.
        D->btnSave->click();
        EXPECT_FALSE(D->sbtIncrement1->isEnabled());
        EXPECT_TRUE(D->btnStart->isEnabled());
        const int Before = Sim().RequestCount();
        D->sbtIncrement1->click();
        EXPECT_EQ(Sim().RequestCount(), Before);
        EXPECT_EQ(Sim().Register(TModel::rgControl), 0x0011);
        W->close();
    });
    Form->actTurning20mAShow->trigger();
    EXPECT_EQ(Register, 0x0015); // bit 2
    EXPECT_EQ(Label, "3501");
    EXPECT_EQ(Sim().Register(TModel::rgTurning20mA), 4000);
    EXPECT_EQ(Sim().Register(TModel::rgControl), 0x0011);
    EXPECT_EQ(FormTurning20mA, nullptr);
}

TEST_F(Commands, ParameterFilesRoundTripThroughTheActions) {
    Lanx1->SetPlantNumber(1234);
    Lanx1->SetSystemAddress(17);
    Lanx1->SetKKalman(9);
    Lanx1->SetModeCurrentOutput(2);
    Lanx1->Level.Description.Title = QStringLiteral("Уровень мазута");
    Lanx1->Level.Description.Hint = QStringLiteral("В баке №2");
    Lanx1->Level.Description.Dimension = QStringLiteral("мм");
    Lanx1->Level.Description.Digits = 3;
    Lanx1->Level.Description.SetMinMax(-10.25, 2500.5);
    Lanx1->Volume.Description.Title = QStringLiteral("Объем мазута");
    Lanx1->Volume.Description.SetMinMax(0, 3.3333333333333335);
    Lanx1->SetUpperLimitPercent(90.5);
    Lanx1->SetLowerLimitPercent(12.25);
    Form->actLanx1Save->trigger();
    const QString Path = ParFile(QStringLiteral("1234.ini"));
    ASSERT_TRUE(QFile::exists(Path));
    EXPECT_TRUE(Messages.Messages().isEmpty());
    const QByteArray First = ReadAll(Path);
    EXPECT_TRUE(First.startsWith("[Lanx1]"));
    EXPECT_TRUE(First.contains(ToWin1251(QStringLiteral("Title1=Уровень мазута"))));

    // Load the file into a device object with other values.
    Scramble(*Lanx1);
    QString Folder, Filter;
    TFormMain::OpenParametersDialog = [&](QWidget *, const QString &F, const QString &Fl) {
        Folder = F;
        Filter = Fl;
        return Path;
    };
    Form->actLanx1Load->trigger();
    EXPECT_EQ(QDir(Folder), QDir(ParametersFolder()));
    EXPECT_EQ(Filter, "Параметры приборов (*.ini)");
    EXPECT_EQ(Lanx1->PlantNumber(), 1234);
    EXPECT_EQ(Lanx1->SystemAddress(), 17);
    EXPECT_EQ(Lanx1->KKalman(), 9);
    EXPECT_EQ(Lanx1->ModeCurrentOutput(), 2);
    EXPECT_TRUE(Form->actModeCurrentOutput2->isChecked());
    EXPECT_EQ(Lanx1->Level.Description.Title, "Уровень мазута");
    EXPECT_EQ(Lanx1->Level.Description.Hint, "В баке №2");
    EXPECT_EQ(Lanx1->Level.Description.Dimension, "мм");
    EXPECT_EQ(Lanx1->Level.Description.Digits, 3);
    EXPECT_EQ(Lanx1->Level.Description.GetMin(), -10.25);
    EXPECT_EQ(Lanx1->Level.Description.GetMax(), 2500.5);
    EXPECT_EQ(Lanx1->Volume.Description.Title, "Объем мазута");
    EXPECT_EQ(Lanx1->Volume.Description.Hint, "Объем продукта");
    EXPECT_NEAR(Lanx1->Volume.Description.GetMax(), 3.3333333333333335, 1e-14); // 15 digits in the file
    EXPECT_EQ(Lanx1->UpperLimitPercent(), 90.5);
    EXPECT_EQ(Lanx1->LowerLimitPercent(), 12.25);
    EXPECT_EQ(Sim().RequestCount(), 0);

    // Cancelling the dialog changes nothing.
    TFormMain::OpenParametersDialog = [](QWidget *, const QString &, const QString &) { return QString(); };
    Lanx1->SetKKalman(3);
    Form->actLanx1Load->trigger();
    EXPECT_EQ(Lanx1->KKalman(), 3);

    // Saving again asks first; No keeps the first file.
    Messages.Answer(mbNo);
    Form->actLanx1Save->trigger();
    ASSERT_EQ(Messages.Messages().size(), 1);
    const auto Ask = Messages.Messages()[0];
    EXPECT_EQ(Ask.Text, "Заменить существующий файл \r" + Path + " ?");
    EXPECT_EQ(Ask.Caption, "Внимание");
    EXPECT_EQ(Ask.Buttons, mbYes | mbNo);
    EXPECT_EQ(Ask.Default, mbYes);
    EXPECT_EQ(ReadAll(Path), First);
    Messages.Answer(mbYes);
    Form->actLanx1Save->trigger();
    EXPECT_TRUE(ReadAll(Path).contains("KKalman=3"));
}

TEST_F(Commands, DamagedParameterFilesLoadWithDefaults) {
    const QString Path = ParFile(QStringLiteral("bad.ini"));
    QDir().mkpath(ParametersFolder());
    TFormMain::OpenParametersDialog = [&](QWidget *, const QString &, const QString &) { return Path; };

    // Garbage values and missing keys give their defaults; refused values leave the old ones.
    WriteAll(Path, ToWin1251(QStringLiteral("[lanx1]\r\nPlantNumber=12ab\r\nSystemAddress=0x1F\r\nKKalman=0\r\n"
                                            "ModeCurrentOutput=3\r\nDigits1=\r\nMinimum1=50\r\nMaximum1=10\r\n"
                                            "Maximum2=1e999\r\nUpperLimitPercent=120\r\nLowerLimitPercent=;\r\n")));
    Lanx1->SetKKalman(4);
    Lanx1->SetModeCurrentOutput(2);
    Lanx1->SetUpperLimitPercent(80);
    Form->actLanx1Load->trigger();
    EXPECT_EQ(Lanx1->PlantNumber(), 65535);
    EXPECT_EQ(Lanx1->SystemAddress(), 31);
    EXPECT_EQ(Lanx1->KKalman(), 4);
    EXPECT_EQ(Lanx1->ModeCurrentOutput(), 2);
    EXPECT_EQ(Lanx1->Level.Description.Digits, 1);
    EXPECT_EQ(Lanx1->Level.Description.GetMin(), 0.0); // minimum above maximum: range kept
    EXPECT_EQ(Lanx1->Level.Description.GetMax(), 100.0);
    EXPECT_EQ(Lanx1->Level.Description.Title, "Уровень");
    EXPECT_EQ(Lanx1->UpperLimitPercent(), 80.0);
    EXPECT_EQ(Lanx1->LowerLimitPercent(), 10.0);
    EXPECT_TRUE(std::isfinite(Lanx1->Volume.Description.GetMax()));

    // No section at all: every default.
    WriteAll(Path, "[Other]\r\nPlantNumber=5\r\n");
    Scramble(*Lanx1);
    Form->actLanx1Load->trigger();
    EXPECT_EQ(Lanx1->SystemAddress(), 255);
    EXPECT_EQ(Lanx1->PlantNumber(), 65535);
    EXPECT_EQ(Lanx1->KKalman(), 1);
    EXPECT_EQ(Lanx1->ModeCurrentOutput(), 1);
    EXPECT_EQ(Lanx1->Volume.Description.Title, "Объем");
    EXPECT_EQ(Lanx1->Volume.Description.Dimension, "%");
    EXPECT_EQ(Lanx1->Volume.Description.Digits, 1);
    EXPECT_EQ(Lanx1->Volume.Description.GetMax(), 100.0);
    EXPECT_EQ(Lanx1->Level.Description.Hint, "Уровень продукта");
    EXPECT_EQ(Lanx1->UpperLimitPercent(), 95.0);
    EXPECT_EQ(Lanx1->LowerLimitPercent(), 10.0);

    // Bytes that are no text at all, and a file that vanished after it was chosen.
    QByteArray Noise;
    for (int i = 0; i < 4096; ++i)
        Noise.append(char((i * 7919 + 13) % 256));
    WriteAll(Path, Noise);
    Form->actLanx1Load->trigger();
    QFile::remove(Path);
    Form->actLanx1Load->trigger();
    EXPECT_EQ(Lanx1->SystemAddress(), 255);
    EXPECT_TRUE(Messages.Messages().isEmpty());
}

TEST_F(Commands, FailedParameterSaveIsReportedAndLeavesNoPartialFile) {
    Lanx1->SetPlantNumber(77);
    const QString Path = ParFile(QStringLiteral("77.ini"));
    {
        TFileSizeLimit Limit(40);
        Form->actLanx1Save->trigger();
    }
    EXPECT_FALSE(QFile::exists(Path));
    EXPECT_EQ(QDir(ParametersFolder()).entryList(QDir::Files), QStringList());
    ASSERT_EQ(Messages.Messages().size(), 1);
    const auto Shown = Messages.Messages()[0];
    EXPECT_EQ(Shown.Caption, "Ошибка");
    EXPECT_EQ(Shown.Text, "Ошибка записи файла\r" + Path);
    EXPECT_EQ(Shown.Icon, TMsgIcon::Error);

    // Replacing an existing file that cannot be written keeps the old file whole.
    Form->actLanx1Save->trigger();
    const QByteArray Old = ReadAll(Path);
    ASSERT_FALSE(Old.isEmpty());
    Lanx1->SetKKalman(55);
    Messages.Clear();
    {
        TFileSizeLimit Limit(40);
        Form->actLanx1Save->trigger();
    }
    EXPECT_EQ(ReadAll(Path), Old);
    EXPECT_EQ(Texts(), (QStringList{"Заменить существующий файл \r" + Path + " ?", "Ошибка записи файла\r" + Path}));
}
