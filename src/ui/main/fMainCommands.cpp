// The device commands of the main window: local edits of the device object's
// parameters, the standard reads and writes, the sequences (address and mode
// writes, reading all parameters, autocalibration, output trimming) and the
// parameter files.
#include "fMain.h"

#include "fDeviceScan.h"
#include "fExchangeStatistics.h"
#include "fInputDouble.h"
#include "fInputInteger.h"
#include "fTurning20mA.h"
#include "fTurning4mA.h"
#include "uFormat.h"
#include "uLanx1Commands.h"
#include "uLanx1Instance.h"
#include "uMessages.h"
#include "uRequestDevices.h"

#include <QAction>
#include <QFileDialog>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcCommands, "lanx1.commands")

namespace {

const QString kEnter = QStringLiteral("Введите");
const QString kAttention = QStringLiteral("Внимание");

QString Hint(const QAction *Action) {
    return Action->statusTip();
}

QString PointName(int Point) {
    return Point == 2 ? QStringLiteral("С2") : QStringLiteral("С1"); // Cyrillic С
}

QString ChooseParametersFile(QWidget *Parent, const QString &Folder, const QString &Filter) {
    QFileDialog Dialog(Parent, QStringLiteral("Загрузить параметры"), Folder, Filter);
    Dialog.setAcceptMode(QFileDialog::AcceptOpen);
    Dialog.setFileMode(QFileDialog::ExistingFile);
    Dialog.setDefaultSuffix(QStringLiteral("ini"));
    if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
        return {};
    return Dialog.selectedFiles().constFirst();
}

} // namespace

std::function<QString(QWidget *, const QString &, const QString &)> TFormMain::OpenParametersDialog =
    ChooseParametersFile;

// ---- identity and operating parameters

void TFormMain::actSystemAddressChangeExecute() {
    if (!Lanx1)
        return;
    Lanx1->SetSystemAddress(static_cast<std::uint16_t>(
        InputInteger(kEnter, QStringLiteral("Системный адрес"), Lanx1->SystemAddress(), 0, 255)));
    RefreshAll();
}

void TFormMain::actSystemAddressWriteExecute() {
    if (!Lanx1)
        return;
    bool Ok = false;
    const int Plant = InputInteger(kEnter, QStringLiteral("Заводской номер"), Lanx1->PlantNumber(), 0, 65535, &Ok);
    if (!Ok)
        return;
    Lanx1->SetPlantNumber(static_cast<std::uint16_t>(Plant));
    const int Address = InputInteger(kEnter, QStringLiteral("Новый системный адрес [0..254]"),
                                     Lanx1->SystemAddressNew(), 0, 254, &Ok);
    if (!Ok)
        return;
    Lanx1->SetSystemAddressNew(static_cast<std::uint16_t>(Address));
    // Sent to the current address; the program keeps using it until the user
    // changes it, so that a failed write does not leave the device unreachable.
    if (!RunStandardCommand(rkWriteSystemAddress, Hint(actSystemAddressWrite)))
        RefreshAll();
}

void TFormMain::actPlantNumberChangeExecute() {
    if (!Lanx1)
        return;
    Lanx1->SetPlantNumber(static_cast<std::uint16_t>(
        InputInteger(kEnter, QStringLiteral("Заводской номер [0..65535]"), Lanx1->PlantNumber(), 0, 65535)));
    RefreshAll();
}

void TFormMain::actPlantNumberReadExecute() { RunStandardCommand(rkReadPlantNumber, Hint(actPlantNumberRead)); }
void TFormMain::actPlantNumberWriteExecute() {} // has no effect by design
void TFormMain::actModificationReadExecute() { RunStandardCommand(rkReadModification, Hint(actModificationRead)); }

void TFormMain::actKKalmanChangeExecute() {
    if (!Lanx1)
        return;
    Lanx1->SetKKalman(static_cast<std::uint16_t>(InputInteger(
        kEnter, QStringLiteral("Коэффициент усреднения (от 1 до 65535)"), Lanx1->KKalman(), 1, 65535)));
    RefreshAll();
}

