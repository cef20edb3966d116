// Field faults on the line, through the real port code against the simulated
// transducer on a pseudo-terminal: a late device, garbage after a reply,
// replies that answer another question, a port that goes and comes back.
// Whatever happens, nothing is applied or archived that the device did not
// send in reply to that very request.
#include "EngineRig.h"
#include "Lanx1.h"
#include "TLanx1DeviceModel.h"
#include "uBDE.h"
#include "uDataCtrl.h"
#include "uLanx1Instance.h"
#include "uLanx1Commands.h"
#include "uWin1251.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using TModel = TLanx1DeviceModel;

namespace {

int ArchivedLevels(TDateTime Start) {
    TArchiveSeries Points;
    ReadArchiveRange(QStringLiteral("aLevel"), Start, Now(), Points);
    return static_cast<int>(Points.size());
}

QString LogText(TEngineRig &Rig) {
    return FromWin1251(ReadAll(Rig.Engine().RequestLog->FileName()));
}

} // namespace

// The reply to "read all" arrives after the read window has closed. It must
// not become the level of the next request of the cycle.
TEST(ExchangeIntegrity, LateReplyInAPollCycleIsNeverTheNextAnswer) {
    TEngineRig Rig; // the read window is 150 + 140 x 2 = 430 ms
    Rig.Engine().EchoRadix = 16;
    Rig.Sim().SetLevel(42.5);
    PollSet.Include(rkReadAll);
    PollSet.Include(rkReadLevel);
    Rig.Sim().SetFault(TSimFault::Delay, 500, 1);
    const TDateTime Start = Now();
    Rig.PollOnce();
    // Kind 0 failed; kind 3, asked after the line fell silent, got its own answer.
    EXPECT_FLOAT_EQ(float(Lanx1->Level.AsDouble()), 42.5f);
    EXPECT_EQ(Lanx1->Frequency.AsInteger(), 0);
    TArchiveSeries Level, Freq;
    ReadArchiveRange(QStringLiteral("aLevel"), Start, Now(), Level);
    ReadArchiveRange(QStringLiteral("aFreq"), Start, Now(), Freq);
    ASSERT_EQ(Level.size(), 1u);
    EXPECT_FLOAT_EQ(float(Level.V[0]), 42.5f);
    EXPECT_TRUE(Freq.empty());
    const TExchangeCounts C = Rig.Engine().SettledStatistics();
    EXPECT_EQ(C.NoAnswer, 1u);
    EXPECT_EQ(C.Answered, 1u);
    EXPECT_GE(C.Noise, 33u); // the late answer, discarded
}

// A device that always answers 500 ms late: every answer that comes is that
// of an earlier request. Nothing of it may be taken for a later question.
TEST(ExchangeIntegrity, AlwaysLateDeviceGivesNoWrongValue) {
    TEngineRig Rig;
    Rig.Sim().SetRegister(TModel::rgPlantNumber, 4321);
    Rig.Sim().SetRegister(TModel::rgModification, 2);
    Rig.Sim().SetRegister(TModel::rgFreq1, 21000);
    Rig.Sim().SetRegister(TModel::rgFreq2, 29000);
    Rig.Sim().SetFault(TSimFault::Delay, 500);
    Lanx1->SetModification(0);
    for (std::uint8_t Kind : {rkReadPlantNumber, rkReadModification, rkReadFreq1, rkReadFreq2})
        ExecuteWithRetries(Kind, 5);
    // What was read is right; what was not stays as it was.
    EXPECT_TRUE(Lanx1->PlantNumber() == 4321 || Lanx1->PlantNumber() == 0);
    EXPECT_TRUE(Lanx1->Modification() == 2 || Lanx1->Modification() == 0) << Lanx1->Modification();
    EXPECT_TRUE(Lanx1->Freq1() == 21000 || Lanx1->Freq1() == 0) << Lanx1->Freq1();
    EXPECT_TRUE(Lanx1->Freq2() == 29000 || Lanx1->Freq2() == 65535) << Lanx1->Freq2();
    EXPECT_EQ(Lanx1->Modification(), 2); // the retry's late answer is its own
}

// Five bytes of noise follow every reply at the wire speed: the reply is still
// taken, and the noise never heads the next reply.
TEST(ExchangeIntegrity, GarbageAfterAReplyNeverSpoilsTheNext) {
    TEngineRig Rig;
    Rig.Sim().SetBaudRate(9600);
    Rig.Sim().SetLevel(30);
    Rig.Sim().SetFault(TSimFault::TrailingBytes, 5);
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(Rig.Engine().ExecuteRequest(i % 2 ? rkReadLevel : rkReadAll), 0) << i << ": " << Lanx1->LastErrorText().toStdString();
        EXPECT_FLOAT_EQ(float(Lanx1->Level.AsDouble()), 30.0f);
    }
    EXPECT_EQ(Rig.Engine().SettledStatistics().Noise, 50u);
}

