#include "Lanx1.h"

#include "uClock.h"
#include "uFormat.h"
#include "uLog.h"
#include "uMath.h"
#include "uMessages.h"
#include "uSysUtils.h"

#include <QDate>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

const QString kNorma = QStringLiteral("Норма");

struct TKindLayout {
    std::uint8_t Function; // 0 for no request kind
    std::uint16_t Start;
    std::uint16_t Count;
};

// Start registers and counts of the request kinds; table blocks add an offset.
constexpr TKindLayout kLayouts[31] = {
    {0x03, 0, 14},   {0x03, 0, 1},    {0x03, 1, 1},    {0x03, 2, 2},    {0x03, 4, 2},    {0x03, 6, 1},
    {0x03, 11, 1},   {0x03, 12, 1},   {0x03, 144, 2},  {0x03, 146, 2},  {0x03, 9, 2},    {0x03, 150, 1},
    {0x03, 149, 1},  {0x03, 13, 1},   {0x03, 148, 1},  {0x10, 148, 1},  {0, 0, 0},       {0x10, 7, 2},
    {0, 0, 0},       {0x10, 11, 1},   {0x10, 12, 1},   {0x10, 144, 2},  {0x10, 146, 2},  {0x10, 9, 2},
    {0x10, 150, 1},  {0x10, 149, 1},  {0x10, 13, 1},   {0x03, 14, 32},  {0x03, 79, 32},  {0x10, 14, 32},
    {0x10, 79, 32},
};

// Smallest 0x03 reply (with checksum) each reading kind needs; 0 for the
// kinds whose 0x03 reply is ignored.
constexpr int kMinReadReply[31] = {33, 7, 7, 9, 9, 7, 7, 7, 9, 9, 9, 7, 7, 7, 7, 0,
                                   0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 69, 69, 0, 0};

void PutWord(QByteArray &Frame, std::uint16_t Value) {
    Frame.append(static_cast<char>(Value >> 8));
    Frame.append(static_cast<char>(Value & 0xFF));
}

// A double beyond the single range has no single (the cast would be undefined):
// it goes out as the infinity of its sign, NaN as NaN.
float ToSingle(double Value) {
    constexpr double Max = std::numeric_limits<float>::max();
    if (Value > Max)
        return std::numeric_limits<float>::infinity();
    if (Value < -Max)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(Value);
}

void PutFloat(QByteArray &Frame, double Value) {
    std::uint8_t B1, B2, B3, B4;
    SingleToBytes(ToSingle(Value), B1, B2, B3, B4);
    Frame.append(static_cast<char>(B1));
    Frame.append(static_cast<char>(B2));
    Frame.append(static_cast<char>(B3));
    Frame.append(static_cast<char>(B4));
}

std::uint8_t ByteAt(const TBuffer &B, int K) {
    return static_cast<std::uint8_t>(B[K]);
}

std::uint16_t WordAt(const TBuffer &B, int K) {
    return static_cast<std::uint16_t>(ByteAt(B, K) * 256 + ByteAt(B, K + 1));
}

double FloatAt(const TBuffer &B, int K) {
    return BytesToSingle(ByteAt(B, K), ByteAt(B, K + 1), ByteAt(B, K + 2), ByteAt(B, K + 3));
}

QString ExactText(double Value) {
    return ExactNumberText(Value);
}

} // namespace

bool IsRequestKind(int Kind) {
    return Kind >= 0 && Kind <= 30 && Kind != 16 && Kind != 18;
}

ERequestError::ERequestError() : std::runtime_error("Ошибка формирования запроса") {}

QString ExceptionText(int Code) {
    switch (Code) {
    case 2: return QStringLiteral("Число запрашиваемых регистров больше 125");
    case 3: return QStringLiteral("НА > 164, или НА+ЧЗР > 164");
    case 4: return QStringLiteral("Ошибка при выполнении команды");
    default: return {};
    }
}

QString StatusText(int Status) {
    switch (Status) {
    case 1: return QStringLiteral("Принят неизвестный код команды");
    case 2: return QStringLiteral("Полученная команда не может быть выполенена в настоящее время");
    case 3: return QStringLiteral("Ошибка в данных");
    case 4: return QStringLiteral("Отказ в работе прибора");
    default: return {};
    }
}

