// The link windows on top of the real polling engine and the simulated
// transducer: the exchange statistics with the status-bar panel that sums
// them up, and the search for a device of unknown settings.
#include "EngineRig.h"
#include "Lanx1.h"
#include "RecordingMessages.h"
#include "TLanx1DeviceModel.h"
#include "UiTestSupport.h"
#include "fDeviceScan.h"
#include "fExchangeStatistics.h"
#include "fMain.h"
#include "uLanx1Instance.h"
#include "uWindows.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <qcustomplot.h>

void PrintTo(const QString &Text, std::ostream *Out) {
    *Out << '"' << Text.toStdString() << '"';
}

namespace {

// Short time-outs, so that a silent device costs little time per try.
const QStringList kFastLine{QStringLiteral("ReadTotalConstant=60"), QStringLiteral("ReadTotalMultiplier=0"),
                            QStringLiteral("ReadInterval=20")};

// Ticks only the items of List whose text is in Texts.
void TickOnly(QListWidget *List, const QStringList &Texts) {
    for (int i = 0; i < List->count(); ++i)
        List->item(i)->setCheckState(Texts.contains(List->item(i)->text()) ? Qt::Checked : Qt::Unchecked);
}

QStringList Row(const QTableWidget *Table, int Row) {
    QStringList Cells;
    for (int Col = 0; Col < Table->columnCount(); ++Col)
        Cells << (Table->item(Row, Col) ? Table->item(Row, Col)->text() : QString());
    return Cells;
}

// The count of the statistics row called Name ("" when there is none).
QString CountOf(const QTableWidget *Table, const QString &Name) {
    for (int i = 0; i < Table->rowCount(); ++i)
        if (Table->item(i, 0) && Table->item(i, 0)->text() == Name)
            return Table->item(i, 1)->text();
    return {};
}

// The third column: the share of all exchanges, empty where a row counts no exchanges.
QString ShareOf(const QTableWidget *Table, const QString &Name) {
    for (int i = 0; i < Table->rowCount(); ++i)
        if (Table->item(i, 0) && Table->item(i, 0)->text() == Name)
            return Table->item(i, 2)->text();
    return QStringLiteral("(no row)");
}

bool Red(const QLabel *Label) {
    return Label->palette().color(QPalette::WindowText) == QColor(Qt::red);
}

class LinkWindows : public ::testing::Test {
protected:
    void SetUp() override {
        WindowHooks() = TWindowHooks();
        Rig = std::make_unique<TEngineRig>(kFastLine);
        const QString Port = Rig->Sim().PortName();
        TFormDeviceScan::SystemPorts = [Port] { return QStringList{Port}; };
    }
    void TearDown() override {
        Form.reset();
        Rig.reset();
        WindowHooks() = TWindowHooks();
    }
    void Create() { Form = std::make_unique<TFormMain>(); }
    QLabel *Quality() { return Form->StatusPanel(4); }
    TLanx1Simulator &Sim() { return Rig->Sim(); }
    // One try of a read; true when it was answered.
    bool ReadOnce() { return Form->ExecuteCommand(rkReadLevel, QStringLiteral("Считать уровень"), 1); }

    TRecordingMessages Messages;
    std::unique_ptr<TEngineRig> Rig;
    std::unique_ptr<TFormMain> Form;
};

} // namespace

TEST(QualityPanel, TextAndWarning) {
    TExchangeCounts C;
    EXPECT_EQ(QualityPanelText(C), "—");
    EXPECT_FALSE(QualityWarning(C));
    C.Exchanges = C.Answered = 3;
    C.ResponseMsSum = 141;
    C.RecentExchanges = 1000 / 10;
    C.RecentAnswered = 90;
    EXPECT_EQ(QualityPanelText(C), "90,0 % · 47 мс");
    EXPECT_FALSE(QualityWarning(C));
    C.RecentAnswered = 89;
    EXPECT_EQ(QualityPanelText(C), "89,0 % · 47 мс");
    EXPECT_TRUE(QualityWarning(C));
    // Nothing answered: no response time to show.
    C.Answered = 0;
    C.RecentAnswered = 0;
    EXPECT_EQ(QualityPanelText(C), "0,0 %");
}

