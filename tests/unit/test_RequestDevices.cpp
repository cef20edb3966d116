// The polling engine end to end: the real serial port code against the
// simulated transducer on a pseudo-terminal.
#include "EngineRig.h"
#include "Lanx1.h"
#include "TLanx1DeviceModel.h"
#include "uBDE.h"
#include "uClock.h"
#include "uDataCtrl.h"
#include "uGuiSync.h"
#include "uLanx1Instance.h"
#include "uWin1251.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using TModel = TLanx1DeviceModel;

namespace {

QString LogText(TEngineRig &Rig) {
    return FromWin1251(ReadAll(Rig.Engine().RequestLog->FileName()));
}

} // namespace

TEST(RequestDevices, EveryReadKindEndToEnd) {
    TEngineRig Rig;
    Rig.Sim().SetLevel(40.0);
    Rig.Sim().SetRegister(TModel::rgPlantNumber, 4321);
    Rig.Sim().SetRegister(TModel::rgKKalman, 7);
    Rig.Sim().SetRegister(TModel::rgTurning4mA, 640);
    Rig.Sim().SetRegister(TModel::rgTurning20mA, 3900);
    Rig.Sim().SetFloat(TModel::rgValue1, 5.5f);
    Rig.Sim().SetFloat(TModel::rgValue2, 95.25f);
    Rig.Sim().SetFloat(TModel::rgValue20mA, 80.0f);

    for (int Kind = 0; Kind <= 14; ++Kind)
        EXPECT_EQ(Rig.Engine().ExecuteRequest(static_cast<std::uint8_t>(Kind)), 0) << "kind " << Kind;
    TLanx1 &D = *Lanx1;
    EXPECT_EQ(D.PlantNumber(), 4321);
    EXPECT_EQ(D.KKalman(), 7);
    EXPECT_EQ(D.Turning4mA(), 640);
    EXPECT_EQ(D.Turning20mA(), 3900);
    EXPECT_DOUBLE_EQ(D.Value1(), 5.5);
    EXPECT_DOUBLE_EQ(D.Value2(), 95.25);
    EXPECT_DOUBLE_EQ(D.Value20mA(), 80.0);
    EXPECT_FLOAT_EQ(static_cast<float>(D.Level.AsDouble()), 40.0f);
    EXPECT_EQ(D.Frequency.AsInteger(), Rig.Sim().Register(TModel::rgFrequency));
    EXPECT_EQ(D.Freq1(), Rig.Sim().Register(TModel::rgFreq1));
    EXPECT_EQ(D.ExchangeState.AsThreeStates(), tsFalse);

    // Writes arrive in the device's registers.
    D.SetKKalman(12);
    D.SetFreq1(21000);
    D.SetFreq2(29000);
    D.SetValue1(1.5);
    D.SetValue2(98.5);
    D.SetValue20mA(60.0);
    D.SetTurning4mA(700);
    D.SetTurning20mA(4000);
    D.SetControlRegister(0x0018);
    for (int Kind : {15, 19, 20, 21, 22, 23, 24, 25, 26})
        EXPECT_EQ(Rig.Engine().ExecuteRequest(static_cast<std::uint8_t>(Kind)), 0) << "kind " << Kind;
    EXPECT_EQ(Rig.Sim().Register(TModel::rgKKalman), 12);
    EXPECT_EQ(Rig.Sim().Register(TModel::rgFreq1), 21000);
    EXPECT_EQ(Rig.Sim().Register(TModel::rgFreq2), 29000);
    EXPECT_FLOAT_EQ(Rig.Sim().FloatAt(TModel::rgValue1), 1.5f);
    EXPECT_FLOAT_EQ(Rig.Sim().FloatAt(TModel::rgValue2), 98.5f);
    EXPECT_FLOAT_EQ(Rig.Sim().FloatAt(TModel::rgValue20mA), 60.0f);
    EXPECT_EQ(Rig.Sim().Register(TModel::rgTurning4mA), 700);
    EXPECT_EQ(Rig.Sim().Register(TModel::rgTurning20mA), 4000);
    EXPECT_EQ(Rig.Sim().Register(TModel::rgControl) & 0x18, 0x18);

    // The table, both blocks each way.
    TTara Tara;
    for (int i = 0; i < 32; ++i)
        Tara.Table.push_back({i * 3.0, i * 2.5});
    D.LoadTable(&Tara);
    for (std::uint8_t Block : {1, 2}) {
        D.SetTableBlock(Block);
        EXPECT_EQ(Rig.Engine().ExecuteRequest(rkWriteTableLevels), 0);
        EXPECT_EQ(Rig.Engine().ExecuteRequest(rkWriteTableVolumes), 0);
    }
    D.ClearTable();
    for (std::uint8_t Block : {1, 2}) {
        D.SetTableBlock(Block);
        EXPECT_EQ(Rig.Engine().ExecuteRequest(rkReadTableLevels), 0);
        EXPECT_EQ(Rig.Engine().ExecuteRequest(rkReadTableVolumes), 0);
    }
    EXPECT_DOUBLE_EQ(D.TablePoint(32).Level, 93.0);
    EXPECT_DOUBLE_EQ(D.TablePoint(17).Volume, 40.0);

    // The address write: the device answers at its new address from then on.
    D.SetSystemAddressNew(9);
    EXPECT_EQ(Rig.Engine().ExecuteRequest(rkWriteSystemAddress), 0);
    EXPECT_EQ(Rig.Sim().Address(), 9);
    EXPECT_EQ(Rig.Engine().ExecuteRequest(rkReadLevel), -1);
    D.SetSystemAddress(9);
    EXPECT_EQ(Rig.Engine().ExecuteRequest(rkReadLevel), 0);
}

