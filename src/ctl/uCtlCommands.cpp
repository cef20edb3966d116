#include "uCtlCommands.h"

#include "uCycleReadings.h"

#include "Tara.h"
#include "uArchiveCsv.h"
#include "uBDE.h"
#include "uClock.h"
#include "uCtlMqtt.h"
#include "uCtlSession.h"
#include "uCtlTableFiles.h"
#include "uCycleReadings.h"
#include "uDataCtrl.h"
#include "uDateTime.h"
#include "uDeviceScan.h"
#include "uLanx1Instance.h"
#include "uMath.h"
#include "uString.h"
#include "uSysUtils.h"
#include "uTableReduction.h"
#include "uTextFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<bool> GPollStop{false};

// ---- properties

// The properties each read kind sets, in the order they are printed.
const QStringList &PrintOrder() {
    static const QStringList L{"PlantNumber", "Modification", "Level",       "Volume",          "Frequency",
                               "Freq1",       "Freq2",        "Value1",      "Value2",          "Value20mA",
                               "Turning4mA",  "Turning20mA",  "ControlRegister", "ModeCurrentOutput", "KKalman"};
    return L;
}

QStringList PropertiesOfRead(std::uint8_t Kind) {
    switch (Kind) {
    case rkReadAll:
        // Without a frequency signal the reply only brings the control register.
        if (Lanx1->NoFrequencySignal())
            return {"ControlRegister", "ModeCurrentOutput"};
        return {"PlantNumber", "Modification", "Level",           "Volume",           "Frequency",
                "Freq1",       "Freq2",        "ControlRegister", "ModeCurrentOutput"};
    case rkReadPlantNumber: return {"PlantNumber"};
    case rkReadModification: return {"Modification"};
    case rkReadLevel: return {"Level"};
    case rkReadVolume: return {"Volume"};
    case rkReadFrequency: return {"Frequency"};
    case rkReadFreq1: return {"Freq1"};
    case rkReadFreq2: return {"Freq2"};
    case rkReadValue1: return {"Value1"};
    case rkReadValue2: return {"Value2"};
    case rkReadValue20mA: return {"Value20mA"};
    case rkReadTurning4mA: return {"Turning4mA"};
    case rkReadTurning20mA: return {"Turning20mA"};
    case rkReadControlRegister: return {"ControlRegister", "ModeCurrentOutput"};
    case rkReadKKalman: return {"KKalman"};
    default: return {};
    }
}

// The device object's value as printed: reals through NumberText.
QString PrintedValue(const QString &Name) {
    if (Name == QLatin1String("Level"))
        return NumberText(Lanx1->Level.AsDouble());
    if (Name == QLatin1String("Volume"))
        return NumberText(Lanx1->Volume.AsDouble());
    if (Name == QLatin1String("Value1"))
        return NumberText(Lanx1->Value1());
    if (Name == QLatin1String("Value2"))
        return NumberText(Lanx1->Value2());
    if (Name == QLatin1String("Value20mA"))
        return NumberText(Lanx1->Value20mA());
    return Lanx1->PropertyText(Name);
}

void PrintProperties(const QStringList &Names, QTextStream &Out) {
    for (const QString &Name : PrintOrder())
        if (Names.contains(Name))
            Out << Name << u'=' << PrintedValue(Name) << u'\n';
}

// The properties 'write' accepts and their write requests (0: none of its own).
struct TWritable {
    const char *Name;
    std::uint8_t Kind;
};
constexpr TWritable kWritable[] = {
    {"KKalman", rkWriteKKalman},       {"Freq1", rkWriteFreq1},
    {"Freq2", rkWriteFreq2},           {"Value1", rkWriteValue1},
    {"Value2", rkWriteValue2},         {"Value20mA", rkWriteValue20mA},
    {"Turning4mA", rkWriteTurning4mA}, {"Turning20mA", rkWriteTurning20mA},
    {"ModeCurrentOutput", rkWriteControlRegister}, {"SystemAddressNew", rkWriteSystemAddress},
    {"PlantNumber", 0},
};

const TWritable *FindWritable(const QString &Name) {
    for (const TWritable &W : kWritable)
        if (Name.compare(QLatin1String(W.Name), Qt::CaseInsensitive) == 0)
            return &W;
    return nullptr;
}

struct TAssignment {
    const TWritable *Property;
    QString Name; // as the device object spells it
    QString Value;
};

