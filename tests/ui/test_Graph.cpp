// The graph window over a temporary archive, and its printed report.
#include "IODescription.h"
#include "RecordingMessages.h"
#include "TestEnvironment.h"
#include "fGraph.h"
#include "rGraph.h"
#include "uBDE.h"
#include "uDataCtrl.h"
#include "uGapGraph.h"
#include "uGraphAxes.h"
#include "uGraphData.h"
#include "uIniFile.h"
#include "uLanx1Instance.h"
#include "uSysUtils.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPaintEngine>
#include <QPrintPreviewDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QLabel>
#include <QStatusBar>
#include <cmath>
#include <gtest/gtest.h>
#include <qcustomplot.h>
#include <sqlite3.h>

#include <algorithm>
#include <functional>

namespace {


// Runs Action on the first modal dialog that opens (polling, since the
// dialog opens only after the call that starts it).
void OnModal(std::function<void(QWidget *)> Action) {
    auto *Timer = new QTimer;
    Timer->setInterval(5);
    QObject::connect(Timer, &QTimer::timeout, [Timer, Action] {
        if (QWidget *W = QApplication::activeModalWidget()) {
            Timer->stop();
            Timer->deleteLater();
            Action(W);
        }
    });
    Timer->start();
}

void AnswerInput(const QString &Text) {
    OnModal([Text](QWidget *W) {
        auto *Edit = W->findChild<QLineEdit *>();
        ASSERT_NE(Edit, nullptr);
        Edit->setText(Text);
        auto *Ok = W->findChild<QPushButton *>(QStringLiteral("btnOK"));
        ASSERT_NE(Ok, nullptr);
        Ok->click();
    });
}

// A paint device that keeps every text drawn on it, at screen resolution.
class TTextRecorder : public QPaintDevice {
public:
    QStringList Texts() const { return FEngine.Texts; }
    QPaintEngine *paintEngine() const override { return &FEngine; }

protected:
    int metric(PaintDeviceMetric M) const override {
        switch (M) {
        case PdmWidth: return 1123;
        case PdmHeight: return 794;
        case PdmWidthMM: return 297;
        case PdmHeightMM: return 210;
        case PdmNumColors: return 0x7fffffff;
        case PdmDepth: return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return 96;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return 0;
        }
    }

private:
    class TEngine : public QPaintEngine {
    public:
        TEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
        bool begin(QPaintDevice *) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState &) override {}
        void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
        void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
        void drawPath(const QPainterPath &) override {}
        void drawTextItem(const QPointF &, const QTextItem &Item) override { Texts << Item.text(); }
        Type type() const override { return QPaintEngine::User; }
        QStringList Texts;
    };
    mutable TEngine FEngine;
};

QStringList RenderTexts(TRepGraph &Report) {
    TTextRecorder Device;
    QCPPainter Painter(&Device);
    Report.RenderPage(&Painter, Device.width(), Device.height());
    Painter.end();
    return Device.Texts();
}

class GraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDbPath(Folder.File(QStringLiteral("DATA")));
        SetArchiveBusyTimeout(50);
        Level.Description.Title = QStringLiteral("Уровень");
        Level.Description.Dimension = QStringLiteral("мм");
        Level.Description.Digits = 1;
        Level.Description.Precision = 9;
        Level.Description.SetMinMax(0, 100);
    }
    void TearDown() override { SetArchiveBusyTimeout(5000); }

    void Write(TDateTime T, double V, const QString &Name = QStringLiteral("aLevel")) {
        ASSERT_TRUE(ArchiveWrite(Name, QString(), T, V));
    }
    // One reading a minute from Start, Count of them, value = Base + minute
    // index; each day's rows in one transaction.
    void WriteMinutes(TDateTime Start, int Count, double Base = 0) {
        int i = 0;
        while (i < Count) {
            const TDateTime First = Start + i / 1440.0;
            const QString Path = ArchiveFilePath(QStringLiteral("aLevel"), First, QStringLiteral(".db"));
            ASSERT_TRUE(ForceDirectories(ExtractFileDir(Path)));
            ASSERT_TRUE(CreateArchiveTable(Path));
            sqlite3 *Db = nullptr;
            ASSERT_EQ(sqlite3_open(Path.toUtf8().constData(), &Db), SQLITE_OK);
            sqlite3_exec(Db, "BEGIN", nullptr, nullptr, nullptr);
            sqlite3_stmt *Insert = nullptr;
            sqlite3_prepare_v2(Db, "INSERT INTO aLevel (V, DT) VALUES (?1, ?2)", -1, &Insert, nullptr);
            for (; i < Count && DateOf(Start + i / 1440.0) == DateOf(First); ++i) {
                const QByteArray T = ArchiveTimeText(Start + i / 1440.0);
                sqlite3_bind_double(Insert, 1, Base + i);
                sqlite3_bind_text(Insert, 2, T.constData(), int(T.size()), SQLITE_TRANSIENT);
                sqlite3_step(Insert);
                sqlite3_reset(Insert);
            }
            sqlite3_finalize(Insert);
            ASSERT_EQ(sqlite3_exec(Db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(Db);
        }
    }
    bool HasMessage(const QString &Text) const {
        for (const auto &M : Messages.Messages())
            if (M.Text == Text)
                return true;
        return false;
    }

    TTestFolder Folder;
    TRecordingMessages Messages;
    TIODouble Level;
};

std::vector<double> Keys(const TFormGraph &F) {
    std::vector<double> K;
    for (auto It = F.Data()->constBegin(); It != F.Data()->constEnd(); ++It)
        K.push_back(It->key);
    return K;
}

} // namespace

