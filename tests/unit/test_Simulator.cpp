// The simulated transducer, driven from the master side of its line with
// hand-built frames.
#include "SimulatorFixture.h"
#include "TLanx1Simulator.h"
#include "TestEnvironment.h"
#include "uMath.h"
#include "uPseudoTerminal.h"
#include "uTransmitter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using TModel = TLanx1DeviceModel;

int U16(const QByteArray &Reply, int At) {
    return (static_cast<std::uint8_t>(Reply[At]) << 8) | static_cast<std::uint8_t>(Reply[At + 1]);
}

float F32(const QByteArray &Reply, int At) {
    return BytesToSingle(Reply[At], Reply[At + 1], Reply[At + 2], Reply[At + 3]);
}

void AppendWord(QByteArray &Frame, int Value) {
    Frame.append(static_cast<char>((Value >> 8) & 0xFF));
    Frame.append(static_cast<char>(Value & 0xFF));
}

QByteArray Read(int Address, int Start, int Count) {
    QByteArray Frame;
    Frame.append(static_cast<char>(Address));
    Frame.append('\x03');
    AppendWord(Frame, Start);
    AppendWord(Frame, Count);
    return Frame;
}

QByteArray Write(int Address, int Start, const QByteArray &Data) {
    QByteArray Frame;
    Frame.append(static_cast<char>(Address));
    Frame.append('\x10');
    AppendWord(Frame, Start);
    AppendWord(Frame, static_cast<int>(Data.size() / 2));
    Frame.append(static_cast<char>(Data.size()));
    return Frame + Data;
}

QByteArray Words(std::initializer_list<int> Values) {
    QByteArray Data;
    for (const int V : Values)
        AppendWord(Data, V);
    return Data;
}

QByteArray Floats(const QList<float> &Values) {
    QByteArray Data;
    for (const float V : Values) {
        std::uint8_t B[4];
        SingleToBytes(V, B[0], B[1], B[2], B[3]);
        Data.append(reinterpret_cast<const char *>(B), 4);
    }
    return Data;
}

// Length of a reply to a read of Count registers.
int ReadReplySize(int Count) {
    return 5 + 2 * Count;
}

constexpr int WriteReplySize = 8;
constexpr int ExceptionReplySize = 5;
const float NaN = std::numeric_limits<float>::quiet_NaN();

} // namespace

