#include "uLanx1Commands.h"

#include "uRequestDevices.h"

#include <algorithm>


namespace {

// Attempt 1 asks a new question; the later ones repeat it (see ExecuteRequest).
int RequestOnce(const TRequestOnce &Request, std::uint8_t Kind, int Attempt) {
    return Request ? Request(Kind) : ExecuteRequest(Kind, Attempt);
}

bool Run(const TExecute &Execute, std::uint8_t Kind, TSequenceResult &Result) {
    const bool Ok = Execute && Execute(Kind, CommandHint(Kind));
    if (!Ok)
        Result.Failed.push_back(Kind);
    return Ok;
}

// One block of a table transfer with its attempts.
bool TransferBlock(TLanx1 &Device, std::uint8_t Kind, int Block, const QString &Phase,
                   const TTableProgress &Progress, const TRequestOnce &Request, int Attempts,
                   TTableTransferResult &Result) {
    const QString EchoLine = Phase + QStringLiteral(": ") + QString::number(Block) + QStringLiteral(" блок");
    if (Progress)
        Progress(Phase, EchoLine, Block);
    Device.SetTableBlock(static_cast<std::uint8_t>(Block));
    Attempts = std::max(1, Attempts);
    for (int Attempt = 1; Attempt <= Attempts; ++Attempt)
        if (RequestOnce(Request, Kind, Attempt) == 0)
            return true;
    TTableBlockFailure Failure;
    Failure.EchoLine = EchoLine;
    Failure.Attempts = Attempts;
    // The frame as it went out (building it again would show kind 30's volumes once more).
    if (RequestDevices)
        Failure.Frame = RequestDevices->LastSentFrame();
    Failure.Error = RequestDevices ? RequestDevices->LastFailureText() : Device.LastErrorText();
    Result.Failed << EchoLine;
    Result.Failures << Failure;
    return false;
}

void TransferPhase(TLanx1 &Device, std::uint8_t Kind, const QString &Phase, const TTableProgress &Progress,
                   const TRequestOnce &Request, int Attempts, TTableTransferResult &Result) {
    for (int Block = 1; Block <= 2; ++Block)
        TransferBlock(Device, Kind, Block, Phase, Progress, Request, Attempts, Result);
    if (Progress)
        Progress(Phase, QString(), 0);
}

} // namespace

QString CommandHint(std::uint8_t Kind) {
    switch (Kind) {
    case rkReadAll: return QStringLiteral("Считать все показания");
    case rkReadPlantNumber: return QStringLiteral("Считать заводской номер из прибора");
    case rkReadModification: return QStringLiteral("Считать исполнение прибора");
    case rkReadLevel: return QStringLiteral("Считать уровень");
    case rkReadVolume: return QStringLiteral("Считать объем");
    case rkReadFrequency: return QStringLiteral("Считать частоту");
    case rkReadFreq1: return QStringLiteral("Считать частоту калибровочной точки С1");
    case rkReadFreq2: return QStringLiteral("Считать частоту калибровочной точки С2");
    case rkReadValue1: return QStringLiteral("Считать значение калибровочной точки С1");
    case rkReadValue2: return QStringLiteral("Считать значение калибровочной точки С2");
    case rkReadValue20mA: return QStringLiteral("Считать значение для 20mA");
    case rkReadTurning4mA: return QStringLiteral("Считать подстройку токового сигнала 4mA");
    case rkReadTurning20mA: return QStringLiteral("Считать подстройку токового сигнала 20mA");
    case rkReadControlRegister: return QStringLiteral("Считать регистр управления");
    case rkReadKKalman: return QStringLiteral("Считать Ку - коэффициент усреднения из прибора");
    case rkWriteKKalman: return QStringLiteral("Записать Ку - коэффициент усреднения в прибор");
    case rkWriteSystemAddress: return QStringLiteral("Записать системный адрес в прибор");
    case rkWriteFreq1: return QStringLiteral("Записать частоту калибровочной точки С1");
    case rkWriteFreq2: return QStringLiteral("Записать частоту калибровочной точки С2");
    case rkWriteValue1: return QStringLiteral("Записать значение калибровочной точки С1");
    case rkWriteValue2: return QStringLiteral("Записать значение калибровочной точки С2");
    case rkWriteValue20mA: return QStringLiteral("Записать значение для 20mA");
    case rkWriteTurning4mA: return QStringLiteral("Записать подстройку токового сигнала 4mA");
    case rkWriteTurning20mA: return QStringLiteral("Записать подстройку токового сигнала 20mA");
    case rkWriteControlRegister: return QStringLiteral("Записать регистр управления");
    default: return {};
    }
}