TEST_F(GraphTest, NoArchiveShowsMessageAndTakesLivePoints) {
    TFormGraph F;
    F.Open(QStringLiteral("aLevel"), &Level, QStringLiteral("График"), Now() - 1, Now());
    ASSERT_EQ(Messages.Messages().size(), 1);
    const auto M = Messages.Messages().first();
    EXPECT_EQ(M.Caption, QStringLiteral("Внимание"));
    EXPECT_EQ(M.Text, QStringLiteral("Отсутствуют данные"));
    EXPECT_EQ(M.Icon, TMsgIcon::Warning);
    EXPECT_TRUE(F.Data()->isEmpty());
    EXPECT_EQ(F.Chart()->yAxis->label(), QStringLiteral("Уровень, мм"));
    EXPECT_EQ(F.Chart()->yAxis->range(), QCPRange(0, 100));
    // The time axis and its status show (the end of) the range chosen, not 1970.
    EXPECT_GE(F.Chart()->xAxis->range().lower, KeyFromDateTime(F.Range().GetStart()) - 0.001);
    EXPECT_NEAR(F.Chart()->xAxis->range().upper, KeyFromDateTime(F.Range().GetStop()), 0.001);
    EXPECT_FALSE(F.StatusText(1).contains(QStringLiteral("1970"))) << F.StatusText(1).toStdString();
    EXPECT_FALSE(F.StatusText(1).contains(QStringLiteral("1969"))) << F.StatusText(1).toStdString();

    const TDateTime Before = Now();
    Level.SetValue(TVariant(12.5));
    ASSERT_EQ(F.Data()->size(), 1);
    const QCPGraphData P = *F.Data()->constBegin();
    EXPECT_EQ(P.value, 12.5);
    EXPECT_GE(P.key, KeyFromDateTime(Before) - 0.001);
    EXPECT_LE(P.key, KeyFromDateTime(Now()) + 0.001);
    EXPECT_EQ(F.StatusText(3), QStringLiteral("12,5"));
    Level.SetValue(TVariant(13.0));
    EXPECT_EQ(F.Data()->size(), 2);
    // With points shown, live points go to the marker series as well.
    F.Action(QStringLiteral("actPointsTrue"))->trigger();
    EXPECT_EQ(F.Series2()->data()->size(), 2);
    Level.SetValue(TVariant(14.0));
    EXPECT_EQ(F.Series2()->data()->size(), 3);
    F.Action(QStringLiteral("actPointsFalse"))->trigger();
    EXPECT_TRUE(F.Series2()->data()->isEmpty());
    EXPECT_FALSE(F.Series2()->visible());
}

// Readings a second apart, then none for three hours (a night without
// polling): the line joins the readings of each run and breaks between them,
// on screen and in the printed report.
TEST_F(GraphTest, TheLineBreaksWherePollingPaused) {
    for (int i = 0; i < 3; ++i) {
        Write(At(2026, 2, 10, 8, 0, i), 10 + i);
        Write(At(2026, 2, 10, 11, 0, i), 50 + i);
    }
    TFormGraph F;
    F.Open(QStringLiteral("aLevel"), &Level, QStringLiteral("График"), At(2026, 2, 10, 7), At(2026, 2, 10, 12));
    ASSERT_EQ(F.Data()->size(), 6);
    auto *Line = dynamic_cast<TGapGraph *>(F.Series1());
    ASSERT_NE(Line, nullptr);
    EXPECT_EQ(Line->MaxGap(), 60.0);
    const auto Breaks = [](const QVector<QCPGraphData> &Points) {
        return std::count_if(Points.begin(), Points.end(), [](const QCPGraphData &P) { return std::isnan(P.value); });
    };
    const QVector<QCPGraphData> Points = Line->LinePoints();
    EXPECT_EQ(Breaks(Points), 1);
    EXPECT_EQ(Points.size(), 7);

    TRepGraph Report;
    Report.Fill(F.windowTitle(), F.Chart(), F.Series1(), F.Points());
    auto *Printed = dynamic_cast<TGapGraph *>(Report.Series1());
    ASSERT_NE(Printed, nullptr);
    EXPECT_EQ(Printed->MaxGap(), 60.0);
    // Gaps of a poll period or two are joined.
    EXPECT_EQ(TGapGraph::MaxGapFor(1000), 60.0);
    EXPECT_EQ(TGapGraph::MaxGapFor(30000), 300.0);
}