void TFormMain::actKKalmanReadExecute() { RunStandardCommand(rkReadKKalman, Hint(actKKalmanRead)); }
void TFormMain::actKKalmanWriteExecute() { RunStandardCommand(rkWriteKKalman, Hint(actKKalmanWrite)); }

void TFormMain::actModeCurrentOutput1Execute() {
    if (Lanx1)
        Lanx1->SetModeCurrentOutput(1);
    RefreshAll();
}

void TFormMain::actModeCurrentOutput2Execute() {
    if (Lanx1)
        Lanx1->SetModeCurrentOutput(2);
    RefreshAll();
}

void TFormMain::actModeCurrentOutputWriteExecute() {
    if (!Lanx1)
        return;
    AddEchoLine(ModeCurrentOutputHint());
    const std::uint8_t Chosen = Lanx1->ModeCurrentOutput(); // the register read replaces it
    WriteModeCurrentOutput(*Lanx1, Chosen,
                           [this](std::uint8_t Kind, const QString &H) { return RunStandardCommand(Kind, H); });
    RefreshAll();
}

void TFormMain::actModeCurrentOutputReadExecute() {} // has no effect by design

void TFormMain::actControlRegisterReadExecute() {
    RunStandardCommand(rkReadControlRegister, Hint(actControlRegisterRead));
}

void TFormMain::actControlRegisterWriteExecute() {
    RunStandardCommand(rkWriteControlRegister, Hint(actControlRegisterWrite));
}

void TFormMain::actReadAllExecute() { RunStandardCommand(rkReadAll, Hint(actReadAll)); }
void TFormMain::actLevelReadExecute() { RunStandardCommand(rkReadLevel, Hint(actLevelRead)); }
void TFormMain::actVolumeReadExecute() { RunStandardCommand(rkReadVolume, Hint(actVolumeRead)); }
void TFormMain::actFreqReadExecute() { RunStandardCommand(rkReadFrequency, Hint(actFreqRead)); }

void TFormMain::actAllParamReadExecute() {
    AddEchoLine(ReadAllParametersHint());
    const TSequenceResult Result = ReadAllParameters(
        [this](std::uint8_t Kind, const QString &H) { return RunStandardCommand(Kind, H); },
        [] { return Terminating; });
    if (!Result.Stopped)
        RefreshAll();
}

void TFormMain::actAllParamWriteExecute() {} // has no effect by design

// ---- calibration points

void TFormMain::actFreq1ChangeExecute() {
    if (!Lanx1)
        return;
    Lanx1->SetFreq1(static_cast<std::uint16_t>(
        InputInteger(kEnter, QStringLiteral("Частота калибровочной точки С1"), Lanx1->Freq1(), 0, 65535)));
    RefreshAll();
}

void TFormMain::actFreq2ChangeExecute() {
    if (!Lanx1)
        return;
    Lanx1->SetFreq2(static_cast<std::uint16_t>(
        InputInteger(kEnter, QStringLiteral("Частота калибровочной точки С2"), Lanx1->Freq2(), 0, 65535)));
    RefreshAll();
}

void TFormMain::actFreq1ReadExecute() { RunStandardCommand(rkReadFreq1, Hint(actFreq1Read)); }
void TFormMain::actFreq1WriteExecute() { RunStandardCommand(rkWriteFreq1, Hint(actFreq1Write)); }
void TFormMain::actFreq2ReadExecute() { RunStandardCommand(rkReadFreq2, Hint(actFreq2Read)); }
void TFormMain::actFreq2WriteExecute() { RunStandardCommand(rkWriteFreq2, Hint(actFreq2Write)); }
void TFormMain::actFreq1AutoExecute() { Autocalibration(1); }
void TFormMain::actFreq2AutoExecute() { Autocalibration(2); }

