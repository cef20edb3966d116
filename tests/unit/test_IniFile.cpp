#include "FileSizeLimit.h"
#include "TestEnvironment.h"
#include "uIniFile.h"
#include "uWin1251.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

struct TIniFixture : ::testing::Test {
    TTestFolder Folder;
    QString Path = Folder.File("INI/test.ini");
};

} // namespace

TEST_F(TIniFixture, NamesMatchWithoutRegardToCase) {
    WriteAll(Path, ToWin1251(QString("[Раздел]\r\nКлюч=значение\r\n[Transmitter]\r\nBaudRate=9600\r\n")));
    const TIniFile Ini(Path);
    EXPECT_EQ(Ini.ReadString("РАЗДЕЛ", "ключ", "-"), "значение");
    EXPECT_EQ(Ini.ReadString("раздел", "КЛЮЧ", "-"), "значение");
    EXPECT_EQ(Ini.ReadInteger("TRANSMITTER", "baudrate", 0), 9600);
    EXPECT_EQ(Ini.ReadSections(), QStringList({"Раздел", "Transmitter"}));
    EXPECT_EQ(Ini.ReadSection("transmitter"), QStringList({"BaudRate"}));
    EXPECT_TRUE(Ini.ValueExists("раздел", "ключ"));
    EXPECT_FALSE(Ini.ValueExists("Transmitter", "ключ"));
}

TEST_F(TIniFixture, ListedNamesReadBack) {
    // A no-break space (0xA0) is no blank of the file: it stays part of the name.
    WriteAll(Path, "[S]\r\n\xA0key\xA0=1\r\nkey=2\r\n\t spaced \t=3\r\n");
    const TIniFile Ini(Path);
    const QStringList Keys = Ini.ReadSection("S");
    ASSERT_EQ(Keys.size(), 3);
    EXPECT_EQ(Ini.ReadInteger("S", Keys[0], 0), 1);
    EXPECT_EQ(Ini.ReadInteger("S", Keys[1], 0), 2);
    EXPECT_EQ(Ini.ReadInteger("S", Keys[2], 0), 3);
    EXPECT_EQ(Ini.ReadInteger("S", " spaced ", 0), 3);
}

TEST_F(TIniFixture, WritesTouchOnlyTheirOwnLine) {
    const QByteArray Before = "; leading comment\r\n"
                              "[A]\n"
                              "x=1\n"
                              "  ; indented comment\r\n"
                              "y = 2\r\n"
                              "\r\n"
                              "[B]\r\n"
                              "z=3"; // no line end at all
    WriteAll(Path, Before);

    TIniFile Ini(Path);
    Ini.WriteString("a", "X", "10"); // in place, keeping the LF ending
    EXPECT_EQ(ReadAll(Path), QByteArray(Before).replace("x=1\n", "X=10\n"));

    Ini.WriteInteger("A", "w", 5); // end of its section, before the blank separator
    QByteArray Expected = QByteArray(Before).replace("x=1\n", "X=10\n").replace("y = 2\r\n", "y = 2\r\nw=5\r\n");
    EXPECT_EQ(ReadAll(Path), Expected);

    Ini.WriteString("Новый", "Ключ", "Значение"); // a new section at the end
    Expected += "\r\n" + ToWin1251(QString("[Новый]\r\nКлюч=Значение\r\n"));
    EXPECT_EQ(ReadAll(Path), Expected);

    const TIniFile Again(Path);
    EXPECT_EQ(Again.ReadInteger("A", "x", 0), 10);
    EXPECT_EQ(Again.ReadInteger("A", "y", 0), 2);
    EXPECT_EQ(Again.ReadInteger("B", "z", 0), 3);
    EXPECT_EQ(Again.ReadString("новый", "ключ", ""), "Значение");
}

