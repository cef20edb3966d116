#include "TLanx1DeviceModel.h"

#include "uMath.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace {

// The factory table: level % -> volume % of a horizontal cylindrical tank.
constexpr double DefaultTable[TLanx1DeviceModel::TablePoints][2] = {
    {0.0, 0.0},    {3.2, 1.0},    {6.3, 2.5},    {9.5, 4.8},    {12.6, 7.3},   {15.8, 10.1},  {18.9, 13.2},
    {22.1, 16.5},  {25.2, 19.9},  {28.4, 23.4},  {31.6, 27.0},  {34.7, 30.9},  {37.9, 34.7},  {41.0, 38.6},
    {44.2, 42.6},  {47.3, 46.6},  {50.5, 50.6},  {53.7, 54.7},  {56.8, 58.7},  {60.0, 62.7},  {63.1, 66.5},
    {66.3, 70.3},  {69.4, 74.1},  {72.6, 77.8},  {75.7, 81.3},  {78.9, 84.6},  {82.1, 87.8},  {85.2, 90.8},
    {88.4, 93.5},  {91.5, 96.0},  {94.7, 98.0},  {100.0, 100.0},
};

constexpr int DefaultPlantNumber = 1234;
constexpr int DefaultFreq1 = 20000;
constexpr int DefaultFreq2 = 30000;

int Word(const QByteArray &Frame, int At) {
    return (static_cast<std::uint8_t>(Frame[At]) << 8) | static_cast<std::uint8_t>(Frame[At + 1]);
}

void AppendWord(QByteArray &Frame, int Value) {
    Frame.append(static_cast<char>((Value >> 8) & 0xFF));
    Frame.append(static_cast<char>(Value & 0xFF));
}

double SteadySeconds(std::chrono::steady_clock::time_point Origin) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Origin).count();
}

} // namespace

TLanx1DeviceModel::TLanx1DeviceModel() {
    const auto Origin = std::chrono::steady_clock::now();
    FClock = [Origin] { return SteadySeconds(Origin); };

    FRegisters[rgPlantNumber] = DefaultPlantNumber;
    FRegisters[rgModification] = 1;
    FRegisters[rgSystemAddress] = 1;
    FRegisters[rgPlantNumberWritten] = DefaultPlantNumber;
    SetFloat(rgValue20mA, 100.0f);
    FRegisters[rgFreq1] = DefaultFreq1;
    FRegisters[rgFreq2] = DefaultFreq2;
    FRegisters[rgControl] = 1u << cbMode4to20mA;
    for (int i = 0; i < TablePoints; ++i) {
        SetFloat(rgTableLevels + 2 * i, static_cast<float>(DefaultTable[i][0]));
        SetFloat(rgTableVolumes + 2 * i, static_cast<float>(DefaultTable[i][1]));
    }
    SetFloat(rgValue1, 0.0f);
    SetFloat(rgValue2, 100.0f);
    FRegisters[rgKKalman] = 1;
    FRegisters[rgTurning20mA] = 4096;
    FRegisters[rgTurning4mA] = 500;
    UpdateReadings();
}

std::uint16_t TLanx1DeviceModel::Register(int Index) const {
    return InRange(Index, 0, RegisterCount - 1) ? FRegisters[Index] : 0;
}

void TLanx1DeviceModel::SetRegister(int Index, std::uint16_t Value) {
    if (InRange(Index, 0, RegisterCount - 1))
        FRegisters[Index] = Value;
}

float TLanx1DeviceModel::FloatAt(int Index) const {
    const int High = Register(Index), Low = Register(Index + 1);
    return BytesToSingle(static_cast<std::uint8_t>(High >> 8), static_cast<std::uint8_t>(High),
                         static_cast<std::uint8_t>(Low >> 8), static_cast<std::uint8_t>(Low));
}

void TLanx1DeviceModel::SetFloat(int Index, float Value) {
    std::uint8_t B1, B2, B3, B4;
    SingleToBytes(Value, B1, B2, B3, B4);
    SetRegister(Index, static_cast<std::uint16_t>((B1 << 8) | B2));
    SetRegister(Index + 1, static_cast<std::uint16_t>((B3 << 8) | B4));
}