TLanx1::TLanx1() {
    DeviceDescription.Title = QStringLiteral("ЛАНКС1хх");
    DeviceDescription.Hint = QStringLiteral("Преобразователь уровня скрии ЛАНКС1хх");

    auto Describe = [](TIODouble &D, const char *Title, const char *Hint) {
        D.Description.Title = QString::fromUtf8(Title);
        D.Description.Hint = QString::fromUtf8(Hint);
        D.Description.Dimension = QStringLiteral("%");
        D.Description.SetMinMax(0, 100);
        D.Description.Precision = 9;
        D.Description.Digits = 1;
    };
    Describe(Level, "Уровень", "Уровень продукта");
    Describe(Volume, "Объем", "Объем продукта");
    Frequency.Description.Title = QStringLiteral("Частота");
    Frequency.Description.Hint = QStringLiteral("Измеренная частота генератора датчика");
    Frequency.Description.SetMinMax(0, 65535);

    ExchangeState.Description.Title = QStringLiteral("Ошибка");
    ExchangeState.Description.Hint = QStringLiteral("Ошибка обмена");
    ExchangeState.Description.SetCaptions(QStringLiteral("Не известно"), QStringLiteral("Ошибка"), kNorma);
    ExchangeState.Description.SetColors1(0, 0, 0);
    ExchangeState.Description.SetColors2(0, 255, 65280);
    ExchangeState.SetValue(TVariant(static_cast<std::uint8_t>(tsUnknown)), 0);

    Used.Description.Title = QStringLiteral("Используется");
    Used.Description.Hint = QStringLiteral("Используется");
    Used.Description.SetCaptions(QStringLiteral("Не известно"), QStringLiteral("Да"), QStringLiteral("Нет"));
    Used.Description.SetColors1(0, 0, 0);
    Used.Description.SetColors2(clBtnFace, clBtnFace, clBtnFace);
    Used.SetValue(TVariant(static_cast<std::uint8_t>(tsTrue)), 0);

    FValue20mA = Level.Description.GetMax();
}

// ---- building requests

QByteArray TLanx1::TableBlockData(bool Volumes) const {
    QByteArray Data;
    for (int i = 1; i <= BlockPoints; ++i) {
        const TTaraPoint &P = TablePoint(BlockPoints * (FTableBlock - 1) + i);
        PutFloat(Data, Volumes ? P.Volume : P.Level);
    }
    return Data;
}

void TLanx1::ShowVolumeBlock() const {
    QString Text;
    for (int i = 1; i <= BlockPoints; ++i) {
        const double V = TablePoint(BlockPoints * (FTableBlock - 1) + i).Volume;
        Text += QString::number(i) + u')' + FormatNumber(V, 9, 3, DefaultFormatSettings()) + u'\r';
    }
    ShowMessageBox(QStringLiteral("Внимание"), Text, TMsgIcon::Information, mbOK, mbOK);
}

QByteArray TLanx1::BuildRequest(std::uint8_t Kind) {
    FRequestKind = Kind;
    FRequest.clear(); // no reply answers a request that could not be built
    if (!IsRequestKind(Kind))
        throw ERequestError();
    const bool TableKind = Kind >= rkReadTableLevels;
    if (TableKind && FTableBlock != 1 && FTableBlock != 2)
        throw ERequestError(); // a block outside the table would address foreign registers
    const TKindLayout &L = kLayouts[Kind];
    const std::uint16_t Start = static_cast<std::uint16_t>(L.Start + (TableKind ? 32 * (FTableBlock - 1) : 0));

    QByteArray Frame;
    Frame.append(static_cast<char>(FSystemAddress & 0xFF));
    Frame.append(static_cast<char>(L.Function));
    PutWord(Frame, Start);
    PutWord(Frame, L.Count);
    if (L.Function == 0x03) {
        FRequest = Frame;
        return Frame;
    }

    QByteArray Data;
    switch (Kind) {
    case rkWriteTableLevels: Data = TableBlockData(false); break;
    case rkWriteTableVolumes:
        Data = TableBlockData(true);
        ShowVolumeBlock();
        break;
    default: Data = WriteData(Kind); break;
    }
    Frame.append(static_cast<char>(Data.size()));
    Frame.append(Data);
    FRequest = Frame;
    return Frame;
}