TEST(Simulator, ReadsTheRegisterMap) {
    TSimulatorFixture Line;
    Line.Sim().SetLevel(50.0);

    const QByteArray All = Line.Exchange(QByteArray::fromHex("01030000000E"), 33);
    ASSERT_EQ(All.size(), 33);
    EXPECT_TRUE(CheckCrc16(All));
    EXPECT_EQ(All.left(3), QByteArray::fromHex("01031C"));
    EXPECT_EQ(U16(All, 3), 1234);                                  // plant number
    EXPECT_EQ(U16(All, 5), 1);                                     // modification
    EXPECT_FLOAT_EQ(F32(All, 7), 50.0f);                           // level
    EXPECT_NEAR(F32(All, 11), 46.6 + (50.0 - 47.3) * (50.6 - 46.6) / (50.5 - 47.3), 1e-3); // between points 16 and 17
    EXPECT_EQ(U16(All, 15), 25000);                                // frequency halfway between 20000 and 30000
    EXPECT_EQ(U16(All, 17), 1);                                    // system address
    EXPECT_EQ(U16(All, 19), 1234);
    EXPECT_FLOAT_EQ(F32(All, 21), 100.0f);                         // value for 20 mA
    EXPECT_EQ(U16(All, 25), 20000);
    EXPECT_EQ(U16(All, 27), 30000);
    EXPECT_EQ(U16(All, 29), 0x0010);                               // 4..20 mA

    const QByteArray Levels1 = Line.Exchange(Read(1, 14, 32), ReadReplySize(32));
    ASSERT_EQ(Levels1.size(), 69);
    EXPECT_TRUE(CheckCrc16(Levels1));
    EXPECT_EQ(static_cast<std::uint8_t>(Levels1[2]), 64);
    EXPECT_FLOAT_EQ(F32(Levels1, 3), 0.0f);
    EXPECT_FLOAT_EQ(F32(Levels1, 3 + 4), 3.2f);
    EXPECT_FLOAT_EQ(F32(Levels1, 3 + 15 * 4), 47.3f);
    const QByteArray Levels2 = Line.Exchange(Read(1, 46, 32), ReadReplySize(32));
    EXPECT_FLOAT_EQ(F32(Levels2, 3), 50.5f);
    EXPECT_FLOAT_EQ(F32(Levels2, 3 + 15 * 4), 100.0f);
    const QByteArray Volumes1 = Line.Exchange(Read(1, 79, 32), ReadReplySize(32));
    EXPECT_FLOAT_EQ(F32(Volumes1, 3 + 4), 1.0f);
    const QByteArray Volumes2 = Line.Exchange(Read(1, 111, 32), ReadReplySize(32));
    EXPECT_FLOAT_EQ(F32(Volumes2, 3), 50.6f);

    const QByteArray Tail = Line.Exchange(Read(1, 144, 7), ReadReplySize(7));
    ASSERT_EQ(Tail.size(), ReadReplySize(7));
    EXPECT_FLOAT_EQ(F32(Tail, 3), 0.0f);   // Value1
    EXPECT_FLOAT_EQ(F32(Tail, 7), 100.0f); // Value2
    EXPECT_EQ(U16(Tail, 11), 1);           // averaging
    EXPECT_EQ(U16(Tail, 13), 4096);        // 20 mA trimming
    EXPECT_EQ(U16(Tail, 15), 500);         // 4 mA trimming
    EXPECT_TRUE(Line.Sim().WaitForReplies(6, 2000));
    EXPECT_EQ(Line.Sim().RepliesSent(), 6);
}

TEST(Simulator, RejectsRangesWithExceptions) {
    TSimulatorFixture Line;
    EXPECT_EQ(Line.Exchange(Read(1, 0, 126), ExceptionReplySize), AppendCrc16(QByteArray::fromHex("018302")));
    // The count is judged before the address.
    EXPECT_EQ(Line.Exchange(Read(1, 165, 126), ExceptionReplySize), AppendCrc16(QByteArray::fromHex("018302")));
    EXPECT_EQ(Line.Exchange(Read(1, 165, 1), ExceptionReplySize), AppendCrc16(QByteArray::fromHex("018303")));
    EXPECT_EQ(Line.Exchange(Read(1, 100, 65), ExceptionReplySize), AppendCrc16(QByteArray::fromHex("018303")));
    EXPECT_EQ(Line.Exchange(Read(1, 100, 64), ReadReplySize(64)).size(), ReadReplySize(64));
    EXPECT_EQ(Line.Exchange(Read(1, 163, 1), ReadReplySize(1)).size(), ReadReplySize(1));
    EXPECT_EQ(Line.Exchange(Read(1, 164, 1), ExceptionReplySize), AppendCrc16(QByteArray::fromHex("018303")));
    EXPECT_EQ(Line.Exchange(Read(1, 0, 0), ExceptionReplySize), AppendCrc16(QByteArray::fromHex("018303")));
    EXPECT_EQ(Line.Exchange(Write(1, 160, Words({1, 2, 3, 4, 5})), ExceptionReplySize),
              AppendCrc16(QByteArray::fromHex("019003")));
    // A byte count that disagrees with the register count.
    EXPECT_EQ(Line.Exchange(QByteArray::fromHex("0110009400020200"
                                                "0A"),
                            ExceptionReplySize),
              AppendCrc16(QByteArray::fromHex("019003")));
    // Another function: the frame ends with the silence after it.
    EXPECT_EQ(Line.Exchange(QByteArray::fromHex("010400000001"), ExceptionReplySize),
              AppendCrc16(QByteArray::fromHex("018401")));
    EXPECT_EQ(Line.Sim().Register(148), 1); // the refused write changed nothing
}