int TLanx1DeviceModel::Address() const {
    return FRegisters[rgSystemAddress] & 0xFF;
}

void TLanx1DeviceModel::SetAddress(int Address) {
    FRegisters[rgSystemAddress] = static_cast<std::uint16_t>(Address & 0xFF);
}

void TLanx1DeviceModel::SetLevel(double Percent) {
    FPinnedLevel = Percent;
    UpdateReadings();
}

void TLanx1DeviceModel::ReleaseLevel() {
    FPinnedLevel.reset();
    UpdateReadings();
}

void TLanx1DeviceModel::SetClock(std::function<double()> Seconds) {
    if (Seconds)
        FClock = std::move(Seconds);
    UpdateReadings();
}

void TLanx1DeviceModel::SetNoFrequencySignal(bool On) {
    FNoSignal = On;
    FRegisters[rgControl] = static_cast<std::uint16_t>(SetBit(FRegisters[rgControl], cbNoFrequencySignal, On));
    UpdateReadings();
}

bool TLanx1DeviceModel::NoFrequencySignal() const {
    return FNoSignal;
}

double TLanx1DeviceModel::SweepLevel(double Seconds) {
    double Phase = std::fmod(Seconds / LevelPeriodSeconds, 1.0);
    if (Phase < 0)
        Phase += 1.0;
    const double Triangle = Phase < 0.5 ? 2.0 * Phase : 2.0 - 2.0 * Phase;
    return 10.0 + 80.0 * Triangle;
}

double TLanx1DeviceModel::CurrentLevel() const {
    return FPinnedLevel ? *FPinnedLevel : SweepLevel(FClock());
}

double TLanx1DeviceModel::VolumeForLevel(double Level) const {
    std::vector<std::pair<double, double>> Points;
    for (int i = 0; i < TablePoints; ++i) {
        const double L = FloatAt(rgTableLevels + 2 * i), V = FloatAt(rgTableVolumes + 2 * i);
        if (std::isfinite(L) && std::isfinite(V))
            Points.emplace_back(L, V);
    }
    if (Points.size() < 2)
        return Level; // without a table the volume follows the level
    std::stable_sort(Points.begin(), Points.end(), [](auto &A, auto &B) { return A.first < B.first; });
    if (Level <= Points.front().first)
        return Points.front().second;
    for (size_t i = 1; i < Points.size(); ++i) {
        const auto &[L0, V0] = Points[i - 1];
        const auto &[L1, V1] = Points[i];
        if (Level <= L1)
            return L1 == L0 ? V1 : V0 + (Level - L0) * (V1 - V0) / (L1 - L0);
    }
    return Points.back().second;
}

int TLanx1DeviceModel::FrequencyForLevel(double Level) const {
    const double F1 = FRegisters[rgFreq1], F2 = FRegisters[rgFreq2];
    const double V1 = FloatAt(rgValue1), V2 = FloatAt(rgValue2);
    double F = F1;
    if (std::isfinite(V1) && std::isfinite(V2) && V1 != V2)
        F = F1 + (Level - V1) * (F2 - F1) / (V2 - V1);
    if (!std::isfinite(F))
        return 0;
    return static_cast<int>(std::lround(std::clamp(F, 0.0, 65535.0)));
}

void TLanx1DeviceModel::UpdateReadings() {
    const double Level = CurrentLevel();
    SetFloat(rgLevel, static_cast<float>(Level));
    SetFloat(rgVolume, static_cast<float>(VolumeForLevel(Level)));
    // Without a signal there is nothing to count.
    FRegisters[rgFrequency] = static_cast<std::uint16_t>(FNoSignal ? 0 : FrequencyForLevel(Level));
}

QByteArray TLanx1DeviceModel::ExceptionReply(int Address, int Function, int Code) {
    QByteArray Reply;
    Reply.append(static_cast<char>(Address));
    Reply.append(static_cast<char>(Function | 0x80));
    Reply.append(static_cast<char>(Code));
    return Reply;
}