QByteArray TLanx1::WriteData(std::uint8_t Kind) const {
    QByteArray Data;
    switch (Kind) {
    case rkWriteKKalman: PutWord(Data, FKKalman); break;
    case rkWriteSystemAddress:
        PutWord(Data, FSystemAddressNew);
        PutWord(Data, FPlantNumber);
        break;
    case rkWriteFreq1: PutWord(Data, FFreq1); break;
    case rkWriteFreq2: PutWord(Data, FFreq2); break;
    case rkWriteValue1: PutFloat(Data, FValue1); break;
    case rkWriteValue2: PutFloat(Data, FValue2); break;
    case rkWriteValue20mA: PutFloat(Data, FValue20mA); break;
    case rkWriteTurning4mA: PutWord(Data, FTurning4mA); break;
    case rkWriteTurning20mA: PutWord(Data, FTurning20mA); break;
    case rkWriteControlRegister: PutWord(Data, FControlRegister); break;
    default: break;
    }
    return Data;
}

// ---- applying replies

void TLanx1::SetError(int Code, const QString &Text) {
    FLastErrorCode = Code;
    FLastErrorText = Text;
    ExchangeState.Description.SetCaption(tsTrue, Text);
    ExchangeState.SetValue(TVariant(static_cast<std::uint8_t>(tsTrue)), 0);
}

void TLanx1::CountFailure(int Code, const QString &Text) {
    IncErrorCount();
    if (ErrorLimitReached())
        SetError(Code, Text);
}

void TLanx1::Success() {
    ResetErrorCount();
    ExchangeState.SetValue(TVariant(static_cast<std::uint8_t>(tsFalse)), 0);
}

// 0 when Reply (checksum already right) can be the answer to the request
// built last, else the error code it gets: -3 for a write echo that is too
// short, -5 for anything that answers another question. A late answer to an
// earlier request, or a stray frame of another device, must never be applied.
int TLanx1::CheckAnswer(const TBuffer &Reply) const {
    constexpr int Mismatch = -5;
    constexpr int ShortFrame = -6;
    if (FRequest.size() < 6)
        return Mismatch; // no request was built: nothing can answer it
    const std::uint8_t Address = ByteAt(Reply, 0);
    // The address write is answered from the old address or from the new one.
    const bool AddressOk = Address == ByteAt(FRequest, 0) ||
                           (FRequestKind == rkWriteSystemAddress && FRequest.size() >= 9 && Address == ByteAt(FRequest, 8));
    if (!AddressOk)
        return Mismatch;
    const std::uint8_t Asked = ByteAt(FRequest, 1);
    const qsizetype N = Reply.size();
    switch (ByteAt(Reply, 1)) {
    case 0x03: {
        const int Count = WordAt(FRequest, 4);
        const int Bytes = ByteAt(Reply, 2);
        if (Asked != 0x03 || N != 5 + Bytes)
            return Mismatch;
        // A whole frame that is only shorter than the kind needs: "Ошибка
        // чтения", as for any short reply; it is applied no more than a
        // mismatch (it may well answer another question).
        if (Bytes < 2 * Count)
            return ShortFrame;
        return Bytes == 2 * Count ? 0 : Mismatch;
    }
    case 0x10:
        if (Asked != 0x10)
            return Mismatch;
        if (N < 8)
            return -3;
        return N == 8 && WordAt(Reply, 2) == WordAt(FRequest, 2) && WordAt(Reply, 4) == WordAt(FRequest, 4) ? 0
                                                                                                            : Mismatch;
    case 0x83: return Asked == 0x03 && N == 5 ? 0 : Mismatch;
    case 0x90: return Asked == 0x10 && N == 5 ? 0 : Mismatch;
    case 0xFA: return N < 6 ? -3 : 0; // a status may answer any request
    default: return Mismatch;
    }
}

