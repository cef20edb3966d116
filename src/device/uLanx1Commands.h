#pragma once
// The device commands that take several exchanges: reading all parameters,
// writing the current-output mode, autocalibrating a calibration point and
// moving the calibration table to and from the transducer.
//
// They are written once, here, for every front end. A front end supplies how
// one command is carried out (TExecute: the windows run it with its echo line,
// retries behind a progress window and a failure message; a tool runs a plain
// retry loop) and whether the user asked to stop (TTerminating). The functions
// never show anything themselves.
#include "Lanx1.h"
#include "Tara.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

// Carries out one standard command of request kind Kind whose hint (echo line,
// tail of the failure message) is Hint; true when the device answered.
using TExecute = std::function<bool(std::uint8_t Kind, const QString &Hint)>;
// True once the user asked to stop; a sequence then ends after its current step.
using TTerminating = std::function<bool()>;
// One exchange without retries: 0 when a valid reply came, -1 otherwise (ExecuteRequest).
using TRequestOnce = std::function<int(std::uint8_t Kind)>;

// The hint of the standard read or write command of Kind ("Считать уровень",
// "Записать регистр управления", ...); empty for kinds that are no standard
// command (the table blocks).
QString CommandHint(std::uint8_t Kind);

// Runs ExecuteRequest (or Request) up to Attempts times until a reply comes.
// Attempts 0 sends nothing and fails.
bool ExecuteWithRetries(std::uint8_t Kind, int Attempts, const TRequestOnce &Request = {});

// What a command came to. A write whose every attempt went without a valid
// reply may still have reached the device (the reply was lost, the port went
// during it): the register is then read back before anything is reported.
enum class TCommandOutcome {
    Done,    // answered, or a write the read-back shows in the device
    NotDone, // no valid reply; a write the read-back shows the device did not take
    Unknown  // a write whose reply and read-back both failed: "не подтверждено"
};

// The read that shows the register a parameter write of WriteKind sets
// (15, 19..26); 0xFF for other kinds. The address write (17) is checked at
// the new address instead.
std::uint8_t ReadBackKind(std::uint8_t WriteKind);
bool IsParameterWrite(std::uint8_t Kind);

// After a parameter write of WriteKind that got no valid reply: reads back,
// up to Attempts times each, what the device holds and compares it with the
// words the write carried. The device object keeps what the read-back
// brought. The control register's bits 5..7 are the device's own (it clears
// the autocalibration bits when done, and sets bit 7 itself): they are not
// compared, and a write that sets bit 5 or 6 cannot be told by a read-back.
// The address write asks at the new address (then at the old one) and leaves
// SystemAddress as it was.
TCommandOutcome CheckWrite(TLanx1 &Device, std::uint8_t WriteKind, int Attempts, const TRequestOnce &Request = {});

// ExecuteWithRetries, then CheckWrite for a parameter write that failed.
TCommandOutcome ExecuteChecked(TLanx1 &Device, std::uint8_t Kind, int Attempts, const TRequestOnce &Request = {});

// Hints of the sequences themselves (their own echo lines).
QString ReadAllParametersHint();  // "Считать все параметры из прибора"
QString ModeCurrentOutputHint();  // "Записать режим работы токового выхода"
QString AutocalibrationHint(int Point); // "Автокалибровка C1" / "Автокалибровка C2"

// What a sequence did.
struct TSequenceResult {
    std::vector<std::uint8_t> Failed;  // kinds whose command got no valid reply, in order
    std::vector<std::uint8_t> Skipped; // kinds not sent because a step they depend on failed
    bool Refused = false;              // the value given was refused; nothing was sent
    bool Stopped = false;              // ended early because Terminating said so
    bool Ok() const { return Failed.empty() && Skipped.empty() && !Refused && !Stopped; }
};

// The eleven reads of "read all parameters", in the order they run.
const std::array<std::uint8_t, 11> &AllParameterKinds();

// The eleven reads in order. A failed read does not stop the others; when
// Terminating is set, the sequence ends after the step that is running.
TSequenceResult ReadAllParameters(const TExecute &Execute, const TTerminating &Terminating = {});

// Writes the current-output mode (1: 4...20 mA, 2: 0...20 mA) without touching
// the other bits of the control register: the register is read, bit 4 is set
// from Mode, and the register is written back. A mode other than 1 or 2 is
// refused. When the read fails the write is skipped, since writing the
// register the program last had would overwrite the device's other bits.
TSequenceResult WriteModeCurrentOutput(TLanx1 &Device, std::uint8_t Mode, const TExecute &Execute);

// Autocalibration of point 1 (С1) or 2 (С2) at Value, the questions left to
// the caller: write the point's value, read the control register, set the
// point's autocalibration bit (5 or 6), write the register, read back the
// point's value and frequency. Value goes through the point's setter; a value
// the setter refuses sends nothing. The register write, which starts the
// calibration, is skipped when the value write or the register read failed:
// the device would calibrate with a wrong value or get stale bits. The two
// reads at the end always run.
TSequenceResult Autocalibrate(TLanx1 &Device, int Point, double Value, const TExecute &Execute);

// ---- the calibration table in the device: 32 points in two blocks of 16

// Before each block: Phase is the progress text ("Чтение значений уровня"),
// EchoLine the block's echo line ("Чтение значений уровня: 1 блок"), Block 1
// or 2 of 2. After the second block of a phase it is called once more with
// Block 0 (the progress window closes).
using TTableProgress = std::function<void(const QString &Phase, const QString &EchoLine, int Block)>;

// A block that got no valid reply in all its attempts, as it stood when it
// gave up (later blocks go on and must not overwrite it).
struct TTableBlockFailure {
    QString EchoLine; // "Чтение значений уровня: 2 блок"
    QByteArray Frame; // the request of the block, checksum included
    QString Error;    // why its last attempt failed
    int Attempts = 0;
};

struct TTableTransferResult {
    bool Refused = false;   // nothing was sent (a write of a table that did not load)
    QStringList Failed;     // echo lines of the blocks that got no reply in all their attempts
    QList<TTableBlockFailure> Failures; // the same blocks, with their frame and error
    bool Ok() const { return !Refused && Failed.isEmpty(); }
};

constexpr int TableBlockAttempts = 5;

QString ReadDeviceTableHint();  // "Считать тарировочную таблицу из прибора"
QString WriteDeviceTableHint(); // "Записать тарировочную таблицу в прибор"

// Empties the device object's table, then reads the level blocks 1 and 2 and
// the volume blocks 1 and 2, each up to 5 attempts; a block that never
// answers leaves its points NaN and the transfer goes on with the next one.
TTableTransferResult ReadDeviceTable(TLanx1 &Device, const TTableProgress &Progress = {},
                                     const TRequestOnce &Request = {}, int Attempts = TableBlockAttempts);

// Sends the first (up to) 32 points of Tara, NaN in the slots beyond it: level
// blocks 1 and 2, then volume blocks 1 and 2, each up to 5 attempts. Loaded is
// what Tara.LoadFromStrings returned: a table that did not load (or has no
// point) is refused and nothing is sent, since its points are zeros or a
// fragment and would replace the device's table.
TTableTransferResult WriteDeviceTable(TLanx1 &Device, const TTara &Tara, bool Loaded,
                                      const TTableProgress &Progress = {}, const TRequestOnce &Request = {},
                                      int Attempts = TableBlockAttempts);
