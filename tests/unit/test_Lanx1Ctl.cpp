// lanx1ctl run as a process against the simulated transducer, in a fresh
// working folder whose INI/ComPort.ini names no usable port: every device
// command reaches the simulator only through --port.
#include "CtlProcess.h"
#include "Lanx1.h"
#include "ReadOnlyFolder.h"
#include "SimulatorFixture.h"
#include "TLanx1DeviceModel.h"
#include "TestEnvironment.h"
#include "uBDE.h"
#include "uCertificate.h"
#include "uClock.h"
#include "uFormat.h"
#include "uMath.h"
#include "uString.h"
#include "uTableReduction.h"
#include "uTextFile.h"
#include "uWin1251.h"

#include <QCoreApplication>
#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using TModel = TLanx1DeviceModel;

namespace {

struct TCtlResult : TCtlRun {
    QStringList Lines() const { return Out.split(u'\n', Qt::SkipEmptyParts); }
    // Name=value lines as a map.
    QMap<QString, QString> Values() const {
        QMap<QString, QString> M;
        for (const QString &L : Lines())
            M.insert(L.section(u'=', 0, 0), L.section(u'=', 1));
        return M;
    }
};

const QByteArray kComPort = "[Transmitter]\r\nPort=/dev/lanx1-no-such-port\r\nBaudRate=9600\r\n"
                            "ReadInterval=10\r\nReadTotalConstant=40\r\nReadTotalMultiplier=0\r\n";

class Lanx1Ctl : public ::testing::Test {
protected:
    void SetUp() override {
        WriteAll(Folder.File(QStringLiteral("INI/ComPort.ini")), kComPort);
        Sim.Sim().SetLevel(42.5);
    }

    TCtlResult Ctl(const QStringList &Args) { return {RunCtl(Args, Folder.Path())}; }
    // A device command through the simulator's port.
    TCtlResult Dev(const QStringList &Args) { return Ctl(QStringList{"--port", Sim.PortName()} + Args); }

    QString Today() const { return CurrentDate().toString(QStringLiteral("yyyy-MM-dd")); }

    TTestFolder Folder;
    TSimulatorFixture Sim;
};

QString ExpectedFrame(std::uint8_t Kind, int Address, void (*Prepare)(TLanx1 &) = nullptr) {
    TLanx1 D;
    D.SetSystemAddress(static_cast<std::uint16_t>(Address));
    D.SetTableBlock(1);
    if (Prepare)
        Prepare(D);
    return StringToHex(AppendCrc16(D.BuildRequest(Kind)));
}

// A table file "T" of 32 points with values that need single precision.
void WriteTableFile(const QString &Path) {
    QStringList Lines{QStringLiteral("* points"), QStringLiteral("T=32")};
    for (int i = 0; i < 32; ++i)
        Lines << QString::number(i * 31.7, 'f', 3).replace(u'.', u',') + u' ' +
                     QString::number(i * i * 0.913, 'f', 4).replace(u'.', u',');
    WriteTextLines(Path, Lines);
}

} // namespace

