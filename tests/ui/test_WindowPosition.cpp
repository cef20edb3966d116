#include "TestEnvironment.h"
#include "uIniFile.h"
#include "uFirstStartLayout.h"
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
    TTestFolder Folder(TTestFolder::Empty);
    QWidget Window;
    Window.setObjectName("fMain");
    Window.move(3, 4);
    LoadWindowPosition(&Window);
    EXPECT_EQ(Window.pos(), QPoint(3, 4));
    EXPECT_FALSE(QDir(Folder.File("INI")).exists()) << "loading makes no folder";
    SaveWindowPosition(&Window);
    EXPECT_TRUE(TIniFile(WndPos(Folder)).SectionExists("fMain"));

    QDir(Folder.File("INI")).removeRecursively();
    WriteAll(Folder.File("INI"), "a file"); // a folder that cannot be made
    EXPECT_THROW(SaveWindowPosition(&Window), EIniFileError);
}

// ---- first start

namespace {

// The client sizes of the main, readings, command-selection and parameters windows.
const std::array<QSize, fsWindowCount> kSizes{QSize(900, 600), QSize(380, 260), QSize(220, 155), QSize(709, 439)};
const QMargins kFrame(2, 30, 2, 2);

} // namespace

TEST(FirstStartLayout, SideBySideOnCommonScreens) {
    for (const QRect Screen : {QRect(0, 0, 1920, 1040), QRect(0, 0, 1366, 738), QRect(0, 24, 1280, 976),
                               QRect(1920, 0, 1600, 870)}) {
        SCOPED_TRACE(testing::Message() << Screen.width() << "x" << Screen.height());
        const TFirstStartLayout L = FirstStartLayout(Screen, kSizes, kFrame);
        ASSERT_TRUE(L.Fits);
        for (int i = 0; i < fsWindowCount; ++i) {
            EXPECT_TRUE(Screen.contains(L.Frames[i])) << i;
            for (int j = i + 1; j < fsWindowCount; ++j)
                EXPECT_FALSE(L.Frames[i].intersects(L.Frames[j])) << i << " covers " << j;
        }
        // The small windows keep their sizes; the main window takes the rest.
        for (int i : {fsReadings, fsCommands, fsParameters})
            EXPECT_EQ(L.Frames[i].size(), kSizes[i].grownBy(kFrame));
        EXPECT_EQ(L.Frames[fsMain].width(), Screen.width());
        EXPECT_GE(L.Frames[fsMain].height() - kFrame.top() - kFrame.bottom(), kMinMainHeight);
    }
}

TEST(FirstStartLayout, TooSmallAScreenCascadesWithinIt) {
    const QRect Screen(0, 0, 800, 600);
    const TFirstStartLayout L = FirstStartLayout(Screen, kSizes, kFrame);
    EXPECT_FALSE(L.Fits);
    for (int i = 0; i < fsWindowCount; ++i)
        EXPECT_TRUE(Screen.contains(L.Frames[i])) << i;
    EXPECT_EQ(L.Frames[fsMain].topLeft(), QPoint(0, 0));
}

TEST(FirstStartLayout, SavedPositionsWin) {
    TTestFolder Folder;
    WriteAll(WndPos(Folder), "[FormLanx1]\r\nLeft=333\r\nTop=222\r\n");
    QWidget Main, Readings, Commands, Parameters;
    Main.setObjectName("FormMain");
    Readings.setObjectName("FormLanx1");
    Commands.setObjectName("FormSelectCMD");
    Parameters.setObjectName("FormLanx1Par");
    Main.resize(kSizes[fsMain]);
    Readings.resize(kSizes[fsReadings]);
    Commands.resize(kSizes[fsCommands]);
    Parameters.resize(kSizes[fsParameters]);
    LoadWindowPosition(&Readings);
    ASSERT_EQ(Readings.pos(), QPoint(333, 222));
    ArrangeFirstStart({&Main, &Readings, &Commands, &Parameters});
    EXPECT_EQ(Readings.pos(), QPoint(333, 222));
    const TFirstStartLayout L =
        FirstStartLayout(QGuiApplication::primaryScreen()->availableGeometry(), kSizes, kFrame);
    EXPECT_EQ(Commands.pos(), L.Frames[fsCommands].topLeft());
    EXPECT_EQ(Parameters.pos(), L.Frames[fsParameters].topLeft());
}
