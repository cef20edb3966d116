#pragma once
// TLanx1: the system's image of the one transducer it talks to. It holds every
// device parameter, the three live readings as data bindings, the outcome of
// the last exchange and a device-side copy of the calibration table, and it
// turns its state into request frames and replies into state.
#include "IODescription.h"
#include "Tara.h"
#include "uString.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>

// The one vocabulary by which windows and tools ask for an exchange.
using TRequestKind = std::uint8_t;
enum : TRequestKind {
    rkReadAll = 0,
    rkReadPlantNumber = 1,
    rkReadModification = 2,
    rkReadLevel = 3,
    rkReadVolume = 4,
    rkReadFrequency = 5,
    rkReadFreq1 = 6,
    rkReadFreq2 = 7,
    rkReadValue1 = 8,
    rkReadValue2 = 9,
    rkReadValue20mA = 10,
    rkReadTurning4mA = 11,
    rkReadTurning20mA = 12,
    rkReadControlRegister = 13,
    rkReadKKalman = 14,
    rkWriteKKalman = 15,
    rkWriteSystemAddress = 17,
    rkWriteFreq1 = 19,
    rkWriteFreq2 = 20,
    rkWriteValue1 = 21,
    rkWriteValue2 = 22,
    rkWriteValue20mA = 23,
    rkWriteTurning4mA = 24,
    rkWriteTurning20mA = 25,
    rkWriteControlRegister = 26,
    rkReadTableLevels = 27,
    rkReadTableVolumes = 28,
    rkWriteTableLevels = 29,
    rkWriteTableVolumes = 30,
};

// 0..30 except 16 and 18.
bool IsRequestKind(int Kind);

// A request that cannot be built (an invalid kind).
class ERequestError : public std::runtime_error {
public:
    ERequestError();
};

// What the last reply turned out to be.
enum class TReplyVerdict : std::uint8_t {
    Done,      // it answers the request that was sent and was applied
    NoAnswer,  // nothing came back
    Corrupt,   // too short or a wrong checksum
    Mismatch,  // a valid frame that is no answer to the request sent
    Exception, // an exception reply (0x83, 0x90)
    Status,    // a status reply (0xFA): the device did not do what was asked
};

// A value the device sent that the object's setter refused (kept the old one).
struct TRefusedValue {
    QString Name; // property name, as PropertyNames() spells it
    double Value = 0;
};

class TLanx1;
using TOn32 = std::function<void(TLanx1 *Sender, std::uint8_t SystemAddress, std::uint8_t UnitType,
                                 std::uint16_t PlantNumber, std::uint8_t HardVersion, std::uint8_t SoftVersion)>;

class TLanx1 {
public:
    static constexpr int TablePoints = 32;
    static constexpr int BlockPoints = 16;

    TLanx1();
    TLanx1(const TLanx1 &) = delete;
    TLanx1 &operator=(const TLanx1 &) = delete;

    QString Name;
    int Tag = 0;
    TOn32 On32; // identification event; no request of the protocol fires it

    // ---- protocol
    // Stores Kind in RequestKind, then returns the frame without its checksum.
    // Throws ERequestError for an invalid kind. Kind 30 first shows the 16
    // volumes of the block through the message service.
    QByteArray BuildRequest(std::uint8_t Kind);
    // The register words a parameter write of Kind (15, 17, 19..26) would carry
    // from the values held now; empty for other kinds. Changes nothing.
    QByteArray WriteData(std::uint8_t Kind) const;
    // Applies one reply (possibly empty) to the object; never throws. Returns
    // whether the reply completed the exchange: only a reply that answers the
    // request built last (its address, function, registers and length) does,
    // and only a 0x03 reply with its data for a read or the 0x10 echo for a
    // write. Exception and status replies never complete one. A reply that is
    // no answer to the request changes no value (error -5).
    bool ParseReply(const TBuffer &Reply);
    TReplyVerdict LastVerdict() const { return FLastVerdict; }
    // Values of the last reply that a setter refused (out of its range).
    const QList<TRefusedValue> &RefusedValues() const { return FRefusedValues; }
    // The frame BuildRequest returned last (empty after an invalid kind).
    const QByteArray &LastRequest() const { return FRequest; }
    // Appends an exception code to DATA/yyyy/mm/dd/BlackBox.txt beside the program.
    void WriteBlackBox(int Code);

    // ---- error bookkeeping
    void ResetErrorCount() { FErrorCount = 0; }
    void IncErrorCount() { ++FErrorCount; }
    bool ErrorLimitReached() const { return FErrorCount >= FErrorMax; }
    void SetError(int Code, const QString &Text);
    std::uint16_t ErrorCount() const { return FErrorCount; }

    // ---- control register
    std::uint8_t ModeFromControlRegister() const;
    void ModeToControlRegister();
    void SetTurning20mAMode(bool On);
    void SetTurning4mAMode(bool On);
    void SetAutoFreq1Mode(bool On);
    void SetAutoFreq2Mode(bool On);
    bool NoFrequencySignal() const;

    // ---- calibration table (points 1..32)
    void ClearTable();
    void LoadTable(const TTara *Tara);
    const TTaraPoint &TablePoint(int N) const { return FTable.at(static_cast<size_t>(N - 1)); }
    TTaraPoint &TablePoint(int N) { return FTable.at(static_cast<size_t>(N - 1)); }
    const std::array<TTaraPoint, TablePoints> &Table() const { return FTable; }
    std::uint8_t TableBlock() const { return FTableBlock; }
    void SetTableBlock(std::uint8_t Value) { FTableBlock = Value; }