// NAME=VALUE words; unknown names and repeated names are usage errors.
QList<TAssignment> ParseAssignments(const QStringList &Words) {
    QList<TAssignment> L;
    for (const QString &Word : Words) {
        const qsizetype Eq = Word.indexOf(u'=');
        if (Eq <= 0)
            throw ECtlUsage(QStringLiteral("expected NAME=VALUE, got ") + Word);
        const TWritable *W = FindWritable(Word.left(Eq).trimmed());
        if (!W)
            throw ECtlUsage(QStringLiteral("no writable property ") + Word.left(Eq));
        const QString Name = QLatin1String(W->Name);
        for (const TAssignment &A : L)
            if (A.Name == Name)
                throw ECtlUsage(Name + QStringLiteral(" given twice"));
        L.append({W, Name, Word.mid(Eq + 1)});
    }
    return L;
}

// Gives every value to the device object's setter and reads it back: a value
// that is no number or that the setter ignored is refused before anything is sent.
void AssignAll(const QList<TAssignment> &Assignments) {
    for (const TAssignment &A : Assignments) {
        const auto Refused = [&] {
            return ECtlFailure(QStringLiteral("value refused: ") + A.Name + u'=' + A.Value + QStringLiteral(", nothing sent"));
        };
        // A number in any other form than '.' is a wrong command line: nothing is sent.
        const double Wanted = ParseReal(A.Value, A.Name);
        // The device takes the low byte of the new address: 257 would move it to 1.
        if (A.Name == QLatin1String("SystemAddressNew") && !(Wanted >= 0 && Wanted <= 254))
            throw Refused();
        // Reals travel as singles; beyond their range there is no single to send.
        if (!std::isfinite(Wanted) || std::fabs(Wanted) > std::numeric_limits<float>::max())
            throw Refused();
        if (!Lanx1->SetPropertyText(A.Name, A.Value))
            throw Refused();
        bool Ok = false;
        const double Got = Lanx1->PropertyText(A.Name).toDouble(&Ok);
        if (!Ok || Got != Wanted)
            throw Refused();
    }
}

std::uint8_t ParseKindWord(const QString &Word) {
    bool Ok = false;
    const int Kind = Word.toInt(&Ok);
    if (!Ok || !IsRequestKind(Kind))
        throw ECtlUsage(QStringLiteral("no request kind ") + Word + QStringLiteral(" (0..30 except 16 and 18)"));
    return static_cast<std::uint8_t>(Kind);
}

// ---- read

// The read kinds of the WHAT words; "params" stands for the eleven reads.
QList<int> ReadKinds(const QStringList &Words) {
    static const QMap<QString, int> Kinds{
        {"all", rkReadAll},          {"level", rkReadLevel},          {"volume", rkReadVolume},
        {"frequency", rkReadFrequency}, {"plant", rkReadPlantNumber}, {"modification", rkReadModification},
        {"freq1", rkReadFreq1},      {"freq2", rkReadFreq2},          {"value1", rkReadValue1},
        {"value2", rkReadValue2},    {"value20ma", rkReadValue20mA},  {"turning4ma", rkReadTurning4mA},
        {"turning20ma", rkReadTurning20mA}, {"control", rkReadControlRegister}, {"kkalman", rkReadKKalman},
        {"params", -1}};
    if (Words.isEmpty())
        throw ECtlUsage(QStringLiteral("read: what to read?"));
    QList<int> L;
    for (const QString &Word : Words) {
        const auto It = Kinds.find(Word.toLower());
        if (It == Kinds.end())
            throw ECtlUsage(QStringLiteral("read: unknown WHAT ") + Word);
        L << *It;
    }
    return L;
}

// ---- poll

struct TPollOptions {
    int Period = 0;
    int Count = 0;
    QList<int> Kinds{rkReadAll};
};

TPollOptions ParsePollOptions(const TCommandArgs &A, int DefaultPeriod) {
    if (!A.Words.isEmpty())
        throw ECtlUsage(QStringLiteral("poll: unexpected ") + A.Words.first());
    TPollOptions P;
    P.Period = A.Options.contains("--period") ? ParseInt(A.Options["--period"], 100, 60000, "--period")
                                               : std::clamp(DefaultPeriod, 100, 60000);
    P.Count = A.Options.contains("--count") ? ParseInt(A.Options["--count"], 0, 1000000000, "--count") : 0;
    if (A.Options.contains("--kinds")) {
        P.Kinds.clear();
        for (const QString &Word : A.Options["--kinds"].split(u',')) {
            bool Ok = false;
            const int Kind = Word.trimmed().toInt(&Ok);
            if (!Ok || (Kind != 0 && Kind != 3 && Kind != 4 && Kind != 5))
                throw ECtlUsage(QStringLiteral("--kinds: ") + Word + QStringLiteral(" is not one of 0, 3, 4, 5"));
            if (!P.Kinds.contains(Kind))
                P.Kinds << Kind;
        }
        std::sort(P.Kinds.begin(), P.Kinds.end());
    }
    return P;
}

