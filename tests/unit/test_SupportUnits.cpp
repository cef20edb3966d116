#include "FileSizeLimit.h"
#include "TestEnvironment.h"
#include "uCustomTimer.h"
#include "uIniFile.h"
#include "uLog.h"
#include "uMath.h"
#include "uParamStr.h"
#include "uString.h"
#include "uSysUtils.h"
#include "uTextFile.h"
#include "uWin1251.h"

#include <QDir>
#include <QFileInfo>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <thread>

TEST(ByteStrings, Texts) {
    const QByteArray Frame("\x01\x03\x00\x0E", 4);
    EXPECT_EQ(StringToHex(Frame), "01 03 00 0E");
    EXPECT_EQ(StringToDec(Frame, false), "1 3 0 14");
    EXPECT_EQ(StringToDec(Frame, true), "001 003 000 014");
    EXPECT_EQ(StringToHex(QByteArray()), "");
    EXPECT_EQ(StringToDec(QByteArray(), true), "");
    EXPECT_EQ(StringToHex("\xFF"), "FF");
    EXPECT_EQ(StringToDec("\xFF\x80", true), "255 128");
    EXPECT_EQ(StringToHex("\xab\x0a"), "AB 0A");

    EXPECT_EQ(RepeatString("0", 0), "0");
    EXPECT_EQ(RepeatString("0", -5), "0");
    EXPECT_EQ(RepeatString("0", 3), "000");
    EXPECT_EQ(RepeatString("ab", 2), "abab");

    QByteArray All;
    for (int b = 0; b < 256; ++b)
        All.append(static_cast<char>(b));
    const TBuffer Buffer = StringToBuffer(All);
    ASSERT_EQ(Buffer.size(), 256);
    EXPECT_EQ(static_cast<unsigned char>(Buffer[200]), 200);
    EXPECT_EQ(BufferToString(Buffer), All);
    EXPECT_TRUE(BufferToString(TBuffer()).isEmpty());
}

TEST(ServiceSwitch, OnlyTheExactArgument) {
    EXPECT_TRUE(InitFullMode({"lanx1", "/full"}));
    EXPECT_TRUE(FullMode());
    EXPECT_TRUE(InitFullMode({"/full"})) << "the program path counts too";
    EXPECT_FALSE(InitFullMode({"lanx1", "/FULL"}));
    EXPECT_FALSE(FullMode());
    EXPECT_FALSE(InitFullMode({"lanx1", "/full ", "-full", "full", "/fullmode"}));
    EXPECT_FALSE(InitFullMode({}));
    SetFullMode(true);
    EXPECT_TRUE(FullMode());
    SetFullMode(false);
}

TEST(Paths, JoinAndNames) {
    EXPECT_EQ(JoinPath("C:/DATA", "x.db"), "C:/DATA/x.db");
    EXPECT_EQ(JoinPath("C:/DATA/", "x.db"), "C:/DATA/x.db");
    EXPECT_EQ(JoinPath("", "x.db"), "x.db");
    EXPECT_EQ(FileNameWithoutExt("C:/DATA/2024/01/05/Level.db"), "Level");
    EXPECT_EQ(FileNameWithoutExt("C:/DATA/Level"), "Level");
    EXPECT_EQ(FileNameWithoutExt("/a/rd240105.log.txt"), "rd240105.log");

    TTestFolder Folder;
    const QString Deep = Folder.File("DATA/2024/01/05/BlackBox.txt");
    ASSERT_TRUE(ForceFile(Deep));
    EXPECT_TRUE(QFile::exists(Deep));
    WriteAll(Deep, "kept");
    ASSERT_TRUE(ForceFile(Deep));
    EXPECT_EQ(ReadAll(Deep), "kept") << "an existing file is left alone";
}

TEST(Bits, SetAndGet) {
    EXPECT_EQ(SetBit(0, 3, true), 8);
    EXPECT_EQ(SetBit(15, 0, false), 14);
    EXPECT_EQ(SetBit(0, 31, true), INT32_MIN);
    EXPECT_TRUE(GetBit(8, 3));
    EXPECT_FALSE(GetBit(8, 2));
    EXPECT_TRUE(GetBit(0x80000000u, 31));
    EXPECT_TRUE(InRange(5, 5, 5));
    EXPECT_FALSE(InRange(4, 5, 6));
}