TEST(Simulator, WriteOfAddressMovesTheDevice) {
    TSimulatorFixture Line;
    const QByteArray Reply = Line.Exchange(Write(1, 7, Words({5, 4321})), WriteReplySize);
    EXPECT_EQ(Reply, AppendCrc16(QByteArray::fromHex("011000070002"))); // answered under the old address
    EXPECT_EQ(Line.Sim().Address(), 5);
    EXPECT_EQ(Line.Sim().Register(0), 4321);
    EXPECT_EQ(Line.Sim().Register(8), 4321);

    // The old address is silent now: the first bytes back answer the second request.
    ASSERT_TRUE(Line.Send(AppendCrc16(Read(1, 0, 1))));
    const QByteArray Answer = Line.Exchange(Read(5, 0, 1), ReadReplySize(1));
    EXPECT_EQ(Answer, AppendCrc16(QByteArray::fromHex("05030210E1")));
    EXPECT_EQ(Line.Sim().RequestCount(), 3);
    EXPECT_TRUE(Line.Sim().WaitForReplies(2, 2000));
    EXPECT_EQ(Line.Sim().RepliesSent(), 2);
}

TEST(Simulator, AutocalibrationStoresTheMeasuredFrequency) {
    TSimulatorFixture Line;
    auto &Sim = Line.Sim();
    Sim.SetLevel(40.0);
    ASSERT_EQ(Line.Exchange(Write(1, 13, Words({0x0030})), WriteReplySize).size(), WriteReplySize);
    EXPECT_EQ(Sim.Register(11), 24000);
    EXPECT_EQ(Sim.Register(13), 0x0010); // the request bit is cleared, the mode kept

    Sim.SetLevel(60.0);
    ASSERT_EQ(Line.Exchange(Write(1, 13, Words({0x0050})), WriteReplySize).size(), WriteReplySize);
    const QByteArray Points = Line.Exchange(Read(1, 11, 3), ReadReplySize(3));
    ASSERT_EQ(Points.size(), ReadReplySize(3));
    EXPECT_EQ(U16(Points, 3), 24000);
    EXPECT_EQ(U16(Points, 5), 24000 + 60 * (30000 - 24000) / 100);
    EXPECT_EQ(U16(Points, 7), 0x0010);

    // Both at once take the same measurement; trimming bits just stay.
    Sim.SetLevel(10.0);
    const int Measured = Sim.Register(6);
    Line.Exchange(Write(1, 13, Words({0x006C})), WriteReplySize);
    EXPECT_EQ(Sim.Register(11), Measured);
    EXPECT_EQ(Sim.Register(12), Measured);
    EXPECT_EQ(Sim.Register(13), 0x000C);
}

TEST(Simulator, TableWritesAreReadBackAndUsedForTheVolume) {
    TSimulatorFixture Line;
    auto &Sim = Line.Sim();
    QList<float> Levels2, Volumes1(16, NaN), Levels1(16, NaN), Volumes2(16, NaN);
    for (int i = 0; i < 16; ++i)
        Levels2.append(1.5f * static_cast<float>(i));
    const QByteArray Block = Floats(Levels2);
    EXPECT_EQ(Line.Exchange(Write(1, 46, Block), WriteReplySize), AppendCrc16(QByteArray::fromHex("0110002E0020")));
    EXPECT_EQ(Line.Exchange(Read(1, 46, 32), ReadReplySize(32)).mid(3, 64), Block);

    // Three points among empty ones: 0 -> 0, 50 -> 20, 100 -> 100.
    Levels1[0] = 0;
    Levels1[5] = 50;
    Levels1[9] = 100;
    Volumes1[0] = 0;
    Volumes1[5] = 20;
    Volumes1[9] = 100;
    const QList<float> Empty(16, NaN);
    const std::pair<int, QList<float>> Blocks[] = {{14, Levels1}, {46, Empty}, {79, Volumes1}, {111, Empty}};
    for (const auto &[Start, Values] : Blocks)
        ASSERT_EQ(Line.Exchange(Write(1, Start, Floats(Values)), WriteReplySize).size(), WriteReplySize);
    Sim.SetLevel(25.0);
    EXPECT_FLOAT_EQ(F32(Line.Exchange(Read(1, 4, 2), ReadReplySize(2)), 3), 10.0f);
    Sim.SetLevel(75.0);
    EXPECT_FLOAT_EQ(Sim.FloatAt(4), 60.0f);
    // A level point without its volume does not count.
    Sim.SetFloat(14 + 2 * 7, 60.0f);
    EXPECT_FLOAT_EQ(Sim.FloatAt(4), 60.0f);
}