TEST_F(LinkWindows, StatusPanelShowsTheQualityAndTurnsRedUnder90PerCent) {
    Create();
    EXPECT_EQ(Quality()->text(), "—");
    EXPECT_FALSE(Red(Quality()));

    for (int i = 0; i < 9; ++i)
        ASSERT_TRUE(ReadOnce());
    Sim().SetFault(TSimFault::Silence, 0, 1);
    EXPECT_FALSE(ReadOnce());
    ASSERT_EQ(Rig->Engine().Statistics().RecentExchanges, 10);
    static const QRegularExpression Ninety(QStringLiteral("^90,0 % · \\d+ мс$"));
    ASSERT_TRUE(WaitFor([&] { return Ninety.match(Quality()->text()).hasMatch(); })) << Quality()->text().toStdString();
    EXPECT_FALSE(Red(Quality()));

    Sim().SetFault(TSimFault::Silence, 0, 1);
    EXPECT_FALSE(ReadOnce());
    static const QRegularExpression Under(QStringLiteral("^81,8 % · \\d+ мс$"));
    ASSERT_TRUE(WaitFor([&] { return Under.match(Quality()->text()).hasMatch(); })) << Quality()->text().toStdString();
    EXPECT_TRUE(Red(Quality()));

    // The window shows the same figures, and "Сбросить" sets the window and the panel to zero.
    Form->actExchangeStatistics->trigger();
    TFormExchangeStatistics *W = TFormExchangeStatistics::Instance();
    ASSERT_NE(W, nullptr);
    EXPECT_TRUE(W->isVisible());
    EXPECT_EQ(W->windowTitle(), "Статистика обмена");
    EXPECT_EQ(CountOf(W->Counts(), "Всего обменов"), "11");
    EXPECT_EQ(CountOf(W->Counts(), "Ответ получен"), "9");
    EXPECT_EQ(CountOf(W->Counts(), "Нет ответа"), "2");
    EXPECT_EQ(ShareOf(W->Counts(), "Нет ответа"), "18,2");
    // Noise is a count of bytes: no share of the exchanges.
    EXPECT_EQ(ShareOf(W->Counts(), "Байт шума"), "");
    EXPECT_TRUE(W->Quality()->text().endsWith("81,8 %")) << W->Quality()->text().toStdString();
    EXPECT_TRUE(W->Response()->text().contains("мин.")) << W->Response()->text().toStdString();
    double Bars = 0;
    for (auto It = W->Bars()->data()->constBegin(); It != W->Bars()->data()->constEnd(); ++It)
        Bars += It->value;
    EXPECT_EQ(Bars, 9);
    // Single instance.
    Form->actExchangeStatistics->trigger();
    EXPECT_EQ(TFormExchangeStatistics::Instance(), W);

    // The time axis as far as the replies go (the simulator answers within
    // milliseconds), not up to the read time-out.
    EXPECT_LE(W->Chart()->xAxis->range().upper, 5.0 * TExchangeCounts::BucketMs);
    EXPECT_GE(W->Chart()->xAxis->range().upper, 2.0 * TExchangeCounts::BucketMs);

    W->ResetButton()->click();
    // Nothing counted: the count axis still has whole numbers only.
    W->Chart()->replot();
    for (const double Tick : W->Chart()->yAxis->tickVector())
        EXPECT_EQ(Tick, std::round(Tick));
    EXPECT_EQ(CountOf(W->Counts(), "Всего обменов"), "0");
    EXPECT_EQ(CountOf(W->Counts(), "Ответ получен"), "0");
    EXPECT_EQ(CountOf(W->Counts(), "Нет ответа"), "0");
    EXPECT_TRUE(W->Quality()->text().endsWith("—")) << W->Quality()->text().toStdString();
    EXPECT_EQ(W->Response()->text(), "Время ответа, мс: —");
    EXPECT_EQ(Rig->Engine().Statistics().Exchanges, 0u);
    EXPECT_EQ(Quality()->text(), "—");
    EXPECT_FALSE(Red(Quality()));

    // Live: an exchange shows up in the window while it is open.
    ASSERT_TRUE(ReadOnce());
    EXPECT_TRUE(WaitFor([&] { return CountOf(W->Counts(), "Ответ получен") == "1"; }));
    EXPECT_TRUE(WaitFor([&] { return Quality()->text().startsWith("100,0 % · "); })) << Quality()->text().toStdString();
    W->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(TFormExchangeStatistics::Instance(), nullptr);
    // Esc closes it, with the focus on the table, on a label, or right after opening.
    for (int Where = 0; Where < 3; ++Where) {
        Form->actExchangeStatistics->trigger();
        TFormExchangeStatistics *S = TFormExchangeStatistics::Instance();
        ASSERT_NE(S, nullptr);
        QWidget *const Targets[] = {S->Counts(), S->Quality(), S};
        QWidget *Target = Targets[Where];
        QTest::keyClick(Target, Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(TFormExchangeStatistics::Instance(), nullptr) << Where;
    }
}

TEST_F(LinkWindows, ScanFindsTheDeviceAndApplyTakesItsSettings) {
    Create();
    Sim().SetAddress(37);
    Sim().SetBaudRate(2400);
    Sim().SetBaudRateCheck(true);
    Sim().SetRegister(TLanx1DeviceModel::rgPlantNumber, 4321);
    Sim().SetRegister(TLanx1DeviceModel::rgModification, 2);
    TTransmitter &T = *Rig->Engine().Transmitter;
    ASSERT_TRUE(Form->actDeviceScan->isEnabled());

    QStringList Seen;
    bool PortClosed = false;
    auto Watch = OnNextModal([&](QWidget *Modal) {
        auto *D = qobject_cast<TFormDeviceScan *>(Modal);
        ASSERT_NE(D, nullptr);
        PortClosed = !T.IsOpen();
        for (int i = 0; i < D->BaudList()->count(); ++i)
            Seen << D->BaudList()->item(i)->text() +
                        (D->BaudList()->item(i)->checkState() == Qt::Checked ? "+" : "-");
        EXPECT_EQ(D->PortList()->count(), 1);
        EXPECT_EQ(D->FirstAddress()->value(), 1);
        EXPECT_EQ(D->LastAddress()->value(), 247);
        EXPECT_FALSE(D->ApplyButton()->isEnabled());
        TickOnly(D->BaudList(), {"9600", "2400"});
        D->FirstAddress()->setValue(35);
        D->LastAddress()->setValue(40);
        D->StartButton()->click();
        EXPECT_TRUE(D->Scanning());
        EXPECT_FALSE(D->StartButton()->isEnabled());
        EXPECT_TRUE(D->StopButton()->isEnabled());
        ASSERT_TRUE(WaitFor([&] { return !D->Scanning(); }, 30000));
        ASSERT_EQ(D->Results()->rowCount(), 1);
        EXPECT_EQ(Row(D->Results(), 0), (QStringList{Sim().PortName(), "2400", "37", "4321", "2", ""}));
        EXPECT_TRUE(D->ProgressText()->text().contains("найдено: 1")) << D->ProgressText()->text().toStdString();
        // Nothing is changed before "Применить".
        EXPECT_FALSE(ReadAll(Rig->Folder().File("INI/ComPort.ini")).contains("BaudRate=2400"));
        ASSERT_TRUE(D->ApplyButton()->isEnabled());
        D->ApplyButton()->click();
    });
    Form->actDeviceScan->trigger();
    EXPECT_TRUE(PortClosed);
    EXPECT_EQ(Seen, (QStringList{"9600+", "19200+", "38400+", "57600+", "115200+", "4800+", "2400+", "1200+"}));

    const QByteArray Ini = ReadAll(Rig->Folder().File("INI/ComPort.ini"));
    EXPECT_TRUE(Ini.contains(("Port=" + Sim().PortName()).toUtf8())) << Ini.toStdString();
    EXPECT_TRUE(Ini.contains("BaudRate=2400")) << Ini.toStdString();
    EXPECT_EQ(T.GetSettings().BaudRate, "2400");
    EXPECT_TRUE(T.IsOpen());
    EXPECT_EQ(Lanx1->SystemAddress(), 37);
    // The program now reaches the device.
    EXPECT_TRUE(ReadOnce());
}

TEST_F(LinkWindows, ScanIsOfferedOnlyWhilePollingIsStoppedAndLeavesThePortAsItWas) {
    Create();
    Form->actOprosStart->trigger();
    EXPECT_FALSE(Form->actDeviceScan->isEnabled());
    Form->actOprosStop->trigger();
    EXPECT_TRUE(Form->actDeviceScan->isEnabled());

    TTransmitter &T = *Rig->Engine().Transmitter;
    const QByteArray IniBefore = ReadAll(Rig->Folder().File("INI/ComPort.ini"));
    auto Watch = OnNextModal([](QWidget *Modal) { Modal->close(); });
    Form->actDeviceScan->trigger();
    EXPECT_TRUE(T.IsOpen());
    EXPECT_EQ(ReadAll(Rig->Folder().File("INI/ComPort.ini")), IniBefore);
    EXPECT_TRUE(ReadOnce());
}

TEST_F(LinkWindows, ScanStopsWhenAskedAndNamesAGarbledSignal) {
    // A device at 1200 baud: at 9600 the line stays silent, a long search.
    Sim().SetBaudRate(1200);
    Sim().SetBaudRateCheck(true);
    Rig->Engine().Transmitter->Close();
    TScanOptions Defaults;
    Defaults.Line = Rig->Engine().Transmitter->GetSettings();
    {
        TFormDeviceScan D(Defaults);
        TickOnly(D.BaudList(), {"9600"});
        D.StartButton()->click();
        ASSERT_TRUE(WaitFor([&] { return D.Progress()->value() > 0; }, 20000));
        D.StopButton()->click();
        ASSERT_TRUE(WaitFor([&] { return !D.Scanning(); }));
        EXPECT_TRUE(D.ProgressText()->text().startsWith("Поиск остановлен")) << D.ProgressText()->text().toStdString();
        EXPECT_LT(D.Progress()->value(), 1000);
        EXPECT_EQ(D.Results()->rowCount(), 0);
        EXPECT_TRUE(D.StartButton()->isEnabled());
        EXPECT_FALSE(D.StopButton()->isEnabled());
        EXPECT_FALSE(D.ApplyButton()->isEnabled());

        // Closing the dialog in the middle of a search ends it.
        D.StartButton()->click();
        ASSERT_TRUE(D.Scanning());
    }

    // With garbage at a wrong baud rate, the port is named as garbled.
    Sim().SetWrongBaudGarbage(true);
    TFormDeviceScan D(Defaults);
    TickOnly(D.BaudList(), {"9600"});
    D.FirstAddress()->setValue(1);
    D.LastAddress()->setValue(3);
    D.StartButton()->click();
    ASSERT_TRUE(WaitFor([&] { return !D.Scanning(); }, 20000));
    ASSERT_GE(D.Results()->rowCount(), 1);
    const QStringList First = Row(D.Results(), 0);
    EXPECT_EQ(First[0], Sim().PortName());
    EXPECT_EQ(First[1], "9600");
    // Not under the plant number: in the note column.
    EXPECT_EQ(D.Results()->horizontalHeaderItem(5)->text(), "Примечание");
    EXPECT_EQ(First[3], "");
    EXPECT_EQ(First[5], "сигнал есть, но искажён");
    D.Results()->selectRow(0);
    EXPECT_FALSE(D.ApplyButton()->isEnabled());
}