TEST(RequestDevices, SilentDeviceAndLog) {
    TEngineRig Rig({"ReadTotalConstant=60", "ReadTotalMultiplier=0"});
    Rig.Engine().EchoRadix = 16;
    std::atomic<int> Fired{0};
    std::atomic<bool> Answered{true};
    Rig.Engine().Transmitter->OnTransmit = [&](TTransmitter *, const QByteArray &, bool A, const QByteArray &) {
        ++Fired;
        Answered = A;
    };
    Rig.Sim().SetFault(TSimFault::Silence);
    EXPECT_EQ(Rig.Engine().ExecuteRequest(rkReadAll), -1);
    EXPECT_EQ(Fired.load(), 1);
    EXPECT_FALSE(Answered.load());
    EXPECT_EQ(Lanx1->LastErrorText(), "Нет ответа от устройства");
    EXPECT_TRUE(LogText(Rig).contains("[01 03 00 00 00 0E C4 0E] -> []\r\n"));

    // An invalid kind sends nothing, tells nobody and logs nothing.
    const int Requests = Rig.Sim().RequestCount();
    const QString Before = LogText(Rig);
    EXPECT_EQ(Rig.Engine().ExecuteRequest(16), -1);
    EXPECT_EQ(Fired.load(), 1);
    EXPECT_EQ(LogText(Rig), Before);
    EXPECT_EQ(Rig.Sim().RequestCount(), Requests);

    Rig.Sim().ClearFaults();
    Rig.Engine().EchoRadix = 10;
    EXPECT_EQ(Rig.Engine().ExecuteRequest(rkReadFrequency), 0);
    EXPECT_TRUE(LogText(Rig).contains(QRegularExpression(
        "\\[001 003 000 006 000 001 \\d{3} \\d{3}\\] -> \\[001 003 002 \\d{3} \\d{3} \\d{3} \\d{3}\\]\r\n")));
    Rig.Engine().EchoRadix = 0;
    const QString Quiet = LogText(Rig);
    EXPECT_EQ(Rig.Engine().ExecuteRequest(rkReadFrequency), 0);
    EXPECT_EQ(LogText(Rig), Quiet);
    EXPECT_TRUE(Rig.Engine().RequestLog->FileName().endsWith(
        "rd" + CurrentDate().toString("yyMMdd") + ".txt"));
}