TEST(Simulator, IgnoresBadChecksumsForeignAddressesAndBrokenFrames) {
    TSimulatorFixture Line;
    auto &Sim = Line.Sim();
    QByteArray Corrupt = AppendCrc16(Read(1, 0, 1));
    Corrupt[7] = static_cast<char>(Corrupt[7] ^ 0x01);
    ASSERT_TRUE(Line.Send(Corrupt));
    ASSERT_TRUE(Sim.WaitForRequests(1, 2000));
    ASSERT_TRUE(Line.Send(AppendCrc16(Read(2, 0, 1))));
    ASSERT_TRUE(Sim.WaitForRequests(2, 2000));
    // Had either been answered, its reply would come first.
    const QByteArray Reply = Line.Exchange(Read(1, 1, 1), ReadReplySize(1));
    EXPECT_EQ(Reply, AppendCrc16(QByteArray::fromHex("0103020001")));
    EXPECT_EQ(Sim.Requests(), (QList<QByteArray>{Corrupt, AppendCrc16(Read(2, 0, 1)), AppendCrc16(Read(1, 1, 1))}));

    // A fragment followed by silence is dropped, not glued to the next frame.
    ASSERT_TRUE(Line.Send(QByteArray::fromHex("0103")));
    ::usleep(50 * 1000); // the silence is the stimulus here
    EXPECT_EQ(Line.Exchange(Read(1, 1, 1), ReadReplySize(1)), AppendCrc16(QByteArray::fromHex("0103020001")));
    EXPECT_EQ(Sim.RequestCount(), 4);

    // Two frames back to back are both answered, in order.
    ASSERT_TRUE(Line.Send(AppendCrc16(Read(1, 0, 1)) + AppendCrc16(Read(1, 1, 1))));
    EXPECT_EQ(Line.Receive(2 * ReadReplySize(1)),
              AppendCrc16(QByteArray::fromHex("01030204D2")) + AppendCrc16(QByteArray::fromHex("0103020001")));
}

