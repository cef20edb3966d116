#include "RawPeer.h"
#include "SerialLineSpeed.h"
#include "TestEnvironment.h"
#include "uIniFile.h"
#include "uMath.h"
#include "uMessages.h"
#include "uTransmitter.h"
#include "uWin1251.h"

#include <QThread>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace {

QByteArray Hex(const char *Text) {
    return QByteArray::fromHex(Text);
}

// 01 03 with two registers 00 2A 00 07 and its checksum.
QByteArray ReadReply() {
    return AppendCrc16(Hex("010304002A0007"));
}

struct TMessage {
    QString Caption, Text;
    TMsgIcon Icon;
};

class TRecordingMessages : public TMessageService {
public:
    TRecordingMessages() { InstallMessageService(this); }
    ~TRecordingMessages() override { InstallMessageService(nullptr); }
    TMsgButton Show(const QString &Caption, const QString &Text, TMsgIcon Icon, int, TMsgButton Default) override {
        Messages.push_back({Caption, Text, Icon});
        return Default;
    }
    std::vector<TMessage> Messages;
};

struct TExchange {
    int Count = 0;
    QByteArray Sent, Reply;
    bool Answered = false;
    std::thread::id Thread;
};

// A transmitter on the slave side of Peer, with the given read time-outs.
class TLine {
public:
    explicit TLine(int ReadInterval = 50, int EndOfFrame = 1, int ReadTotalConstant = 150) {
        TPortSettings S = Port.GetSettings();
        S.Port = Peer.PortName();
        S.ReadInterval = ReadInterval;
        S.ReadTotalConstant = ReadTotalConstant;
        S.EndOfFrame = EndOfFrame;
        Port.SetSettings(S);
        Port.OnTransmit = [this](TTransmitter *Sender, const QByteArray &Sent, bool Answered,
                                 const QByteArray &Reply) {
            EXPECT_EQ(Sender, &Port);
            ++Last.Count;
            Last.Sent = Sent;
            Last.Answered = Answered;
            Last.Reply = Reply;
            Last.Thread = std::this_thread::get_id();
        };
    }
    bool Open() { return Port.Open(); }

    TTestFolder Folder;
    TRawPeer Peer;
    TTransmitter Port;
    TExchange Last;
};

const QByteArray Request = Hex("01030000000E");

// The peer answers each of Count requests of Size bytes with Reply.
TRawPeer::TScript Answer(QByteArray Reply, int Size = 8) {
    return [Reply, Size](TPseudoTerminal &Line) {
        if (TRawPeer::ReadCount(Line, Size).size() == Size)
            Line.Write(Reply);
    };
}

} // namespace

TEST(TransmitterSettings, MissingFileGivesDefaults) {
    TTestFolder Folder;
    TTransmitter Port;
    EXPECT_EQ(Port.Name(), "Transmitter");
    EXPECT_EQ(Port.IniFileName(), Folder.File("INI/ComPort.ini"));
    Port.LoadSettings();
    const TPortSettings S = Port.GetSettings();
    EXPECT_EQ(S.Port, "COM1");
    EXPECT_EQ(S.BaudRate, "9600");
    EXPECT_EQ(S.BaudRateValue(), 9600);
    EXPECT_EQ(S.DataBits, "8");
    EXPECT_EQ(S.StopBits, "1");
    EXPECT_EQ(S.Parity, "None");
    EXPECT_EQ(S.FlowControl, "None");
    EXPECT_EQ(S.ReadInterval, 50);
    EXPECT_EQ(S.ReadTotalConstant, 150);
    EXPECT_EQ(S.ReadTotalMultiplier, 2);
    EXPECT_EQ(S.WriteTotalConstant, 100);
    EXPECT_EQ(S.WriteTotalMultiplier, 2);
    EXPECT_EQ(S.EndOfFrame, 1);
    EXPECT_EQ(S.ReadTotalTimeout(140), 430);
    EXPECT_FALSE(Port.IsOpen());
}

// What the file lacks takes its default, not the value in use: a port given
// for this run only (demo mode) must not pass for the file's.
TEST(TransmitterSettings, MissingKeysTakeDefaultsNotTheSettingsInUse) {
    TTestFolder Folder;
    WriteAll(Folder.File("INI/ComPort.ini"), "[Transmitter]\r\nDataBits=7\r\n");
    TTransmitter Port;
    TPortSettings InUse;
    InUse.Port = "/dev/pts/77";
    InUse.BaudRate = "19200";
    InUse.ReadInterval = 20;
    ASSERT_TRUE(Port.SetSettings(InUse));
    Port.LoadSettings();
    TPortSettings Expected;
    Expected.DataBits = "7";
    EXPECT_EQ(Port.GetSettings(), Expected);
    EXPECT_EQ(Port.GetPort(), "COM1");

    Port.SetPort("/dev/pts/77");
    Port.ReadIni(TIniFile(Folder.File("INI/ComPort.ini")));
    EXPECT_EQ(Port.GetSettings(), Expected);
}

