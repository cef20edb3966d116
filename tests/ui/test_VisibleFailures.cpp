// Failures the main window must show where the technician looks: archive
// writes and the request log that fail while polling goes on, and writes whose
// reply was lost, proven or not by reading the value back.
#include "EngineRig.h"
#include "Lanx1.h"
#include "ReadOnlyFolder.h"
#include "RecordingMessages.h"
#include "TLanx1DeviceModel.h"
#include "UiTestSupport.h"
#include "fMain.h"
#include "uBDE.h"
#include "uClock.h"
#include "uDataCtrl.h"
#include "uLanx1Instance.h"
#include "uSysUtils.h"

#include <QDir>
#include <QLabel>
#include <gtest/gtest.h>
#include <memory>

namespace {

using TModel = TLanx1DeviceModel;

const QStringList kFastLine{QStringLiteral("ReadTotalConstant=60"), QStringLiteral("ReadTotalMultiplier=0"),
                            QStringLiteral("ReadInterval=20")};

class VisibleFailures : public ::testing::Test {
protected:
    void SetUp() override {
        Rig = std::make_unique<TEngineRig>(kFastLine);
        Rig->Engine().ReqDevicesTimer->SetInterval(50);
        Form = std::make_unique<TFormMain>();
    }
    void TearDown() override {
        if (Form)
            Form->actOprosStop->trigger();
        Form.reset();
        Rig.reset();
    }
    // The echo lines (without their time) that begin with Start.
    QStringList EchoStartingWith(const QString &Start) const {
        QStringList Found;
        for (const QString &Line : Form->EchoLines())
            if (EchoBody(Line).startsWith(Start))
                Found << EchoBody(Line);
        return Found;
    }
    // Polls until Steps more poll steps have run.
    void PollSteps(int Steps) {
        TRequestThread &Thread = *Rig->Engine().RequestThread;
        const auto Start = Thread.Steps();
        ASSERT_TRUE(WaitFor([&] { return Thread.Steps() >= Start + Steps; }, 20000));
    }
    QLabel *ArchivePanel() const { return Form->StatusPanel(6); }

    TRecordingMessages Messages;
    std::unique_ptr<TEngineRig> Rig;
    std::unique_ptr<TFormMain> Form;
};

} // namespace

// The day folder turns read-only while polling: the echo tells it once, with
// the file and the reason, and a red panel shows it until readings are
// archived again.
TEST_F(VisibleFailures, ArchiveWritesThatFailAreToldOnceAndShownWhileTheyLast) {
    PollSet.Include(rkReadLevel);
    const QString Day = JoinPath(DbPath(), ArchiveDayFolder(Now()));
    ASSERT_TRUE(QDir().mkpath(Day));
    EXPECT_TRUE(ArchivePanel()->isHidden());
    {
        const TReadOnlyFolder ReadOnly(Day);
        if (!ReadOnly.Active())
            GTEST_SKIP() << ReadOnly.Reason().toStdString();
        Form->actOprosStart->trigger();
        PollSteps(4);
        ASSERT_TRUE(WaitFor([&] { return !EchoStartingWith(QStringLiteral("Архив не записан: ")).isEmpty(); }));
        Form->StatisticsRefresh();
        const QStringList Told = EchoStartingWith(QStringLiteral("Архив не записан: "));
        ASSERT_EQ(Told.size(), 1) << Told.join(u'\n').toStdString();
        EXPECT_TRUE(Told[0].contains(Day)) << Told[0].toStdString();
        EXPECT_FALSE(ArchivePanel()->isHidden());
        EXPECT_EQ(ArchivePanel()->text(), QStringLiteral("Архив не записан"));
        EXPECT_TRUE(ArchivePanel()->toolTip().contains(Day));
        Form->actOprosStop->trigger();
        ASSERT_TRUE(WaitFor([&] { return !Rig->Engine().RequestThread->Busy(); }));
    }
    // Writable again: the next readings are archived and the panel goes.
    Form->actOprosStart->trigger();
    PollSteps(2);
    Form->StatisticsRefresh();
    EXPECT_TRUE(ArchivePanel()->isHidden());
    EXPECT_EQ(EchoStartingWith(QStringLiteral("Архив не записан: ")).size(), 1);
    EXPECT_TRUE(Messages.Messages().isEmpty());
}