bool TLanx1::ParseReply(const TBuffer &Reply) {
    FLastErrorCode = 0;
    FLastErrorText = kNorma;
    FRefusedValues.clear();
    const qsizetype N = Reply.size();
    if (N == 0) {
        FLastVerdict = TReplyVerdict::NoAnswer;
        CountFailure(-1, QStringLiteral("Нет ответа от устройства"));
        return false;
    }
    FLastVerdict = TReplyVerdict::Corrupt;
    if (N < 5) {
        CountFailure(-3, QStringLiteral("Ошибка чтения"));
        return false;
    }
    if (!CheckCrc16(Reply)) {
        CountFailure(-4, QStringLiteral("Ошибка контрольной суммы"));
        return false;
    }
    switch (CheckAnswer(Reply)) {
    case 0: break;
    case -3:
        CountFailure(-3, QStringLiteral("Ошибка чтения"));
        return false;
    case -6:
        FLastVerdict = TReplyVerdict::Mismatch;
        CountFailure(-3, QStringLiteral("Ошибка чтения"));
        return false;
    default:
        FLastVerdict = TReplyVerdict::Mismatch;
        CountFailure(-5, QStringLiteral("Несоответствие команды"));
        return false;
    }
    switch (ByteAt(Reply, 1)) {
    case 0x03:
        return ApplyRead(Reply);
    case 0x10:
        // The echo confirms the write; it says nothing about the exchange state.
        FLastVerdict = TReplyVerdict::Done;
        return true;
    case 0x83:
    case 0x90:
        FLastVerdict = TReplyVerdict::Exception;
        return ApplyException(Reply);
    default:
        FLastVerdict = TReplyVerdict::Status;
        return ApplyStatus(Reply);
    }
}

// An exception reply never completes an exchange: the device did not carry
// the request out, whatever its code (0 included) says.
bool TLanx1::ApplyException(const TBuffer &Reply) {
    FLastErrorCode = ByteAt(Reply, 2);
    IncErrorCount();
    if (FLastErrorCode == 0)
        return false;
    WriteBlackBox(FLastErrorCode);
    const QString Text = ExceptionText(FLastErrorCode);
    if (ErrorLimitReached() && !Text.isEmpty())
        SetError(FLastErrorCode, Text);
    return false;
}

// A status reply is not the answer a read or a write asks for, so even status
// 0 completes nothing: no reading or confirmation came with it.
bool TLanx1::ApplyStatus(const TBuffer &Reply) {
    FLastErrorCode = ByteAt(Reply, 3);
    IncErrorCount();
    const QString Text = StatusText(FLastErrorCode);
    if (ErrorLimitReached() && !Text.isEmpty())
        SetError(FLastErrorCode, Text);
    return false;
}

void TLanx1::Refuse(const char *Name, double Value) {
    FRefusedValues.append({QLatin1String(Name), Value});
}

