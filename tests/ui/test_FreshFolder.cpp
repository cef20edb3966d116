// The program started in a folder that holds nothing yet, as a new user starts
// it from a fresh copy: every settings, table and position file it writes
// lands, with the folders made as they are needed, and nothing is reported.
#include "Lanx1.h"
#include "RecordingMessages.h"
#include "SimulatorFixture.h"
#include "TestEnvironment.h"
#include "UiTestSupport.h"
#include "fMain.h"
#include "fTaraEditor.h"
#include "uBDE.h"
#include "uIniFile.h"
#include "uLanx1Instance.h"
#include "uRequestDevices.h"
#include "uTextFile.h"
#include "uWin1251.h"
#include "uWindows.h"

#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>
#include <memory>

namespace {

void ClickDefault(QWidget *Modal) {
    for (QPushButton *Button : Modal->findChildren<QPushButton *>())
        if (Button->isDefault()) {
            Button->click();
            return;
        }
    ADD_FAILURE() << "no default button";
    static_cast<QDialog *>(Modal)->reject();
}

} // namespace

TEST(FreshFolder, SettingsTablesAndPositionsLandWithTheirFolders) {
    TRecordingMessages Messages;
    TTestFolder Folder(TTestFolder::Empty);
    ASSERT_TRUE(QDir(Folder.Path()).isEmpty());
    TSimulatorFixture Line;
    WindowHooks() = TWindowHooks();

    // As the program starts with "--simulator".
    LoadArchiveSettings();
    CreateLanx1();
    PollSet.Clear();
    TRequestDevicesOptions Options;
    Options.PortOverride = Line.PortName();
    auto Engine = std::make_unique<TRequestDevices>(Options);
    RequestDevices = Engine.get();
    auto Main = std::make_unique<TFormMain>();
    Main->SetPortOverride(Line.PortName());
    Main->show();

    {
        // Esc in the port dialog: its settings are saved all the same.
        auto Escape = OnNextModal([](QWidget *Dialog) { static_cast<QDialog *>(Dialog)->reject(); });
        Main->actTransmitterChange->trigger();
    }
    {
        auto Period = OnNextModal([](QWidget *Dialog) {
            if (auto *Edit = Dialog->findChild<QLineEdit *>())
                Edit->setText(QStringLiteral("250"));
            ClickDefault(Dialog);
        });
        Main->actTimerParametersChange->trigger();
    }
    QPointer<TFormTaraEditor> Editor = new TFormTaraEditor;
    Editor->show();
    Editor->actLoadFromKelm->trigger();
    Messages.Answer(mbNo); // the table read is shown as an edit: "Сохранить файл …?"
    Editor->close();
    delete Editor.data();
    Messages.Answer(mbYes);
    EXPECT_TRUE(Main->close());
    Main.reset();
    RequestDevices = nullptr;
    Engine.reset();
    DestroyLanx1();

    QStringList Shown;
    for (const auto &M : Messages.Messages())
        Shown << M.Text;
    ASSERT_EQ(Shown.size(), 2) << Shown.join(u'|').toStdString();
    EXPECT_TRUE(Shown[0].startsWith(QStringLiteral("Сохранить файл "))) << Shown[0].toStdString();
    EXPECT_EQ(Shown[1], QStringLiteral("Завершить работу?"));
    const TIniFile ComPort(Folder.File(QStringLiteral("INI/ComPort.ini")));
    EXPECT_TRUE(ComPort.ValueExists(QStringLiteral("Transmitter"), QStringLiteral("BaudRate")));
    EXPECT_FALSE(FromWin1251(ReadAll(ComPort.FileName())).contains(Line.PortName())); // this run's only
    EXPECT_EQ(TIniFile(Folder.File(QStringLiteral("INI/Timer.ini")))
                  .ReadInteger(QStringLiteral("ctReqDevices"), QStringLiteral("Interval"), 0),
              250);
    const TIniFile Positions(Folder.File(QStringLiteral("INI/WndPos.ini")));
    EXPECT_TRUE(Positions.SectionExists(QStringLiteral("FormMain")));
    EXPECT_TRUE(Positions.SectionExists(QStringLiteral("FormTaraEditor")));
    EXPECT_TRUE(QFileInfo::exists(Folder.File(QStringLiteral("INI/bde.ini"))));
    const QStringList Table = ReadTextLines(Folder.File(QStringLiteral("TarTabl/ttFromLanx1.txt")));
    ASSERT_EQ(Table.size(), 39);
    EXPECT_EQ(Table[5], QStringLiteral("ttFromLanx1=32"));
}