TEST_F(GraphTest, RangeOverNewYearReadsThreeDayFolders) {
    Write(At(2025, 12, 30, 22, 0), 1);  // before the range
    Write(At(2025, 12, 30, 23, 30), 2);
    Write(At(2025, 12, 31, 12, 0), 3);
    Write(At(2026, 1, 1, 0, 30), 4);
    Write(At(2026, 1, 1, 2, 0), 5);     // after it
    TFormGraph F;
    F.Open(QStringLiteral("aLevel"), &Level, QStringLiteral("График"), At(2025, 12, 30, 23), At(2026, 1, 1, 1));
    EXPECT_TRUE(Messages.Messages().isEmpty());
    EXPECT_EQ(Keys(F), (std::vector<double>{KeyFromDateTime(At(2025, 12, 30, 23, 30)),
                                            KeyFromDateTime(At(2025, 12, 31, 12, 0)),
                                            KeyFromDateTime(At(2026, 1, 1, 0, 30))}));
    F.show();
    EXPECT_EQ(F.StatusText(0), QStringLiteral("Диапазон c 30.12.2025 23:00:00"));

    // The same range chosen as a time range shows its end as well.
    F.ShowArchiveRange(At(2025, 12, 30, 23), At(2026, 1, 1, 1));
    EXPECT_EQ(F.Data()->size(), 3);
    EXPECT_EQ(F.StatusText(0), QStringLiteral("Диапазон c 30.12.2025 23:00:00 по 01.01.2026 01:00:00"));
}

TEST_F(GraphTest, StepIndexOutOfRangeAppliesOneDay) {
    WriteMinutes(At(2026, 3, 1, 0, 0), 3);
    WriteMinutes(At(2026, 3, 3, 12, 0), 3);
    const QString Ini = JoinPath(ProgramDir(), QStringLiteral("INI/fGraph.ini"));
    for (int Index : {0, 13, 2}) {
        SCOPED_TRACE(Index);
        TIniFile(Ini).WriteInteger(QStringLiteral("Parameters"), QStringLiteral("dtStepIndex"), Index);
        TFormGraph F;
        F.Open(QStringLiteral("aLevel"), &Level, QStringLiteral("График"), At(2026, 3, 1, 0, 0, 1), At(2026, 3, 4, 0));
        const bool Valid = Index == 2;
        EXPECT_EQ(F.StepIndex(), Valid ? 2 : 8);
        EXPECT_EQ(F.Action(QStringLiteral("actSetOneDay"))->isChecked(), !Valid);
        EXPECT_EQ(F.Action(QStringLiteral("actSet15Min"))->isChecked(), Valid);
        const QCPRange X = F.Chart()->xAxis->range();
        EXPECT_NEAR(X.size(), Valid ? 900 : 86400, 1e-3);
        EXPECT_NEAR(X.upper, KeyFromDateTime(At(2026, 3, 3, 12, 2)), 1e-3);
        // The window sits at the end of the data.
        EXPECT_TRUE(F.ScrollBar()->isEnabled());
        EXPECT_EQ(F.ScrollBar()->value(), 100);
    }
    // Scrolling to the start moves the window over the first readings.
    TFormGraph F;
    F.Open(QStringLiteral("aLevel"), &Level, QStringLiteral("График"), At(2026, 3, 1, 0, 0, 1), At(2026, 3, 4, 0));
    F.ScrollBar()->setValue(0);
    EXPECT_NEAR(F.Chart()->xAxis->range().lower, KeyFromDateTime(At(2026, 3, 1, 0, 1)), 1e-3);
    EXPECT_EQ(F.StatusText(1), QStringLiteral("c 01.03.2026 00:01:00 по 01.03.2026 00:16:00"));
    EXPECT_EQ(F.StatusText(2), QStringLiteral("100,0мм"));
    F.Action(QStringLiteral("actUndoZoom"))->trigger();
    EXPECT_FALSE(F.ScrollBar()->isEnabled());
    EXPECT_FALSE(F.Action(QStringLiteral("actSet15Min"))->isChecked());
}