// Line noise ahead of a reply, even noise that begins like one (address,
// function, an impossible byte count): the reply after it is found, checked as
// ever, and the noise counted; reads and writes alike.
TEST(ExchangeIntegrity, NoiseBeforeAReplyIsPassedOver) {
    TEngineRig Rig;
    Rig.Sim().SetBaudRate(9600);
    Rig.Sim().SetLevel(30);
    Rig.Sim().SetFault(TSimFault::LeadingBytes, 6);
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(Rig.Engine().ExecuteRequest(i % 2 ? rkReadLevel : rkReadAll), 0)
            << i << ": " << Lanx1->LastErrorText().toStdString();
        EXPECT_FLOAT_EQ(float(Lanx1->Level.AsDouble()), 30.0f);
    }
    Lanx1->SetKKalman(3);
    ASSERT_EQ(Rig.Engine().ExecuteRequest(rkWriteKKalman), 0) << Lanx1->LastErrorText().toStdString();
    EXPECT_EQ(Rig.Engine().SettledStatistics().Noise, 42u);
    // A reply spoilt behind the noise is still a failure.
    Rig.Sim().SetFault(TSimFault::BadCrc, 0, 1);
    EXPECT_NE(Rig.Engine().ExecuteRequest(rkReadLevel), 0);
}

// Replies that the device sends but that do not do what was asked: none of
// them completes the exchange, and none is archived.
TEST(ExchangeIntegrity, NothingIsDoneThatTheDeviceDidNotDo) {
    TEngineRig Rig;
    Rig.Sim().SetLevel(20);
    PollSet.Include(rkReadLevel);
    const TDateTime Start = Now();
    Rig.PollOnce();
    ASSERT_EQ(ArchivedLevels(Start), 1);
    const struct {
        TSimFault Fault;
        int Value;
        TExchangeOutcome Outcome;
    } Rows[] = {
        {TSimFault::WrongFunction, 0, TExchangeOutcome::Mismatch}, // a write's echo to a read
        {TSimFault::Exception, 0, TExchangeOutcome::Exception},    // 01 83 00
        {TSimFault::Exception, 7, TExchangeOutcome::Exception},    // a code that shows no error text
        {TSimFault::Status, 0, TExchangeOutcome::Status},
        {TSimFault::Status, 9, TExchangeOutcome::Status},
    };
    Rig.Sim().SetLevel(70);
    for (const auto &Row : Rows) {
        Rig.Sim().SetFault(Row.Fault, Row.Value, 1);
        const TPollCycleResult R = Rig.Engine().PollCycle();
        ASSERT_EQ(R.Failed.size(), 1u);
        EXPECT_EQ(R.Failed[0].Outcome, Row.Outcome) << int(Row.Fault) << " " << Row.Value;
        EXPECT_DOUBLE_EQ(Lanx1->Level.AsDouble(), 20.0);
    }
    EXPECT_EQ(ArchivedLevels(Start), 1); // no old level archived again as fresh
    EXPECT_EQ(Rig.Engine().PollCycle().Failed.size(), 0u);
    EXPECT_EQ(ArchivedLevels(Start), 2);
    EXPECT_DOUBLE_EQ(Lanx1->Level.AsDouble(), 70.0);

    // A write answered with a read's reply is not confirmed.
    Rig.Sim().SetFault(TSimFault::WrongFunction, 0, 1);
    Lanx1->SetKKalman(9);
    EXPECT_EQ(Rig.Engine().ExecuteRequest(rkWriteKKalman), -1);
    EXPECT_EQ(Lanx1->LastErrorCode(), -5);
}

// Texts for failures whose codes have no text of their own.
TEST(ExchangeIntegrity, FailureTextsNameTheCode) {
    TEngineRig Rig;
    Rig.Sim().SetFault(TSimFault::Exception, 7, 1);
    EXPECT_EQ(Rig.Engine().ExecuteRequest(rkReadLevel), -1);
    EXPECT_EQ(Rig.Engine().LastFailureText(), QStringLiteral("код исключения 7"));
    Rig.Sim().SetFault(TSimFault::Status, 9, 1);
    EXPECT_EQ(Rig.Engine().ExecuteRequest(rkReadLevel), -1);
    EXPECT_EQ(Rig.Engine().LastFailureText(), QStringLiteral("статус 9"));
    Rig.Sim().SetFault(TSimFault::Exception, 3, 1);
    EXPECT_EQ(Rig.Engine().ExecuteRequest(rkReadLevel), -1);
    EXPECT_EQ(Rig.Engine().LastFailureText(), QStringLiteral("НА > 164, или НА+ЧЗР > 164"));
}