TEST(Simulator, FaultsShapeTheReplies) {
    TSimulatorFixture Line;
    auto &Sim = Line.Sim();
    const QByteArray Plant = AppendCrc16(QByteArray::fromHex("01030204D2"));

    Sim.SetFault(TSimFault::Silence, 0, 1);
    ASSERT_TRUE(Line.Send(AppendCrc16(Read(1, 1, 1))));
    EXPECT_EQ(Line.Exchange(Read(1, 0, 1), ReadReplySize(1)), Plant);
    EXPECT_FALSE(Sim.FaultActive(TSimFault::Silence));

    Sim.SetFault(TSimFault::BadCrc, 0, 2);
    for (int i = 0; i < 2; ++i) {
        const QByteArray Bad = Line.Exchange(Read(1, 0, 1), ReadReplySize(1));
        EXPECT_EQ(Bad.left(5), Plant.left(5));
        EXPECT_FALSE(CheckCrc16(Bad));
    }
    EXPECT_EQ(Line.Exchange(Read(1, 0, 1), ReadReplySize(1)), Plant);

    // A refused write is not carried out.
    Sim.SetFault(TSimFault::Exception, 4, 1);
    EXPECT_EQ(Line.Exchange(Write(1, 148, Words({10})), ExceptionReplySize),
              AppendCrc16(QByteArray::fromHex("019004")));
    EXPECT_EQ(Sim.Register(148), 1);
    Sim.SetFault(TSimFault::Status, 2);
    EXPECT_EQ(Line.Exchange(Read(1, 0, 1), 6), AppendCrc16(QByteArray::fromHex("01FA0302")));
    EXPECT_EQ(Line.Exchange(Write(1, 148, Words({10})), 6), AppendCrc16(QByteArray::fromHex("01FA1002")));
    EXPECT_EQ(Sim.Register(148), 1);
    Sim.ClearFault(TSimFault::Status);

    Sim.SetFault(TSimFault::TrailingBytes, 3, 1);
    const QByteArray Long = Line.Exchange(QByteArray::fromHex("01030000000E"), 36);
    ASSERT_EQ(Long.size(), 36);
    EXPECT_TRUE(CheckCrc16(Long.left(33)));

    Sim.SetFault(TSimFault::Delay, 150, 1);
    const auto Sent = std::chrono::steady_clock::now();
    EXPECT_EQ(Line.Exchange(Read(1, 0, 1), ReadReplySize(1)), Plant);
    EXPECT_GE(std::chrono::steady_clock::now() - Sent, std::chrono::milliseconds(150));

    Sim.SetNoFrequencySignal(true);
    const QByteArray Status = Line.Exchange(Read(1, 6, 8), ReadReplySize(8));
    EXPECT_EQ(U16(Status, 3), 0);           // no frequency
    EXPECT_EQ(U16(Status, 3 + 14), 0x0090); // bit 7 beside the mode
    // The bit belongs to the device: writing the register without it keeps it.
    Line.Exchange(Write(1, 13, Words({0x0010})), WriteReplySize);
    EXPECT_EQ(Sim.Register(13), 0x0090);
}

TEST(Simulator, RepliesTakeTheirWireTime) {
    // libfaketime shortens the simulator's pacing wait (a timed wait it takes
    // over), so that the reply comes before its wire time.
    SKIP_UNDER_FAKE_CLOCK("timed waits return early");
    TSimulatorFixture Line;
    Line.Sim().SetBaudRate(9600);
    const auto Sent = std::chrono::steady_clock::now();
    const QByteArray Reply = Line.Exchange(QByteArray::fromHex("01030000000E"), 33);
    const auto Elapsed = std::chrono::steady_clock::now() - Sent;
    ASSERT_EQ(Reply.size(), 33);
    EXPECT_TRUE(CheckCrc16(Reply));
    EXPECT_GE(Elapsed, std::chrono::microseconds(33 * 10 * 1000000LL / 9600));
}

TEST(Simulator, LevelSweepsWithTheClock) {
    TSimulatorFixture Line;
    auto &Sim = Line.Sim();
    double Now = 0;
    Sim.SetClock([&Now] { return Now; });
    const std::pair<double, float> Expected[] = {{0, 10}, {60, 50}, {120, 90}, {180, 50}, {240, 10}, {-60, 50}};
    for (const auto &[Seconds, Level] : Expected) {
        Now = Seconds;
        EXPECT_FLOAT_EQ(Sim.FloatAt(2), Level) << Seconds;
    }
    Now = 60;
    EXPECT_EQ(Sim.Register(6), 25000);
    Sim.SetLevel(70);
    EXPECT_FLOAT_EQ(Sim.FloatAt(2), 70.0f);
    Sim.ReleaseLevel();
    EXPECT_FLOAT_EQ(Sim.FloatAt(2), 50.0f);
}

TEST(Simulator, StopInterruptsADelayedReply) {
    TSimulatorFixture Line;
    Line.Sim().SetFault(TSimFault::Delay, 60000);
    ASSERT_TRUE(Line.Send(AppendCrc16(Read(1, 0, 1))));
    ASSERT_TRUE(Line.Sim().WaitForRequests(1, 2000));
    const auto Before = std::chrono::steady_clock::now();
    Line.Sim().Stop();
    EXPECT_FALSE(Line.Sim().IsRunning());
    EXPECT_LT(std::chrono::steady_clock::now() - Before, std::chrono::seconds(30));
    EXPECT_EQ(Line.Sim().RepliesSent(), 0);
}

