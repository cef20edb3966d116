// lanx1ctl's folders: the portable and installed rule as the program has it,
// the --data and --ini overrides, --version and archive --csv.
#include "ReadOnlyFolder.h"
#include "TestEnvironment.h"
#include "uBDE.h"
#include "uIniFile.h"
#include "uSysUtils.h"
#include "uVersion.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace {

struct TRun {
    int Status = -1;
    QByteArray Out;
    QString Err;
};

QString BuiltCtl() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../src/lanx1ctl");
}

TRun RunCtl(const QString &Program, const QStringList &Args, const QString &WorkDir, const QString &Home = {}) {
    QProcess P;
    P.setWorkingDirectory(WorkDir);
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    if (!Home.isEmpty()) {
        Env.insert(QStringLiteral("HOME"), Home);
        Env.remove(QStringLiteral("XDG_DATA_HOME"));
    }
    P.setProcessEnvironment(Env);
    P.start(Program, Args);
    TRun R;
    if (!P.waitForFinished(120000)) {
        ADD_FAILURE() << "lanx1ctl did not finish";
        P.kill();
        P.waitForFinished();
        return R;
    }
    R.Status = P.exitStatus() == QProcess::NormalExit ? P.exitCode() : -1;
    R.Out = P.readAllStandardOutput();
    R.Err = QString::fromLocal8Bit(P.readAllStandardError());
    return R;
}

} // namespace

TEST(Lanx1CtlFolders, VersionIsTheProjects) {
    TTestFolder Folder;
    const TRun R = RunCtl(BuiltCtl(), {"--version"}, Folder.Path());
    EXPECT_EQ(R.Status, 0);
    EXPECT_EQ(R.Out, QByteArray("lanx1ctl " LANX1_VERSION "\n"));
    EXPECT_FALSE(QFileInfo::exists(Folder.File("DATA"))) << "a portable run creates no folder";
}

TEST(Lanx1CtlFolders, ArchiveAsCsvFromAnotherDataFolder) {
    TTestFolder Folder;
    const QString Data = Folder.File("elsewhere");
    const QString Table = Data + QStringLiteral("/DATA/2024/05/01/aLevel.db");
    ASSERT_TRUE(ArchiveWrite("aLevel", Table, At(2024, 5, 1, 10, 0, 0, 250), 47.25));
    ASSERT_TRUE(ArchiveWrite("aLevel", Table, At(2024, 5, 1, 11), 0.1));
    const TRun R = RunCtl(BuiltCtl(), {"--data", Data, "archive", "aLevel", "--from", "2024-05-01", "--to", "2024-05-01",
                                    "--csv"},
                       Folder.Path());
    EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
    EXPECT_EQ(R.Out, QByteArray("time,value\r\n"
                                "2024-05-01T10:00:00.250,47.25\r\n"
                                "2024-05-01T11:00:00.000,0.1\r\n"));
    // The settings file of the archive folder is neither read nor written.
    EXPECT_FALSE(QFileInfo::exists(Folder.File("INI/bde.ini")));
}

TEST(Lanx1CtlFolders, IniFolderOverride) {
    TTestFolder Folder;
    const QString Ini = Folder.File("settings");
    ASSERT_TRUE(ForceDirectories(Ini));
    TIniFile(Ini + "/ComPort.ini").WriteString("Transmitter", "Port", "/dev/lanx1-no-such-port-here");
    const TRun R = RunCtl(BuiltCtl(), {"--ini", Ini, "--attempts", "1", "read", "level"}, Folder.Path());
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(R.Err.contains("lanx1-no-such-port-here")) << R.Err.toStdString();
}

TEST(Lanx1CtlFolders, InstalledCopyUsesTheUsersDataFolder) {
    TTestFolder Folder;
    const QString Bin = Folder.File("bin");
    const QString Home = Folder.File("home");
    ASSERT_TRUE(ForceDirectories(Bin));
    ASSERT_TRUE(ForceDirectories(Home));
    ASSERT_TRUE(QFile::copy(BuiltCtl(), Bin + "/lanx1ctl"));
    {
        TReadOnlyFolder ReadOnly(Bin);
        if (!ReadOnly.Active())
            GTEST_SKIP() << ReadOnly.Reason().toStdString();
        const TRun R = RunCtl(Bin + "/lanx1ctl", {"frame", "0"}, Home, Home);
        EXPECT_EQ(R.Status, 0) << R.Err.toStdString();
        EXPECT_EQ(R.Out, QByteArray("01 03 00 00 00 0E C4 0E\n"));
    }
    const QString Data = Home + "/.local/share/lanx1";
    for (const char *Sub : {"DATA", "PAR", "TarTabl", "INI"})
        EXPECT_TRUE(QFileInfo(Data + '/' + Sub).isDir()) << Sub;
    EXPECT_FALSE(QFileInfo::exists(Home + "/INI"));

    // With a file "portable" beside it, the same copy keeps to the current folder.
    QDir(Data).removeRecursively();
    WriteAll(Bin + "/portable", {});
    TReadOnlyFolder ReadOnly(Bin);
    ASSERT_TRUE(ReadOnly.Active());
    EXPECT_EQ(RunCtl(Bin + "/lanx1ctl", {"frame", "0"}, Home, Home).Status, 0);
    EXPECT_FALSE(QFileInfo::exists(Data));
}
