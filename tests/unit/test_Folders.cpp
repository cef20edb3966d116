// The portable and installed folder rule, and what the first start creates.
#include "uFolders.h"

#include "ReadOnlyFolder.h"
#include "TestEnvironment.h"
#include "uIniFile.h"
#include "uSysUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The working directory comes back after a test that moved it.
class TCurrentDirGuard {
public:
    TCurrentDirGuard() : FOld(QDir::currentPath()) {}
    ~TCurrentDirGuard() { QDir::setCurrent(FOld); }

private:
    QString FOld;
};

struct TFolderRig {
    TTestFolder Folder; // restores AppDir and ProgramDir
    TCurrentDirGuard Current;
    QString Program() const { return Folder.File(QStringLiteral("bin")); }
    QString UserData() const { return Folder.File(QStringLiteral("home/.local/share/lanx1")); }
    QString Start() const { return Folder.File(QStringLiteral("start")); }
    TFolderRig() {
        QDir().mkpath(Program());
        QDir().mkpath(Start());
    }
    TFolderFacts Facts() const {
        TFolderFacts F = ProbeFolders(Program());
        F.CurrentDir = Start();
        F.UserDataDir = UserData();
        return F;
    }
};

TFolderFacts Facts(bool Writable, bool Portable) {
    TFolderFacts F;
    F.ProgramDir = QStringLiteral("/opt/lanx1/bin");
    F.ProgramDirWritable = Writable;
    F.PortableFile = Portable;
    F.CurrentDir = QStringLiteral("/home/user");
    F.UserDataDir = QStringLiteral("/home/user/.local/share/lanx1");
    return F;
}

} // namespace

TEST(FolderRule, WritableProgramFolderIsPortable) {
    const TFolderLayout L = ChooseFolders(Facts(true, false));
    EXPECT_EQ(L.Mode, TFolderMode::Portable);
    EXPECT_EQ(L.DataDir, "/opt/lanx1/bin");
    EXPECT_EQ(L.IniDir, "/home/user");
}

TEST(FolderRule, PortableFileKeepsAReadOnlyCopyPortable) {
    const TFolderLayout L = ChooseFolders(Facts(false, true));
    EXPECT_EQ(L.Mode, TFolderMode::Portable);
    EXPECT_EQ(L.DataDir, "/opt/lanx1/bin");
    EXPECT_EQ(L.IniDir, "/home/user");
}

// Root may write /usr/bin: where the program lies decides, not the rights.
TEST(FolderRule, ASystemCopyIsInstalledEvenWhereItsFolderCanBeWritten) {
    TFolderFacts F = Facts(true, false);
    F.SystemInstalled = true;
    const TFolderLayout L = ChooseFolders(F);
    EXPECT_EQ(L.Mode, TFolderMode::Installed);
    EXPECT_EQ(L.DataDir, "/home/user/.local/share/lanx1");
    F.PortableFile = true; // asked for all the same
    EXPECT_EQ(ChooseFolders(F).Mode, TFolderMode::Portable);

    TFolderRig Rig;
    EXPECT_FALSE(Rig.Facts().SystemInstalled);
    const QString Marker = QDir(Rig.Program()).filePath(QLatin1String(kInstalledMarker));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(Marker).absolutePath()));
    WriteAll(Marker, "");
    EXPECT_TRUE(Rig.Facts().SystemInstalled);
    EXPECT_FALSE(Rig.Facts().ProgramDirWritable); // not even tried
    EXPECT_EQ(ChooseFolders(Rig.Facts()).Mode, TFolderMode::Installed);
    EXPECT_TRUE(ProbeFolders(QStringLiteral("/usr/bin")).SystemInstalled);
    EXPECT_TRUE(ProbeFolders(QStringLiteral("/usr/local/bin")).SystemInstalled);
}

TEST(FolderRule, ReadOnlyProgramFolderIsInstalled) {
    const TFolderLayout L = ChooseFolders(Facts(false, false));
    EXPECT_EQ(L.Mode, TFolderMode::Installed);
    EXPECT_EQ(L.DataDir, "/home/user/.local/share/lanx1");
    EXPECT_EQ(L.IniDir, "/home/user/.local/share/lanx1");
}

