// "О программе": the version, Qt's version and the folders in use.
#include "RecordingMessages.h"
#include "TestEnvironment.h"
#include "fAbout.h"
#include "uFolders.h"
#include "uSysUtils.h"
#include "uVersion.h"

#include <QFile>
#include <QLabel>
#include <QUrl>
#include <gtest/gtest.h>

TEST(About, ShowsVersionQtAndEveryFolder) {
    TTestFolder Folder;
    TFormAbout About;
    const QString Text = About.Text();
    EXPECT_TRUE(Text.contains(QStringLiteral("Версия ") + QStringLiteral(LANX1_VERSION))) << Text.toStdString();
    EXPECT_TRUE(Text.contains(QStringLiteral("Qt ") + QString::fromLatin1(qVersion())));
    EXPECT_TRUE(Text.contains(FolderModeText()));
    for (const TFolderEntry &F : FoldersInUse())
        EXPECT_TRUE(Text.contains(F.Path)) << F.Path.toStdString();
    EXPECT_TRUE(Text.contains(JoinPath(Folder.Path(), QStringLiteral("DATA"))));
    // Each folder is a link that the file manager opens.
    auto *Label = About.findChild<QLabel *>(QStringLiteral("lblAbout"));
    ASSERT_NE(Label, nullptr);
    EXPECT_TRUE(Label->text().contains(QStringLiteral("href=\"file://")));
    EXPECT_EQ(About.windowTitle(), QStringLiteral("О программе"));
}

// No file manager on the machine (none on the search path): a folder's link
// names the folder instead of doing nothing.
TEST(About, AFolderThatCannotBeOpenedIsNamed) {
    TTestFolder Folder;
    TRecordingMessages Messages;
    TFormAbout About;
    auto *Label = About.findChild<QLabel *>(QStringLiteral("lblAbout"));
    ASSERT_NE(Label, nullptr);
    const QByteArray Path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(Folder.Path()));
    const QString Data = JoinPath(Folder.Path(), QStringLiteral("DATA"));
    emit Label->linkActivated(QUrl::fromLocalFile(Data).toString(QUrl::FullyEncoded));
    qputenv("PATH", Path);
    ASSERT_EQ(Messages.Messages().size(), 1);
    EXPECT_TRUE(Messages.Messages()[0].Text.endsWith(Data)) << Messages.Messages()[0].Text.toStdString();
    EXPECT_TRUE(Messages.Messages()[0].Text.startsWith(QStringLiteral("Папка не открывается")));
}