// Waits until Deadline or a stop request.
void WaitUntil(std::chrono::steady_clock::time_point Deadline) {
    while (!GPollStop.load()) {
        const auto Left = Deadline - std::chrono::steady_clock::now();
        if (Left <= std::chrono::steady_clock::duration::zero())
            return;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(Left, std::chrono::milliseconds(50)));
    }
}

} // namespace

void RequestPollStop() {
    GPollStop = true;
}

int RunFrame(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out) {
    const TCommandArgs A = SplitCommandArgs(Args, {"--block"});
    if (A.Words.isEmpty())
        throw ECtlUsage(QStringLiteral("frame: which request kind?"));
    const std::uint8_t Kind = ParseKindWord(A.Words.first());
    const int Block = A.Options.contains("--block") ? ParseInt(A.Options["--block"], 1, 2, "--block") : 1;
    const QList<TAssignment> Assignments = ParseAssignments(A.Words.mid(1));
    TCtlDevice Device(Options);
    AssignAll(Assignments);
    // The mode travels in the control register, as the mode write sends it.
    for (const TAssignment &W : Assignments)
        if (W.Name == QLatin1String("ModeCurrentOutput"))
            Lanx1->ModeToControlRegister();
    Lanx1->SetTableBlock(static_cast<std::uint8_t>(Block));
    Out << StringToHex(AppendCrc16(Lanx1->BuildRequest(Kind))) << u'\n';
    return ExitOk;
}

int RunRead(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out, QTextStream &Err) {
    const TCommandArgs A = SplitCommandArgs(Args, {});
    const QList<int> Kinds = ReadKinds(A.Words);
    TCtlDevice Device(Options);
    TCtlSession Session(Options);
    QStringList Set;
    for (const int Kind : Kinds) {
        if (Kind < 0) {
            ReadAllParameters(Session.Executor(), [&] { return Session.Failed(); });
            Session.ThrowIfFailed();
            for (const std::uint8_t K : AllParameterKinds())
                Set << PropertiesOfRead(K);
            continue;
        }
        const auto K = static_cast<std::uint8_t>(Kind);
        if (!Session.Execute(K, CommandHint(K)))
            Session.ThrowIfFailed();
        Set << PropertiesOfRead(K);
    }
    // A value the device object refused would print as the old one.
    for (const TRefusedValue &R : Session.Refused())
        Set.removeAll(R.Name);
    PrintProperties(Set, Out);
    Out.flush();
    bool Failed = false;
    for (const TRefusedValue &R : Session.Refused()) {
        Err << "lanx1ctl: refused device value " << R.Name << u'=' << NumberText(R.Value) << u'\n';
        Failed = true;
    }
    if (Session.NoFrequencySignal()) {
        Err << "lanx1ctl: " << QStringLiteral("Отсутствует частотный сигнал")
            << " (control register bit 7): the readings were not taken\n";
        Failed = true;
    }
    return Failed ? ExitFailure : ExitOk;
}