TEST(TransmitterSettings, CustomBaudRateRoundTrip) {
    TTestFolder Folder;
    WriteAll(Folder.File("INI/ComPort.ini"), "[Transmitter]\r\nPort=/dev/ttyUSB0\r\nBaudRate=custom\r\n"
                                             "CustomBaudRate=31250\r\nEndOfFrame=0\r\nReadInterval=0x20\r\n");
    TTransmitter Port;
    Port.LoadSettings();
    EXPECT_EQ(Port.GetSettings().BaudRate, "Custom");
    EXPECT_EQ(Port.GetSettings().BaudRateValue(), 31250);
    EXPECT_EQ(Port.GetSettings().Port, "/dev/ttyUSB0");
    EXPECT_EQ(Port.GetSettings().EndOfFrame, 0);
    EXPECT_EQ(Port.GetSettings().ReadInterval, 32);

    Port.SetIniFileName(Folder.File("INI/Copy.ini"));
    Port.SaveSettings();
    const TIniFile Copy(Folder.File("INI/Copy.ini"));
    EXPECT_EQ(Copy.ReadString("Transmitter", "BaudRate", ""), "Custom");
    EXPECT_EQ(Copy.ReadInteger("Transmitter", "CustomBaudRate", 0), 31250);
    EXPECT_EQ(Copy.ReadInteger("Transmitter", "EndOfFrame", -1), 0);
    EXPECT_EQ(Copy.ReadInteger("Transmitter", "WriteTotalConstant", 0), 100);
    EXPECT_EQ(Copy.ReadSection("Transmitter"),
              QStringList({"Port", "BaudRate", "CustomBaudRate", "DataBits", "StopBits", "Parity", "FlowControl",
                           "ReadInterval", "ReadTotalConstant", "ReadTotalMultiplier", "WriteTotalConstant",
                           "WriteTotalMultiplier", "EndOfFrame"}));

    TTransmitter Again;
    Again.SetIniFileName(Folder.File("INI/Copy.ini"));
    Again.LoadSettings();
    EXPECT_EQ(Again.GetSettings(), Port.GetSettings());
}

TEST(TransmitterSettings, CustomBaudRateIgnoredForStandardRate) {
    TTestFolder Folder;
    WriteAll(Folder.File("INI/ComPort.ini"), "[Transmitter]\r\nBaudRate=19200\r\nCustomBaudRate=31250\r\n");
    TTransmitter Port;
    Port.LoadSettings();
    EXPECT_EQ(Port.GetSettings().BaudRateValue(), 19200);
    EXPECT_EQ(Port.GetSettings().CustomBaudRate, 9600);

    Port.SetIniFileName(Folder.File("INI/Copy.ini"));
    Port.SaveSettings();
    const TIniFile Copy(Folder.File("INI/Copy.ini"));
    EXPECT_EQ(Copy.ReadString("Transmitter", "BaudRate", ""), "19200");
    EXPECT_FALSE(Copy.ValueExists("Transmitter", "CustomBaudRate"));
}

TEST(TransmitterSettings, TextsMatchWithoutCaseAndFallBack) {
    TTestFolder Folder;
    WriteAll(Folder.File("INI/ComPort.ini"), "[TRANSMITTER]\r\nbaudrate=115200\r\nDataBits=7\r\nstopbits=1.5\r\n"
                                             "Parity=eVeN\r\nFlowControl=hardware\r\n");
    TTransmitter Port;
    Port.LoadSettings();
    TPortSettings S = Port.GetSettings();
    EXPECT_EQ(S.BaudRateValue(), 115200);
    EXPECT_EQ(S.DataBits, "7");
    EXPECT_EQ(S.StopBits, "1.5");
    EXPECT_EQ(S.Parity, "Even");
    EXPECT_EQ(S.FlowControl, "Hardware");

    WriteAll(Folder.File("INI/ComPort.ini"), "[Transmitter]\r\nBaudRate=9601\r\nDataBits=9\r\nStopBits=3\r\n"
                                             "Parity=Sometimes\r\nFlowControl=Magic\r\nReadInterval=soon\r\n");
    Port.LoadSettings();
    S = Port.GetSettings();
    EXPECT_EQ(S.BaudRate, "9600");
    EXPECT_EQ(S.DataBits, "8");
    EXPECT_EQ(S.StopBits, "1");
    EXPECT_EQ(S.Parity, "None");
    EXPECT_EQ(S.FlowControl, "Custom");
    EXPECT_EQ(S.ReadInterval, 50);
}

