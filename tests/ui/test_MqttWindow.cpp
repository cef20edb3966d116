// Publishing from the program's windows: the settings dialog, the status-bar
// panel and the echo, against a real mosquitto broker and the polling engine
// on the simulated transducer.
#include "EngineRig.h"
#include "Lanx1.h"
#include "MqttTestBroker.h"
#include "ReadOnlyFolder.h"
#include "RecordingMessages.h"
#include "UiTestSupport.h"
#include "fMain.h"
#include "fMqttSettings.h"
#include "uCycleReadings.h"
#include "uIniFile.h"
#include "uLanx1Instance.h"
#include "uMqttPayload.h"
#include "uMqttPublisher.h"
#include "uWindows.h"

#include <QCheckBox>
#include <algorithm>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

#define REQUIRE_MOSQUITTO()                                                                                           \
    if (TTestBroker::Program().isEmpty())                                                                             \
    GTEST_SKIP() << "mosquitto is not installed (scripts/setup installs it)"


int FileMode(const QString &Path) {
    struct stat St {};
    return ::stat(QFile::encodeName(Path).constData(), &St) == 0 ? static_cast<int>(St.st_mode & 07777) : -1;
}

bool Red(const QLabel *Label) {
    return Label->palette().color(QPalette::WindowText) == QColor(Qt::red);
}

// The echo lines that begin with Start, without their time stamps.
QStringList EchoStarting(const TFormMain &Form, const QString &Start) {
    QStringList Result;
    for (const QString &Line : Form.EchoLines())
        if (EchoBody(Line).startsWith(Start))
            Result << EchoBody(Line);
    return Result;
}

// The distinct time stamps of the state messages, in order of arrival.
QStringList StateTimes(const std::vector<TTestMessage> &Messages) {
    QStringList Times;
    QSet<QString> Seen;
    for (const TTestMessage &M : Messages) {
        if (!M.Topic.startsWith(QStringLiteral("lanx1/")) || !M.Topic.endsWith(QStringLiteral("/state")))
            continue;
        const QString T = QJsonDocument::fromJson(M.Payload).object().value(QStringLiteral("time")).toString();
        if (!Seen.contains(T)) {
            Seen.insert(T);
            Times << T;
        }
    }
    return Times;
}

class MqttWindow : public ::testing::Test {
protected:
    void SetUp() override {
        WindowHooks() = TWindowHooks();
        Rig = std::make_unique<TEngineRig>();
    }
    void TearDown() override {
        Form.reset();
        Rig.reset();
        WindowHooks() = TWindowHooks();
    }
    // The main window, polling the level and the volume.
    void Create() {
        Form = std::make_unique<TFormMain>();
        PollSet.Clear();
        PollSet.Include(rkReadLevel);
        PollSet.Include(rkReadVolume);
    }
    QLabel *Panel() { return Form->StatusPanel(5); }
    QString PanelText() { return Panel()->text(); }
    // Opens "Публикация MQTT…" and lets Fill work the dialog.
    void EditSettings(const std::function<void(TFormMqttSettings &)> &Fill) {
        bool Seen = false;
        auto Watch = OnNextModal([&](QWidget *Modal) {
            auto *D = qobject_cast<TFormMqttSettings *>(Modal);
            if (!D) {
                Modal->close();
                return;
            }
            Seen = true;
            Fill(*D);
            if (D->isVisible())
                D->close();
        });
        Form->actMqttSettings->trigger();
        EXPECT_TRUE(Seen);
    }
    // The publishing settings of a broker with the default prefix.
    static TMqttSettings SettingsFor(const TTestBroker &Broker) {
        TMqttSettings S;
        S.Enabled = true;
        S.Url = Broker.Url();
        return S;
    }

    TRecordingMessages Messages;
    std::unique_ptr<TEngineRig> Rig;
    std::unique_ptr<TFormMain> Form;
};

} // namespace