bool TFormMain::EditValue(int Point, double *Typed) {
    if (!Lanx1)
        return false;
    const TDescriptionOfDouble &Level = Lanx1->Level.Description;
    const QString Prompt = QStringLiteral("Значение калибровочной точки ") + PointName(Point) + QStringLiteral(", ") +
                           Level.Dimension;
    bool Ok = false;
    const double Value =
        InputDouble(kEnter, Prompt, Level.Digits, Point == 2 ? Lanx1->Value2() : Lanx1->Value1(), &Ok);
    if (!Ok)
        return false;
    if (Typed)
        *Typed = Value;
    if (Point == 2)
        Lanx1->SetValue2(Value); // outside 0..Max the point keeps its value
    else
        Lanx1->SetValue1(Value);
    return true;
}

bool TFormMain::EditValue1() { return EditValue(1, nullptr); }
bool TFormMain::EditValue2() { return EditValue(2, nullptr); }

void TFormMain::Autocalibration(int Point) {
    if (!Lanx1)
        return;
    const QString Name = PointName(Point);
    if (ShowMessageBox(kAttention, QStringLiteral("Начать автокалибровку ") + Name + u'?', TMsgIcon::Question,
                       mbYes | mbNo, mbNo) != mbYes)
        return;
    double Typed = 0;
    if (!EditValue(Point, &Typed))
        return;
    const TDescriptionOfDouble &Level = Lanx1->Level.Description;
    const TFormatSettings &Fs = DefaultFormatSettings();
    const auto Text = [&](double V) { return FormatNumber(V, Level.Precision, Level.Digits, Fs); };
    const double Value = Point == 2 ? Lanx1->Value2() : Lanx1->Value1();
    // A typed value the point refuses would have the device calibrate at the
    // old one while the user believes otherwise: nothing is sent then.
    const auto Refused = [&] {
        ShowMessageBox(kAttention,
                       QStringLiteral("Значение калибровочной точки ") + Name + u' ' + Text(Typed) +
                           QStringLiteral(" должно быть от 0 до ") + Text(Level.GetMax()),
                       TMsgIcon::Warning, mbOK, mbOK);
    };
    if (Value != Typed) {
        Refused();
        return;
    }
    AddEchoLine(AutocalibrationHint(Point));
    // С1 belongs to the bottom of the range, С2 to its top.
    const double Percent = Point == 2 ? Lanx1->UpperLimitPercent() : Lanx1->LowerLimitPercent();
    const double Limit = Level.GetMax() * Percent / 100.0;
    const bool Outside = Point == 2 ? Value < Limit : Value > Limit;
    if (Outside) {
        const QString Warning = QStringLiteral("Значение калибровочной точки ") + Name + u' ' + Text(Value) +
                                (Point == 2 ? QStringLiteral(" должно быть не меньше ")
                                            : QStringLiteral(" должно быть не больше ")) +
                                Text(Limit) + QStringLiteral(" (") + FormatNumber(Percent, 9, 1, Fs) +
                                QStringLiteral("% диапазона)\r\rПродолжить автокалибровку?");
        if (ShowMessageBox(kAttention, Warning, TMsgIcon::Question, mbYes | mbNo, mbNo) != mbYes)
            return;
    }
    const TSequenceResult Result = Autocalibrate(
        *Lanx1, Point, Value, [this](std::uint8_t Kind, const QString &H) { return RunStandardCommand(Kind, H); });
    if (Result.Refused)
        Refused();
    RefreshAll();
}

void TFormMain::actValue1ChangeExecute() {
    if (EditValue1())
        RefreshAll();
}

void TFormMain::actValue2ChangeExecute() {
    if (EditValue2())
        RefreshAll();
}