TEST_F(TIniFixture, IntegersBooleansAndFloats) {
    WriteAll(Path, "[N]\r\n"
                   "dec=-42\r\n"
                   "hex=0x1F\r\n"
                   "neg=0X8000000F\r\n"
                   "big=0x100000000\r\n"
                   "over=2147483648\r\n"
                   "min=-2147483648\r\n"
                   "junk=12abc\r\n"
                   "empty=\r\n"
                   "on=1\r\n"
                   "five=5\r\n"
                   "off=0\r\n"
                   "yes=yes\r\n"
                   "f=12,5\r\n"
                   "fp=12.5\r\n");
    const TIniFile Ini(Path);
    EXPECT_EQ(Ini.ReadInteger("N", "dec", 0), -42);
    EXPECT_EQ(Ini.ReadInteger("N", "hex", 0), 31);
    EXPECT_EQ(Ini.ReadInteger("N", "neg", 0), -2147483633) << "hex is a 32-bit pattern";
    EXPECT_EQ(Ini.ReadInteger("N", "big", 7), 7);
    EXPECT_EQ(Ini.ReadInteger("N", "over", 7), 7);
    EXPECT_EQ(Ini.ReadInteger("N", "min", 7), INT32_MIN);
    EXPECT_EQ(Ini.ReadInteger("N", "junk", 7), 7);
    EXPECT_EQ(Ini.ReadInteger("N", "empty", 7), 7);
    EXPECT_EQ(Ini.ReadInteger("N", "absent", 7), 7);
    EXPECT_TRUE(Ini.ReadBool("N", "on", false));
    EXPECT_TRUE(Ini.ReadBool("N", "five", false));
    EXPECT_FALSE(Ini.ReadBool("N", "off", true));
    EXPECT_TRUE(Ini.ReadBool("N", "yes", true));
    EXPECT_FALSE(Ini.ReadBool("N", "yes", false));
    EXPECT_DOUBLE_EQ(Ini.ReadFloat("N", "f", 0), 12.5) << "the locale's comma";
    EXPECT_DOUBLE_EQ(Ini.ReadFloat("N", "fp", -1), -1);

    TIniFile Out(Path);
    Out.WriteFloat("N", "g", 0.25);
    Out.WriteBool("N", "b", true);
    EXPECT_EQ(TIniFile(Path).ReadString("N", "g", ""), "0,25");
    EXPECT_EQ(TIniFile(Path).ReadString("N", "b", ""), "1");
}

TEST_F(TIniFixture, MalformedAndHugeInput) {
    const QByteArray Long(100000, 'v');
    QByteArray Data = "[broken\r\nnoequals\r\n=orphan\r\n[S]\r\n  key  =  padded  \r\n;c=1\r\nlong=" + Long + "\r\n";
    Data += QByteArray("\x00\xFF\x01[\x80=\x98]\r\n\r\r\n", 13);
    WriteAll(Path, Data);
    const TIniFile Ini(Path);
    EXPECT_EQ(Ini.ReadString("S", "key", ""), "padded");
    EXPECT_EQ(Ini.ReadString("S", "long", "").size(), 100000);
    EXPECT_EQ(Ini.ReadSection("S"), QStringList({"key", "long", QString(QChar(0)) + QChar(0x44F) + QChar(1) + "[" + QChar(0x402)}));
    EXPECT_FALSE(Ini.ValueExists("S", ";c"));
    EXPECT_FALSE(Ini.SectionExists("broken"));

    TIniFile Out(Path);
    Out.WriteString("S", "key", "new");
    EXPECT_EQ(ReadAll(Path), QByteArray(Data).replace("  key  =  padded  ", "key=new"));
}

TEST_F(TIniFixture, MissingFileReadsEmptyAndWriteCreatesIt) {
    const TIniFile Ini(Path);
    EXPECT_TRUE(Ini.ReadSections().isEmpty());
    EXPECT_EQ(Ini.ReadString("S", "k", "dflt"), "dflt");
    EXPECT_FALSE(QFile::exists(Path)) << "reading creates nothing";
    TIniFile Out(Path);
    Out.WriteString("S", "k", "v");
    EXPECT_EQ(ReadAll(Path), "[S]\r\nk=v\r\n");
    // A missing folder is made; one that cannot be (a file in its place) is not.
    TIniFile(Folder.File("NoFolder/Sub/x.ini")).WriteString("S", "k", "v");
    EXPECT_EQ(ReadAll(Folder.File("NoFolder/Sub/x.ini")), "[S]\r\nk=v\r\n");
    WriteAll(Folder.File("AFile"), "x");
    EXPECT_THROW(TIniFile(Folder.File("AFile/x.ini")).WriteString("S", "k", "v"), EIniFileError);
    EXPECT_EQ(ReadAll(Folder.File("AFile")), "x");
}