int RunWrite(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out, QTextStream &) {
    const TCommandArgs A = SplitCommandArgs(Args, {});
    if (A.Words.isEmpty())
        throw ECtlUsage(QStringLiteral("write: what to write?"));
    QList<TAssignment> Assignments = ParseAssignments(A.Words);
    bool Address = false, Plant = false;
    for (const TAssignment &W : Assignments) {
        Address |= W.Name == QLatin1String("SystemAddressNew");
        Plant |= W.Name == QLatin1String("PlantNumber");
    }
    if (Plant && !Address)
        throw ECtlUsage(QStringLiteral("PlantNumber is only written together with SystemAddressNew"));
    // The address write goes last: after it the device answers at another address.
    std::stable_partition(Assignments.begin(), Assignments.end(),
                          [](const TAssignment &W) { return W.Name != QLatin1String("SystemAddressNew"); });

    // Everything is checked before the port is even opened.
    TCtlDevice Device(Options);
    AssignAll(Assignments);
    TCtlSession Session(Options);
    // The address write carries the plant number: without one given, the device keeps its own.
    if (Address && !Plant && !Session.Execute(rkReadPlantNumber, CommandHint(rkReadPlantNumber)))
        Session.ThrowIfFailed();
    for (const TAssignment &W : Assignments) {
        if (W.Property->Kind == 0)
            continue;
        bool Ok = false;
        if (W.Name == QLatin1String("ModeCurrentOutput"))
            Ok = WriteModeCurrentOutput(*Lanx1, Lanx1->ModeCurrentOutput(), Session.Executor()).Ok();
        else
            Ok = Session.Execute(W.Property->Kind, CommandHint(W.Property->Kind));
        Session.ThrowIfFailed();
        if (!Ok)
            throw ECtlFailure(W.Name + QStringLiteral(" was not written"));
        // Printed at once: a run that fails later still shows what changed.
        QStringList Written{W.Name};
        if (W.Name == QLatin1String("SystemAddressNew"))
            Written << QStringLiteral("PlantNumber");
        if (W.Name == QLatin1String("ModeCurrentOutput"))
            Written << QStringLiteral("ControlRegister");
        for (const QString &Name : Written)
            Out << Name << u'=' << PrintedValue(Name) << u'\n';
        Out.flush();
    }
    return ExitOk;
}

int RunAutocal(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out) {
    const TCommandArgs A = SplitCommandArgs(Args, {});
    if (A.Words.size() != 2)
        throw ECtlUsage(QStringLiteral("autocal: expected c1|c2 VALUE"));
    const QString Point = A.Words[0].toLower();
    if (Point != QLatin1String("c1") && Point != QLatin1String("c2"))
        throw ECtlUsage(QStringLiteral("autocal: ") + A.Words[0] + QStringLiteral(" is neither c1 nor c2"));
    const int N = Point == QLatin1String("c1") ? 1 : 2;
    const double Value = ParseReal(A.Words[1], QStringLiteral("VALUE"));
    TCtlDevice Device(Options);
    const double Max = Lanx1->Level.Description.GetMax();
    if (!(Value >= 0 && Value <= Max))
        throw ECtlFailure(QStringLiteral("value refused: ") + A.Words[1] + QStringLiteral(" is outside 0..") +
                          NumberText(Max) + QStringLiteral(", nothing sent"));
    TCtlSession Session(Options);
    const TSequenceResult R = Autocalibrate(*Lanx1, N, Value, Session.Executor());
    if (R.Refused)
        throw ECtlFailure(QStringLiteral("value refused: ") + A.Words[1] + QStringLiteral(", nothing sent"));
    if (!R.Skipped.empty() && Session.Failed())
        throw ECtlFailure(Session.FailureText() + QStringLiteral("; the calibration was not started"));
    Session.ThrowIfFailed();
    PrintProperties(N == 1 ? QStringList{"Value1", "Freq1"} : QStringList{"Value2", "Freq2"}, Out);
    return ExitOk;
}