    // ---- texts offered for display
    QString ModificationText() const;
    QString ModeCurrentOutputText() const;

    // ---- properties (setters that validate ignore refused values silently)
    bool Enabled();
    void SetEnabled(bool Value);
    std::uint16_t ErrorMax() const { return FErrorMax; }
    void SetErrorMax(std::uint16_t Value);
    std::uint16_t SystemAddress() const { return FSystemAddress; }
    void SetSystemAddress(std::uint16_t Value) { FSystemAddress = Value; }
    std::uint16_t SystemAddressNew() const { return FSystemAddressNew; }
    void SetSystemAddressNew(std::uint16_t Value) { FSystemAddressNew = Value; }
    std::uint16_t Modification() const { return FModification; }
    void SetModification(std::uint16_t Value) { FModification = Value; }
    std::uint16_t PlantNumber() const { return FPlantNumber; }
    void SetPlantNumber(std::uint16_t Value) { FPlantNumber = Value; }
    std::uint16_t PlantNumberNew() const { return FPlantNumberNew; }
    void SetPlantNumberNew(std::uint16_t Value) { FPlantNumberNew = Value; }
    std::uint16_t Freq1() const { return FFreq1; }
    void SetFreq1(std::uint16_t Value) { FFreq1 = Value; }
    std::uint16_t Freq2() const { return FFreq2; }
    void SetFreq2(std::uint16_t Value) { FFreq2 = Value; }
    double Value1() const { return FValue1; }
    void SetValue1(double Value); // only within 0..the Level maximum
    double Value2() const { return FValue2; }
    void SetValue2(double Value);
    std::uint16_t KKalman() const { return FKKalman; }
    void SetKKalman(std::uint16_t Value); // 0 is not taken
    std::uint8_t ModeCurrentOutput() const { return FModeCurrentOutput; }
    void SetModeCurrentOutput(std::uint8_t Value); // 1 or 2 only
    double Value20mA() const { return FValue20mA; }
    void SetValue20mA(double Value) { FValue20mA = Value; }
    std::uint16_t Turning4mA() const { return FTurning4mA; }
    void SetTurning4mA(std::uint16_t Value); // 500..1000
    std::uint16_t Turning20mA() const { return FTurning20mA; }
    void SetTurning20mA(std::uint16_t Value); // 3500..4096
    std::uint16_t ControlRegister() const { return FControlRegister; }
    void SetControlRegister(std::uint16_t Value) { FControlRegister = Value; }
    double UpperLimitPercent() const { return FUpperLimitPercent; }
    void SetUpperLimitPercent(double Value); // 0..100
    double LowerLimitPercent() const { return FLowerLimitPercent; }
    void SetLowerLimitPercent(double Value);
    std::uint8_t RequestKind() const { return FRequestKind; }
    int LastErrorCode() const { return FLastErrorCode; }
    QString LastErrorText() const { return FLastErrorText; }

    // Properties by name (letter case ignored), for parameter files and tools.
    static const QStringList &PropertyNames();
    // False when there is no such property or the text is no number; a number
    // a setter refuses still gives true (read the property back to know).
    bool SetPropertyText(const QString &Name, const QString &Text);
    // Empty for an unknown name. Reals in the shortest text that reads back exactly.
    QString PropertyText(const QString &Name) const;

    // ---- value objects
    TIOThreeStates Used;
    TIOThreeStates ExchangeState;
    TDescriptionOfValue DeviceDescription;
    TIODouble Level;
    TIODouble Volume;
    TIOInteger Frequency;

private:
    void CountFailure(int Code, const QString &Text);
    void Success();
    bool ApplyRead(const TBuffer &Reply);
    bool ApplyException(const TBuffer &Reply);
    bool ApplyStatus(const TBuffer &Reply);
    // 0 when Reply answers the request built last; -3 short, -5 another
    // question's answer, -6 a whole 0x03 frame shorter than the kind needs.
    int CheckAnswer(const TBuffer &Reply) const;
    void Refuse(const char *Name, double Value);
    QByteArray TableBlockData(bool Volumes) const;
    void ShowVolumeBlock() const;

    std::uint16_t FErrorCount = 0;
    std::uint16_t FErrorMax = 0;
    std::uint16_t FSystemAddress = 1;
    std::uint16_t FSystemAddressNew = 0;
    std::uint16_t FPlantNumber = 0;
    std::uint16_t FPlantNumberNew = 0;
    std::uint16_t FModification = 1;
    std::uint16_t FFreq1 = 0;
    std::uint16_t FFreq2 = 65535;
    double FValue1 = 0.0;
    double FValue2 = 100.0;
    std::uint16_t FKKalman = 1;
    std::uint8_t FModeCurrentOutput = 1;
    double FValue20mA = 100.0;
    std::uint16_t FTurning4mA = 500;
    std::uint16_t FTurning20mA = 4096;
    std::uint16_t FControlRegister = 0;
    std::uint8_t FRequestKind = 0;
    double FUpperLimitPercent = 0.0;
    double FLowerLimitPercent = 0.0;
    std::array<TTaraPoint, TablePoints> FTable{};
    std::uint8_t FTableBlock = 0;
    int FLastErrorCode = 0;
    QString FLastErrorText;
    QByteArray FRequest;
    TReplyVerdict FLastVerdict = TReplyVerdict::NoAnswer;
    QList<TRefusedValue> FRefusedValues;
};

// The texts of the protocol's error codes.
QString ExceptionText(int Code);   // exception replies 0x83 / 0x90; "" when unknown
QString StatusText(int Status);    // status replies 0xFA; "" when unknown