QByteArray TLanx1DeviceModel::StatusReply(int Address, int Function, int Status) {
    QByteArray Reply;
    Reply.append(static_cast<char>(Address));
    Reply.append(static_cast<char>(0xFA));
    Reply.append(static_cast<char>(Function));
    Reply.append(static_cast<char>(Status));
    return Reply;
}

std::optional<int> TLanx1DeviceModel::RangeError(int Start, int Count) {
    if (Count > MaxReadCount)
        return exTooManyRegisters;
    // No registers at all is as meaningless a range as one past the end.
    if (Count == 0 || Start > AddressLimit || Start + Count > AddressLimit)
        return exBadAddressRange;
    return std::nullopt;
}

QByteArray TLanx1DeviceModel::Execute(const QByteArray &Request) {
    const int Address = static_cast<std::uint8_t>(Request[0]);
    const int Function = static_cast<std::uint8_t>(Request[1]);
    if (Function == 0x03 && Request.size() == 6)
        return ReadRegisters(Request);
    if (Function == 0x10 && Request.size() >= 7)
        return WriteRegisters(Request);
    return ExceptionReply(Address, Function, exUnknownFunction);
}

QByteArray TLanx1DeviceModel::ReadRegisters(const QByteArray &Request) {
    const int Start = Word(Request, 2), Count = Word(Request, 4);
    if (const auto Error = RangeError(Start, Count))
        return ExceptionReply(Request[0], 0x03, *Error);
    UpdateReadings();
    QByteArray Reply = Request.left(2);
    Reply.append(static_cast<char>(2 * Count));
    for (int i = Start; i < Start + Count; ++i)
        AppendWord(Reply, FRegisters[i]);
    return Reply;
}

QByteArray TLanx1DeviceModel::WriteRegisters(const QByteArray &Request) {
    const int Start = Word(Request, 2), Count = Word(Request, 4);
    const int ByteCount = static_cast<std::uint8_t>(Request[6]);
    if (const auto Error = RangeError(Start, Count))
        return ExceptionReply(Request[0], 0x10, *Error);
    // A byte count that disagrees with the register count is a malformed range.
    if (ByteCount != 2 * Count || Request.size() != 7 + ByteCount)
        return ExceptionReply(Request[0], 0x10, exBadAddressRange);
    for (int i = 0; i < Count; ++i)
        FRegisters[Start + i] = static_cast<std::uint16_t>(Word(Request, 7 + 2 * i));
    AfterWrite(Start, Count);
    // The reply carries the address the request was sent to, even when the
    // write has just moved the device to another one.
    QByteArray Reply = Request.left(2);
    AppendWord(Reply, Start);
    AppendWord(Reply, Count);
    return Reply;
}

void TLanx1DeviceModel::AfterWrite(int Start, int Count) {
    const auto Covers = [Start, Count](int Index) { return Start <= Index && Index < Start + Count; };
    if (Covers(rgPlantNumberWritten))
        FRegisters[rgPlantNumber] = FRegisters[rgPlantNumberWritten];
    // Bit 7 reports the device's own state; a written value does not change it.
    FRegisters[rgControl] = static_cast<std::uint16_t>(SetBit(FRegisters[rgControl], cbNoFrequencySignal, FNoSignal));
    UpdateReadings();
    if (Covers(rgControl)) {
        // Both points take the frequency measured before either changed.
        const std::uint16_t Measured = FRegisters[rgFrequency];
        Autocalibrate(cbAutoFreq1, rgFreq1, Measured);
        Autocalibrate(cbAutoFreq2, rgFreq2, Measured);
        UpdateReadings();
    }
}

void TLanx1DeviceModel::Autocalibrate(int Bit, int FreqRegister, std::uint16_t Measured) {
    const auto B = static_cast<std::uint8_t>(Bit);
    if (!GetBit(FRegisters[rgControl], B))
        return;
    FRegisters[FreqRegister] = Measured;
    FRegisters[rgControl] = static_cast<std::uint16_t>(SetBit(FRegisters[rgControl], B, false));
}