TEST(Simulator, ServesAGivenPort) {
    TPseudoTerminal Pty;
    ASSERT_TRUE(Pty.Open());
    TLanx1Simulator Sim;
    Sim.SetAddress(7);
    ASSERT_TRUE(Sim.Start(Pty.PortName()));
    EXPECT_EQ(Sim.PortName(), Pty.PortName());
    ASSERT_TRUE(Pty.Write(AppendCrc16(Read(7, 1, 1))));
    QByteArray Reply;
    for (int i = 0; i < 20 && Reply.size() < ReadReplySize(1); ++i)
        Reply += Pty.Read(100);
    EXPECT_EQ(Reply, AppendCrc16(QByteArray::fromHex("0703020001")));
    EXPECT_FALSE(Sim.Start(QStringLiteral("/nonexistent/port")));
}

TEST(Simulator, ProgramRefusesAnAddressBeyondOneByte) {
    const QString Program = QCoreApplication::applicationDirPath() + "/../src/lanx1-sim";
    for (const char *Address : {"300", "255", "-1"}) {
        QProcess Process;
        Process.start(Program, {"--address", Address});
        ASSERT_TRUE(Process.waitForFinished(5000)) << Address;
        EXPECT_NE(Process.exitCode(), 0) << Address;
        EXPECT_TRUE(Process.readAllStandardError().contains("0..254")) << Address;
    }
}