bool TLanx1::ApplyRead(const TBuffer &Reply) {
    const int Kind = FRequestKind;
    const int Need = Kind <= 30 ? kMinReadReply[Kind] : 0;
    if (Need == 0 || Reply.size() < Need) {
        // Cannot happen after CheckAnswer; kept so that no read goes past the reply.
        FLastVerdict = TReplyVerdict::Mismatch;
        CountFailure(-5, QStringLiteral("Несоответствие команды"));
        return false;
    }
    FLastVerdict = TReplyVerdict::Done;
    // A parameter goes through its setter; one the setter refuses is named
    // rather than left to look like the device's value.
    auto Check = [this](const char *Name, double Got, const auto &SetAndGet) {
        if (double(SetAndGet(Got)) != Got)
            Refuse(Name, Got);
    };
    auto ApplyControlRegister = [&](int Offset) {
        FControlRegister = WordAt(Reply, Offset);
        FModeCurrentOutput = ModeFromControlRegister();
        if (!NoFrequencySignal())
            return true;
        const QString Text = QStringLiteral("Отсутствует частотный сигнал");
        SetError(5, Text);
        CountFailure(5, Text);
        return false;
    };
    switch (Kind) {
    case rkReadAll:
        if (!ApplyControlRegister(29))
            return true; // a valid reply: the exchange itself went through
        FPlantNumber = WordAt(Reply, 3);
        FModification = WordAt(Reply, 5);
        Level.SetValue(TVariant(FloatAt(Reply, 7)), 0);
        Volume.SetValue(TVariant(FloatAt(Reply, 11)), 0);
        Frequency.SetValue(TVariant(static_cast<int>(WordAt(Reply, 15))), 0);
        FFreq1 = WordAt(Reply, 25);
        FFreq2 = WordAt(Reply, 27);
        break;
    case rkReadPlantNumber: FPlantNumber = WordAt(Reply, 3); break;
    case rkReadModification: FModification = WordAt(Reply, 3); break;
    case rkReadLevel: Level.SetValue(TVariant(FloatAt(Reply, 3)), 0); break;
    case rkReadVolume: Volume.SetValue(TVariant(FloatAt(Reply, 3)), 0); break;
    case rkReadFrequency: Frequency.SetValue(TVariant(static_cast<int>(WordAt(Reply, 3))), 0); break;
    case rkReadFreq1: FFreq1 = WordAt(Reply, 3); break;
    case rkReadFreq2: FFreq2 = WordAt(Reply, 3); break;
    case rkReadValue1: Check("Value1", FloatAt(Reply, 3), [&](double V) { SetValue1(V); return FValue1; }); break;
    case rkReadValue2: Check("Value2", FloatAt(Reply, 3), [&](double V) { SetValue2(V); return FValue2; }); break;
    case rkReadValue20mA: FValue20mA = FloatAt(Reply, 3); break;
    case rkReadTurning4mA:
        Check("Turning4mA", WordAt(Reply, 3), [&](double V) { SetTurning4mA(std::uint16_t(V)); return FTurning4mA; });
        break;
    case rkReadTurning20mA:
        Check("Turning20mA", WordAt(Reply, 3), [&](double V) { SetTurning20mA(std::uint16_t(V)); return FTurning20mA; });
        break;
    case rkReadControlRegister:
        if (!ApplyControlRegister(3))
            return true;
        break;
    case rkReadKKalman:
        Check("KKalman", WordAt(Reply, 3), [&](double V) { SetKKalman(std::uint16_t(V)); return FKKalman; });
        break;
    case rkReadTableLevels:
    case rkReadTableVolumes:
        // A block outside the table cannot be stored; the reply is still valid.
        if (FTableBlock == 1 || FTableBlock == 2)
            for (int i = 1; i <= BlockPoints; ++i) {
                TTaraPoint &P = TablePoint(BlockPoints * (FTableBlock - 1) + i);
                (Kind == rkReadTableLevels ? P.Level : P.Volume) = FloatAt(Reply, 3 + 4 * (i - 1));
            }
        return true; // no success step: the error counter and the state stay
    default: break;
    }
    Success();
    return true;
}

void TLanx1::WriteBlackBox(int Code) {
    try {
        const QDate Today = CurrentDate();
        const QString Folder = JoinPath(ProgramDir(), QStringLiteral("DATA/") + Today.toString(QStringLiteral("yyyy/MM/dd")));
        TLog Log;
        Log.SetFileName(JoinPath(Folder, QStringLiteral("BlackBox.txt")));
        QString Text = ExceptionText(Code);
        if (Text.isEmpty())
            Text = QStringLiteral("Не известно");
        Log.Write(QString::asprintf("%2d ", Code) + Text);
    } catch (...) {
        // the record is a courtesy; the exchange goes on without it
    }
}

// ---- control register

std::uint8_t TLanx1::ModeFromControlRegister() const {
    return GetBit(FControlRegister, 4) ? 1 : 2;
}

void TLanx1::ModeToControlRegister() {
    FControlRegister = static_cast<std::uint16_t>(SetBit(FControlRegister, 4, FModeCurrentOutput == 1));
}

void TLanx1::SetTurning20mAMode(bool On) {
    FControlRegister = static_cast<std::uint16_t>(SetBit(FControlRegister, 2, On));
}

void TLanx1::SetTurning4mAMode(bool On) {
    FControlRegister = static_cast<std::uint16_t>(SetBit(FControlRegister, 3, On));
}

void TLanx1::SetAutoFreq1Mode(bool On) {
    FControlRegister = static_cast<std::uint16_t>(SetBit(FControlRegister, 5, On));
}

void TLanx1::SetAutoFreq2Mode(bool On) {
    FControlRegister = static_cast<std::uint16_t>(SetBit(FControlRegister, 6, On));
}

bool TLanx1::NoFrequencySignal() const {
    return GetBit(FControlRegister, 7);
}

// ---- calibration table

void TLanx1::ClearTable() {
    const double NaN = BytesToSingle(0xFF, 0xFF, 0xFF, 0xFF);
    for (TTaraPoint &P : FTable)
        P = {NaN, NaN};
}