void TFormMain::actValue1ReadExecute() { RunStandardCommand(rkReadValue1, Hint(actValue1Read)); }
void TFormMain::actValue1WriteExecute() { RunStandardCommand(rkWriteValue1, Hint(actValue1Write)); }
void TFormMain::actValue2ReadExecute() { RunStandardCommand(rkReadValue2, Hint(actValue2Read)); }
void TFormMain::actValue2WriteExecute() { RunStandardCommand(rkWriteValue2, Hint(actValue2Write)); }

void TFormMain::actValue20mAChangeExecute() {
    if (!Lanx1)
        return;
    const TDescriptionOfDouble &Level = Lanx1->Level.Description;
    // No range check: the output's top may lie beyond the measuring range.
    Lanx1->SetValue20mA(InputDouble(kEnter, QStringLiteral("Значение для 20mA, ") + Level.Dimension, Level.Digits,
                                    Lanx1->Value20mA()));
    RefreshAll();
}

void TFormMain::actValue20mAReadExecute() { RunStandardCommand(rkReadValue20mA, Hint(actValue20mARead)); }
void TFormMain::actValue20mAWriteExecute() { RunStandardCommand(rkWriteValue20mA, Hint(actValue20mAWrite)); }

// ---- current-output trimming

void TFormMain::ChangeControlRegister(const std::function<void()> &Modify) {
    // Writing a register that was not read would overwrite the device's other
    // bits (the output mode among them) with the program's stale copy.
    if (!RunStandardCommand(rkReadControlRegister, Hint(actControlRegisterRead)))
        return;
    Modify();
    RunStandardCommand(rkWriteControlRegister, Hint(actControlRegisterWrite));
}

namespace {
void RefreshTurningDialog(bool Top) {
    if (Top && FormTurning20mA)
        FormTurning20mA->RefreshView();
    if (!Top && FormTurning4mA)
        FormTurning4mA->RefreshView();
}
} // namespace

void TFormMain::StartCorrection(bool Top) {
    if (!Lanx1)
        return;
    (Top ? actTurning20mAStart : actTurning4mAStart)->setEnabled(false);
    (Top ? actTurning20mASave : actTurning4mASave)->setEnabled(true);
    (Top ? actTurning20mACancel : actTurning4mACancel)->setEnabled(true);
    ChangeControlRegister([Top] {
        if (Top)
            Lanx1->SetTurning20mAMode(true);
        else
            Lanx1->SetTurning4mAMode(true);
    });
    (Top ? actTurning20mARead : actTurning4mARead)->trigger(); // the correction the device has now
    RefreshTurningDialog(Top);
}

void TFormMain::EndCorrection(bool Top) {
    if (!Lanx1)
        return;
    CancelCorrection(Top);
    // Each step was sent as it was made: only the trimming mode is left here.
    ChangeControlRegister([Top] {
        if (Top)
            Lanx1->SetTurning20mAMode(false);
        else
            Lanx1->SetTurning4mAMode(false);
    });
}

void TFormMain::CancelCorrection(bool Top) {
    (Top ? actTurning20mAStart : actTurning4mAStart)->setEnabled(true);
    (Top ? actTurning20mASave : actTurning4mASave)->setEnabled(false);
    (Top ? actTurning20mACancel : actTurning4mACancel)->setEnabled(false);
    RefreshTurningDialog(Top);
}

void TFormMain::actTurning4mAChangeExecute() {
    if (!Lanx1)
        return;
    Lanx1->SetTurning4mA(static_cast<std::uint16_t>(InputInteger(
        kEnter, QStringLiteral("Подстройка токового сигнала 4mA (от 500 до 1000)"), Lanx1->Turning4mA(), 500, 1000)));
    RefreshAll();
}

void TFormMain::actTurning20mAChangeExecute() {
    if (!Lanx1)
        return;
    Lanx1->SetTurning20mA(static_cast<std::uint16_t>(
        InputInteger(kEnter, QStringLiteral("Подстройка токового сигнала 20mA (от 3500 до 4096)"),
                     Lanx1->Turning20mA(), 3500, 4096)));
    RefreshAll();
}