TEST(Simulator, ProgramPrintsItsPortFirst) {
    const QString Program = QCoreApplication::applicationDirPath() + "/../src/lanx1-sim";
    ASSERT_TRUE(QFileInfo::exists(Program)) << "build the lanx1-sim target: " << Program.toStdString();
    QProcess Process;
    Process.start(Program, {"--address", "3", "--baud", "0", "--level", "25"});
    ASSERT_TRUE(Process.waitForStarted(5000));
    while (!Process.canReadLine() && Process.waitForReadyRead(5000)) {
    }
    const QString Port = QString::fromLocal8Bit(Process.readLine()).trimmed();
    EXPECT_TRUE(Port.startsWith("/dev/")) << Port.toStdString();

    int Fd = ::open(Port.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(Fd, 0);
    termios T{};
    tcgetattr(Fd, &T);
    cfmakeraw(&T);
    tcsetattr(Fd, TCSANOW, &T);
    const QByteArray Request = AppendCrc16(Read(3, 2, 2));
    ASSERT_EQ(::write(Fd, Request.constData(), Request.size()), Request.size());
    QByteArray Reply;
    for (int i = 0; i < 50 && Reply.size() < ReadReplySize(2); ++i) {
        pollfd P{Fd, POLLIN, 0};
        if (::poll(&P, 1, 100) > 0) {
            char Chunk[64];
            const ssize_t N = ::read(Fd, Chunk, sizeof Chunk);
            if (N > 0)
                Reply.append(Chunk, N);
        }
    }
    ::close(Fd);
    ASSERT_EQ(Reply.size(), ReadReplySize(2));
    EXPECT_FLOAT_EQ(F32(Reply, 3), 25.0f);

    Process.terminate();
    EXPECT_TRUE(Process.waitForFinished(5000));
    EXPECT_EQ(Process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(Process.exitCode(), 0);
}

namespace {

// One exchange through the program's port code at Baud; the reply as it came.
QByteArray ExchangeAt(const QString &Port, int Baud, const QByteArray &Frame, int ReplyMax) {
    TTransmitter Line;
    TPortSettings S;
    S.Port = Port;
    S.BaudRate = QString::number(Baud);
    S.ReadTotalConstant = 150;
    S.ReadTotalMultiplier = 0;
    S.ReadInterval = 20;
    Line.SetSettings(S);
    QString Reason;
    if (!Line.OpenQuietly(Reason)) {
        ADD_FAILURE() << "port does not open: " << Reason.toStdString();
        return {};
    }
    QByteArray Reply;
    Line.Transmit(Frame, Reply, true, ReplyMax);
    return Reply;
}

} // namespace

// The device's end of the pseudo-terminal sees the speed the program set on its end.
TEST(Simulator, SeesTheBaudRateOfTheLine) {
    TSimulatorFixture Line;
    TTransmitter Port;
    TPortSettings S;
    S.Port = Line.PortName();
    for (const int Baud : {1200, 9600, 19200, 115200}) {
        S.BaudRate = QString::number(Baud);
        Port.SetSettings(S);
        if (!Port.IsOpen()) {
            QString Reason;
            ASSERT_TRUE(Port.OpenQuietly(Reason)) << Reason.toStdString();
        }
        EXPECT_EQ(Line.Sim().LineBaudRate(), Baud);
    }
}

TEST(Simulator, AnswersOnlyAtItsOwnBaudRateWhenAsked) {
    TSimulatorFixture Line;
    TLanx1Simulator &Sim = Line.Sim();
    Sim.SetBaudRate(19200);
    // Without the check any speed is heard, as always.
    EXPECT_EQ(ExchangeAt(Line.PortName(), 9600, Read(1, 0, 1), 16).size(), ReadReplySize(1));
    Sim.SetBaudRateCheck(true);
    EXPECT_TRUE(ExchangeAt(Line.PortName(), 9600, Read(1, 0, 1), 16).isEmpty());
    EXPECT_TRUE(ExchangeAt(Line.PortName(), 38400, Read(1, 0, 1), 16).isEmpty());
    const QByteArray Reply = ExchangeAt(Line.PortName(), 19200, Read(1, 0, 1), 16);
    ASSERT_EQ(Reply.size(), ReadReplySize(1));
    EXPECT_TRUE(CheckCrc16(Reply));
    EXPECT_EQ(Sim.RequestCount(), 4); // every request reached the device
    EXPECT_EQ(Sim.RepliesSent(), 2);

    // With garbage: a wrong speed brings bytes that are no frame.
    Sim.SetWrongBaudGarbage(true);
    const QByteArray Garbage = ExchangeAt(Line.PortName(), 9600, Read(1, 0, 1), 16);
    EXPECT_FALSE(Garbage.isEmpty());
    EXPECT_FALSE(CheckCrc16(Garbage));
    EXPECT_EQ(Sim.GarbageSent(), 1);
    EXPECT_EQ(ExchangeAt(Line.PortName(), 19200, Read(1, 0, 1), 16).size(), ReadReplySize(1));
    // Also for another address: at the wrong speed the device cannot know it is not meant.
    EXPECT_FALSE(ExchangeAt(Line.PortName(), 9600, Read(9, 0, 1), 16).isEmpty());
    EXPECT_EQ(Sim.RepliesSent(), 3);
}

TEST(Simulator, ProgramWithABaudRateAnswersOnlyAtIt) {
    const QString Program = QCoreApplication::applicationDirPath() + "/../src/lanx1-sim";
    for (const bool Garbage : {false, true}) {
        QProcess Process;
        QStringList Args{"--baud", "19200", "--address", "5"};
        if (Garbage)
            Args << "--wrong-baud-garbage";
        Process.start(Program, Args);
        ASSERT_TRUE(Process.waitForStarted(5000));
        while (!Process.canReadLine() && Process.waitForReadyRead(5000)) {
        }
        const QString Port = QString::fromLocal8Bit(Process.readLine()).trimmed();
        ASSERT_TRUE(Port.startsWith("/dev/")) << Port.toStdString();
        EXPECT_EQ(ExchangeAt(Port, 9600, Read(5, 0, 1), 16).isEmpty(), !Garbage);
        EXPECT_EQ(ExchangeAt(Port, 19200, Read(5, 0, 1), 16).size(), ReadReplySize(1));
        Process.terminate();
        EXPECT_TRUE(Process.waitForFinished(5000));
    }
}