TEST(RequestDevices, InvalidRepliesAreFailedExchanges) {
    TEngineRig Rig({"ReadTotalConstant=80", "ReadTotalMultiplier=0", "EndOfFrame=0", "ReadInterval=20"});
    const struct {
        TSimFault Fault;
        int Value;
        const char *Text;
    } Rows[] = {
        {TSimFault::BadCrc, 0, "Ошибка контрольной суммы"},
        {TSimFault::Exception, 3, "НА > 164, или НА+ЧЗР > 164"},
        {TSimFault::Status, 4, "Отказ в работе прибора"},
        {TSimFault::Status, 0, "Норма"},          // six bytes of status: never a completed exchange
        {TSimFault::TrailingBytes, 3, "Ошибка контрольной суммы"},
    };
    for (const auto &Row : Rows) {
        Rig.Sim().ClearFaults();
        Rig.Sim().SetFault(Row.Fault, Row.Value, 1);
        EXPECT_EQ(Rig.Engine().ExecuteRequest(rkReadLevel), -1) << Row.Text;
        EXPECT_EQ(Lanx1->LastErrorText(), QString::fromUtf8(Row.Text));
    }
    // A reply longer than ReplyMax is cut there and the rest never reaches the next exchange.
    Rig.Sim().SetFault(TSimFault::TrailingBytes, 300, 1);
    QByteArray Got;
    Rig.Engine().Transmitter->OnTransmit = [&](TTransmitter *, const QByteArray &, bool, const QByteArray &R) { Got = R; };
    EXPECT_EQ(Rig.Engine().ExecuteRequest(rkReadLevel), -1);
    EXPECT_EQ(Got.size(), 140);
    EXPECT_EQ(Rig.Engine().ExecuteRequest(rkReadLevel), 0);
    EXPECT_EQ(Got.size(), 9);

    // The device's no-signal bit: a completed exchange that reports an error.
    Rig.Sim().SetNoFrequencySignal(true);
    EXPECT_EQ(Rig.Engine().ExecuteRequest(rkReadAll), 0);
    EXPECT_EQ(Lanx1->LastErrorCode(), 5);
}

TEST(RequestDevices, LateBytesNeverReachTheNextExchange) {
    TEngineRig Rig({"ReadTotalConstant=100", "ReadTotalMultiplier=0"});
    Rig.Sim().SetFault(TSimFault::Delay, 250, 1);
    EXPECT_EQ(Rig.Engine().ExecuteRequest(rkReadPlantNumber), -1);
    Rig.Sim().WaitForReplies(1, 2000); // the late reply has gone out
    Rig.Sim().SetRegister(TModel::rgTurning4mA, 777);
    EXPECT_EQ(Rig.Engine().ExecuteRequest(rkReadTurning4mA), 0);
    EXPECT_EQ(Lanx1->Turning4mA(), 777);
}

TEST(RequestDevices, PollCycleArchivesSelectedKinds) {
    TEngineRig Rig;
    Rig.Sim().SetLevel(25.0);
    PollSet.Include(rkReadAll);
    PollSet.Include(rkReadLevel);
    const TDateTime Start = Now();
    Rig.PollOnce();
    Rig.PollOnce();
    EXPECT_EQ(Rig.Sim().RequestCount(), 4);
    TArchiveSeries Level, Volume, Freq;
    ReadArchiveRange("aLevel", Start, Now(), Level);
    ReadArchiveRange("aVolume", Start, Now(), Volume);
    ReadArchiveRange("aFreq", Start, Now(), Freq);
    EXPECT_EQ(Level.size(), 4u); // after kind 0 and after kind 3, in each of two cycles
    EXPECT_EQ(Volume.size(), 2u);
    EXPECT_EQ(Freq.size(), 2u);
    ASSERT_FALSE(Level.empty());
    EXPECT_DOUBLE_EQ(Level.V[0], 25.0);

    // A failed exchange with the error shown archives nothing.
    Rig.Sim().SetFault(TSimFault::Silence);
    Rig.PollOnce();
    ReadArchiveRange("aLevel", Start, Now(), Level);
    EXPECT_EQ(Level.size(), 4u);
    const QString Text = FromWin1251(ReadAll(ArchiveFilePath("aLevel", Now(), ".txt")));
    EXPECT_EQ(Text.count("\r\n"), 4);
    EXPECT_TRUE(Text.contains(" 25,0\r\n"));
}