// The archive cannot be written: the cycle says so.
TEST(ExchangeIntegrity, FailedArchiveWritesAreReported) {
    TEngineRig Rig;
    PollSet.Include(rkReadLevel);
    const QString Blocker = Rig.Folder().File(QStringLiteral("blocker"));
    WriteAll(Blocker, "a file where the archive folder should be");
    SetDbPath(Blocker);
    const TPollCycleResult R = Rig.Engine().PollCycle();
    EXPECT_TRUE(R.Failed.empty());
    EXPECT_EQ(R.ArchiveFailures, 1);
    EXPECT_EQ(Rig.Engine().SettledStatistics().ArchiveFailures, 2u); // the row and the text line
}

// The pseudo-terminal vanishes under polling and a new one appears under the
// same name: exchanges are reported as a lost port (not as unanswered, and
// not logged), and polling goes on by itself once the port is back.
TEST(ExchangeIntegrity, LostPortIsReopenedAndPollingResumes) {
    TEngineRig Rig;
    Rig.Engine().EchoRadix = 16;
    const QString Link = Rig.Folder().File(QStringLiteral("ttyLink"));
    Relink(Link, Rig.Sim().PortName());
    TTransmitter &T = *Rig.Engine().Transmitter;
    T.Close();
    T.SetPort(Link);
    ASSERT_TRUE(T.Open());
    QStringList States;
    T.OnPortState = [&](TTransmitter *, bool Available, const QString &Port) {
        States << (Available ? QStringLiteral("back ") : QStringLiteral("lost ")) + Port;
    };
    PollSet.Include(rkReadAll);
    EXPECT_TRUE(Rig.Engine().PollCycle().Ok());
    const int LogLines = int(LogText(Rig).count(u'\n'));

    Rig.Sim().Stop();
    for (int i = 0; i < 3; ++i) {
        const TPollCycleResult R = Rig.Engine().PollCycle();
        ASSERT_EQ(R.Failed.size(), 1u);
        EXPECT_EQ(R.Failed[0].Outcome, TExchangeOutcome::PortLost);
        EXPECT_EQ(R.Failed[0].Text, QStringLiteral("Порт недоступен: ") + Link);
    }
    EXPECT_TRUE(T.IsLost());
    EXPECT_EQ(int(LogText(Rig).count(u'\n')), LogLines); // nothing reached a port, nothing logged

    ASSERT_TRUE(Rig.Sim().Start());
    Relink(Link, Rig.Sim().PortName());
    // Cycles at a poll period of 100 ms; reopening is tried at most once a second.
    bool Back = false;
    for (QDeadlineTimer Deadline(10000); !Back && !Deadline.hasExpired();) {
        Back = Rig.Engine().PollCycle().Ok();
        if (!Back)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(Back);
    EXPECT_EQ(States, (QStringList{"lost " + Link, "back " + Link}));
    const TExchangeCounts C = Rig.Engine().SettledStatistics();
    EXPECT_GE(C.PortLost, 3u);
    EXPECT_EQ(C.NoAnswer, 0u);
}

TEST(ExchangeIntegrity, StableLinkOfAUsbPort) {
    TTestFolder Folder;
    const QString ById = Folder.File(QStringLiteral("by-id"));
    QDir().mkpath(ById);
    const QString Device = Folder.File(QStringLiteral("ttyUSB3"));
    WriteAll(Device, QByteArray());
    Relink(ById + QStringLiteral("/usb-FTDI_FT232R_A1B2-if00-port0"), Device);
    Relink(ById + QStringLiteral("/usb-other"), Folder.File(QStringLiteral("ttyUSB4")));
    EXPECT_EQ(TTransmitter::StablePortLink(Device, ById), ById + QStringLiteral("/usb-FTDI_FT232R_A1B2-if00-port0"));
    EXPECT_TRUE(TTransmitter::StablePortLink(Folder.File(QStringLiteral("ttyS0")), ById).isEmpty());
    EXPECT_TRUE(TTransmitter::StablePortLink(Folder.File(QStringLiteral("ttyUSB9")), ById).isEmpty());
}