TEST_F(MqttWindow, SettingsDialogChecksWhatItIsGiven) {
    TMqttSettings S;
    S.Url = QStringLiteral("mqtt://old");
    TFormMqttSettings D(S);
    // Off: kept for later, whatever the address.
    EXPECT_FALSE(D.chkEnabled->isChecked());
    EXPECT_FALSE(D.edtUrl->isEnabled());
    EXPECT_TRUE(D.btnOK->isEnabled());
    D.chkEnabled->setChecked(true);
    EXPECT_TRUE(D.btnOK->isEnabled());
    EXPECT_EQ(D.lblTopics->text(), QStringLiteral("Темы: lanx1/<номер установки>/state и …/status"));

    const struct {
        const char *Field;
        QString Text;
        const char *Problem;
    } Rows[] = {
        {"edtUrl", QStringLiteral("http://broker"), "Адрес брокера должен иметь вид"},
        {"edtUrl", QString(), "Не задан адрес брокера"},
        {"edtTopicPrefix", QStringLiteral("a/#"), "Префикс темы не может"},
        {"edtPassword", QStringLiteral("✓"), "Пароль содержит знаки, которых нет в кодировке Windows-1251"},
        {"edtPassword", QStringLiteral("secret "), "Пароль начинается или кончается пробелом"},
        {"edtPassword", QStringLiteral("secret"), "Пароль задан без имени пользователя"},
        {"edtCaFile", QStringLiteral("/etc/hostname"), "Сертификат центра нужен только для адреса mqtts://"},
    };
    for (const auto &Row : Rows) {
        SCOPED_TRACE(Row.Field);
        auto *Field = D.findChild<QLineEdit *>(QLatin1String(Row.Field));
        ASSERT_NE(Field, nullptr);
        const QString Was = Field->text();
        Field->setText(Row.Text);
        EXPECT_FALSE(D.btnOK->isEnabled());
        EXPECT_TRUE(D.lblProblem->text().startsWith(QString::fromUtf8(Row.Problem))) << D.lblProblem->text().toStdString();
        Field->setText(Was);
        EXPECT_TRUE(D.btnOK->isEnabled()) << D.lblProblem->text().toStdString();
        EXPECT_TRUE(D.lblProblem->text().isEmpty());
    }

    // The certificate file is for mqtts:// only, and taken from the file dialog.
    EXPECT_FALSE(D.btnCaFile->isEnabled());
    D.edtUrl->setText(QStringLiteral("mqtts://broker:8883"));
    ASSERT_TRUE(D.btnCaFile->isEnabled());
    TFormMqttSettings::ChooseCaFile = [](QWidget *, const QString &) { return QStringLiteral("/etc/hostname"); };
    D.btnCaFile->click();
    TFormMqttSettings::ChooseCaFile = [](QWidget *, const QString &) { return QString(); };
    EXPECT_EQ(D.edtCaFile->text(), QStringLiteral("/etc/hostname"));
    D.btnCaFile->click(); // cancelled: the file stays
    EXPECT_EQ(D.edtCaFile->text(), QStringLiteral("/etc/hostname"));
    D.edtTopicPrefix->setText(QStringLiteral(" site/tank "));
    EXPECT_EQ(D.lblTopics->text(), QStringLiteral("Темы: site/tank/<номер установки>/state и …/status"));
    const TMqttSettings Back = D.Settings();
    EXPECT_TRUE(Back.Enabled);
    EXPECT_EQ(Back.Url, QStringLiteral("mqtts://broker:8883"));
    EXPECT_EQ(Back.CaFile, QStringLiteral("/etc/hostname"));
    EXPECT_EQ(Back.TopicPrefix, QStringLiteral("site/tank"));
}

