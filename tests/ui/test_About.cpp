// "О программе": the version, Qt's version and the folders in use.
#include "TestEnvironment.h"
#include "fAbout.h"
#include "uFolders.h"
#include "uSysUtils.h"
#include "uVersion.h"

#include <QLabel>
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