TEST(TransmitterSettings, PortNameKeepsItsCyrillicText) {
    TTestFolder Folder;
    TTransmitter Port;
    Port.SetPort(QString::fromUtf8("/dev/порт"));
    Port.SaveSettings();
    EXPECT_TRUE(ReadAll(Folder.File("INI/ComPort.ini")).contains(ToWin1251(QString::fromUtf8("Port=/dev/порт"))));
    TTransmitter Again;
    Again.LoadSettings();
    EXPECT_EQ(Again.GetPort(), QString::fromUtf8("/dev/порт"));
}

TEST(TransmitterFrames, CompleteReplyIsJudgedByFunctionAndChecksum) {
    EXPECT_TRUE(TTransmitter::IsCompleteReply(ReadReply()));
    EXPECT_FALSE(TTransmitter::IsCompleteReply(ReadReply().left(8)));
    EXPECT_FALSE(TTransmitter::IsCompleteReply(ReadReply() + '\0'));
    QByteArray Bad = ReadReply();
    Bad[4] = 0x7F;
    EXPECT_FALSE(TTransmitter::IsCompleteReply(Bad));
    EXPECT_TRUE(TTransmitter::IsCompleteReply(AppendCrc16(Hex("011000940001"))));
    EXPECT_TRUE(TTransmitter::IsCompleteReply(AppendCrc16(Hex("018302"))));
    EXPECT_TRUE(TTransmitter::IsCompleteReply(AppendCrc16(Hex("019003"))));
    EXPECT_TRUE(TTransmitter::IsCompleteReply(AppendCrc16(Hex("01FA0000"))));
    EXPECT_FALSE(TTransmitter::IsCompleteReply(AppendCrc16(Hex("010500"))));
    EXPECT_EQ(TTransmitter::ExpectedReplyLength(Hex("0103")), 0);
    EXPECT_EQ(TTransmitter::ExpectedReplyLength(Hex("010340")), 69);
}

TEST(TransmitterOpen, MissingPortTellsTheUser) {
    TTestFolder Folder;
    TRecordingMessages Messages;
    TTransmitter Port;
    Port.SetPort("/dev/lanx1-no-such-port");
    EXPECT_FALSE(Port.Open());
    EXPECT_FALSE(Port.IsOpen());
    ASSERT_EQ(Messages.Messages.size(), 1u);
    EXPECT_EQ(Messages.Messages[0].Caption, QString::fromUtf8("Внимание"));
    // The system's reason follows on a line of its own.
    EXPECT_EQ(Messages.Messages[0].Text, QString::fromUtf8("Ошибка активации порта :/dev/lanx1-no-such-port\rпорт не найден"));
    EXPECT_EQ(Messages.Messages[0].Icon, TMsgIcon::Error);

    int Events = 0;
    Port.OnTransmit = [&](TTransmitter *, const QByteArray &, bool, const QByteArray &) { ++Events; };
    QByteArray Reply;
    EXPECT_THROW(Port.Transmit(Request, Reply, true, 140), ETransmitterError);
    EXPECT_EQ(Events, 0);
    EXPECT_TRUE(Port.Close());
}

TEST(TransmitterOpen, CustomRateReachesTheLine) {
    TRecordingMessages Messages;
    TLine L;
    TPortSettings S = L.Port.GetSettings();
    S.BaudRate = "Custom";
    S.CustomBaudRate = 31250;
    L.Port.SetSettings(S);
    ASSERT_TRUE(L.Open());
    EXPECT_TRUE(L.Port.IsOpen());
    EXPECT_EQ(LineSpeed(L.Peer.Line().MasterHandle()), 31250);
    S.BaudRate = "19200";
    EXPECT_TRUE(L.Port.SetSettings(S));
    EXPECT_EQ(LineSpeed(L.Peer.Line().MasterHandle()), 19200);
    EXPECT_TRUE(L.Port.Close());
    EXPECT_FALSE(L.Port.IsOpen());
    EXPECT_TRUE(Messages.Messages.empty());
}