void TFormMain::actTurning4mAReadExecute() { RunStandardCommand(rkReadTurning4mA, Hint(actTurning4mARead)); }
void TFormMain::actTurning4mAWriteExecute() { RunStandardCommand(rkWriteTurning4mA, Hint(actTurning4mAWrite)); }
void TFormMain::actTurning4mAStartExecute() { StartCorrection(false); }
void TFormMain::actTurning4mASaveExecute() { EndCorrection(false); }
void TFormMain::actTurning4mACancelExecute() { CancelCorrection(false); }
void TFormMain::actTurning20mAReadExecute() { RunStandardCommand(rkReadTurning20mA, Hint(actTurning20mARead)); }
void TFormMain::actTurning20mAWriteExecute() {
    RunStandardCommand(rkWriteTurning20mA, Hint(actTurning20mAWrite));
}
void TFormMain::actTurning20mAStartExecute() { StartCorrection(true); }
void TFormMain::actTurning20mASaveExecute() { EndCorrection(true); }
void TFormMain::actTurning20mACancelExecute() { CancelCorrection(true); }

// ---- parameter files

void TFormMain::actLanx1LoadExecute() {
    if (!Lanx1 || !OpenParametersDialog)
        return;
    const QString Path =
        OpenParametersDialog(this, ParametersFolder(), QStringLiteral("Параметры приборов (*.ini)"));
    if (Path.isEmpty())
        return;
    try {
        LoadParametersFromFile(*Lanx1, Path);
    } catch (const std::exception &E) {
        qCWarning(lcCommands) << "parameter file not read:" << Path << E.what();
        ShowMessageBox(QStringLiteral("Ошибка"), QStringLiteral("Ошибка чтения файла\r") + Path, TMsgIcon::Error,
                       mbOK, mbOK);
    }
    RefreshAll();
}

void TFormMain::actLanx1SaveExecute() {
    if (!Lanx1)
        return;
    QString Path, Error;
    if (SaveParameters(*Lanx1, &Path, &Error) == TSaveParametersResult::Failed) {
        qCWarning(lcCommands) << "parameter file not written:" << Error;
        ShowMessageBox(QStringLiteral("Ошибка"), QStringLiteral("Ошибка записи файла\r") + Path, TMsgIcon::Error,
                       mbOK, mbOK);
    }
    RefreshAll();
}

// ---- link

void TFormMain::actDeviceScanExecute() {
    if (!RequestDevices || !RequestDevices->Transmitter || !actOprosStart->isEnabled())
        return;
    TTransmitter &T = *RequestDevices->Transmitter;
    TScanOptions Defaults;
    Defaults.Line = T.GetSettings();
    Defaults.CurrentAddress = Lanx1 ? Lanx1->SystemAddress() : 0;
    // The search opens the ports itself, the program's one included.
    T.Close();
    bool Applied = false;
    TFormDeviceScan Dialog(Defaults, this);
    Dialog.OnApply = [&](const TScanDevice &Device) {
        Applied = true;
        ChangeTransmitterSettings([&](TTransmitter &Line) {
            TPortSettings S = Line.GetSettings();
            S.Port = Device.Port;
            const QString Baud = QString::number(Device.BaudRate);
            S.BaudRate = TPortSettings::BaudRateTexts().contains(Baud) ? Baud : QStringLiteral("Custom");
            S.CustomBaudRate = Device.BaudRate;
            Line.SetSettings(S);
        });
        if (Lanx1)
            Lanx1->SetSystemAddress(static_cast<std::uint16_t>(Device.Address));
        AddEchoLine(QStringLiteral("Прибор: %1, %2 бод, адрес %3")
                        .arg(Device.Port)
                        .arg(Device.BaudRate)
                        .arg(Device.Address));
    };
    Dialog.exec();
    if (!Applied)
        T.Open();
    RefreshAll();
}

void TFormMain::actExchangeStatisticsExecute() {
    TFormExchangeStatistics::ShowWindow(this);
}