void TLanx1::LoadTable(const TTara *Tara) {
    if (!Tara)
        return;
    ClearTable();
    const size_t Count = std::min<size_t>(FTable.size(), Tara->Table.size());
    for (size_t i = 0; i < Count; ++i)
        FTable[i] = Tara->Table[i];
}

// ---- texts

QString TLanx1::ModificationText() const {
    switch (FModification) {
    case 1: return QStringLiteral("1-односекционный ЧЭ");
    case 2: return QStringLiteral("2-многосекционный ЧЭ");
    default: return QStringLiteral("Не известно");
    }
}

QString TLanx1::ModeCurrentOutputText() const {
    switch (FModeCurrentOutput) {
    case 1: return QStringLiteral("4...20 mА");
    case 2: return QStringLiteral("0...20 mА");
    default: return QStringLiteral("Не известно");
    }
}

// ---- properties

bool TLanx1::Enabled() {
    return Used.Value().ToInteger() != tsUnknown;
}

void TLanx1::SetEnabled(bool Value) {
    Used.SetValue(TVariant(Value), 0);
}

void TLanx1::SetErrorMax(std::uint16_t Value) {
    if (Value == FErrorMax)
        return;
    FErrorMax = Value;
    FErrorCount = 0;
}

void TLanx1::SetValue1(double Value) {
    if (Value >= 0 && Value <= Level.Description.GetMax())
        FValue1 = Value;
}

void TLanx1::SetValue2(double Value) {
    if (Value >= 0 && Value <= Level.Description.GetMax())
        FValue2 = Value;
}

void TLanx1::SetKKalman(std::uint16_t Value) {
    if (Value != 0)
        FKKalman = Value;
}

void TLanx1::SetModeCurrentOutput(std::uint8_t Value) {
    if (Value == 1 || Value == 2)
        FModeCurrentOutput = Value;
}

void TLanx1::SetTurning4mA(std::uint16_t Value) {
    if (InRange(Value, 500, 1000))
        FTurning4mA = Value;
}

void TLanx1::SetTurning20mA(std::uint16_t Value) {
    if (InRange(Value, 3500, 4096))
        FTurning20mA = Value;
}

void TLanx1::SetUpperLimitPercent(double Value) {
    if (Value >= 0 && Value <= 100)
        FUpperLimitPercent = Value;
}

void TLanx1::SetLowerLimitPercent(double Value) {
    if (Value >= 0 && Value <= 100)
        FLowerLimitPercent = Value;
}

// ---- properties by name

namespace {

enum class TPropKind { Word, Byte, Real, Bool };

struct TPropertyInfo {
    const char *Name;
    TPropKind Kind;
};

constexpr TPropertyInfo kProperties[] = {
    {"Enabled", TPropKind::Bool},          {"ErrorMax", TPropKind::Word},
    {"SystemAddress", TPropKind::Word},    {"SystemAddressNew", TPropKind::Word},
    {"Modification", TPropKind::Word},     {"PlantNumber", TPropKind::Word},
    {"PlantNumberNew", TPropKind::Word},   {"Freq1", TPropKind::Word},
    {"Freq2", TPropKind::Word},            {"Value1", TPropKind::Real},
    {"Value2", TPropKind::Real},           {"KKalman", TPropKind::Word},
    {"ModeCurrentOutput", TPropKind::Byte}, {"Value20mA", TPropKind::Real},
    {"Turning4mA", TPropKind::Word},       {"Turning20mA", TPropKind::Word},
    {"ControlRegister", TPropKind::Word},  {"UpperLimitPercent", TPropKind::Real},
    {"LowerLimitPercent", TPropKind::Real},
};

const TPropertyInfo *FindProperty(const QString &Name) {
    for (const TPropertyInfo &P : kProperties)
        if (Name.compare(QLatin1String(P.Name), Qt::CaseInsensitive) == 0)
            return &P;
    return nullptr;
}

// A real with '.' or the locale's separator.
bool ReadReal(const QString &Text, double &Value) {
    bool Ok = false;
    Value = Text.trimmed().toDouble(&Ok);
    return (Ok && std::isfinite(Value)) || TryStrToFloat(Text, Value, DefaultFormatSettings());
}

} // namespace

const QStringList &TLanx1::PropertyNames() {
    static const QStringList Names = [] {
        QStringList L;
        for (const TPropertyInfo &P : kProperties)
            L << QLatin1String(P.Name);
        return L;
    }();
    return Names;
}