int RunPoll(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out, QTextStream &Err) {
    const TCommandArgs A = SplitCommandArgs(Args, QStringList{"--period", "--count", "--kinds"} + MqttPollOptions());
    ParsePollOptions(A, 200); // usage errors before the port is opened
    const std::optional<TMqttSettings> Mqtt = ParseMqttPollOptions(A);
    TCtlDevice Device(Options);
    TCtlSession Session(Options);
    TRequestDevices &Engine = Session.Engine();
    const TPollOptions P = ParsePollOptions(A, Engine.ReqDevicesTimer ? Engine.ReqDevicesTimer->Interval() : 200);
    PollSet.Clear();
    for (const int Kind : P.Kinds)
        PollSet.Include(Kind);
    const std::unique_ptr<TMqttPublisher> Publisher = Mqtt ? StartPollPublisher(*Mqtt, Err) : nullptr;
    Engine.Transmitter->OnPortState = [&Err](TTransmitter *, bool Available, const QString &Port) {
        Err << "lanx1ctl: " << (Available ? "port back: " : "port lost: ") << Port << u'\n';
        Err.flush();
    };

    int Cycles = 0, FailedCycles = 0, ArchiveFailures = 0;
    GPollStop = false;
    while (!GPollStop.load() && (P.Count == 0 || Cycles < P.Count)) {
        const auto Start = std::chrono::steady_clock::now();
        const TPollCycleResult R = Engine.PollCycle();
        ++Cycles;
        QString Line = CurrentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        // Only what this cycle's own replies brought is printed.
        QStringList Names;
        for (const int Kind : P.Kinds) {
            const bool Failed = std::any_of(R.Failed.begin(), R.Failed.end(),
                                            [&](const TFailedExchange &F) { return F.Kind == Kind; });
            if (Failed)
                continue;
            for (const QString &Name : PropertiesOfRead(static_cast<std::uint8_t>(Kind)))
                if (Name == QLatin1String("Level") || Name == QLatin1String("Volume") ||
                    Name == QLatin1String("Frequency"))
                    Names << Name;
        }
        for (const QString &Name : PrintOrder())
            if (Names.contains(Name))
                Line += u'\t' + Name + u'=' + PrintedValue(Name);
        QStringList Errors;
        for (const TFailedExchange &F : R.Failed)
            Errors << QStringLiteral("kind ") + QString::number(F.Kind) + QStringLiteral(": ") + F.Text;
        // The file that failed (the table or the text copy) and why.
        if (R.ArchiveFailures > 0)
            Errors << QStringLiteral("archive not written: ") + Engine.ArchiveProblem();
        if (!Errors.isEmpty()) {
            ++FailedCycles;
            Line += QStringLiteral("\tError=") + Errors.join(QStringLiteral("; "));
        }
        ArchiveFailures += R.ArchiveFailures;
        Out << Line << u'\n';
        Out.flush();
        if (P.Count == 0 || Cycles < P.Count)
            WaitUntil(Start + std::chrono::milliseconds(P.Period));
    }
    // Cycles the broker did not acknowledge fail the run, as failed exchanges do.
    const bool Published = !Publisher || FinishPollPublisher(*Publisher, Err);
    Engine.Transmitter->OnPortState = nullptr;
    const TExchangeCounts Counts = Engine.SettledStatistics();
    Err << Counts.SummaryLine() << u' ' << Counts.HistogramText() << u'\n';
    if (ArchiveFailures > 0)
        Err << "lanx1ctl: " << ArchiveFailures << " archive writes failed under " << DbPath() << u'\n';
    Err.flush();
    return FailedCycles == 0 && Published ? ExitOk : ExitFailure;
}