// Home shows the first readings (the window starts at the earliest point),
// End the last ones; the scroll bar follows.
TEST_F(GraphTest, HomeShowsTheBeginningAndEndTheEndOfTheData) {
    WriteMinutes(At(2026, 3, 1, 1, 0), 120);
    TIniFile(JoinPath(ProgramDir(), QStringLiteral("INI/fGraph.ini")))
        .WriteInteger(QStringLiteral("Parameters"), QStringLiteral("dtStepIndex"), 2); // 15 minutes
    TFormGraph F;
    F.Open(QStringLiteral("aLevel"), &Level, QStringLiteral("График"), At(2026, 3, 1, 0, 0, 1), At(2026, 3, 2, 0));
    F.show();
    const std::vector<double> K = Keys(F);
    ASSERT_EQ(K.size(), 120u);
    const auto PointsShown = [&F, &K] {
        const QCPRange X = F.Chart()->xAxis->range();
        // Keys are seconds held in a double: a millisecond of slack at the edges.
        return std::count_if(K.begin(), K.end(),
                             [&X](double Key) { return Key >= X.lower - 1e-3 && Key <= X.upper + 1e-3; });
    };
    const auto Press = [&F](Qt::Key Key) {
        QKeyEvent Event(QEvent::KeyPress, Key, Qt::NoModifier);
        QApplication::sendEvent(F.Chart(), &Event);
    };

    Press(Qt::Key_Home);
    EXPECT_DOUBLE_EQ(F.Chart()->xAxis->range().lower, K.front());
    EXPECT_NEAR(F.Chart()->xAxis->range().size(), 900, 1e-3);
    EXPECT_EQ(PointsShown(), 16); // 01:00 to 01:15
    EXPECT_EQ(F.ScrollBar()->value(), 0);
    EXPECT_EQ(F.StatusText(1), QStringLiteral("c 01.03.2026 01:00:00 по 01.03.2026 01:15:00"));

    Press(Qt::Key_End);
    EXPECT_DOUBLE_EQ(F.Chart()->xAxis->range().upper, K.back());
    EXPECT_EQ(PointsShown(), 16); // 02:44 to 02:59
    EXPECT_EQ(F.ScrollBar()->value(), 100);

    // Home again from the end, and twice in a row: the same window.
    Press(Qt::Key_Home);
    Press(Qt::Key_Home);
    EXPECT_DOUBLE_EQ(F.Chart()->xAxis->range().lower, K.front());
    EXPECT_EQ(PointsShown(), 16);
    EXPECT_EQ(F.ScrollBar()->value(), 0);
}

TEST_F(GraphTest, YRangeChangeRefusesZeroAndMoreThanTheSpan) {
    TFormGraph F;
    F.Open(QStringLiteral("aLevel"), &Level, QStringLiteral("График"), Now() - 1, Now());
    Messages.Clear();
    QAction *Change = F.Action(QStringLiteral("actYRangeChange"));
    ASSERT_NE(Change, nullptr);
    EXPECT_EQ(F.YRange(), 0);

    AnswerInput(QStringLiteral("0"));
    Change->trigger();
    EXPECT_EQ(F.YRange(), 0);
    AnswerInput(QStringLiteral("40"));
    Change->trigger();
    EXPECT_EQ(F.YRange(), 40);
    AnswerInput(QStringLiteral("150"));
    Change->trigger();
    EXPECT_EQ(F.YRange(), 40);
    AnswerInput(QStringLiteral("-5"));
    Change->trigger();
    EXPECT_EQ(F.YRange(), 40);
    AnswerInput(QStringLiteral("100"));
    Change->trigger();
    EXPECT_EQ(F.YRange(), 100);
    EXPECT_TRUE(Messages.Messages().isEmpty());

    // Before any live value the current value is 0.
    F.Action(QStringLiteral("actYRangeSet"))->trigger();
    EXPECT_EQ(F.Chart()->yAxis->range(), QCPRange(-50, 50));
    // "Размах 4 мм" re-centres only when the value left the axis.
    Level.SetValue(TVariant(20.0));
    F.Action(QStringLiteral("actSet4Milimeters"))->trigger();
    EXPECT_EQ(F.Chart()->yAxis->range(), QCPRange(-50, 50));
    Level.SetValue(TVariant(70.0));
    F.Action(QStringLiteral("actSet4Milimeters"))->trigger();
    EXPECT_EQ(F.Chart()->yAxis->range(), QCPRange(20, 120));
}