TEST(TextFiles, LineEndsOfEveryKind) {
    TTestFolder Folder;
    const QString Path = Folder.File("t.txt");
    const char Mixed[] = "a\r\nb\nc\rd\r\n\r\n\xC0\x00z";
    WriteAll(Path, QByteArray(Mixed, sizeof(Mixed) - 1));
    bool Ok = false;
    EXPECT_EQ(ReadTextLines(Path, &Ok), QStringList({"a", "b", "c", "d", "", QString("А") + QChar(0) + "z"}));
    EXPECT_TRUE(Ok);
    WriteAll(Path, "one\r\n");
    EXPECT_EQ(ReadTextLines(Path), QStringList({"one"})) << "a final line end starts no line";
    WriteAll(Path, "");
    EXPECT_TRUE(ReadTextLines(Path, &Ok).isEmpty());
    EXPECT_TRUE(Ok);
    EXPECT_TRUE(ReadTextLines(Folder.File("missing.txt"), &Ok).isEmpty());
    EXPECT_FALSE(Ok);
    EXPECT_EQ(SplitTextLines("x\r\ny\rz\n"), QStringList({"x", "y", "z"}));
}

TEST(TextFiles, WriteIsAllOrNothing) {
    TTestFolder Folder;
    const QString Path = Folder.File("t.txt");
    WriteTextLines(Path, {"Объем", "", "1\t2"});
    EXPECT_EQ(ReadAll(Path), "\xCE\xE1\xFA\xE5\xEC\r\n\r\n1\t2\r\n");

    bool Threw = false;
    {
        TFileSizeLimit Limit(8);
        try {
            WriteTextLines(Path, {"a much longer text than the limit allows"});
        } catch (const ETextFileError &) {
            Threw = true;
        }
    }
    EXPECT_TRUE(Threw);
    EXPECT_EQ(ReadAll(Path), "\xCE\xE1\xFA\xE5\xEC\r\n\r\n1\t2\r\n");
    EXPECT_THROW(WriteTextLines(Folder.File("NoFolder/t.txt"), {"x"}), ETextFileError);
}

TEST(Log, AppendsTimeStampedLines) {
    TTestFolder Folder;
    TLog Log;
    EXPECT_EQ(Log.FileName(), "log.txt");
    Log.SetFileName(Folder.File("DATA/2024/rd240105.txt"));
    Log.SetFileName("");
    EXPECT_EQ(Log.FileName(), Folder.File("DATA/2024/rd240105.txt")) << "an empty name is refused";
    Log.Write("Запрос 01 03");
    Log.Write("second");

    const QByteArray Data = ReadAll(Log.FileName());
    const QStringList Lines = FromWin1251(Data).split("\r\n");
    ASSERT_EQ(Lines.size(), 3);
    EXPECT_EQ(Lines[2], "");
    const QRegularExpression Stamp(R"(^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d,\d{3} )");
    EXPECT_TRUE(Stamp.match(Lines[0]).hasMatch()) << Lines[0].toStdString();
    EXPECT_TRUE(Lines[0].endsWith(" Запрос 01 03"));
    EXPECT_EQ(Lines[0].size(), 23 + 1 + 12);
    EXPECT_TRUE(Data.contains("\xC7\xE0\xEF\xF0\xEE\xF1")) << "Windows-1251 on disk";

    TLog Copy;
    Copy.Assign(Log);
    EXPECT_EQ(Copy.FileName(), Log.FileName());

    TLog Broken;
    Broken.SetFileName(Folder.Path()); // a folder cannot be opened as a file
    EXPECT_THROW(Broken.Write("x"), ELogError);

    bool Threw = false;
    {
        TFileSizeLimit Limit(8); // a full disk
        try {
            Log.Write("third");
        } catch (const ELogError &) {
            Threw = true;
        }
    }
    EXPECT_TRUE(Threw);
}

TEST(Log, TwoThreadsTwoFiles) {
    TTestFolder Folder;
    TLog A, B;
    A.SetFileName(Folder.File("a/log.txt"));
    B.SetFileName(Folder.File("a/b/log.txt"));
    constexpr int kLines = 300;
    const auto Run = [](TLog &Log, const QString &Text) {
        for (int i = 0; i < kLines; ++i)
            Log.Write(Text + QString::number(i));
    };
    std::thread TA(Run, std::ref(A), QStringLiteral("первый "));
    std::thread TB(Run, std::ref(B), QStringLiteral("second "));
    TA.join();
    TB.join();
    const QStringList LA = FromWin1251(ReadAll(A.FileName())).split("\r\n", Qt::SkipEmptyParts);
    const QStringList LB = FromWin1251(ReadAll(B.FileName())).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(LA.size(), kLines);
    ASSERT_EQ(LB.size(), kLines);
    for (int i = 0; i < kLines; ++i) {
        EXPECT_TRUE(LA[i].endsWith(" первый " + QString::number(i)));
        EXPECT_TRUE(LB[i].endsWith(" second " + QString::number(i)));
    }
}

