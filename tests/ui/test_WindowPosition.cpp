#include "TestEnvironment.h"
#include "uIniFile.h"
#include "uWindowPosition.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

QString WndPos(const TTestFolder &Folder) {
    return Folder.File("INI/WndPos.ini");
}

} // namespace

TEST(WindowPosition, SaveThenRestore) {
    TTestFolder Folder;
    EXPECT_EQ(WindowPositionFile(), WndPos(Folder));
    WriteAll(WndPos(Folder), "; other windows stay\r\n[fGraph]\r\nLeft=1\r\n");

    QWidget Window;
    Window.setObjectName("fLanx1");
    Window.move(40, 50);
    Window.resize(320, 240);
    SaveWindowPosition(&Window);
    EXPECT_EQ(ReadAll(WndPos(Folder)).toStdString(),
              "; other windows stay\r\n[fGraph]\r\nLeft=1\r\n[fLanx1]\r\n"
              "Name=fLanx1\r\nLeft=40\r\nTop=50\r\nWidth=320\r\nHeight=240\r\nWindowState=0\r\n");

    QWidget Again;
    Again.setObjectName("FLANX1"); // sections match without regard to case
    Again.move(5, 5);
    Again.resize(100, 100);
    LoadWindowPosition(&Again);
    EXPECT_EQ(Again.pos(), QPoint(40, 50));
    EXPECT_EQ(Again.size(), QSize(320, 240));
    EXPECT_EQ(Again.windowState(), Qt::WindowNoState);
}

TEST(WindowPosition, StateIsAppliedAfterTheBounds) {
    TTestFolder Folder;
    WriteAll(WndPos(Folder), "[fMain]\r\nLeft=10\r\nTop=20\r\nWidth=300\r\nHeight=200\r\nWindowState=2\r\n"
                             "[fSelectCMD]\r\nWidth=333\r\nWindowState=1\r\n");
    QWidget Main;
    Main.setObjectName("fMain");
    LoadWindowPosition(&Main);
    EXPECT_TRUE(Main.windowState() & Qt::WindowMaximized);
    // The bounds were set first, so they are what the window returns to.
    Main.setWindowState(Qt::WindowNoState);
    EXPECT_EQ(Main.pos(), QPoint(10, 20));
    EXPECT_EQ(Main.size(), QSize(300, 200));

    QWidget Select;
    Select.setObjectName("fSelectCMD");
    Select.move(7, 8);
    Select.resize(90, 80);
    LoadWindowPosition(&Select);
    EXPECT_TRUE(Select.windowState() & Qt::WindowMinimized);
    EXPECT_EQ(Select.pos(), QPoint(7, 8)) << "missing keys keep the current values";
    EXPECT_EQ(Select.size(), QSize(333, 80));

    SaveWindowPosition(&Main);
    const TIniFile Ini(WndPos(Folder));
    EXPECT_EQ(Ini.ReadInteger("fMain", "WindowState", -1), 0);
    Main.setWindowState(Qt::WindowMaximized);
    SaveWindowPosition(&Main);
    EXPECT_EQ(TIniFile(WndPos(Folder)).ReadInteger("fMain", "WindowState", -1), 2);
}

TEST(WindowPosition, AbsurdSizeIsLimitedToTheScreens) {
    TTestFolder Folder;
    WriteAll(WndPos(Folder), "[fGraph]\r\nLeft=-20\r\nTop=30\r\nWidth=100000000\r\nHeight=-7\r\n");
    QWidget Window;
    Window.setObjectName("fGraph");
    LoadWindowPosition(&Window);
    const QSize Screens = QGuiApplication::primaryScreen()->virtualSize();
    EXPECT_EQ(Window.width(), Screens.width());
    EXPECT_GE(Window.height(), 0);
    EXPECT_LE(Window.height(), Screens.height());
    EXPECT_EQ(Window.pos(), QPoint(-20, 30)) << "positions off the screen are the user's business";
}

TEST(WindowPosition, OnlyWindowsAndOnlyTheirOwnSection) {
    TTestFolder Folder;
    QWidget Window;
    Window.setObjectName("fTaraEditor");
    Window.move(11, 12);
    Window.resize(130, 140);

    LoadWindowPosition(&Window); // no file at all
    EXPECT_EQ(Window.pos(), QPoint(11, 12));
    EXPECT_EQ(Window.size(), QSize(130, 140));

    WriteAll(WndPos(Folder), "[Other]\r\nLeft=500\r\nWidth=900\r\n");
    LoadWindowPosition(&Window); // no section of its own
    EXPECT_EQ(Window.pos(), QPoint(11, 12));
    EXPECT_EQ(Window.size(), QSize(130, 140));

    // A child widget and a plain object are no windows: nothing read, nothing written.
    QWidget *Child = new QWidget(&Window);
    Child->setObjectName("Other");
    Child->move(1, 2);
    LoadWindowPosition(Child);
    EXPECT_EQ(Child->pos(), QPoint(1, 2));
    SaveWindowPosition(Child);
    QObject Plain;
    Plain.setObjectName("Plain");
    SaveWindowPosition(&Plain);
    LoadWindowPosition(&Plain);
    LoadWindowPosition(nullptr);
    SaveWindowPosition(nullptr);
    EXPECT_EQ(ReadAll(WndPos(Folder)), "[Other]\r\nLeft=500\r\nWidth=900\r\n");
}

TEST(WindowPosition, WithoutIniFolder) {
    TTestFolder Folder;
    QDir(Folder.File("INI")).removeRecursively();
    QWidget Window;
    Window.setObjectName("fMain");
    Window.move(3, 4);
    LoadWindowPosition(&Window);
    EXPECT_EQ(Window.pos(), QPoint(3, 4));
    EXPECT_THROW(SaveWindowPosition(&Window), EIniFileError);
    EXPECT_FALSE(QDir(Folder.File("INI")).exists()) << "the folder is never created";
}