TEST_F(GraphTest, TimeRangeModeHasNoFollowAndNoLivePoints) {
    Write(Now() - 0.5, 7);
    TFormGraph F;
    F.Open(QStringLiteral("aLevel"), &Level, QStringLiteral("График"), Now() - 1, Now());
    QAction *ScanOn = F.Action(QStringLiteral("actScanEndOn"));
    EXPECT_EQ(F.Mode(), 0);
    EXPECT_TRUE(ScanOn->isEnabled());
    EXPECT_TRUE(F.Action(QStringLiteral("actCurrent"))->isChecked());

    // The range dialog confirmed as it opens: archive mode.
    OnModal([](QWidget *W) {
        for (auto *B : W->findChildren<QPushButton *>())
            if (B->text() == QStringLiteral("OK"))
                B->click();
    });
    F.Action(QStringLiteral("actStartStopDT"))->trigger();
    EXPECT_EQ(F.Mode(), 1);
    EXPECT_TRUE(F.Action(QStringLiteral("actStartStopDT"))->isChecked());
    EXPECT_FALSE(F.Action(QStringLiteral("actCurrent"))->isChecked());
    EXPECT_FALSE(ScanOn->isEnabled());
    EXPECT_EQ(F.Data()->size(), 1);
    Level.SetValue(TVariant(5.0));
    EXPECT_EQ(F.Data()->size(), 1);
    ScanOn->trigger();
    EXPECT_FALSE(F.Scan());

    // Back to current readings: live points again, following allowed.
    F.Action(QStringLiteral("actCurrent"))->trigger();
    EXPECT_EQ(F.Mode(), 0);
    EXPECT_TRUE(ScanOn->isEnabled());
    Level.SetValue(TVariant(6.0));
    EXPECT_EQ(F.Data()->size(), 2);
    ScanOn->trigger();
    EXPECT_TRUE(F.Scan());
    EXPECT_TRUE(ScanOn->isChecked());
}

TEST_F(GraphTest, ClosingWritesTheFourSettings) {
    auto *F = new TFormGraph;
    F->Open(QStringLiteral("aLevel"), &Level, QStringLiteral("График"), Now() - 1, Now());
    F->Action(QStringLiteral("actPointsTrue"))->trigger();
    F->Action(QStringLiteral("actSet30Min"))->trigger();
    F->Action(QStringLiteral("actScanEndOn"))->trigger();
    F->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<TFormGraph> Guard(F);
    F->show();
    F->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(Guard.isNull());

    const TIniFile Ini(JoinPath(ProgramDir(), QStringLiteral("INI/fGraph.ini")));
    EXPECT_EQ(Ini.ReadSection(QStringLiteral("Parameters")).size(), 4);
    EXPECT_EQ(Ini.ReadInteger(QStringLiteral("Parameters"), QStringLiteral("dtStepIndex"), 0), 3);
    EXPECT_TRUE(Ini.ReadBool(QStringLiteral("Parameters"), QStringLiteral("Points"), false));
    EXPECT_TRUE(Ini.ReadBool(QStringLiteral("Parameters"), QStringLiteral("Scan"), false));
    EXPECT_TRUE(Ini.ValueExists(QStringLiteral("Parameters"), QStringLiteral("YRange")));
    // The device value no longer reaches the closed window.
    EXPECT_TRUE(Level.Targets().empty());
    Level.SetValue(TVariant(1.0));

    // The next window starts from them.
    TFormGraph G;
    G.Open(QStringLiteral("aLevel"), &Level, QStringLiteral("График"), Now() - 1, Now());
    EXPECT_EQ(G.StepIndex(), 3);
    EXPECT_TRUE(G.Points());
    EXPECT_TRUE(G.Action(QStringLiteral("actPointsTrue"))->isChecked());
    EXPECT_TRUE(G.Scan());
}

TEST_F(GraphTest, ShowGraphBlocksUntilClosed) {
    OnModal([](QWidget *W) {
        EXPECT_EQ(W->windowTitle(), QStringLiteral("Уровень"));
        W->close();
    });
    EXPECT_EQ(ShowGraph(QStringLiteral("aLevel"), &Level, QStringLiteral("Уровень"), Now() - 1, Now()), 0);
    EXPECT_TRUE(Level.Targets().empty());
}