TEST_F(MqttWindow, TurnedOnInTheDialogItPublishesEveryCycleAndShowsItsState) {
    REQUIRE_MOSQUITTO();
    TTestBroker Broker;
    QString Error;
    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"));
    ASSERT_TRUE(Sub.WaitSubscribed());

    Create();
    // Off until it is turned on: no panel, no publisher, no file.
    EXPECT_EQ(Form->MqttPublisher(), nullptr);
    EXPECT_TRUE(Panel()->isHidden());
    EXPECT_FALSE(QFileInfo::exists(MqttIniPath()));
    Rig->PollOnce(); // archived before publishing began: not owed

    EditSettings([&](TFormMqttSettings &D) {
        D.chkEnabled->setChecked(true);
        D.edtUrl->setText(Broker.Url());
        ASSERT_TRUE(D.btnOK->isEnabled()) << D.lblProblem->text().toStdString();
        D.btnOK->click();
    });
    EXPECT_EQ(LoadMqttSettings(), SettingsFor(Broker));
    EXPECT_EQ(FileMode(MqttIniPath()), 0600);
    ASSERT_NE(Form->MqttPublisher(), nullptr);
    EXPECT_FALSE(Panel()->isHidden());
    // Nothing goes out before the device has told its plant number: the
    // first poll cycle asks it.
    ASSERT_TRUE(WaitFor([&] { return PanelText() == QStringLiteral("MQTT: нет номера установки (0 в очереди)"); }, 30000))
        << PanelText().toStdString();
    EXPECT_EQ(EchoStarting(*Form, "MQTT"),
              QStringList{QStringLiteral("MQTT: ничего не публикуется, пока не известен номер установки: устройство его "
                                         "ещё не сообщило")});
    EXPECT_TRUE(Sub.On(QStringLiteral("lanx1/%1/status").arg(Lanx1->PlantNumber())).empty());

    const TDateTime From = Form->MqttPublisher()->Status().Cursor;
    Rig->PollOnce();
    ASSERT_TRUE(WaitFor([&] { return PanelText() == QStringLiteral("MQTT: подключено (0 в очереди)"); }, 30000))
        << PanelText().toStdString();
    EXPECT_FALSE(Red(Panel()));
    EXPECT_EQ(EchoStarting(*Form, "MQTT").value(0), QStringLiteral("MQTT: подключено к брокеру ") + Broker.Url());
    for (int i = 0; i < 2; ++i)
        Rig->PollOnce();
    ASSERT_TRUE(Sub.WaitFor([](const std::vector<TTestMessage> &All) { return StateTimes(All).size() >= 3; }));
    QStringList Archived;
    for (const TCycleReadings &C : ReadCyclesAfter({From, From, From}, 0, 100))
        Archived << IsoTimeWithOffset(C.At);
    EXPECT_EQ(StateTimes(Sub.Messages()), Archived);
    EXPECT_EQ(Archived.size(), 3);
    // The readings polled, and those only.
    const std::vector<TTestMessage> All = Sub.Messages();
    const auto Last = std::find_if(All.rbegin(), All.rend(), [](const TTestMessage &M) { return M.Topic.endsWith("/state"); });
    ASSERT_NE(Last, All.rend());
    EXPECT_EQ(Last->Topic, QStringLiteral("lanx1/%1/state").arg(Lanx1->PlantNumber()));
    EXPECT_EQ(QJsonDocument::fromJson(Last->Payload).object().keys(),
              (QStringList{"address", "error", "errorText", "level", "levelUnit", "plant", "time", "volume",
                           "volumeUnit"}));

    // Turned off: the broker is told, the panel goes, the publisher stops.
    EditSettings([&](TFormMqttSettings &D) {
        EXPECT_TRUE(D.chkEnabled->isChecked());
        EXPECT_EQ(D.edtUrl->text(), Broker.Url());
        D.chkEnabled->setChecked(false);
        D.btnOK->click();
    });
    EXPECT_EQ(Form->MqttPublisher(), nullptr);
    EXPECT_TRUE(Panel()->isHidden());
    EXPECT_EQ(EchoStarting(*Form, "MQTT").value(0), QStringLiteral("MQTT: публикация выключена"));
    EXPECT_FALSE(LoadMqttSettings().Enabled);
    EXPECT_TRUE(Sub.WaitFor([](const std::vector<TTestMessage> &All) {
        return !All.empty() && All.back().Topic.endsWith(QStringLiteral("/status")) && All.back().Payload == "offline";
    }));
}

TEST_F(MqttWindow, RefusedPasswordIsSaidOnceAndPollingGoesOnThenNothingIsLost) {
    REQUIRE_MOSQUITTO();
    TTestBroker Broker;
    QString Error;
    ASSERT_TRUE(Broker.RequirePassword(QStringLiteral("tech"), QStringLiteral("right"), &Error)) << Error.toStdString();
    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"),
                        {QString(), QStringLiteral("tech"), QStringLiteral("right")});
    ASSERT_TRUE(Sub.WaitSubscribed());
    TMqttSettings S = SettingsFor(Broker);
    S.User = QStringLiteral("tech");
    S.Password = QStringLiteral("wrong");
    ASSERT_TRUE(SaveMqttSettings(S));

    // Publishing starts with the program, as the file says (the device has
    // told its plant number already).
    ASSERT_TRUE(Rig->Engine().LearnPlantNumberNow());
    Create();
    ASSERT_NE(Form->MqttPublisher(), nullptr);
    const TDateTime From = Form->MqttPublisher()->Status().Cursor;
    ASSERT_TRUE(WaitFor([&] { return PanelText().startsWith(QStringLiteral("MQTT: нет связи (")); }, 30000))
        << PanelText().toStdString();
    EXPECT_TRUE(Red(Panel()));
    EXPECT_TRUE(Panel()->toolTip().contains(QStringLiteral("имя пользователя или пароль"))) << Panel()->toolTip().toStdString();

    // Polling goes on; the cycles are owed.
    const int Answers = AnswerCount;
    for (int i = 0; i < 4; ++i)
        Rig->PollOnce();
    EXPECT_EQ(AnswerCount, Answers + 8);
    ASSERT_TRUE(WaitFor([&] { return PanelText() == QStringLiteral("MQTT: нет связи (4 в очереди)"); }, 10000))
        << PanelText().toStdString();
    // Said once, however often the publisher tries again.
    const QStringList Said = EchoStarting(*Form, "MQTT");
    ASSERT_EQ(Said.size(), 1) << Said.join(u'|').toStdString();
    EXPECT_TRUE(Said[0].contains(QStringLiteral("имя пользователя или пароль"))) << Said[0].toStdString();

    // The right password: what was polled meanwhile arrives, in order.
    EditSettings([&](TFormMqttSettings &D) {
        D.edtPassword->setText(QStringLiteral("right"));
        D.btnOK->click();
    });
    ASSERT_TRUE(WaitFor([&] { return PanelText() == QStringLiteral("MQTT: подключено (0 в очереди)"); }, 30000))
        << PanelText().toStdString();
    EXPECT_FALSE(Red(Panel()));
    EXPECT_EQ(EchoStarting(*Form, "MQTT").value(0), QStringLiteral("MQTT: подключено к брокеру ") + Broker.Url());
    ASSERT_TRUE(Sub.WaitFor([](const std::vector<TTestMessage> &All) { return StateTimes(All).size() >= 4; }));
    QStringList Archived;
    for (const TCycleReadings &C : ReadCyclesAfter({From, From, From}, 0, 100))
        Archived << IsoTimeWithOffset(C.At);
    EXPECT_EQ(Archived.size(), 4);
    EXPECT_EQ(StateTimes(Sub.Messages()), Archived);
}