TEST_F(TIniFixture, FailedWriteKeepsTheOldFile) {
    const QByteArray Old = "[S]\r\nk=old\r\n";
    WriteAll(Path, Old);
    bool Threw = false;
    {
        TFileSizeLimit Limit(16);
        TIniFile Ini(Path);
        try {
            Ini.WriteString("S", "k", QString(64, u'n'));
        } catch (const EIniFileError &) {
            Threw = true;
        }
    }
    EXPECT_TRUE(Threw);
    EXPECT_EQ(ReadAll(Path), Old);
    EXPECT_EQ(QDir(Folder.File("INI")).entryList(QDir::Files), QStringList({"test.ini"})) << "no temporary file left";

    if (geteuid() != 0) { // the folder's permissions bind everyone but root
        QFile::setPermissions(Folder.File("INI"), QFile::ReadOwner | QFile::ExeOwner);
        TIniFile Ini(Path);
        EXPECT_THROW(Ini.WriteString("S", "k", "new"), EIniFileError);
        QFile::setPermissions(Folder.File("INI"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_EQ(ReadAll(Path), Old);
    }
}

namespace {

QByteArray FileHash(const QString &Path) {
    QFile F(Path);
    QCryptographicHash Hash(QCryptographicHash::Sha256);
    return F.open(QIODevice::ReadOnly) && Hash.addData(&F) ? Hash.result() : QByteArray();
}

} // namespace

TEST_F(TIniFixture, FileThatDidNotLoadIsNeverWritten) {
    // 68 MB holding other keys, most of it a hole: over the size limit.
    const QByteArray Head = "[Other]\r\nkey=1\r\n", Tail = "\r\n[Last]\r\nkey=2\r\n";
    constexpr qint64 Size = 68LL * 1000 * 1000;
    {
        QFile F(Path);
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        ASSERT_EQ(F.write(Head), Head.size());
        ASSERT_TRUE(F.seek(Size - Tail.size()));
        ASSERT_EQ(F.write(Tail), Tail.size());
    }
    const QByteArray Before = FileHash(Path);
    ASSERT_FALSE(Before.isEmpty());
    TIniFile Ini(Path);
    EXPECT_FALSE(Ini.LoadError().isEmpty());
    EXPECT_EQ(Ini.ReadString("Other", "key", "none"), "none");
    EXPECT_THROW(Ini.WriteString("S", "k", "v"), EIniFileError);
    EXPECT_THROW(Ini.WriteInteger("Other", "key", 3), EIniFileError);
    Ini.BeginUpdate();
    Ini.WriteString("S", "k", "v");
    EXPECT_THROW(Ini.EndUpdate(), EIniFileError);
    EXPECT_EQ(QFileInfo(Path).size(), Size);
    EXPECT_EQ(FileHash(Path), Before);
    EXPECT_EQ(QDir(Folder.File("INI")).entryList(QDir::Files), QStringList({"test.ini"})) << "no temporary file left";

    // A folder where the file should be.
    const QString DirPath = Folder.File("INI/folder.ini");
    ASSERT_TRUE(QDir().mkpath(DirPath));
    TIniFile InFolder(DirPath);
    EXPECT_FALSE(InFolder.LoadError().isEmpty());
    EXPECT_THROW(InFolder.WriteString("S", "k", "v"), EIniFileError);
    EXPECT_TRUE(QFileInfo(DirPath).isDir());

    if (geteuid() != 0) { // a file's permissions bind everyone but root
        const QString Locked = Folder.File("INI/locked.ini");
        WriteAll(Locked, Head);
        QFile::setPermissions(Locked, QFile::WriteOwner);
        TIniFile Unreadable(Locked);
        EXPECT_THROW(Unreadable.WriteString("S", "k", "v"), EIniFileError);
        QFile::setPermissions(Locked, QFile::ReadOwner | QFile::WriteOwner);
        EXPECT_EQ(ReadAll(Locked), Head);
    }

    // Once the file is of a settings file's size again, writing goes on.
    ASSERT_TRUE(QFile::resize(Path, Head.size()));
    Ini.WriteString("S", "k", "v");
    EXPECT_TRUE(Ini.LoadError().isEmpty());
    EXPECT_EQ(ReadAll(Path), Head + "[S]\r\nk=v\r\n");
}