// Polling across midnight at a month's end: each reading goes into the day
// folder of its own time, and the range that spans both days reads them all,
// in order.
TEST(RequestDevices, PollingAcrossMidnightFillsBothDays) {
    TTestClock Clock(QDateTime(QDate(2026, 3, 31), QTime(23, 59, 59))); // the start-up guard comes first
    TEngineRig Rig;
    Rig.Sim().SetLevel(25.0);
    PollSet.Include(rkReadLevel);
    int Cycles = 0;
    for (bool Past = false; !Past; ++Cycles) {
        Past = CurrentDate() != QDate(2026, 3, 31); // this cycle reads after midnight
        Rig.PollOnce();
        ASSERT_LT(Cycles, 10000) << "the clock did not pass midnight";
    }
    TArchiveSeries Level;
    ReadArchiveRange("aLevel", At(2026, 3, 31, 23, 59, 59), At(2026, 4, 1, 0, 1), Level);
    ASSERT_EQ(Level.size(), static_cast<std::size_t>(Cycles));
    EXPECT_TRUE(std::is_sorted(Level.DT.begin(), Level.DT.end()));
    EXPECT_LT(Level.DT.front(), At(2026, 4, 1));
    EXPECT_GE(Level.DT.back(), At(2026, 4, 1));
    for (const char *Day : {"2026/03/31", "2026/04/01"})
        EXPECT_TRUE(QFileInfo::exists(Rig.Folder().File(QStringLiteral("DATA/%1/aLevel.db").arg(QLatin1String(Day)))))
            << Day;
}

TEST(RequestDevices, CommandWaitsForRunningCycleWithoutDeadlock) {
    TEngineRig Rig;
    Rig.Sim().SetBaudRate(9600); // wire time makes the cycle long enough to overlap
    for (int Kind : {0, 3, 4, 5})
        PollSet.Include(Kind);
    TRequestThread &Thread = *Rig.Engine().RequestThread;
    Thread.Resume();
    TGuiSync::Instance().WaitUntil([&] { return Thread.Busy() || Thread.Steps() > 0; });
    Thread.Resume(); // falls into the running cycle: dropped
    // From the user-interface thread, while the polling thread needs it for its replies.
    EXPECT_EQ(Rig.Engine().ExecuteRequest(rkReadKKalman), 0);
    TGuiSync::Instance().WaitUntil([&] { return !Thread.Busy(); });
    EXPECT_EQ(Thread.Steps(), 1u);
    // Requests never interleave: every reply matched its request.
    EXPECT_EQ(Rig.Sim().RequestCount(), 5);
    EXPECT_EQ(Lanx1->ExchangeState.AsThreeStates(), tsFalse);
}

TEST(RequestDevices, ShutDownDuringCycleAndVanishedPort) {
    auto Rig = std::make_unique<TEngineRig>(QStringList{"ReadTotalConstant=100", "ReadTotalMultiplier=0"});
    PollSet.Include(rkReadAll);
    Rig->PollOnce();
    EXPECT_EQ(Lanx1->ExchangeState.AsThreeStates(), tsFalse);
    // The device goes away: exchanges fail, polling goes on.
    Rig->Sim().Stop();
    Rig->PollOnce();
    Rig->PollOnce();
    EXPECT_EQ(Rig->Engine().ExecuteRequest(rkReadLevel), -1);
    EXPECT_EQ(Rig->Engine().RequestThread->Steps(), 3u);
    // Shut-down while a cycle runs waits for it and ends cleanly.
    Rig->Engine().RequestThread->Resume();
    Rig.reset();
    SUCCEED();
}