TEST_F(MqttWindow, SettingsThatCannotBeSavedChangeNothing) {
    Create();
    TReadOnlyFolder ReadOnly(QFileInfo(MqttIniPath()).absolutePath());
    if (!ReadOnly.Active())
        GTEST_SKIP() << ReadOnly.Reason().toStdString();
    EditSettings([&](TFormMqttSettings &D) {
        D.chkEnabled->setChecked(true);
        D.edtUrl->setText(QStringLiteral("mqtt://127.0.0.1:1"));
        D.btnOK->click();
    });
    ASSERT_EQ(Messages.Messages().size(), 1);
    EXPECT_EQ(Messages.Messages()[0].Icon, TMsgIcon::Error);
    EXPECT_TRUE(Messages.Messages()[0].Text.startsWith(QStringLiteral("Настройки публикации не сохранены:\r")))
        << Messages.Messages()[0].Text.toStdString();
    EXPECT_EQ(Form->MqttPublisher(), nullptr);
    EXPECT_TRUE(Panel()->isHidden());
    EXPECT_FALSE(QFileInfo::exists(MqttIniPath()));
}

TEST_F(MqttWindow, WhatThePreviousRunOwedArrivesAfterTheRestart) {
    REQUIRE_MOSQUITTO();
    TTestBroker Broker;
    QString Error;
    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    Broker.Stop();
    ASSERT_TRUE(SaveMqttSettings(SettingsFor(Broker)));

    ASSERT_TRUE(Rig->Engine().LearnPlantNumberNow());
    Create();
    const TDateTime From = Form->MqttPublisher()->Status().Cursor;
    ASSERT_TRUE(WaitFor([&] { return PanelText().startsWith(QStringLiteral("MQTT: нет связи (")); }, 30000))
        << PanelText().toStdString();
    for (int i = 0; i < 3; ++i)
        Rig->PollOnce();
    ASSERT_TRUE(WaitFor([&] { return PanelText() == QStringLiteral("MQTT: нет связи (3 в очереди)"); }, 10000))
        << PanelText().toStdString();
    Form.reset();

    ASSERT_TRUE(Broker.Start(&Error)) << Error.toStdString();
    TTestSubscriber Sub(Broker.Port(), QStringLiteral("lanx1/#"));
    ASSERT_TRUE(Sub.WaitSubscribed());
    Create();
    ASSERT_TRUE(Sub.WaitFor([](const std::vector<TTestMessage> &All) { return StateTimes(All).size() >= 3; }));
    QStringList Archived;
    for (const TCycleReadings &C : ReadCyclesAfter({From, From, From}, 0, 100))
        Archived << IsoTimeWithOffset(C.At);
    EXPECT_EQ(Archived.size(), 3);
    EXPECT_EQ(StateTimes(Sub.Messages()), Archived);
    EXPECT_TRUE(WaitFor([&] { return PanelText() == QStringLiteral("MQTT: подключено (0 в очереди)"); }, 30000))
        << PanelText().toStdString();
}