int RunTable(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out) {
    QStringList Rest = Args;
    const bool Best = Rest.removeAll(QStringLiteral("--best")) > 0;
    const TCommandArgs A = SplitCommandArgs(Rest, TableImportOptions());
    const QString Sub = A.Words.value(0);
    if (Best && Sub != QLatin1String("write"))
        throw ECtlUsage(QStringLiteral("option --best is only for table write"));
    if (Sub == QLatin1String("import"))
        return RunTableImport(A, Out);
    if (!A.Options.isEmpty())
        throw ECtlUsage(QStringLiteral("option ") + A.Options.firstKey() + QStringLiteral(" is only for table import"));
    if (Sub == QLatin1String("export"))
        return RunTableExport(A, Out);
    const auto Expect = [&](int Count, const char *Usage) {
        if (A.Words.size() != Count)
            throw ECtlUsage(QStringLiteral("usage: lanx1ctl table ") + QLatin1String(Usage));
    };
    if (Sub == QLatin1String("read")) {
        Expect(2, "read FILE");
        TCtlDevice Device(Options);
        TCtlSession Session(Options);
        const TTableTransferResult R = ReadDeviceTable(*Lanx1, {}, {}, Session.Attempts());
        if (!R.Ok())
            throw ECtlFailure(TCtlSession::BlockFailureText(R.Failures.first()) + QStringLiteral("; ") + A.Words[1] +
                              QStringLiteral(" not written"));
        try {
            WriteTextLines(A.Words[1], DeviceTableLines(Lanx1->Table()));
        } catch (const ETextFileError &) {
            throw ECtlFailure(QStringLiteral("cannot write the table file ") + A.Words[1]);
        }
        return ExitOk;
    }
    if (Sub == QLatin1String("write")) {
        Expect(3, "write FILE NAME [--best]");
        bool Loaded = false;
        TTara Tara = LoadTableFile(A.Words[1], A.Words[2], Loaded);
        if (!Loaded || Tara.Table.empty())
            throw ECtlFailure(QStringLiteral("table ") + A.Words[2] + QStringLiteral(" of ") + A.Words[1] +
                              QStringLiteral(" does not load, nothing sent"));
        // The device holds TablePoints points. Its first ones alone would cut
        // off the top of the tank: a longer table goes as its best subset,
        // and only when asked for, with the error that leaves.
        const int Points = static_cast<int>(Tara.Table.size());
        if (Points > TLanx1::TablePoints) {
            const TTableReduction Reduction = ReduceTable(Tara.Table, TLanx1::TablePoints);
            if (!Reduction.Ok())
                throw ECtlFailure(QStringLiteral("table ") + A.Words[2] + QStringLiteral(": ") + Reduction.Error +
                                  QStringLiteral("; nothing sent"));
            const QString MaxError = NumberText(Reduction.MaxError);
            if (!Best)
                throw ECtlFailure(QStringLiteral("table %1 has %2 points, the device holds %3; --best writes the "
                                                 "best %3 (largest error %4 % of the volume); nothing sent")
                                      .arg(A.Words[2])
                                      .arg(Points)
                                      .arg(TLanx1::TablePoints)
                                      .arg(MaxError));
            const double MaxErrorAt = Tara.Table[static_cast<std::size_t>(Reduction.MaxErrorRow)].Level;
            Tara.Table = ReducedTable(Tara.Table, Reduction.Rows);
            Out << "Points=" << Tara.Table.size() << u'\n'
                << "MaxError=" << MaxError << u'\n'
                << "MaxErrorAt=" << NumberText(MaxErrorAt) << u'\n';
        }
        TCtlDevice Device(Options);
        TCtlSession Session(Options);
        const TTableTransferResult R = WriteDeviceTable(*Lanx1, Tara, Loaded, {}, {}, Session.Attempts());
        if (!R.Ok())
            throw ECtlFailure(TCtlSession::BlockFailureText(R.Failures.first()));
        return ExitOk;
    }
    if (Sub == QLatin1String("volume")) {
        Expect(4, "volume FILE NAME LEVEL");
        const double Level = ParseReal(A.Words[3], QStringLiteral("LEVEL"));
        bool Loaded = false;
        const TTara Tara = LoadTableFile(A.Words[1], A.Words[2], Loaded);
        double Volume = 0;
        if (!Loaded || !Tara.LevelToVolume(Level, Volume))
            throw ECtlFailure(QStringLiteral("table ") + A.Words[2] + QStringLiteral(" of ") + A.Words[1] +
                              QStringLiteral(" does not load or has fewer than two points"));
        Out << "Volume=" << NumberText(Volume) << u'\n';
        return ExitOk;
    }
    throw ECtlUsage(QStringLiteral("table: expected read, write, volume, import or export"));
}

int RunArchive(const TGlobalOptions &, const QStringList &Args, QTextStream &Out) {
    QStringList Rest = Args;
    const bool Csv = Rest.removeAll(QStringLiteral("--csv")) > 0;
    const TCommandArgs A = SplitCommandArgs(Rest, {"--from", "--to", "--data"});
    if (A.Words.size() != 1)
        throw ECtlUsage(QStringLiteral("archive: expected one series NAME (aLevel, aVolume, aFreq)"));
    const QString Name = A.Words[0];
    if (!A.Options.contains("--from") || !A.Options.contains("--to"))
        throw ECtlUsage(QStringLiteral("archive: --from and --to are required"));
    const QDateTime From = ParseDateTime(A.Options["--from"], false, "--from");
    const QDateTime To = ParseDateTime(A.Options["--to"], true, "--to");
    if (To < From)
        throw ECtlUsage(QStringLiteral("archive: --to lies before --from"));
    // The archive is a file per series: the name is compared as the file
    // system compares it, so "alevel" is no series on Linux.
    const QStringList Series{QLatin1String(kLevelSeries), QLatin1String(kVolumeSeries),
                             QLatin1String(kFrequencySeries)};
    if (!Series.contains(Name, Qt::CaseSensitive) ||
        ArchiveFilePath(Name, DateTimeFromQt(From), QStringLiteral(".db")).isEmpty())
        throw ECtlUsage(QStringLiteral("archive: ") + Name + QStringLiteral(" is no series name (") +
                        Series.join(QStringLiteral(", ")) + u')');
    // --data DIR means here what it means before the command: the folder
    // that holds DATA (the archive), PAR and TarTabl.
    if (A.Options.contains("--data")) {
        const QString Dir = A.Options["--data"];
        if (!QFileInfo(Dir).isDir())
            throw ECtlFailure(QStringLiteral("--data: no folder ") + Dir);
        SetDbPath(JoinPath(Dir, QStringLiteral("DATA")));
    } else {
        LoadArchiveSettings();
    }
    if (!QDir(DbPath()).exists())
        throw ECtlFailure(QStringLiteral("no archive folder ") + DbPath());
    TArchiveSeries Points;
    std::vector<TDateTime> Skipped;
    ReadArchiveRange(Name, DateTimeFromQt(From), DateTimeFromQt(To), Points, {}, nullptr, &Skipped);
    if (Csv) {
        const TCsvFormat Format = ScriptCsvFormat();
        Out << Format.Header.join(Format.Separator) << "\r\n";
        for (std::size_t i = 0; i < Points.size(); ++i)
            Out << CsvLine(Format, Points.DT[i], Points.V[i]) << "\r\n";
    } else {
        for (std::size_t i = 0; i < Points.size(); ++i)
            Out << DateTimeToQt(Points.DT[i]).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) << u'\t'
                << NumberText(Points.V[i]) << u'\n';
    }
    if (Skipped.empty())
        return ExitOk;
    // The points of the other days are valid and printed; the gaps are named.
    Out.flush();
    QStringList Days;
    for (const TDateTime Day : Skipped)
        Days << QString::fromLatin1(ArchiveTimeText(Day).left(10));
    throw ECtlFailure(QStringLiteral("the archive of these days cannot be read: ") + Days.join(QStringLiteral(", ")));
}