bool TLanx1::SetPropertyText(const QString &Name, const QString &Text) {
    const TPropertyInfo *P = FindProperty(Name);
    if (!P)
        return false;
    const QString Key = QLatin1String(P->Name);
    if (P->Kind == TPropKind::Real) {
        double V = 0;
        if (!ReadReal(Text, V))
            return false;
        if (Key == "Value1") SetValue1(V);
        else if (Key == "Value2") SetValue2(V);
        else if (Key == "Value20mA") SetValue20mA(V);
        else if (Key == "UpperLimitPercent") SetUpperLimitPercent(V);
        else if (Key == "LowerLimitPercent") SetLowerLimitPercent(V);
        return true;
    }
    bool Ok = false;
    const qint64 I = Text.trimmed().toLongLong(&Ok);
    const qint64 Limit = P->Kind == TPropKind::Byte ? 255 : P->Kind == TPropKind::Bool ? 1 : 65535;
    if (!Ok || I < 0 || I > Limit)
        return false;
    const auto W = static_cast<std::uint16_t>(I);
    if (Key == "Enabled") SetEnabled(I != 0);
    else if (Key == "ErrorMax") SetErrorMax(W);
    else if (Key == "SystemAddress") SetSystemAddress(W);
    else if (Key == "SystemAddressNew") SetSystemAddressNew(W);
    else if (Key == "Modification") SetModification(W);
    else if (Key == "PlantNumber") SetPlantNumber(W);
    else if (Key == "PlantNumberNew") SetPlantNumberNew(W);
    else if (Key == "Freq1") SetFreq1(W);
    else if (Key == "Freq2") SetFreq2(W);
    else if (Key == "KKalman") SetKKalman(W);
    else if (Key == "ModeCurrentOutput") SetModeCurrentOutput(static_cast<std::uint8_t>(W));
    else if (Key == "Turning4mA") SetTurning4mA(W);
    else if (Key == "Turning20mA") SetTurning20mA(W);
    else if (Key == "ControlRegister") SetControlRegister(W);
    return true;
}

QString TLanx1::PropertyText(const QString &Name) const {
    auto *Self = const_cast<TLanx1 *>(this); // the bindings' getters are not const
    if (Name.compare(QLatin1String("Level"), Qt::CaseInsensitive) == 0)
        return ExactText(Self->Level.AsDouble());
    if (Name.compare(QLatin1String("Volume"), Qt::CaseInsensitive) == 0)
        return ExactText(Self->Volume.AsDouble());
    if (Name.compare(QLatin1String("Frequency"), Qt::CaseInsensitive) == 0)
        return QString::number(Self->Frequency.AsInteger());
    const TPropertyInfo *P = FindProperty(Name);
    if (!P)
        return {};
    const QString Key = QLatin1String(P->Name);
    if (Key == "Enabled") return Self->Enabled() ? QStringLiteral("1") : QStringLiteral("0");
    if (Key == "ErrorMax") return QString::number(FErrorMax);
    if (Key == "SystemAddress") return QString::number(FSystemAddress);
    if (Key == "SystemAddressNew") return QString::number(FSystemAddressNew);
    if (Key == "Modification") return QString::number(FModification);
    if (Key == "PlantNumber") return QString::number(FPlantNumber);
    if (Key == "PlantNumberNew") return QString::number(FPlantNumberNew);
    if (Key == "Freq1") return QString::number(FFreq1);
    if (Key == "Freq2") return QString::number(FFreq2);
    if (Key == "Value1") return ExactText(FValue1);
    if (Key == "Value2") return ExactText(FValue2);
    if (Key == "KKalman") return QString::number(FKKalman);
    if (Key == "ModeCurrentOutput") return QString::number(FModeCurrentOutput);
    if (Key == "Value20mA") return ExactText(FValue20mA);
    if (Key == "Turning4mA") return QString::number(FTurning4mA);
    if (Key == "Turning20mA") return QString::number(FTurning20mA);
    if (Key == "ControlRegister") return QString::number(FControlRegister);
    if (Key == "UpperLimitPercent") return ExactText(FUpperLimitPercent);
    if (Key == "LowerLimitPercent") return ExactText(FLowerLimitPercent);
    return {};
}