TEST(CustomTimer, NewInstallationAndSettings) {
    TTestFolder Folder;
    TCustomTimer Timer;
    EXPECT_EQ(Timer.Name(), "CustomTimer");
    EXPECT_EQ(Timer.Interval(), 200);
    EXPECT_FALSE(Timer.Enabled());
    EXPECT_EQ(Timer.IniFileName, "Timer.ini");
    EXPECT_EQ(Timer.IniFile(), Folder.File("INI/Timer.ini"));

    Timer.SetName("ctReqDevices");
    Timer.LoadFromIni();
    EXPECT_TRUE(QFile::exists(Folder.File("INI/Timer.ini")));
    EXPECT_EQ(ReadAll(Folder.File("INI/Timer.ini")), "");
    EXPECT_FALSE(Timer.Enabled());
    EXPECT_EQ(Timer.Interval(), 200);

    WriteAll(Timer.IniFile(), "[CTREQDEVICES]\r\nEnabled=5\r\nInterval=1500\r\n[Other]\r\nInterval=7\r\n");
    Timer.LoadFromIni();
    EXPECT_TRUE(Timer.Enabled()) << "any non-zero integer is true";
    EXPECT_EQ(Timer.Interval(), 1500);

    WriteAll(Timer.IniFile(), "[ctReqDevices]\r\nEnabled=yes\r\nInterval=1,5\r\n");
    Timer.LoadFromIni();
    EXPECT_FALSE(Timer.Enabled()) << "malformed values read as their defaults";
    EXPECT_EQ(Timer.Interval(), 200);

    WriteAll(Timer.IniFile(), "; keep me\r\n[ctReqDevices]\r\nInterval=-5\r\n");
    Timer.LoadFromIni();
    EXPECT_EQ(Timer.Interval(), 200) << "a negative period is no period";

    Timer.SetInterval(750);
    Timer.Start();
    Timer.SaveToIni();
    EXPECT_EQ(ReadAll(Timer.IniFile()), "; keep me\r\n[ctReqDevices]\r\nInterval=750\r\nEnabled=1\r\n");
    Timer.Stop();
    Timer.SaveToIni();
    EXPECT_EQ(ReadAll(Timer.IniFile()), "; keep me\r\n[ctReqDevices]\r\nInterval=750\r\nEnabled=0\r\n");
}

TEST(CustomTimer, WithoutIniFolder) {
    TTestFolder Folder(TTestFolder::Empty);
    TCustomTimer Timer;
    Timer.LoadFromIni(); // creates the file empty, and its folder
    EXPECT_TRUE(QFileInfo(Timer.IniFile()).isFile());
    EXPECT_FALSE(Timer.Enabled());
    EXPECT_EQ(Timer.Interval(), 200);
    Timer.SaveToIni();
    EXPECT_EQ(ReadAll(Timer.IniFile()), "[" + Timer.Name().toUtf8() + "]\r\nEnabled=0\r\nInterval=200\r\n");

    QDir(Folder.File("INI")).removeRecursively();
    WriteAll(Folder.File("INI"), "a file");
    EXPECT_THROW(Timer.SaveToIni(), EIniFileError);
}

TEST(CustomTimer, StartStopAnnouncedPauseNot) {
    TCustomTimer Timer;
    int Signals = 0, Callbacks = 0;
    QObject::connect(&Timer, &TCustomTimer::StartStop, [&] { ++Signals; });
    Timer.OnStartStop = [&](TCustomTimer &Sender) {
        EXPECT_EQ(&Sender, &Timer);
        EXPECT_EQ(Signals, Callbacks) << "the callback comes first";
        ++Callbacks;
    };
    Timer.Start();
    EXPECT_TRUE(Timer.Enabled());
    Timer.SetPaused(true);
    EXPECT_FALSE(Timer.Enabled());
    Timer.SetPaused(false);
    EXPECT_TRUE(Timer.Enabled());
    Timer.Stop();
    EXPECT_FALSE(Timer.Enabled());
    Timer.Stop();
    EXPECT_EQ(Signals, 3);
    EXPECT_EQ(Callbacks, 3);
}

TEST(CustomTimer, Ticks) {
    TCustomTimer Timer;
    Timer.SetInterval(1);
    QEventLoop Loop;
    int Ticks = 0;
    QObject::connect(&Timer, &TCustomTimer::Tick, [&] {
        if (++Ticks == 3)
            Loop.quit();
    });
    Timer.Start();
    Loop.exec();
    Timer.SetPaused(true);
    EXPECT_EQ(Ticks, 3);
}
