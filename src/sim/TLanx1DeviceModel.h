#pragma once
// The registers of a simulated level transducer and what it does with a
// request: reads, writes, the address change, autocalibration and the live
// readings (level, volume, generator frequency) derived from a clock.
// Not thread-safe: the simulator serialises access.
#include <QByteArray>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class TLanx1DeviceModel {
public:
    // Register numbers of the map.
    enum : int {
        rgPlantNumber = 0,
        rgModification = 1,
        rgLevel = 2,
        rgVolume = 4,
        rgFrequency = 6,
        rgSystemAddress = 7,
        rgPlantNumberWritten = 8,
        rgValue20mA = 9,
        rgFreq1 = 11,
        rgFreq2 = 12,
        rgControl = 13,
        rgTableLevels = 14,
        rgTableVolumes = 79,
        rgValue1 = 144,
        rgValue2 = 146,
        rgKKalman = 148,
        rgTurning20mA = 149,
        rgTurning4mA = 150,
    };
    static constexpr int RegisterCount = 165; // registers 0..164
    static constexpr int AddressLimit = 164;  // start and start + count may not exceed it
    static constexpr int MaxReadCount = 125;
    static constexpr int TablePoints = 32;

    // Control register bits.
    static constexpr int cbTurning20mA = 2;
    static constexpr int cbTurning4mA = 3;
    static constexpr int cbMode4to20mA = 4;
    static constexpr int cbAutoFreq1 = 5;
    static constexpr int cbAutoFreq2 = 6;
    static constexpr int cbNoFrequencySignal = 7;

    // Exception codes the device answers with.
    static constexpr int exUnknownFunction = 1;
    static constexpr int exTooManyRegisters = 2;
    static constexpr int exBadAddressRange = 3;

    // The level sweeps 10 % .. 90 % .. 10 % over this many seconds.
    static constexpr double LevelPeriodSeconds = 240.0;

    TLanx1DeviceModel();

    std::uint16_t Register(int Index) const;
    void SetRegister(int Index, std::uint16_t Value);
    float FloatAt(int Index) const;
    void SetFloat(int Index, float Value);

    // The address the device answers at: the low byte of register 7.
    int Address() const;
    void SetAddress(int Address);

    // Pins the level (percent); ReleaseLevel lets it follow the clock again.
    void SetLevel(double Percent);
    void ReleaseLevel();
    // Seconds on which the moving level depends; by default a steady clock
    // counting from construction.
    void SetClock(std::function<double()> Seconds);
    void SetNoFrequencySignal(bool On);
    bool NoFrequencySignal() const;

    // Recomputes the level, volume and frequency registers.
    void UpdateReadings();
    double CurrentLevel() const;
    // The level of the sweep at a moment: a triangle 10..90..10 %.
    static double SweepLevel(double Seconds);
    // Volume (percent) of a level through the device's own table; points
    // holding NaN are skipped, outside the table the end points hold.
    double VolumeForLevel(double Level) const;
    // Generator frequency of a level through the calibration points
    // (Freq1 at Value1, Freq2 at Value2), clamped to 0..65535.
    int FrequencyForLevel(double Level) const;

    // Answers one request (address, function, data; no checksum), which the
    // caller has already checked and found addressed to this device. Returns
    // the reply without its checksum.
    QByteArray Execute(const QByteArray &Request);

    static QByteArray ExceptionReply(int Address, int Function, int Code);
    static QByteArray StatusReply(int Address, int Function, int Status);

private:
    QByteArray ReadRegisters(const QByteArray &Request);
    QByteArray WriteRegisters(const QByteArray &Request);
    void AfterWrite(int Start, int Count);
    void Autocalibrate(int Bit, int FreqRegister, std::uint16_t Measured);
    static std::optional<int> RangeError(int Start, int Count);

    std::array<std::uint16_t, RegisterCount> FRegisters{};
    std::optional<double> FPinnedLevel;
    std::function<double()> FClock;
    bool FNoSignal = false;
};