bool ExecuteWithRetries(std::uint8_t Kind, int Attempts, const TRequestOnce &Request) {
    for (int Attempt = 1; Attempt <= Attempts; ++Attempt)
        if (RequestOnce(Request, Kind, Attempt) == 0)
            return true;
    return false;
}

std::uint8_t ReadBackKind(std::uint8_t WriteKind) {
    switch (WriteKind) {
    case rkWriteKKalman: return rkReadKKalman;
    case rkWriteFreq1: return rkReadFreq1;
    case rkWriteFreq2: return rkReadFreq2;
    case rkWriteValue1: return rkReadValue1;
    case rkWriteValue2: return rkReadValue2;
    case rkWriteValue20mA: return rkReadValue20mA;
    case rkWriteTurning4mA: return rkReadTurning4mA;
    case rkWriteTurning20mA: return rkReadTurning20mA;
    case rkWriteControlRegister: return rkReadControlRegister;
    default: return 0xFF;
    }
}

bool IsParameterWrite(std::uint8_t Kind) {
    return Kind == rkWriteSystemAddress || ReadBackKind(Kind) != 0xFF;
}

namespace {

// Bits of the control register that the device changes on its own.
constexpr std::uint16_t kDeviceOwnBits = 0x00E0;
constexpr std::uint16_t kAutocalibrationBits = 0x0060;

std::uint16_t Word(const QByteArray &Data) {
    return Data.size() < 2 ? 0
                           : static_cast<std::uint16_t>((static_cast<std::uint8_t>(Data[0]) << 8) |
                                                        static_cast<std::uint8_t>(Data[1]));
}

TCommandOutcome CheckAddressWrite(TLanx1 &Device, int Attempts, const TRequestOnce &Request) {
    const std::uint16_t Old = Device.SystemAddress();
    const std::uint16_t New = Device.SystemAddressNew();
    const std::uint16_t Plant = Device.PlantNumber();
    Device.SetSystemAddress(New);
    const bool AtNew = ExecuteWithRetries(rkReadPlantNumber, Attempts, Request);
    const bool Taken = AtNew && Device.PlantNumber() == Plant;
    bool AtOld = false;
    Device.SetSystemAddress(Old);
    if (!AtNew && New != Old)
        AtOld = ExecuteWithRetries(rkReadPlantNumber, Attempts, Request);
    if (Taken)
        return TCommandOutcome::Done;
    return AtNew || AtOld ? TCommandOutcome::NotDone : TCommandOutcome::Unknown;
}

} // namespace

TCommandOutcome CheckWrite(TLanx1 &Device, std::uint8_t WriteKind, int Attempts, const TRequestOnce &Request) {
    if (WriteKind == rkWriteSystemAddress)
        return CheckAddressWrite(Device, Attempts, Request);
    const std::uint8_t Read = ReadBackKind(WriteKind);
    if (Read == 0xFF)
        return TCommandOutcome::NotDone;
    const QByteArray Written = Device.WriteData(WriteKind);
    if (WriteKind == rkWriteControlRegister && (Word(Written) & kAutocalibrationBits))
        return TCommandOutcome::Unknown; // the device clears them itself once done
    if (!ExecuteWithRetries(Read, Attempts, Request))
        return TCommandOutcome::Unknown;
    const QByteArray Held = Device.WriteData(WriteKind);
    if (WriteKind == rkWriteControlRegister)
        return (Word(Written) & ~kDeviceOwnBits) == (Word(Held) & ~kDeviceOwnBits) ? TCommandOutcome::Done
                                                                                   : TCommandOutcome::NotDone;
    return Written == Held ? TCommandOutcome::Done : TCommandOutcome::NotDone;
}

TCommandOutcome ExecuteChecked(TLanx1 &Device, std::uint8_t Kind, int Attempts, const TRequestOnce &Request) {
    if (ExecuteWithRetries(Kind, Attempts, Request))
        return TCommandOutcome::Done;
    if (Attempts <= 0 || !IsParameterWrite(Kind))
        return TCommandOutcome::NotDone;
    return CheckWrite(Device, Kind, Attempts, Request);
}

QString ReadAllParametersHint() {
    return QStringLiteral("Считать все параметры из прибора");
}