TEST(FolderProbe, WritableFolder) {
    TFolderRig Rig;
    const TFolderFacts F = Rig.Facts();
    EXPECT_TRUE(F.ProgramDirWritable);
    EXPECT_FALSE(F.PortableFile);
    EXPECT_EQ(ChooseFolders(F).Mode, TFolderMode::Portable);
    EXPECT_TRUE(QDir(Rig.Program()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty())
        << "the probe leaves nothing behind";
}

TEST(FolderProbe, ReadOnlyFolderIsInstalledUnlessMarkedPortable) {
    TFolderRig Rig;
    {
        TReadOnlyFolder ReadOnly(Rig.Program());
        if (!ReadOnly.Active())
            GTEST_SKIP() << ReadOnly.Reason().toStdString();
        const TFolderFacts F = Rig.Facts();
        EXPECT_FALSE(F.ProgramDirWritable);
        EXPECT_EQ(ChooseFolders(F).Mode, TFolderMode::Installed);
    }
    WriteAll(JoinPath(Rig.Program(), QStringLiteral("portable")), {});
    TReadOnlyFolder ReadOnly(Rig.Program());
    ASSERT_TRUE(ReadOnly.Active());
    const TFolderFacts F = Rig.Facts();
    EXPECT_FALSE(F.ProgramDirWritable);
    EXPECT_TRUE(F.PortableFile);
    EXPECT_EQ(ChooseFolders(F).Mode, TFolderMode::Portable);
}

TEST(FolderProbe, UserDataFolderIsTheProgramsWhateverTheToolsName) {
    const TFolderFacts F = ProbeFolders(QDir::tempPath());
    EXPECT_TRUE(F.UserDataDir.endsWith(QStringLiteral("/lanx1"))) << F.UserDataDir.toStdString();
}

TEST(FolderApply, PortableCreatesNothingAndKeepsTheFolders) {
    TFolderRig Rig;
    bool Asked = false;
    const TFolderLayout L = ChooseFolders(Rig.Facts());
    ASSERT_TRUE(ApplyFolders(L, [&] {
        Asked = true;
        return QStringLiteral("ttyS0");
    }));
    EXPECT_FALSE(Asked);
    EXPECT_EQ(ProgramDir(), Rig.Program());
    EXPECT_EQ(AppDir(), Rig.Start());
    EXPECT_EQ(IniPath("ComPort.ini"), Rig.Start() + "/INI/ComPort.ini");
    EXPECT_FALSE(QFileInfo::exists(Rig.Start() + "/INI"));
    EXPECT_FALSE(QFileInfo::exists(Rig.Program() + "/DATA"));
    EXPECT_FALSE(QFileInfo::exists(Rig.UserData()));
    EXPECT_EQ(FolderModeInUse(), TFolderMode::Portable);
}

TEST(FolderApply, InstalledFirstStartCreatesTheFoldersAndAPortSetting) {
    TFolderRig Rig;
    TFolderFacts F = Rig.Facts();
    F.ProgramDirWritable = false;
    const TFolderLayout L = ChooseFolders(F);
    ASSERT_TRUE(ApplyFolders(L, [] { return QStringLiteral("ttyUSB3"); }));
    for (const char *Sub : {"DATA", "PAR", "TarTabl", "INI"})
        EXPECT_TRUE(QFileInfo(Rig.UserData() + '/' + Sub).isDir()) << Sub;
    EXPECT_EQ(ProgramDir(), Rig.UserData());
    EXPECT_EQ(AppDir(), Rig.UserData());
    EXPECT_EQ(QFileInfo(QDir::currentPath()).canonicalFilePath(), QFileInfo(Rig.UserData()).canonicalFilePath());
    const TIniFile Ini(Rig.UserData() + "/INI/ComPort.ini");
    EXPECT_EQ(Ini.ReadString("Transmitter", "Port", {}), "ttyUSB3");
    EXPECT_EQ(FolderModeInUse(), TFolderMode::Installed);
    EXPECT_EQ(FolderModeText(), QStringLiteral("установленная"));
}

TEST(FolderApply, InstalledLaterStartKeepsTheUsersPortSetting) {
    TFolderRig Rig;
    TFolderFacts F = Rig.Facts();
    F.ProgramDirWritable = false;
    const TFolderLayout L = ChooseFolders(F);
    ASSERT_TRUE(ApplyFolders(L, [] { return QStringLiteral("ttyUSB3"); }));
    TIniFile(Rig.UserData() + "/INI/ComPort.ini").WriteString("Transmitter", "Port", "ttyACM0");
    bool Asked = false;
    ASSERT_TRUE(ApplyFolders(L, [&] {
        Asked = true;
        return QStringLiteral("ttyUSB3");
    }));
    EXPECT_FALSE(Asked);
    EXPECT_EQ(TIniFile(Rig.UserData() + "/INI/ComPort.ini").ReadString("Transmitter", "Port", {}), "ttyACM0");
}

TEST(FolderApply, InstalledWithoutSerialPortsWritesNoPortSetting) {
    TFolderRig Rig;
    TFolderFacts F = Rig.Facts();
    F.ProgramDirWritable = false;
    ASSERT_TRUE(ApplyFolders(ChooseFolders(F), [] { return QString(); }));
    EXPECT_TRUE(QFileInfo(Rig.UserData() + "/INI").isDir());
    EXPECT_FALSE(QFileInfo::exists(Rig.UserData() + "/INI/ComPort.ini"));
}

TEST(FolderApply, IniFolderOverride) {
    TFolderRig Rig;
    SetIniDir(Rig.Start());
    EXPECT_EQ(IniPath("bde.ini"), Rig.Start() + "/bde.ini");
    SetIniDir({});
    EXPECT_EQ(IniPath("bde.ini"), AppDir() + "/INI/bde.ini");
}