namespace {

// "1-247" or "37": an inclusive range of addresses.
void ParseAddressRange(const QString &Text, int &First, int &Last) {
    const QStringList Parts = Text.split(u'-');
    if (Parts.size() > 2)
        throw ECtlUsage(QStringLiteral("--addresses: ") + Text + QStringLiteral(" is no range like 1-247"));
    First = ParseInt(Parts[0].trimmed(), 0, 255, QStringLiteral("--addresses"));
    Last = Parts.size() == 2 ? ParseInt(Parts[1].trimmed(), 0, 255, QStringLiteral("--addresses")) : First;
    if (Last < First)
        throw ECtlUsage(QStringLiteral("--addresses: ") + Text + QStringLiteral(" ends before it starts"));
}

QString Seconds(qint64 Ms) {
    return QString::number(double(Ms) / 1000.0, 'f', 0) + u's';
}

} // namespace

int RunScan(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out, QTextStream &Err) {
    // --all is a switch without a value.
    QStringList Rest = Args;
    const bool All = Rest.removeAll(QStringLiteral("--all")) > 0;
    const TCommandArgs A = SplitCommandArgs(Rest, {"--ports", "--bauds", "--addresses"});
    if (!A.Words.isEmpty())
        throw ECtlUsage(QStringLiteral("scan: unexpected ") + A.Words.first());
    TScanOptions S;
    if (A.Options.contains("--ports")) {
        S.Ports.clear();
        for (const QString &Port : A.Options["--ports"].split(u',', Qt::SkipEmptyParts))
            S.Ports << Port.trimmed();
        if (S.Ports.isEmpty())
            throw ECtlUsage(QStringLiteral("--ports: no port given"));
    } else if (!Options.Port.isEmpty()) {
        S.Ports << Options.Port;
    }
    if (A.Options.contains("--bauds")) {
        S.BaudRates.clear();
        for (const QString &Word : A.Options["--bauds"].split(u',', Qt::SkipEmptyParts)) {
            const int Baud = ParseInt(Word.trimmed(), 50, 4000000, QStringLiteral("--bauds"));
            if (!S.BaudRates.contains(Baud))
                S.BaudRates << Baud;
        }
        if (S.BaudRates.isEmpty())
            throw ECtlUsage(QStringLiteral("--bauds: no baud rate given"));
    }
    if (A.Options.contains("--addresses"))
        ParseAddressRange(A.Options["--addresses"], S.FirstAddress, S.LastAddress);
    S.FindAll = All;
    {
        // The character format (data bits, parity, stop bits) of the settings file.
        TTransmitter Settings;
        try {
            Settings.LoadSettings();
        } catch (const std::exception &) {
        }
        S.Line = Settings.GetSettings();
        S.CurrentAddress = Options.Address >= 0 ? Options.Address : 0;
    }

    TDeviceScan Scan(S);
    if (Scan.Ports().isEmpty())
        throw ECtlFailure(QStringLiteral("no serial port to search"));
    const bool Progress = ::isatty(STDERR_FILENO) == 1;
    Scan.OnFound = [&](const TScanDevice &D) {
        if (Progress)
            Err << "\r\033[K";
        Out << D.Line() << u'\n';
        Out.flush();
    };
    Scan.OnGarbled = [&](const TScanGarbled &G) {
        if (Progress)
            Err << "\r\033[K";
        Err << "lanx1ctl: signal garbled on " << G.Port << " at " << G.BaudRate
            << " baud (another baud rate or parity?)\n";
        Err.flush();
    };
    Scan.OnPortFailure = [&](const TScanPortFailure &F) {
        if (Progress)
            Err << "\r\033[K";
        Err << "lanx1ctl: " << F.Port << " skipped: " << F.Reason << u'\n';
        Err.flush();
    };
    // Lives as long as the scan that calls OnProgress, not the block that sets it.
    qint64 LastShown = -1000;
    if (Progress) {
        Scan.OnProgress = [&](const TScanProgress &P) {
            if (!P.Finished && P.ElapsedMs - LastShown < 100)
                return;
            LastShown = P.ElapsedMs;
            Err << "\r\033[K";
            if (!P.Finished)
                Err << P.Port << ' ' << P.BaudRate << " baud, address " << P.Address << "  "
                    << QString::number(100.0 * P.Fraction(), 'f', 0) << "%  elapsed " << Seconds(P.ElapsedMs)
                    << ", left about " << Seconds(P.LeftMs);
            Err.flush();
        };
    }
    GPollStop = false;
    std::atomic<bool> Done{false};
    // Ctrl+C reaches the scan through the poll's stop flag.
    std::thread Watch([&] {
        while (!Done.load()) {
            if (GPollStop.load()) {
                Scan.Stop();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const QList<TScanDevice> Found = Scan.Run();
    Done = true;
    Watch.join();
    if (Progress) {
        Err << "\r\033[K";
        Err.flush();
    }
    if (Found.isEmpty())
        throw ECtlFailure(Scan.StopRequested() ? QStringLiteral("scan stopped, no device found")
                                               : QStringLiteral("no device found"));
    return ExitOk;
}

int RunStats(const TGlobalOptions &Options, const QStringList &Args, QTextStream &Out) {
    const TCommandArgs A = SplitCommandArgs(Args, {"--count", "--kind", "--block"});
    if (!A.Words.isEmpty())
        throw ECtlUsage(QStringLiteral("stats: unexpected ") + A.Words.first());
    const int Count = A.Options.contains("--count") ? ParseInt(A.Options["--count"], 1, 1000000, "--count") : 100;
    const int Kind = A.Options.contains("--kind") ? ParseInt(A.Options["--kind"], 0, 30, "--kind") : rkReadAll;
    // Only reads: a link test must change nothing in the device.
    const bool TableKind = Kind == rkReadTableLevels || Kind == rkReadTableVolumes;
    if (!(Kind <= rkReadKKalman || TableKind))
        throw ECtlUsage(QStringLiteral("--kind: ") + QString::number(Kind) +
                        QStringLiteral(" is no read kind (0..14, 27, 28)"));
    if (A.Options.contains("--block") && !TableKind)
        throw ECtlUsage(QStringLiteral("--block is only for the table kinds 27 and 28"));
    const int Block = A.Options.contains("--block") ? ParseInt(A.Options["--block"], 1, 2, "--block") : 1;
    TCtlDevice Device(Options);
    TCtlSession Session(Options);
    if (TableKind)
        Lanx1->SetTableBlock(static_cast<std::uint8_t>(Block));
    TRequestDevices &Engine = Session.Engine();
    Engine.ResetStatistics();
    GPollStop = false;
    int Sent = 0;
    for (int i = 0; i < Count && !GPollStop.load(); ++i) {
        Engine.ExecuteRequest(static_cast<std::uint8_t>(Kind));
        if (Engine.LastOutcome() == TExchangeOutcome::NotSent)
            throw ECtlFailure(QStringLiteral("no request of kind ") + QString::number(Kind) +
                              QStringLiteral(" could be built, nothing sent"));
        ++Sent;
    }
    const TExchangeCounts C = Engine.SettledStatistics();
    Out << C.SummaryLine() << u' ' << C.HistogramText() << u'\n';
    Out << C.QualityText() << u' ' << C.CodesText() << u'\n';
    return Sent > 0 && C.Answered == C.Exchanges ? ExitOk : ExitFailure;
}