TEST_F(Lanx1Ctl, FrameNeedsNoPort) {
    TCtlResult R = Ctl({"frame", "3"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(R.Out, QStringLiteral("01 03 00 02 00 02 65 CB\n"));
    EXPECT_TRUE(R.Err.isEmpty());

    R = Ctl({"--address", "7", "frame", "15", "KKalman=9"});
    EXPECT_EQ(R.Status, 0);
    EXPECT_EQ(R.Out.trimmed(), ExpectedFrame(15, 7, [](TLanx1 &D) { D.SetKKalman(9); }));

    R = Ctl({"frame", "29", "--block", "2"});
    EXPECT_EQ(R.Status, 0);
    EXPECT_EQ(R.Out.trimmed().left(11), QStringLiteral("01 10 00 2E")); // levels of block 2 start at 46

    EXPECT_EQ(Ctl({"frame", "16"}).Status, 2);
    EXPECT_EQ(Ctl({"frame", "31"}).Status, 2);
    EXPECT_EQ(Ctl({"frame", "15", "KKalman=0"}).Status, 1);
    EXPECT_EQ(Sim.Sim().RequestCount(), 0);
}

TEST_F(Lanx1Ctl, ReadPrintsEveryPropertyOnceWithADecimalPoint) {
    Sim.Sim().SetRegister(TModel::rgPlantNumber, 4321);
    Sim.Sim().SetRegister(TModel::rgKKalman, 12);
    Sim.Sim().SetFloat(TModel::rgValue1, 0.1f);
    TCtlResult R = Dev({"read", "level", "plant", "kkalman", "value1", "level"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_TRUE(R.Err.isEmpty());
    EXPECT_EQ(R.Lines(), (QStringList{"PlantNumber=4321", "Level=42.5", "Value1=0.1", "KKalman=12"}));

    // "params" runs the eleven reads in their order.
    const int Before = Sim.Sim().RequestCount();
    R = Dev({"read", "params"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    const QList<QByteArray> Frames = Sim.Sim().Requests().mid(Before);
    QList<int> Starts;
    for (const QByteArray &F : Frames)
        Starts << static_cast<std::uint8_t>(F[2]) * 256 + static_cast<std::uint8_t>(F[3]);
    EXPECT_EQ(Starts, (QList<int>{0, 1, 9, 149, 150, 12, 11, 146, 144, 13, 148}));
    const QMap<QString, QString> V = R.Values();
    EXPECT_EQ(V.size(), 12);
    EXPECT_EQ(V.value("ModeCurrentOutput"), QStringLiteral("1"));
    EXPECT_EQ(V.value("Freq2"), QString::number(Sim.Sim().Register(TModel::rgFreq2)));

    R = Dev({"read", "all"});
    EXPECT_EQ(R.Status, 0);
    EXPECT_EQ(R.Values().keys(), (QStringList{"ControlRegister", "Freq1", "Freq2", "Frequency", "Level",
                                              "ModeCurrentOutput", "Modification", "PlantNumber", "Volume"}));
    EXPECT_EQ(R.Values().value("Level").toDouble(), 42.5);
}

TEST_F(Lanx1Ctl, FailuresAndUsageErrorsHaveTheirStatus) {
    Sim.Sim().SetFault(TSimFault::Silence);
    TCtlResult R = Dev({"--attempts", "2", "read", "level", "plant"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(R.Out.isEmpty());
    EXPECT_EQ(R.Err.count(u'\n'), 1) << R.Err.toStdString();
    EXPECT_TRUE(R.Err.contains(QStringLiteral("Считать уровень"))) << R.Err.toStdString();
    EXPECT_TRUE(R.Err.contains(QStringLiteral("01 03 00 02 00 02 65 CB")));
    EXPECT_TRUE(R.Err.contains(QStringLiteral("2 attempts")));
    EXPECT_TRUE(R.Err.contains(QStringLiteral("Нет ответа от устройства")));
    EXPECT_EQ(Sim.Sim().RequestCount(), 2); // the failed read ends the command

    // The port of the settings file does not exist.
    R = Ctl({"read", "level"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(R.Err.contains(QStringLiteral("/dev/lanx1-no-such-port")));

    for (const QStringList &Bad :
         {QStringList{}, QStringList{"bogus"}, QStringList{"read"}, QStringList{"read", "nonsense"},
          QStringList{"--attempts", "0", "read", "level"}, QStringList{"--port"}, QStringList{"--speed", "1"},
          QStringList{"write", "Bogus=1"}, QStringList{"write", "KKalman"}, QStringList{"write", "PlantNumber=5"},
          QStringList{"autocal", "c3", "10"}, QStringList{"autocal", "c1", "ten"}, QStringList{"poll", "--kinds", "1"},
          QStringList{"poll", "--period", "50"}, QStringList{"table", "copy", "a"},
          QStringList{"archive", "aLevel", "--from", "2024-13-01", "--to", "2024-12-01"},
          QStringList{"archive", "aLevel", "--from", "2024-01-01"}, QStringList{"scan", "--addresses", "9-3"},
          QStringList{"scan", "--bauds", "fast"}, QStringList{"scan", "extra"}, QStringList{"stats", "--kind", "15"},
          QStringList{"stats", "--count", "0"}}) {
        R = Ctl(Bad);
        EXPECT_EQ(R.Status, 2) << Bad.join(u' ').toStdString();
        EXPECT_EQ(R.Err.count(u'\n'), 1) << Bad.join(u' ').toStdString();
    }
    EXPECT_EQ(Sim.Sim().RequestCount(), 2);
}

TEST_F(Lanx1Ctl, HelpDescribesEveryCommand) {
    TCtlResult R = Ctl({"--help"});
    EXPECT_EQ(R.Status, 0);
    for (const char *Command : {"frame", "read", "write", "autocal", "poll", "table", "archive", "scan", "stats"}) {
        EXPECT_TRUE(R.Out.contains(QLatin1String(Command))) << Command;
        const TCtlResult C = Ctl({QLatin1String(Command), "--help"});
        EXPECT_EQ(C.Status, 0) << Command;
        EXPECT_TRUE(C.Out.startsWith(QStringLiteral("Usage: lanx1ctl"))) << Command;
    }
}

TEST_F(Lanx1Ctl, WriteSendsAcceptedValuesAndNothingWhenOneIsRefused) {
    Sim.Sim().SetRegister(TModel::rgControl, 0x0108);
    TCtlResult R = Dev({"write", "kkalman=7", "Freq1=21000", "Value2=98.5", "ModeCurrentOutput=1"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(Sim.Sim().Register(TModel::rgKKalman), 7);
    EXPECT_EQ(Sim.Sim().Register(TModel::rgFreq1), 21000);
    EXPECT_FLOAT_EQ(Sim.Sim().FloatAt(TModel::rgValue2), 98.5f);
    EXPECT_EQ(Sim.Sim().Register(TModel::rgControl), 0x0118); // only the mode bit changed
    EXPECT_EQ(R.Values().value("Value2"), QStringLiteral("98.5"));
    EXPECT_EQ(R.Values().value("ControlRegister"), QStringLiteral("280"));

    const int Before = Sim.Sim().RequestCount();
    for (const QStringList &Refused : {QStringList{"write", "KKalman=5", "Value1=150"},
                                       QStringList{"write", "Turning4mA=499"},
                                       QStringList{"write", "ModeCurrentOutput=3"}, QStringList{"write", "Freq1=70000"}}) {
        R = Dev(Refused);
        EXPECT_EQ(R.Status, 1) << Refused.join(u' ').toStdString();
        EXPECT_TRUE(R.Err.contains(QStringLiteral("refused"))) << R.Err.toStdString();
    }
    // Numbers are written with '.': a comma may be a decimal or a group
    // separator ("1,000"), and anything else is no number. A wrong command line.
    for (const char *Value : {"Value1=1,5", "Value20mA=1,000", "Freq2=abc", "Value2=1 000", "KKalman=7,"}) {
        R = Dev({"write", Value});
        EXPECT_EQ(R.Status, 2) << Value;
        EXPECT_TRUE(R.Err.contains(QStringLiteral("'.'"))) << R.Err.toStdString();
    }
    for (const QStringList &Comma : {QStringList{"autocal", "c1", "1,5"}, QStringList{"table", "volume", "t.txt", "T", "1,5"}}) {
        R = Dev(Comma);
        EXPECT_EQ(R.Status, 2) << Comma.join(u' ').toStdString();
    }
    EXPECT_EQ(Sim.Sim().RequestCount(), Before);
    EXPECT_EQ(Sim.Sim().Register(TModel::rgKKalman), 7);

    // The address write keeps the device's own plant number unless one is given.
    Sim.Sim().SetRegister(TModel::rgPlantNumber, 555);
    R = Dev({"write", "SystemAddressNew=9"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(Sim.Sim().Address(), 9);
    EXPECT_EQ(Sim.Sim().Register(TModel::rgPlantNumber), 555);
    R = Dev({"--address", "9", "write", "PlantNumber=777", "SystemAddressNew=3"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(Sim.Sim().Address(), 3);
    EXPECT_EQ(Sim.Sim().Register(TModel::rgPlantNumber), 777);
}

TEST_F(Lanx1Ctl, AutocalibrationPrintsThePointReadBack) {
    Sim.Sim().SetRegister(TModel::rgFreq1, 1);
    TCtlResult R = Dev({"autocal", "c1", "10"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(R.Values().value("Value1"), QStringLiteral("10"));
    EXPECT_EQ(R.Values().value("Freq1"), QString::number(Sim.Sim().Register(TModel::rgFreq1)));
    EXPECT_NE(Sim.Sim().Register(TModel::rgFreq1), 1);
    EXPECT_FLOAT_EQ(Sim.Sim().FloatAt(TModel::rgValue1), 10.0f);

    const int Before = Sim.Sim().RequestCount();
    R = Dev({"autocal", "C2", "150"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(Sim.Sim().RequestCount(), Before);

    Sim.Sim().SetFault(TSimFault::Silence);
    R = Dev({"--attempts", "1", "autocal", "c2", "90"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(R.Err.contains(QStringLiteral("not started"))) << R.Err.toStdString();
}

TEST_F(Lanx1Ctl, PollArchivesAndTheArchiveReadsBack) {
    TCtlResult R = Dev({"poll", "--count", "3", "--period", "100", "--kinds", "0"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    const QStringList Lines = R.Lines();
    ASSERT_EQ(Lines.size(), 3);
    for (const QString &L : Lines) {
        const QStringList F = L.split(u'\t');
        ASSERT_EQ(F.size(), 4) << L.toStdString();
        EXPECT_TRUE(QDateTime::fromString(F[0], QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).isValid());
        EXPECT_EQ(F[1], QStringLiteral("Level=42.5"));
        EXPECT_TRUE(F[2].startsWith(QStringLiteral("Volume=")));
        EXPECT_TRUE(F[3].startsWith(QStringLiteral("Frequency=")));
    }
    // The request log, as the program writes it.
    const QString Log = FromWin1251(
        ReadAll(Folder.File(QStringLiteral("rd") + CurrentDate().toString("yyMMdd") + QStringLiteral(".txt"))));
    EXPECT_EQ(Log.count(QStringLiteral("[01 03 00 00 00 0E C4 0E] -> [01 03 1C")), 3);

    R = Ctl({"archive", "aLevel", "--from", Today(), "--to", Today()});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    ASSERT_EQ(R.Lines().size(), 3);
    QString Previous;
    for (const QString &L : R.Lines()) {
        EXPECT_EQ(L.section(u'\t', 1), QStringLiteral("42.5"));
        EXPECT_GT(L.section(u'\t', 0, 0), Previous);
        Previous = L.section(u'\t', 0, 0);
    }
    // A range before the polling holds nothing; another data folder neither.
    EXPECT_TRUE(Ctl({"archive", "aLevel", "--from", "2001-01-01", "--to", "2001-01-02 10:00"}).Out.isEmpty());
    EXPECT_EQ(Ctl({"archive", "aLevel", "--from", Today(), "--to", Today(), "--data", Folder.File("none")}).Status, 1);

    Sim.Sim().SetFault(TSimFault::Silence);
    R = Dev({"--attempts", "1", "poll", "--count", "1", "--kinds", "3"});
    EXPECT_EQ(R.Status, 1);
    ASSERT_EQ(R.Lines().size(), 1);
    // The level of an earlier cycle is not printed as this one's.
    EXPECT_FALSE(R.Lines()[0].contains(QStringLiteral("Level=")));
    EXPECT_TRUE(R.Lines()[0].endsWith(QStringLiteral("\tError=kind 3: Нет ответа от устройства")));
    EXPECT_TRUE(R.Err.startsWith(QStringLiteral("Exchanges=1 Answered=0 NoAnswer=1 Checksum=0 Mismatch=0 "
                                                "Exception=0 Status=0 PortLost=0 Noise=0 ResponseMs=")))
        << R.Err.toStdString();
    EXPECT_EQ(R.Err.count(u'\n'), 1);
}

TEST_F(Lanx1Ctl, ArchiveOfAllTimeReadsReadOnlyDaysAndNamesUnreadableOnes) {
    const QString Data = Folder.File(QStringLiteral("DATA"));
    const auto Table = [&](const char *Day) { return Data + u'/' + QLatin1String(Day) + QStringLiteral("/aLevel.db"); };
    ASSERT_TRUE(ArchiveWrite("aLevel", Table("2024/05/01"), At(2024, 5, 1, 10), 1));
    ASSERT_TRUE(ArchiveWrite("aLevel", Table("2024/05/02"), At(2024, 5, 2, 10), 2));
    ASSERT_TRUE(ArchiveWrite("aLevel", Table("2024/05/03"), At(2024, 5, 3, 10), 3.5));
    ASSERT_TRUE(ArchiveWrite("aLevel", Table("2024/05/04"), At(2024, 5, 4, 10), 4));
    WriteAll(Table("2024/05/02"), QByteArray("not a database\r\n").repeated(300));
    WriteAll(Table("2024/05/04"), QByteArray("not one either\r\n").repeated(300));
    const TReadOnlyFolder ReadOnly(Data + QStringLiteral("/2024/05/03"));
    if (!ReadOnly.Active())
        GTEST_SKIP() << ReadOnly.Reason().toStdString();

    const TCtlResult R = Ctl({"archive", "aLevel", "--from", "0001-01-01", "--to", "9999-12-31", "--data", Folder.Path()});
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(R.Lines(), QStringList({"2024-05-01 10:00:00.000\t1", "2024-05-03 10:00:00.000\t3.5"}));
    EXPECT_EQ(R.Err.count(u'\n'), 1) << R.Err.toStdString();
    EXPECT_TRUE(R.Err.contains(QStringLiteral("2024-05-02, 2024-05-04"))) << R.Err.toStdString();
}

TEST_F(Lanx1Ctl, TableWrittenAndReadBackGivesTheSamePoints) {
    const QString Source = Folder.File(QStringLiteral("source.txt"));
    const QString Back = Folder.File(QStringLiteral("back.txt"));
    WriteTableFile(Source);
    TCtlResult R = Dev({"table", "write", Source, "T"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    R = Dev({"table", "read", Back});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();

    TTara Written, Read;
    Written.FileName = Source;
    Written.TableName = QStringLiteral("T");
    ASSERT_TRUE(Written.LoadFromStrings(ReadTextLines(Source)));
    Read.FileName = Back;
    Read.TableName = QStringLiteral("ttFromLanx1");
    ASSERT_TRUE(Read.LoadFromStrings(ReadTextLines(Back)));
    ASSERT_EQ(Read.Table.size(), 32u);
    for (size_t i = 0; i < 32; ++i) {
        EXPECT_FLOAT_EQ(static_cast<float>(Read.Table[i].Level), static_cast<float>(Written.Table[i].Level)) << i;
        EXPECT_FLOAT_EQ(static_cast<float>(Read.Table[i].Volume), static_cast<float>(Written.Table[i].Volume)) << i;
    }

    // Offline conversion through the file's table.
    double Volume = 0;
    ASSERT_TRUE(Written.LevelToVolume(100, Volume));
    R = Ctl({"table", "volume", Source, "t", "100"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_DOUBLE_EQ(R.Values().value("Volume").toDouble(), Volume);
}

TEST_F(Lanx1Ctl, TableFailuresSendOrWriteNothing) {
    const QString Source = Folder.File(QStringLiteral("source.txt"));
    WriteTableFile(Source);
    EXPECT_EQ(Dev({"table", "write", Source, "Missing"}).Status, 1);
    WriteTextLines(Folder.File(QStringLiteral("short.txt")), {QStringLiteral("S=3"), QStringLiteral("1 2")});
    EXPECT_EQ(Dev({"table", "write", Folder.File(QStringLiteral("short.txt")), "S"}).Status, 1);
    EXPECT_EQ(Dev({"table", "write", Folder.File(QStringLiteral("absent.txt")), "T"}).Status, 1);
    EXPECT_EQ(Ctl({"table", "volume", Source, "Missing", "5"}).Status, 1);
    EXPECT_EQ(Sim.Sim().RequestCount(), 0);

    Sim.Sim().SetFault(TSimFault::Silence);
    const QString Back = Folder.File(QStringLiteral("back.txt"));
    const TCtlResult R = Dev({"table", "read", Back});
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(R.Err.contains(QStringLiteral("Чтение значений уровня: 1 блок"))) << R.Err.toStdString();
    EXPECT_FALSE(QFile::exists(Back));
}

TEST_F(Lanx1Ctl, OverridesAreNeverWrittenBack) {
    const QByteArray Before = ReadAll(Folder.File(QStringLiteral("INI/ComPort.ini")));
    const TCtlResult R = Dev({"--baud", "19200", "--attempts", "3", "read", "level"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(ReadAll(Folder.File(QStringLiteral("INI/ComPort.ini"))), Before);

    // Another address is another device: nobody answers.
    EXPECT_EQ(Dev({"--address", "5", "--attempts", "1", "read", "level"}).Status, 1);
}

// ---- field faults: what the tool prints is what the device answered to that request

TEST_F(Lanx1Ctl, LateDeviceNeverGetsItsAnswerTakenForAnotherQuestion) {
    Sim.Sim().SetRegister(TModel::rgPlantNumber, 4321);
    Sim.Sim().SetRegister(TModel::rgModification, 2);
    Sim.Sim().SetRegister(TModel::rgFreq1, 21000);
    Sim.Sim().SetRegister(TModel::rgFreq2, 29000);
    Sim.Sim().SetFault(TSimFault::Delay, 60); // the read window is 40 ms
    const TCtlResult R = Dev({"read", "plant", "modification", "freq1", "freq2"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(R.Values().value("PlantNumber"), QStringLiteral("4321"));
    EXPECT_EQ(R.Values().value("Modification"), QStringLiteral("2"));
    EXPECT_EQ(R.Values().value("Freq1"), QStringLiteral("21000"));
    EXPECT_EQ(R.Values().value("Freq2"), QStringLiteral("29000"));
}

TEST_F(Lanx1Ctl, RepliesThatDoNotDoWhatWasAskedFail) {
    const struct {
        TSimFault Fault;
        int Value;
        const char *Error;
    } Rows[] = {
        {TSimFault::WrongFunction, 0, "Несоответствие команды"}, // a write's echo to the read
        {TSimFault::Exception, 0, "код исключения 0"},
        {TSimFault::Status, 0, "статус 0"},
    };
    // Each of these replies is a whole frame that ends the read at once; the
    // long read time-out only keeps a busy machine from turning them into
    // "no answer".
    WriteAll(Folder.File(QStringLiteral("INI/ComPort.ini")),
             QByteArray(kComPort).replace("ReadTotalConstant=40", "ReadTotalConstant=3000"));
    for (const auto &Row : Rows) {
        Sim.Sim().ClearFaults();
        Sim.Sim().SetFault(Row.Fault, Row.Value);
        const TCtlResult R = Dev({"--attempts", "1", "read", "level"});
        EXPECT_EQ(R.Status, 1) << Row.Error;
        EXPECT_TRUE(R.Out.isEmpty()) << R.Out.toStdString(); // no "Level=0"
        EXPECT_TRUE(R.Err.contains(QString::fromUtf8(Row.Error))) << R.Err.toStdString();
    }
}

TEST_F(Lanx1Ctl, ReadReportsRefusedValuesAndAMissingSignal) {
    Sim.Sim().SetRegister(TModel::rgKKalman, 0);
    Sim.Sim().SetFloat(TModel::rgValue1, -1.0f);
    Sim.Sim().SetRegister(TModel::rgFreq1, 21000);
    TCtlResult R = Dev({"read", "kkalman", "value1", "freq1"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(R.Lines(), QStringList{"Freq1=21000"}); // the refused ones are not printed as their old values
    EXPECT_TRUE(R.Err.contains(QStringLiteral("refused device value KKalman=0"))) << R.Err.toStdString();
    EXPECT_TRUE(R.Err.contains(QStringLiteral("refused device value Value1=-1"))) << R.Err.toStdString();

    Sim.Sim().SetNoFrequencySignal(true);
    R = Dev({"read", "control"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(R.Values().contains("ControlRegister"));
    EXPECT_TRUE(R.Err.contains(QStringLiteral("Отсутствует частотный сигнал"))) << R.Err.toStdString();
}

TEST_F(Lanx1Ctl, PollNamesEveryFailureAndSummarisesTheLink) {
    Sim.Sim().SetFault(TSimFault::Exception, 7);
    TCtlResult R = Dev({"--attempts", "1", "poll", "--count", "2", "--period", "100", "--kinds", "0,3"});
    EXPECT_EQ(R.Status, 1);
    ASSERT_EQ(R.Lines().size(), 2);
    for (const QString &L : R.Lines())
        EXPECT_TRUE(L.endsWith(QStringLiteral("\tError=kind 0: код исключения 7; kind 3: код исключения 7")))
            << L.toStdString();
    EXPECT_TRUE(R.Err.startsWith(QStringLiteral("Exchanges=4 Answered=0 NoAnswer=0 Checksum=0 Mismatch=0 Exception=4 "
                                                "Status=0 PortLost=0 Noise=0 ResponseMs=")))
        << R.Err.toStdString();

    // An archive that cannot be written fails the run even when the device answers.
    Sim.Sim().ClearFaults();
    WriteAll(Folder.File(QStringLiteral("blocker")), "not a folder");
    WriteAll(Folder.File(QStringLiteral("INI/bde.ini")),
             "[BDE]\r\ndbPath=" + Folder.File(QStringLiteral("blocker")).toLocal8Bit() + "\r\n");
    R = Dev({"poll", "--count", "1", "--kinds", "3"});
    EXPECT_EQ(R.Status, 1);
    ASSERT_EQ(R.Lines().size(), 1);
    EXPECT_TRUE(R.Lines()[0].contains(QStringLiteral("Level=42.5\tError=archive not written: ") +
                                      Folder.File(QStringLiteral("blocker/"))))
        << R.Out.toStdString();
    EXPECT_TRUE(R.Err.contains(QStringLiteral("archive writes failed"))) << R.Err.toStdString();
}

TEST_F(Lanx1Ctl, WriteRefusesWhatTheDeviceWouldMisreadAndMovesTheAddressLast) {
    for (const QStringList &Refused : {QStringList{"write", "SystemAddressNew=257"},
                                       QStringList{"write", "SystemAddressNew=255"},
                                       QStringList{"write", "Value20mA=1e39"}, QStringList{"write", "Value20mA=-1e39"}}) {
        const TCtlResult R = Dev(Refused);
        EXPECT_EQ(R.Status, 1) << Refused.join(u' ').toStdString();
        EXPECT_TRUE(R.Err.contains(QStringLiteral("refused"))) << R.Err.toStdString();
    }
    EXPECT_EQ(Sim.Sim().RequestCount(), 0);

    Sim.Sim().SetRegister(TModel::rgPlantNumber, 555);
    const TCtlResult R = Dev({"write", "SystemAddressNew=5", "KKalman=3"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(R.Lines(), (QStringList{"KKalman=3", "SystemAddressNew=5", "PlantNumber=555"}));
    EXPECT_EQ(Sim.Sim().Address(), 5);
    EXPECT_EQ(Sim.Sim().Register(TModel::rgKKalman), 3);
}

TEST_F(Lanx1Ctl, FrameOfTheModeWriteCarriesTheMode) {
    EXPECT_EQ(Ctl({"frame", "26", "ModeCurrentOutput=1"}).Out.trimmed(),
              ExpectedFrame(26, 1, [](TLanx1 &D) { D.SetControlRegister(0x10); }));
    EXPECT_EQ(Ctl({"frame", "26", "ModeCurrentOutput=2", "ControlRegister=255"}).Status, 2); // not writable by name
    EXPECT_EQ(Ctl({"frame", "26", "ModeCurrentOutput=2"}).Out.trimmed(), ExpectedFrame(26, 1));
}

// The port goes away under a running poll and comes back under the same name:
// the cycles in between say so, and polling goes on by itself.
TEST_F(Lanx1Ctl, PollGoesOnWhenThePortComesBack) {
    const QString Link = Folder.File(QStringLiteral("ttyLink"));
    Relink(Link, Sim.PortName());
    QProcess P;
    P.setWorkingDirectory(Folder.Path());
    P.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../src/lanx1ctl"),
            {"--port", Link, "--attempts", "1", "poll", "--count", "60", "--period", "100", "--kinds", "3"});
    QByteArray Out, Err;
    const auto WaitFor = [&](const std::function<bool()> &Ready) {
        for (QDeadlineTimer Deadline(20000); !Ready() && !Deadline.hasExpired();) {
            P.waitForReadyRead(100);
            Out += P.readAllStandardOutput();
            Err += P.readAllStandardError();
        }
        return Ready();
    };
    ASSERT_TRUE(WaitFor([&] { return Out.count("Level=42.5") >= 2; }));
    Sim.Sim().Stop();
    ASSERT_TRUE(WaitFor([&] { return Out.contains("Error=kind 3: " + QStringLiteral("Порт недоступен: ").toUtf8()); }))
        << Out.toStdString() << Err.toStdString();
    ASSERT_TRUE(Sim.Sim().Start());
    Sim.Sim().SetLevel(42.5);
    Relink(Link, Sim.PortName());
    const int Before = int(Out.count("Level=42.5"));
    ASSERT_TRUE(WaitFor([&] { return Out.count("Level=42.5") >= Before + 2; })) << Err.toStdString();
    P.kill();
    P.waitForFinished();
    EXPECT_EQ(Err.count("port lost: "), 1) << Err.toStdString();
    EXPECT_EQ(Err.count("port back: "), 1) << Err.toStdString();
}

namespace {

// A horizontal cylinder 2 m across, one row a millimetre, litres to one
// decimal, as a spreadsheet exports its certificate: Windows-1251, ';' and
// the decimal comma, under a title and a header.
QByteArray CylinderCertificate(int Rows = 2001) {
    const double Radius = (Rows - 1) / 2.0, Length = 4000;
    QString Text = QStringLiteral("Градуировочная таблица резервуара РГС-12;;\r\nУровень, мм;Объем, л;\r\n");
    for (int h = 0; h < Rows; ++h) {
        const double C = std::clamp(Radius - h, -Radius, Radius);
        const double Area = Radius * Radius * std::acos(C / Radius) - C * std::sqrt(Radius * Radius - C * C);
        Text += QString::number(h) + u';' + QString::number(Area * Length * 1e-6, 'f', 1).replace(u'.', u',') + u'\r' + u'\n';
    }
    return ToWin1251(Text);
}

// The table the program would make of the certificate itself.
TTableReduction Reduced(const QByteArray &Certificate, int Points, TPerCentTable &Table) {
    TCertificate C;
    std::vector<TCertificateRow> Rows;
    EXPECT_FALSE(ParseCertificate(Certificate, C).Failed());
    EXPECT_FALSE(CertificateRows(C, C.LevelColumn, C.VolumeColumn, Rows).Failed());
    EXPECT_FALSE(ScaleToPerCent(Rows, Rows.back().Level, Rows.back().Volume, Table).Failed());
    return ReduceTable(Table.Points, Points);
}

TTaraTable LoadedTable(const QString &File, const QString &Name) {
    TTara Tara;
    Tara.FileName = File;
    Tara.TableName = Name;
    EXPECT_TRUE(Tara.LoadFromStrings(ReadTextLines(File))) << Name.toStdString();
    return Tara.Table;
}

} // namespace

TEST_F(Lanx1Ctl, TableImportPutsTheBestPointsOfACertificateIntoATableFile) {
    const QString Csv = Folder.File(QStringLiteral("РГС-12.csv"));
    const QString Tables = Folder.File(QStringLiteral("tanks.txt"));
    WriteAll(Csv, CylinderCertificate());
    TCtlResult R = Ctl({"table", "import", Csv, Tables, "РГС-12"});
    ASSERT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_TRUE(R.Err.isEmpty());
    QMap<QString, QString> V = R.Values();
    EXPECT_EQ(V.keys(), (QStringList{"LevelUnit", "MaxError", "MaxErrorAt", "MaxErrorVolume", "Points", "Rows",
                                     "RowsAboveHeight", "VolumeUnit"}));
    EXPECT_EQ(V["Points"], QStringLiteral("32"));
    EXPECT_EQ(V["Rows"], QStringLiteral("2001"));
    EXPECT_EQ(V["RowsAboveHeight"], QStringLiteral("0"));
    EXPECT_EQ(V["LevelUnit"], QStringLiteral("mm"));
    EXPECT_EQ(V["VolumeUnit"], QStringLiteral("l"));

    // The same reduction as in the program, printed exactly and written to 9 digits.
    TPerCentTable Table;
    const TTableReduction Expected = Reduced(CylinderCertificate(), 32, Table);
    EXPECT_EQ(V["MaxError"], ExactNumberText(Expected.MaxError));
    EXPECT_EQ(V["MaxErrorAt"].toDouble(), Table.Points[Expected.MaxErrorRow].Level);
    EXPECT_NEAR(V["MaxErrorVolume"].toDouble(), V["MaxError"].toDouble() * 12566.4 / 100, 1e-9)
        << "litres of the 12,566.4 l tank";
    const TTaraTable Written = LoadedTable(Tables, QStringLiteral("РГС-12"));
    ASSERT_EQ(Written.size(), 32u);
    for (size_t k = 0; k < Written.size(); ++k) {
        EXPECT_FLOAT_EQ(static_cast<float>(Written[k].Level), static_cast<float>(Table.Points[Expected.Rows[k]].Level));
        EXPECT_FLOAT_EQ(static_cast<float>(Written[k].Volume), static_cast<float>(Table.Points[Expected.Rows[k]].Volume));
    }
    EXPECT_EQ(Written.front().Level, 0);
    EXPECT_EQ(Written.back().Level, 100);
    EXPECT_EQ(Written.back().Volume, 100);

    // Another table goes beside it; the same name again replaces it.
    R = Ctl({"table", "import", Csv, Tables, "half", "--points", "8", "--height", "1000", "--capacity=20000",
             "--volume-unit", "dal", "--columns", "1,2"});
    ASSERT_EQ(R.Status, 0) << R.Err.toStdString();
    V = R.Values();
    EXPECT_EQ(V["Points"], QStringLiteral("8"));
    EXPECT_EQ(V["Rows"], QStringLiteral("1001"));
    EXPECT_EQ(V["RowsAboveHeight"], QStringLiteral("1000"));
    EXPECT_EQ(V["VolumeUnit"], QStringLiteral("dal"));
    const TTaraTable Half = LoadedTable(Tables, QStringLiteral("half"));
    ASSERT_EQ(Half.size(), 8u);
    EXPECT_EQ(Half.back().Level, 100);
    EXPECT_NEAR(Half.back().Volume, 100.0 * 6283.2 / 20000, 0.01);
    R = Ctl({"table", "import", Csv, Tables, "РГС-12", "--points", "4"});
    ASSERT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(LoadedTable(Tables, QStringLiteral("РГС-12")).size(), 4u);
    EXPECT_EQ(LoadedTable(Tables, QStringLiteral("half")).size(), 8u);
    EXPECT_EQ(ReadTextLines(Tables).count(QStringLiteral("РГС-12=4")), 1);
}

TEST_F(Lanx1Ctl, TableWriteOfMoreThan32PointsSendsTheBest32OnlyWhenAsked) {
    // A horizontal cylinder in per cent, 100 points.
    const QString Tables = Folder.File(QStringLiteral("tanks.txt"));
    QStringList Lines{QStringLiteral("cyl=100")};
    for (int i = 0; i < 100; ++i) {
        const double H = i / 99.0, C = 1 - 2 * H;
        const double Share = (std::acos(C) - C * std::sqrt(1 - C * C)) / M_PI;
        Lines << QString::number(100 * H, 'f', 4).replace(u'.', u',') + u' ' +
                     QString::number(100 * Share, 'f', 4).replace(u'.', u',');
    }
    WriteTextLines(Tables, Lines);
    const TTaraTable Long = LoadedTable(Tables, QStringLiteral("cyl"));
    ASSERT_EQ(Long.size(), 100u);
    const TTableReduction Best = ReduceTable(Long, 32);
    ASSERT_TRUE(Best.Ok());

    // Its first 32 points would cut off the top of the tank: refused, with
    // what --best would cost.
    TCtlResult R = Dev({"table", "write", Tables, "cyl"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(R.Err.contains(QStringLiteral("has 100 points, the device holds 32"))) << R.Err.toStdString();
    EXPECT_TRUE(R.Err.contains(QStringLiteral("largest error ") + ExactNumberText(Best.MaxError) + QStringLiteral(" %")))
        << R.Err.toStdString();
    EXPECT_EQ(Sim.Sim().RequestCount(), 0);
    EXPECT_EQ(Ctl({"table", "read", Tables, "--best"}).Status, 2);

    R = Dev({"table", "write", Tables, "cyl", "--best"});
    ASSERT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(R.Values().value("Points"), QStringLiteral("32"));
    EXPECT_EQ(R.Values().value("MaxError"), ExactNumberText(Best.MaxError));
    EXPECT_EQ(R.Values().value("MaxErrorAt"), ExactNumberText(Long[Best.MaxErrorRow].Level));
    const QString Back = Folder.File(QStringLiteral("back.txt"));
    ASSERT_EQ(Dev({"table", "read", Back}).Status, 0);
    const TTaraTable Read = LoadedTable(Back, QStringLiteral("ttFromLanx1"));
    const TTaraTable Expected = ReducedTable(Long, Best.Rows);
    ASSERT_EQ(Read.size(), Expected.size());
    for (size_t k = 0; k < Read.size(); ++k) {
        EXPECT_FLOAT_EQ(static_cast<float>(Read[k].Level), static_cast<float>(Expected[k].Level)) << k;
        EXPECT_FLOAT_EQ(static_cast<float>(Read[k].Volume), static_cast<float>(Expected[k].Volume)) << k;
    }
    EXPECT_EQ(Read.back().Level, 100);
}

TEST_F(Lanx1Ctl, TableExportWritesACsvThatImportsBackUnchanged) {
    const QString Source = Folder.File(QStringLiteral("source.txt"));
    WriteTableFile(Source); // "T": 32 points with no three in a line
    const QString Csv = Folder.File(QStringLiteral("t.csv"));
    TCtlResult R = Ctl({"table", "export", Source, "t", Csv});
    ASSERT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(R.Out, QStringLiteral("Points=32\n"));
    EXPECT_TRUE(ReadAll(Csv).startsWith(ToWin1251(QStringLiteral("Уровень, %;Объем, %\r\n0;0\r\n"))));

    const QString Back = Folder.File(QStringLiteral("back.txt"));
    R = Ctl({"table", "import", Csv, Back, "T", "--height", "982.7", "--capacity", "877.393"});
    ASSERT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(R.Values().value("Points"), QStringLiteral("32"));
    EXPECT_EQ(R.Values().value("MaxError"), QStringLiteral("0"));
    const TTaraTable Original = LoadedTable(Source, QStringLiteral("T"));
    const TTaraTable Imported = LoadedTable(Back, QStringLiteral("T"));
    ASSERT_EQ(Imported.size(), Original.size());
    for (size_t k = 0; k < Imported.size(); ++k) {
        // Per cent to 9 digits.
        EXPECT_NEAR(Imported[k].Level * 982.7 / 100, Original[k].Level, 1e-6 * Original[k].Level) << k;
        EXPECT_NEAR(Imported[k].Volume * 877.393 / 100, Original[k].Volume, 1e-6 * Original[k].Volume) << k;
    }

    EXPECT_EQ(Ctl({"table", "export", Source, "Missing", Csv}).Status, 1);
    EXPECT_EQ(Ctl({"table", "export", Folder.File(QStringLiteral("absent.txt")), "T", Csv}).Status, 1);
}

TEST_F(Lanx1Ctl, TableImportRefusesUnusableFilesByLineAndWritesNothing) {
    const QString Tables = Folder.File(QStringLiteral("tanks.txt"));
    const QString Csv = Folder.File(QStringLiteral("bad.csv"));
    struct TCase {
        QByteArray Text;
        const char *Says;
    };
    const TCase Cases[] = {
        {"", "Файл пуст"},
        {"Уровень;Объем\r\n0;0\r\n10;5\r\n10;6\r\n", "Строка 4: уровень"},
        {"0;0\r\n10;5\r\n20;4\r\n", "Строка 3: объём"},
        {"0;0\r\n10;n/a\r\n", "Строка 2: в столбце 2"},
        {"0;0\r\n10;inf\r\n", "Строка 2: в столбце 2"},
        {"0;0\r\n", "Строка 1: в файле только одна строка"},
    };
    for (const TCase &C : Cases) {
        WriteAll(Csv, C.Text);
        const TCtlResult R = Ctl({"table", "import", Csv, Tables, "T"});
        EXPECT_EQ(R.Status, 1) << C.Says;
        EXPECT_EQ(R.Err.count(u'\n'), 1) << R.Err.toStdString();
        EXPECT_TRUE(R.Err.contains(QString::fromUtf8(C.Says))) << R.Err.toStdString();
        EXPECT_TRUE(R.Out.isEmpty());
        EXPECT_FALSE(QFile::exists(Tables)) << C.Says;
    }
    EXPECT_EQ(Ctl({"table", "import", Folder.File(QStringLiteral("absent.csv")), Tables, "T"}).Status, 1);
    WriteAll(Csv, "0;0\r\n1;1\r\n");
    EXPECT_EQ(Ctl({"table", "import", Csv, Folder.Path(), "T"}).Status, 1) << "a folder is no table file";

    for (const QStringList &Bad :
         {QStringList{"table", "import", Csv, Tables}, QStringList{"table", "import", Csv, Tables, "T", "extra"},
          QStringList{"table", "import", Csv, Tables, "T", "--points", "1"},
          QStringList{"table", "import", Csv, Tables, "T", "--points", "33"},
          QStringList{"table", "import", Csv, Tables, "T", "--height", "-5"},
          QStringList{"table", "import", Csv, Tables, "T", "--capacity", "lots"},
          QStringList{"table", "import", Csv, Tables, "T", "--columns", "2,2"},
          QStringList{"table", "import", Csv, Tables, "T", "--columns", "1"},
          QStringList{"table", "import", Csv, Tables, "T", "--level-unit", "km"},
          QStringList{"table", "import", Csv, Tables, "T", "--volume-unit", "gal"},
          QStringList{"table", "import", Csv, Tables, "a=b"}, QStringList{"table", "export", Tables, "T"},
          QStringList{"table", "volume", Tables, "T", "5", "--points", "4"}}) {
        const TCtlResult R = Ctl(Bad);
        EXPECT_EQ(R.Status, 2) << Bad.join(u' ').toStdString();
        EXPECT_EQ(R.Err.count(u'\n'), 1) << Bad.join(u' ').toStdString();
    }
    EXPECT_FALSE(QFile::exists(Tables));
    EXPECT_EQ(Sim.Sim().RequestCount(), 0);
}

// The device listens at 2400 baud on address 5: the scan walks 9600 baud in
// silence, finds it at 2400 and prints its line; progress is only for a terminal.
TEST_F(Lanx1Ctl, ScanFindsTheDeviceOnThePseudoTerminal) {
    Sim.Sim().SetAddress(5);
    Sim.Sim().SetBaudRate(2400);
    Sim.Sim().SetBaudRateCheck(true);
    Sim.Sim().SetRegister(TModel::rgPlantNumber, 4321);
    Sim.Sim().SetRegister(TModel::rgModification, 2);
    const QByteArray Settings = ReadAll(Folder.File(QStringLiteral("INI/ComPort.ini")));
    TCtlResult R = Ctl({"scan", "--ports", Sim.PortName(), "--bauds", "9600,2400", "--addresses", "1-8"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(R.Out, QStringLiteral("Port=%1 BaudRate=2400 Address=5 PlantNumber=4321 Modification=2\n")
                         .arg(Sim.PortName()));
    EXPECT_TRUE(R.Err.isEmpty()) << R.Err.toStdString();
    EXPECT_EQ(Sim.Sim().RequestCount(), 8 + 5 + 1);

    // The global address is tried first; --all goes on to the end.
    const int Before = Sim.Sim().RequestCount();
    R = Ctl({"--address", "5", "scan", "--ports", Sim.PortName(), "--bauds", "2400,4800", "--addresses", "1-6",
             "--all"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(R.Lines().size(), 1);
    const QList<QByteArray> Requests = Sim.Sim().Requests().mid(Before);
    ASSERT_EQ(Requests.size(), 6 + 1 + 6);
    EXPECT_EQ(int(Requests[0][0]), 1);
    EXPECT_EQ(int(Requests[1][0]), 5);
    EXPECT_EQ(int(Requests[2][0]), 5); // the confirmation

    // Nothing there: status 1.
    R = Ctl({"scan", "--ports", Sim.PortName(), "--bauds", "9600", "--addresses", "1-3"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(R.Out.isEmpty());
    EXPECT_EQ(R.Err, QStringLiteral("lanx1ctl: no device found\n"));
    // The scan changes no setting.
    EXPECT_EQ(ReadAll(Folder.File(QStringLiteral("INI/ComPort.ini"))), Settings);
}

TEST_F(Lanx1Ctl, ScanNamesAGarbledSignal) {
    Sim.Sim().SetBaudRate(2400);
    Sim.Sim().SetBaudRateCheck(true);
    Sim.Sim().SetWrongBaudGarbage(true);
    const TCtlResult R = Dev({"scan", "--bauds", "9600,2400", "--addresses", "1-2"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(R.Lines().size(), 1);
    EXPECT_TRUE(R.Out.contains(QStringLiteral("BaudRate=2400 Address=1 "))) << R.Out.toStdString();
    EXPECT_EQ(R.Err, QStringLiteral("lanx1ctl: signal garbled on %1 at 9600 baud (another baud rate or parity?)\n")
                         .arg(Sim.PortName()));
}

TEST_F(Lanx1Ctl, StatsRunsExchangesAndPrintsTheFigures) {
    Sim.Sim().SetFault(TSimFault::Exception, 4, 2);
    TCtlResult R = Dev({"stats", "--count", "10", "--kind", "3"});
    EXPECT_EQ(R.Status, 1) << R.Err.toStdString(); // two were not answered
    ASSERT_EQ(R.Lines().size(), 2) << R.Out.toStdString();
    EXPECT_TRUE(R.Lines()[0].startsWith(QStringLiteral("Exchanges=10 Answered=8 NoAnswer=0 Checksum=0 Mismatch=0 "
                                                       "Exception=2 Status=0 PortLost=0 Noise=0 ResponseMs=")))
        << R.Out.toStdString();
    // The read time-out of the settings is 40 ms: eight buckets.
    EXPECT_TRUE(R.Lines()[0].contains(QStringLiteral(" Histogram=0-5:"))) << R.Out.toStdString();
    EXPECT_TRUE(R.Lines()[0].endsWith(QStringLiteral(",35-40:0"))) << R.Out.toStdString();
    EXPECT_EQ(R.Lines()[1], QStringLiteral("Quality=80.0 ExceptionCodes=4:2 StatusCodes="));
    EXPECT_EQ(Sim.Sim().RequestCount(), 10);

    R = Dev({"stats", "--count", "3"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_TRUE(R.Lines().value(0).startsWith(QStringLiteral("Exchanges=3 Answered=3 ")));
    EXPECT_EQ(R.Lines().value(1), QStringLiteral("Quality=100.0 ExceptionCodes= StatusCodes="));
}

TEST_F(Lanx1Ctl, PollSummaryEndsWithTheHistogram) {
    const TCtlResult R = Dev({"poll", "--count", "2", "--period", "100", "--kinds", "3"});
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    const QString Summary = R.Err.trimmed();
    EXPECT_TRUE(Summary.startsWith(QStringLiteral("Exchanges=2 Answered=2 "))) << Summary.toStdString();
    const qsizetype At = Summary.indexOf(QStringLiteral(" Histogram="));
    ASSERT_GT(At, 0) << Summary.toStdString();
    int Counted = 0;
    for (const QString &Bucket : Summary.mid(At + 11).split(u','))
        Counted += Bucket.section(u':', 1).toInt();
    EXPECT_EQ(Counted, 2);
}

// With standard error on a terminal the scan shows where it is and what is left.
TEST_F(Lanx1Ctl, ScanShowsItsProgressOnATerminal) {
    const QString Script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (Script.isEmpty())
        GTEST_SKIP() << "no script(1) to give lanx1ctl a terminal";
    Sim.Sim().SetAddress(3);
    const QString Ctl = QCoreApplication::applicationDirPath() + QStringLiteral("/../src/lanx1ctl");
    QProcess P;
    P.setWorkingDirectory(Folder.Path());
    // Inside, standard output goes to a file: what reaches the terminal is standard error.
    const QString Out = Folder.File(QStringLiteral("found.txt"));
    P.start(Script, {"-qec",
                     QStringLiteral("'%1' scan --ports '%2' --bauds 9600 --addresses 1-4 > '%3'")
                         .arg(Ctl, Sim.PortName(), Out),
                     "/dev/null"});
    ASSERT_TRUE(P.waitForFinished(60000));
    EXPECT_EQ(P.exitCode(), 0);
    const QString Terminal = QString::fromLocal8Bit(P.readAllStandardOutput());
    EXPECT_TRUE(Terminal.contains(QStringLiteral("9600 baud, address 1"))) << Terminal.toStdString();
    EXPECT_TRUE(Terminal.contains(QStringLiteral("left about"))) << Terminal.toStdString();
    EXPECT_TRUE(ReadAll(Out).startsWith("Port=")) << ReadAll(Out).toStdString();
}
