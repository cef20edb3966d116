#include "uLanx1Commands.h"

#include "uRequestDevices.h"


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
                   const TTableProgress &Progress, const TRequestOnce &Request, TTableTransferResult &Result) {
    const QString EchoLine = Phase + QStringLiteral(": ") + QString::number(Block) + QStringLiteral(" блок");
    if (Progress)
        Progress(Phase, EchoLine, Block);
    Device.SetTableBlock(static_cast<std::uint8_t>(Block));
    for (int Attempt = 1; Attempt <= TableBlockAttempts; ++Attempt)
        if (RequestOnce(Request, Kind, Attempt) == 0)
            return true;
    Result.Failed << EchoLine;
    return false;
}

void TransferPhase(TLanx1 &Device, std::uint8_t Kind, const QString &Phase, const TTableProgress &Progress,
                   const TRequestOnce &Request, TTableTransferResult &Result) {
    for (int Block = 1; Block <= 2; ++Block)
        TransferBlock(Device, Kind, Block, Phase, Progress, Request, Result);
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

TTableTransferResult ReadDeviceTable(TLanx1 &Device, const TTableProgress &Progress, const TRequestOnce &Request) {
    TTableTransferResult Result;
    Device.ClearTable();
    TransferPhase(Device, rkReadTableLevels, QStringLiteral("Чтение значений уровня"), Progress, Request, Result);
    TransferPhase(Device, rkReadTableVolumes, QStringLiteral("Чтение значений объема"), Progress, Request, Result);
    return Result;
}

TTableTransferResult WriteDeviceTable(TLanx1 &Device, const TTara &Tara, bool Loaded, const TTableProgress &Progress,
                                      const TRequestOnce &Request) {
    TTableTransferResult Result;
    if (!Loaded || Tara.Table.empty()) {
        Result.Refused = true;
        return Result;
    }
    Device.LoadTable(&Tara);
    TransferPhase(Device, rkWriteTableLevels, QStringLiteral("Запись значений уровня"), Progress, Request, Result);
    TransferPhase(Device, rkWriteTableVolumes, QStringLiteral("Запись значений объема"), Progress, Request, Result);
    return Result;
}