// A folder where the day's request log should be: told once in the echo.
TEST_F(VisibleFailures, ARequestLogThatCannotBeWrittenIsToldOnce) {
    const QString Log = Rig->Engine().RequestLog->FileName();
    ASSERT_TRUE(QDir().mkpath(Log));
    PollSet.Include(rkReadLevel);
    Form->actOprosStart->trigger();
    PollSteps(3);
    ASSERT_TRUE(WaitFor([&] { return !EchoStartingWith(QStringLiteral("Журнал запросов не записан: ")).isEmpty(); }));
    Form->actOprosStop->trigger();
    ASSERT_TRUE(WaitFor([&] { return !Rig->Engine().RequestThread->Busy(); }));
    Form->StatisticsRefresh();
    const QStringList Told = EchoStartingWith(QStringLiteral("Журнал запросов не записан: "));
    ASSERT_EQ(Told.size(), 1);
    EXPECT_EQ(Told[0], QStringLiteral("Журнал запросов не записан: ") + Log +
                           QStringLiteral(": на этом месте папка, а не файл"));
}

// Five tries of a write all go unanswered, yet the device took the value:
// the read-back proves it, and no failure is shown.
TEST_F(VisibleFailures, AWriteWhoseRepliesWereLostIsProvenByAReadBack) {
    Rig->Sim().SetRegister(TModel::rgKKalman, 7);
    Lanx1->SetKKalman(9);
    Rig->Sim().SetFault(TSimFault::Silence, 0, 5);
    const QString Hint = CommandHint(rkWriteKKalman);
    EXPECT_TRUE(Form->RunStandardCommand(rkWriteKKalman, Hint));
    EXPECT_EQ(Form->LastCommandOutcome(), TCommandOutcome::Done);
    EXPECT_EQ(Rig->Sim().Register(TModel::rgKKalman), 9);
    EXPECT_TRUE(Messages.Messages().isEmpty());
}

// Refused at every try, and the read-back shows the old value: not done.
// Silent for good: whether the device took it is not known, and the message
// says so instead of a plain failure.
TEST_F(VisibleFailures, AWriteNotDoneAndOneNotConfirmedAreToldApart) {
    Rig->Sim().SetRegister(TModel::rgKKalman, 7);
    Lanx1->SetKKalman(9);
    Rig->Sim().SetFault(TSimFault::Exception, 4, 5);
    const QString Hint = CommandHint(rkWriteKKalman);
    EXPECT_FALSE(Form->RunStandardCommand(rkWriteKKalman, Hint));
    EXPECT_EQ(Form->LastCommandOutcome(), TCommandOutcome::NotDone);
    ASSERT_EQ(Messages.Messages().size(), 1);
    EXPECT_EQ(Messages.Messages()[0].Text, QStringLiteral("Не выполнена команда\r") + Hint +
                                               QStringLiteral("\rПроверочное чтение: прибор сохранил прежнее значение"));
    EXPECT_EQ(Rig->Sim().Register(TModel::rgKKalman), 7);

    Messages.Clear();
    Lanx1->SetKKalman(11);
    Rig->Sim().ClearFaults();
    Rig->Sim().SetFault(TSimFault::Silence);
    EXPECT_FALSE(Form->RunStandardCommand(rkWriteKKalman, Hint));
    EXPECT_EQ(Form->LastCommandOutcome(), TCommandOutcome::Unknown);
    ASSERT_EQ(Messages.Messages().size(), 1);
    EXPECT_TRUE(Messages.Messages()[0].Text.startsWith(QStringLiteral("Не подтверждена команда\r") + Hint))
        << Messages.Messages()[0].Text.toStdString();
    EXPECT_TRUE(Messages.Messages()[0].Text.contains(QStringLiteral("неизвестно")));
    EXPECT_EQ(Rig->Sim().Register(TModel::rgKKalman), 11); // it did take it
}