TEST(TransmitterExchange, SendsFrameWithChecksumAndReadsReply) {
    TLine L;
    ASSERT_TRUE(L.Open());
    QByteArray Received;
    L.Peer.Run([&](TPseudoTerminal &Line) {
        Received = TRawPeer::ReadCount(Line, 8);
        Line.Write(ReadReply());
    });
    QByteArray Reply;
    EXPECT_TRUE(L.Port.Transmit(Request, Reply, true, 140));
    L.Peer.Join();
    EXPECT_EQ(Received, Hex("01030000000EC40E"));
    EXPECT_EQ(L.Last.Count, 1);
    EXPECT_EQ(L.Last.Sent, Hex("01030000000EC40E"));
    EXPECT_TRUE(L.Last.Answered);
    EXPECT_EQ(L.Last.Reply, ReadReply());
    EXPECT_EQ(Reply, ReadReply());

    // Without AddCRC the frame goes out as it is.
    L.Peer.Run([&](TPseudoTerminal &Line) { Received = TRawPeer::ReadCount(Line, 6); });
    EXPECT_FALSE(L.Port.Transmit(Request, Reply, false, 140));
    L.Peer.Join();
    EXPECT_EQ(Received, Request);
    EXPECT_EQ(L.Last.Sent, Request);
}

TEST(TransmitterExchange, SilentDeviceGivesEmptyReply) {
    TLine L;
    ASSERT_TRUE(L.Open());
    QByteArray Reply = "stale";
    EXPECT_FALSE(L.Port.Transmit(Request, Reply, true, 140));
    EXPECT_TRUE(Reply.isEmpty());
    EXPECT_EQ(L.Last.Count, 1);
    EXPECT_FALSE(L.Last.Answered);
    EXPECT_TRUE(L.Last.Reply.isEmpty());
    EXPECT_EQ(L.Last.Sent, Hex("01030000000EC40E"));
}

TEST(TransmitterExchange, ReplyInPiecesIsAssembled) {
    // Pieces 30 ms apart, well inside a 1000 ms interval; without the frame
    // rule only the interval ends the read.
    TLine L(1000, 0, 3000);
    ASSERT_TRUE(L.Open());
    L.Peer.Run([](TPseudoTerminal &Line) {
        if (TRawPeer::ReadCount(Line, 8).size() != 8)
            return;
        const QByteArray R = ReadReply();
        for (int i = 0; i < R.size(); i += 3) {
            Line.Write(R.mid(i, 3));
            TRawPeer::Pause(30);
        }
    });
    QByteArray Reply;
    EXPECT_TRUE(L.Port.Transmit(Request, Reply, true, 140));
    L.Peer.Join();
    EXPECT_EQ(Reply, ReadReply());
}

TEST(TransmitterExchange, LateBytesNeverReachTheNextExchange) {
    TLine L(50, 0);
    ASSERT_TRUE(L.Open());
    std::promise<void> LateSent;
    L.Peer.Run([&](TPseudoTerminal &Line) {
        if (TRawPeer::ReadCount(Line, 8).size() != 8)
            return;
        Line.Write(ReadReply().left(4));
        TRawPeer::Pause(400); // the read has long ended
        Line.Write("\xEE\xEE\xEE");
        LateSent.set_value();
    });
    QByteArray Reply;
    EXPECT_TRUE(L.Port.Transmit(Request, Reply, true, 140));
    EXPECT_EQ(Reply, ReadReply().left(4));
    LateSent.get_future().wait();
    L.Peer.Join();

    L.Peer.Run(Answer(ReadReply()));
    EXPECT_TRUE(L.Port.Transmit(Request, Reply, true, 140));
    L.Peer.Join();
    EXPECT_EQ(Reply, ReadReply());
}

TEST(TransmitterExchange, LongReplyIsCutAndItsRestDiscarded) {
    TLine L;
    ASSERT_TRUE(L.Open());
    const QByteArray Long(200, '\x55');
    L.Peer.Run(Answer(Long));
    QByteArray Reply;
    EXPECT_TRUE(L.Port.Transmit(Request, Reply, true, 140));
    L.Peer.Join();
    EXPECT_EQ(Reply, Long.left(140));

    L.Peer.Run(Answer(ReadReply()));
    EXPECT_TRUE(L.Port.Transmit(Request, Reply, true, 140));
    L.Peer.Join();
    EXPECT_EQ(Reply, ReadReply());
}