TEST_F(GraphTest, BrokenDayTablesAreSkipped) {
    Write(At(2026, 2, 1, 10), 1);
    Write(At(2026, 2, 2, 10), 2);   // will be emptied
    Write(At(2026, 2, 3, 10), 3);   // will be overwritten with text
    // 4 February: no folder at all
    Write(At(2026, 2, 5, 10), 5);   // will be locked by a writer
    Write(At(2026, 2, 6, 10), 6);
    const auto Path = [](TDateTime T) { return ArchiveFilePath(QStringLiteral("aLevel"), T, QStringLiteral(".db")); };
    WriteAll(Path(At(2026, 2, 2, 0)), QByteArray());
    WriteAll(Path(At(2026, 2, 3, 0)), QByteArray("this is not a database, just some text\r\n").repeated(100));

    sqlite3 *Writer = nullptr;
    ASSERT_EQ(sqlite3_open(Path(At(2026, 2, 5, 0)).toUtf8().constData(), &Writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(Writer, "PRAGMA journal_mode=DELETE; PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;"
                                   "INSERT INTO aLevel (V, DT) VALUES (55, '2026-02-05 11:00:00.000');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);

    TFormGraph F;
    F.Open(QStringLiteral("aLevel"), &Level, QStringLiteral("График"), At(2026, 2, 1, 0, 0, 1), At(2026, 2, 6, 23));
    std::vector<double> Values;
    for (auto It = F.Data()->constBegin(); It != F.Data()->constEnd(); ++It)
        Values.push_back(It->value);
    EXPECT_EQ(Values, (std::vector<double>{1, 6}));
    EXPECT_TRUE(Messages.Messages().isEmpty());
    // The empty, the overwritten and the locked day; a day never archived is no loss.
    EXPECT_EQ(F.StatusText(5), QStringLiteral("пропущено дней: 3"));
    sqlite3_exec(Writer, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(Writer);
    F.ShowArchiveRange(At(2026, 2, 4, 0, 0, 1), At(2026, 2, 6, 23));
    EXPECT_EQ(F.Data()->size(), 2);
    EXPECT_EQ(F.StatusText(5), QString());
}

TEST_F(GraphTest, ReportCopiesTheVisibleWindow) {
    const TDateTime Start = At(2026, 4, 10, 0, 0);
    WriteMinutes(Start, 2 * 1440);
    TFormGraph A;
    A.Open(QStringLiteral("aLevel"), &Level, QStringLiteral("Уровень в резервуаре"), Start + 1.0 / 86400,
           Start + 2);
    ASSERT_EQ(A.Data()->size(), 2 * 1440 - 1);
    // Zoom to the last hour of the data.
    const double Last = KeyFromDateTime(Start + (2 * 1440 - 1) / 1440.0);
    A.Chart()->xAxis->setRange(Last - 3600, Last);
    A.Chart()->yAxis->setRange(2700, 2900);

    TRepGraph Report;
    EXPECT_EQ(Report.TitleText(), QStringLiteral("График"));
    EXPECT_EQ(Report.FilterDescribeText(), QStringLiteral("Отчет за"));
    Report.Fill(A.windowTitle(), A.Chart(), A.Series1(), A.Points());
    EXPECT_EQ(Report.TitleText(), QStringLiteral("Уровень в резервуаре"));
    EXPECT_TRUE(Report.DefaultPdfPath().endsWith(QStringLiteral("/2026-04-11.pdf"))) << Report.DefaultPdfPath().toStdString();
    {
        // Whose tank: the plant number the device holds, in the title and the file name.
        const bool Made = !Lanx1;
        if (Made)
            CreateLanx1();
        const std::uint16_t Was = Lanx1->PlantNumber();
        Lanx1->SetPlantNumber(1234);
        TRepGraph Named;
        Named.Fill(A.windowTitle(), A.Chart(), A.Series1(), A.Points());
        EXPECT_EQ(Named.TitleText(), QStringLiteral("Уровень в резервуаре, установка № 1234"));
        EXPECT_TRUE(Named.DefaultPdfPath().endsWith(QStringLiteral("/1234_2026-04-11.pdf")));
        EXPECT_TRUE(RenderTexts(Named).contains(QStringLiteral("Уровень в резервуаре, установка № 1234")));
        Lanx1->SetPlantNumber(Was);
        if (Made)
            DestroyLanx1();
    }
    EXPECT_EQ(Report.FilterDescribeText(), QStringLiteral("с 11.04.2026 22:59:00 по 11.04.2026 23:59:00"));
    EXPECT_EQ(Report.Chart()->xAxis->range(), A.Chart()->xAxis->range());
    EXPECT_EQ(Report.Chart()->yAxis->range(), QCPRange(2700, 2900));
    EXPECT_EQ(Report.Chart()->yAxis->label(), QStringLiteral("Уровень, мм"));
    EXPECT_EQ(Report.Series1()->scatterStyle().shape(), QCPScatterStyle::ssNone);
    // The hour's 61 readings and the one before it.
    EXPECT_EQ(Report.Series1()->data()->size(), 62);

    const QStringList Texts = RenderTexts(Report);
    EXPECT_TRUE(Texts.contains(QStringLiteral("Уровень в резервуаре")));
    EXPECT_TRUE(Texts.contains(QStringLiteral("Отчет создан:")));
    EXPECT_TRUE(Texts.contains(FormatDateTime(QStringLiteral("dd.MM.yyyy"), Now())));
    EXPECT_TRUE(Texts.contains(QStringLiteral("с 11.04.2026 22:59:00 по 11.04.2026 23:59:00")));
    // The time labels lie within the hour.
    int TimeLabels = 0;
    for (const QString &T : Texts) {
        const QDateTime D = QDateTime::fromString(T, QStringLiteral("dd.MM.yy HH:mm:ss"));
        if (!D.isValid())
            continue;
        ++TimeLabels;
        EXPECT_TRUE(T.startsWith(QStringLiteral("11.04.26 2"))) << T.toStdString();
        EXPECT_GE(D.time(), QTime(22, 59)) << T.toStdString();
    }
    EXPECT_GT(TimeLabels, 1);

    // A second graph replaces the first one's points, markers when shown.
    Messages.Clear();
    Write(Now() - 0.01, 4321);
    TFormGraph B;
    B.Open(QStringLiteral("aLevel"), &Level, QStringLiteral("Второй"), Now() - 1, Now());
    B.Action(QStringLiteral("actPointsTrue"))->trigger();
    B.Action(QStringLiteral("actShowAllX"))->trigger();
    Report.Fill(B.windowTitle(), B.Chart(), B.Series1(), B.Points());
    ASSERT_EQ(Report.Series1()->data()->size(), 1);
    EXPECT_EQ(Report.Series1()->data()->constBegin()->value, 4321);
    EXPECT_EQ(Report.Series1()->scatterStyle().shape(), QCPScatterStyle::ssSquare);
    EXPECT_EQ(Report.TitleText(), QStringLiteral("Второй"));

    // The page as a PDF file: one page.
    const QString Pdf = Folder.File(QStringLiteral("report.pdf"));
    ASSERT_TRUE(Report.SaveReportPdf(Pdf));
    const QByteArray Bytes = ReadAll(Pdf);
    EXPECT_TRUE(Bytes.startsWith("%PDF"));
    EXPECT_TRUE(Bytes.contains("/Count 1"));
    EXPECT_FALSE(Report.SaveReportPdf(Folder.File(QStringLiteral("no/such/folder/report.pdf"))));
}

TEST_F(GraphTest, PreviewOpensFromTheWindow) {
    Write(Now() - 0.01, 1);
    TFormGraph F;
    F.Open(QStringLiteral("aLevel"), &Level, QStringLiteral("Превью"), Now() - 1, Now());
    bool Seen = false;
    OnModal([&Seen](QWidget *W) {
        Seen = qobject_cast<QPrintPreviewDialog *>(W) != nullptr;
        EXPECT_NE(W->findChild<QAction *>(QStringLiteral("actSavePdf")), nullptr);
        static_cast<QDialog *>(W)->reject();
    });
    F.Action(QStringLiteral("actReportPreview"))->trigger();
    EXPECT_TRUE(Seen);
    ASSERT_NE(RepGraph, nullptr);
    EXPECT_EQ(RepGraph->TitleText(), QStringLiteral("Превью"));
    DestroyRepGraph();
}

TEST_F(GraphTest, StatusPanelsShowTheirWholeTextAtTheOpeningSize) {
    Write(At(2026, 3, 1, 0, 30), 1);
    Write(At(2026, 3, 1, 1, 30), 2);
    TFormGraph F;
    F.Open(QStringLiteral("aLevel"), &Level, QStringLiteral("График"), At(2026, 3, 1, 0), At(2026, 3, 2, 0));
    F.show();
    F.ShowArchiveRange(At(2026, 3, 1, 0), At(2026, 3, 2, 0)); // the longer text, with its end
    QCoreApplication::processEvents();
    // A hover hint must not hide them either.
    F.statusBar()->showMessage(QStringLiteral("Показать все данные"));
    QCoreApplication::processEvents();
    for (int i = 0; i < 5; ++i) {
        auto *Panel = F.findChild<QLabel *>(QStringLiteral("Panel%1").arg(i));
        ASSERT_NE(Panel, nullptr);
        SCOPED_TRACE(Panel->text().toStdString());
        EXPECT_TRUE(Panel->isVisible());
        EXPECT_GE(Panel->contentsRect().width(), Panel->fontMetrics().horizontalAdvance(Panel->text()));
        EXPECT_LE(Panel->mapTo(&F, QPoint(Panel->width(), 0)).x(), F.width());
    }
    EXPECT_TRUE(F.StatusText(0).contains(QStringLiteral(" по ")));
    EXPECT_TRUE(F.StatusText(1).startsWith(QStringLiteral("c ")));
}

TEST_F(GraphTest, ExportCsvWritesTheVisibleWindowOrTheWholeRange) {
    Write(At(2026, 2, 10, 8, 0), 1.5);
    Write(At(2026, 2, 10, 9, 0), 2.25);
    Write(At(2026, 2, 10, 10, 0), 3);
    TFormGraph F;
    F.Open(QStringLiteral("aLevel"), &Level, QStringLiteral("График"), At(2026, 2, 10, 7), At(2026, 2, 10, 23));
    F.show();
    F.Chart()->xAxis->setRange(KeyFromDateTime(At(2026, 2, 10, 8, 30)), KeyFromDateTime(At(2026, 2, 10, 9, 30)));

    QAction *Export = F.Action(QStringLiteral("actExportCsv"));
    ASSERT_NE(Export, nullptr);
    EXPECT_EQ(Export->text(), QStringLiteral("Экспорт в CSV…"));
    const QString Visible = Folder.File(QStringLiteral("visible.csv"));
    const QString Whole = Folder.File(QStringLiteral("whole.csv"));
    TFormGraph::CsvDialogHook = [&](QWidget *, const QString &) { return TGraphCsvRequest{Visible, false}; };
    Export->trigger();
    TFormGraph::CsvDialogHook = [&](QWidget *, const QString &) { return TGraphCsvRequest{Whole, true}; };
    Export->trigger();
    TFormGraph::CsvDialogHook = [&](QWidget *, const QString &) { return TGraphCsvRequest{}; };
    Export->trigger(); // cancelled in the dialog: nothing happens
    TFormGraph::CsvDialogHook = nullptr;

    const QByteArray Bom("\xEF\xBB\xBF");
    const QByteArray Header = QStringLiteral("Дата и время;Уровень, мм\r\n").toUtf8();
    EXPECT_EQ(ReadAll(Visible), Bom + Header + "10.02.2026 09:00:00,000;2,25\r\n");
    EXPECT_EQ(ReadAll(Whole), Bom + Header +
                                  "10.02.2026 08:00:00,000;1,5\r\n"
                                  "10.02.2026 09:00:00,000;2,25\r\n"
                                  "10.02.2026 10:00:00,000;3\r\n");
    EXPECT_TRUE(Messages.Messages().isEmpty());
}

// In Berlin the hour from 02:00 repeats on 25 October: the line runs through
// the readings in the order they were taken, the labels show the clock as it
// was, and the export lists them in that order, never interleaved.
TEST_F(GraphTest, TheRepeatedHourOfAutumnIsDrawnAndExportedInTheOrderItWasTaken) {
    const TTestZone Berlin("Europe/Berlin");
    ASSERT_TRUE(ArchiveTheRepeatedHourOfAutumn());
    TFormGraph F;
    F.Open(QStringLiteral("aLevel"), &Level, QStringLiteral("График"), At(2026, 10, 25, 1), At(2026, 10, 25, 4));
    ASSERT_EQ(F.Data()->size(), 4);
    QStringList Labels;
    std::vector<double> Values;
    for (auto It = F.Data()->constBegin(); It != F.Data()->constEnd(); ++It) {
        Labels << FormatKey(QStringLiteral("HH:mm:ss"), It->key);
        Values.push_back(It->value);
    }
    EXPECT_EQ(Labels, (QStringList{"02:30:00", "02:59:59", "02:00:05", "02:30:00"}));
    EXPECT_EQ(Values, (std::vector<double>{1, 2, 3, 4}));
    // An hour from the first reading to the last, though the clock shows the same.
    EXPECT_EQ((F.Data()->constEnd() - 1)->key - F.Data()->constBegin()->key, 3600.0);
    EXPECT_EQ(DateTimeFromKey(F.Data()->constBegin()->key), At(2026, 10, 25, 2, 30));
    // Ticks on whole hours of the clock, at ascending instants.
    TDateTimeTicker Ticker(QStringLiteral("HH:mm"));
    Ticker.setTickCount(7);
    QVector<double> Ticks, SubTicks;
    QVector<QString> TickLabels;
    Ticker.generate(QCPRange(KeyFromDateTime(At(2026, 10, 25, 0)), KeyFromDateTime(At(2026, 10, 25, 5))), QLocale::c(),
                    u'g', 6, Ticks, &SubTicks, &TickLabels);
    EXPECT_EQ(QStringList(TickLabels.begin(), TickLabels.end()),
              (QStringList{"00:00", "01:00", "02:00", "03:00", "04:00", "05:00"}));
    EXPECT_TRUE(std::is_sorted(Ticks.begin(), Ticks.end()));
    for (const QString &L : TickLabels)
        EXPECT_TRUE(L.endsWith(QStringLiteral(":00"))) << L.toStdString();
    const QString Whole = Folder.File(QStringLiteral("autumn.csv"));
    ASSERT_TRUE(F.ExportCsvTo(Whole, true));
    const QByteArray Csv = ReadAll(Whole);
    const qsizetype First = Csv.indexOf("25.10.2026 02:30:00,000;1"), Second = Csv.indexOf("25.10.2026 02:59:59,000;2"),
                    Third = Csv.indexOf("25.10.2026 02:00:05,000;3"), Fourth = Csv.indexOf("25.10.2026 02:30:00,000;4");
    EXPECT_TRUE(First > 0 && First < Second && Second < Third && Third < Fourth) << Csv.toStdString();
}

TEST_F(GraphTest, ExportCsvIntoAMissingFolderTellsAndLeavesNoFile) {
    Write(At(2026, 2, 10, 8, 0), 1.5);
    TFormGraph F;
    F.Open(QStringLiteral("aLevel"), &Level, QStringLiteral("График"), At(2026, 2, 10, 7), At(2026, 2, 10, 23));
    const QString Path = Folder.File(QStringLiteral("no/such/folder/x.csv"));
    EXPECT_FALSE(F.ExportCsvTo(Path, true));
    EXPECT_FALSE(QFileInfo::exists(Path));
    ASSERT_EQ(Messages.Messages().size(), 1);
    EXPECT_EQ(Messages.Messages().first().Icon, TMsgIcon::Error);
}