QString ModeCurrentOutputHint() {
    return QStringLiteral("Записать режим работы токового выхода");
}

QString AutocalibrationHint(int Point) {
    // The Latin C, unlike the other texts of the calibration points.
    return Point == 2 ? QStringLiteral("Автокалибровка C2") : QStringLiteral("Автокалибровка C1");
}

const std::array<std::uint8_t, 11> &AllParameterKinds() {
    static const std::array<std::uint8_t, 11> Kinds{
        rkReadPlantNumber, rkReadModification, rkReadValue20mA, rkReadTurning20mA,     rkReadTurning4mA, rkReadFreq2,
        rkReadFreq1,       rkReadValue2,       rkReadValue1,    rkReadControlRegister, rkReadKKalman};
    return Kinds;
}

TSequenceResult ReadAllParameters(const TExecute &Execute, const TTerminating &Terminating) {
    TSequenceResult Result;
    for (const std::uint8_t Kind : AllParameterKinds()) {
        Run(Execute, Kind, Result);
        if (Terminating && Terminating()) {
            Result.Stopped = true;
            break;
        }
    }
    return Result;
}

TSequenceResult WriteModeCurrentOutput(TLanx1 &Device, std::uint8_t Mode, const TExecute &Execute) {
    TSequenceResult Result;
    if (Mode != 1 && Mode != 2) {
        Result.Refused = true;
        return Result;
    }
    // The read also replaces the mode with the device's own; the choice is put back after it.
    if (!Run(Execute, rkReadControlRegister, Result)) {
        Device.SetModeCurrentOutput(Mode);
        Result.Skipped.push_back(rkWriteControlRegister);
        return Result;
    }
    Device.SetModeCurrentOutput(Mode);
    Device.ModeToControlRegister();
    Run(Execute, rkWriteControlRegister, Result);
    return Result;
}

TSequenceResult Autocalibrate(TLanx1 &Device, int Point, double Value, const TExecute &Execute) {
    TSequenceResult Result;
    const bool First = Point != 2;
    if (First)
        Device.SetValue1(Value);
    else
        Device.SetValue2(Value);
    if ((First ? Device.Value1() : Device.Value2()) != Value) {
        Result.Refused = true;
        return Result;
    }
    const bool Written = Run(Execute, First ? rkWriteValue1 : rkWriteValue2, Result);
    const bool RegisterRead = Run(Execute, rkReadControlRegister, Result);
    if (Written && RegisterRead) {
        if (First)
            Device.SetAutoFreq1Mode(true);
        else
            Device.SetAutoFreq2Mode(true);
        Run(Execute, rkWriteControlRegister, Result);
    } else {
        Result.Skipped.push_back(rkWriteControlRegister);
    }
    Run(Execute, First ? rkReadValue1 : rkReadValue2, Result);
    Run(Execute, First ? rkReadFreq1 : rkReadFreq2, Result);
    return Result;
}

QString ReadDeviceTableHint() {
    return QStringLiteral("Считать тарировочную таблицу из прибора");
}

QString WriteDeviceTableHint() {
    return QStringLiteral("Записать тарировочную таблицу в прибор");
}

TTableTransferResult ReadDeviceTable(TLanx1 &Device, const TTableProgress &Progress, const TRequestOnce &Request,
                                     int Attempts) {
    TTableTransferResult Result;
    Device.ClearTable();
    TransferPhase(Device, rkReadTableLevels, QStringLiteral("Чтение значений уровня"), Progress, Request, Attempts,
                  Result);
    TransferPhase(Device, rkReadTableVolumes, QStringLiteral("Чтение значений объема"), Progress, Request, Attempts,
                  Result);
    return Result;
}

TTableTransferResult WriteDeviceTable(TLanx1 &Device, const TTara &Tara, bool Loaded, const TTableProgress &Progress,
                                      const TRequestOnce &Request, int Attempts) {
    TTableTransferResult Result;
    if (!Loaded || Tara.Table.empty()) {
        Result.Refused = true;
        return Result;
    }
    Device.LoadTable(&Tara);
    TransferPhase(Device, rkWriteTableLevels, QStringLiteral("Запись значений уровня"), Progress, Request, Attempts,
                  Result);
    TransferPhase(Device, rkWriteTableVolumes, QStringLiteral("Запись значений объема"), Progress, Request, Attempts,
                  Result);
    return Result;
}