TEST(TransmitterExchange, CompleteFrameEndsTheReadAtOnce) {
    // A stray byte 300 ms after a complete frame: with the frame rule the read
    // has already ended; with only a 2000 ms interval it is still going on.
    const auto Run = [](int EndOfFrame) {
        TLine L(2000, EndOfFrame, 5000);
        EXPECT_TRUE(L.Open());
        L.Peer.Run([](TPseudoTerminal &Line) {
            if (TRawPeer::ReadCount(Line, 8).size() != 8)
                return;
            Line.Write(ReadReply());
            TRawPeer::Pause(300);
            Line.Write("\x77");
        });
        QByteArray Reply;
        EXPECT_TRUE(L.Port.Transmit(Request, Reply, true, 140));
        L.Peer.Join();
        return Reply;
    };
    EXPECT_EQ(Run(1), ReadReply());
    EXPECT_EQ(Run(0), ReadReply() + "\x77");
}

TEST(TransmitterExchange, FrameRuleWaitsForAValidFrame) {
    // A frame with a broken checksum is not complete: the read goes on and
    // takes the bytes after it as well.
    TLine L(1000, 1, 3000);
    ASSERT_TRUE(L.Open());
    QByteArray Broken = ReadReply();
    Broken[8] = Broken[8] ^ 0x01;
    L.Peer.Run([&](TPseudoTerminal &Line) {
        if (TRawPeer::ReadCount(Line, 8).size() != 8)
            return;
        Line.Write(Broken);
        TRawPeer::Pause(50);
        Line.Write("\x77");
    });
    QByteArray Reply;
    EXPECT_TRUE(L.Port.Transmit(Request, Reply, true, 140));
    L.Peer.Join();
    EXPECT_EQ(Reply, Broken + "\x77");
}

TEST(TransmitterThreads, ExchangesFromAnyThread) {
    TLine L;
    ASSERT_TRUE(L.Open());
    const auto Exchange = [&L] {
        L.Peer.Run(Answer(ReadReply()));
        QByteArray Reply;
        const bool Ok = L.Port.Transmit(Request, Reply, true, 140);
        L.Peer.Join();
        return Ok && Reply == ReadReply();
    };

    EXPECT_TRUE(Exchange());
    EXPECT_EQ(L.Last.Thread, std::this_thread::get_id());

    std::thread::id Worker;
    bool Ok = false;
    std::thread Plain([&] {
        Worker = std::this_thread::get_id();
        Ok = Exchange();
    });
    Plain.join();
    EXPECT_TRUE(Ok);
    EXPECT_EQ(L.Last.Thread, Worker);

    Ok = false;
    std::unique_ptr<QThread> Qt(QThread::create([&] {
        Worker = std::this_thread::get_id();
        Ok = Exchange();
    }));
    Qt->start();
    Qt->wait();
    EXPECT_TRUE(Ok);
    EXPECT_EQ(L.Last.Thread, Worker);

    EXPECT_TRUE(Exchange());
    EXPECT_EQ(L.Last.Count, 4);
}

TEST(TransmitterFailure, VanishedPortFailsTheExchange) {
    TRecordingMessages Messages;
    TLine L(50, 1, 1000);
    ASSERT_TRUE(L.Open());
    // The device goes away right after the request, before answering.
    L.Peer.Run([](TPseudoTerminal &Line) {
        TRawPeer::ReadCount(Line, 8);
        Line.Write(ReadReply().left(2));
        Line.Close();
    });
    auto Outcome = std::async(std::launch::async, [&L] {
        QByteArray Reply;
        try {
            return L.Port.Transmit(Request, Reply, true, 140) ? QString("answered") : QString("failed");
        } catch (const ETransmitterError &) {
            return QString("raised");
        }
    });
    ASSERT_EQ(Outcome.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_NE(Outcome.get(), "answered");
    L.Peer.Join();

    // Later exchanges on the dead line fail too, and quickly.
    auto Again = std::async(std::launch::async, [&L] {
        QByteArray Reply;
        try {
            return L.Port.Transmit(Request, Reply, true, 140);
        } catch (const ETransmitterError &) {
            return false;
        }
    });
    ASSERT_EQ(Again.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(Again.get());

    // Once a device is back, Close and Open make the port usable again.
    EXPECT_TRUE(L.Port.Close());
    TRawPeer Back;
    ASSERT_TRUE(Back.IsOpen());
    L.Port.SetPort(Back.PortName());
    ASSERT_TRUE(L.Port.Open());
    Back.Run(Answer(ReadReply()));
    QByteArray Reply;
    EXPECT_TRUE(L.Port.Transmit(Request, Reply, true, 140));
    Back.Join();
    EXPECT_EQ(Reply, ReadReply());
    EXPECT_TRUE(Messages.Messages.empty());
}
