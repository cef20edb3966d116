// The readings and parameters windows on top of the main window, the real
// polling engine and the simulated transducer: opening at start, closing and
// reopening, what they show after exchanges and local changes, and the value
// labels that start the main window's commands.
#include "EngineRig.h"
#include "IOVisual.h"
#include "Lanx1.h"
#include "RecordingMessages.h"
#include "UiTestSupport.h"
#include "TLanx1DeviceModel.h"
#include "VHistogram.h"
#include "fLanx1.h"
#include "fLanx1Par.h"
#include "fMain.h"
#include "uLanx1Instance.h"
#include "uLanx1Windows.h"
#include "uParamStr.h"
#include "uWin1251.h"
#include "uWindows.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEventLoop>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

void PrintTo(const QString &Text, std::ostream *Out) {
    *Out << '"' << Text.toStdString() << '"';
}

namespace {

const QChar kNbsp(0x00A0);
const QStringList kFastLine{QStringLiteral("ReadTotalConstant=60"), QStringLiteral("ReadTotalMultiplier=0"),
                            QStringLiteral("ReadInterval=20")};



void Click(QWidget *W, Qt::MouseButton Button = Qt::LeftButton, QPoint At = QPoint(2, 2)) {
    const QPointF Local(At);
    const QPointF Global(W->mapToGlobal(At));
    QMouseEvent Press(QEvent::MouseButtonPress, Local, Global, Button, Button, Qt::NoModifier);
    QCoreApplication::sendEvent(W, &Press);
    QMouseEvent Release(QEvent::MouseButtonRelease, Local, Global, Button, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(W, &Release);
}

void PressKey(QWidget *Target, int Key) {
    QKeyEvent Press(QEvent::KeyPress, Key, Qt::NoModifier);
    QCoreApplication::sendEvent(Target, &Press);
}

// Lets windows closed with WA_DeleteOnClose be freed.
void FlushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class Lanx1Windows : public ::testing::Test {
protected:
    void SetUp() override {
        SetFullMode(false);
        WindowHooks() = TWindowHooks();
        Rig = std::make_unique<TEngineRig>(kFastLine);
        FLevelTargets = Lanx1->Level.Targets().size();
        FVolumeTargets = Lanx1->Volume.Targets().size();
        FFreqTargets = Lanx1->Frequency.Targets().size();
        RegisterLanx1Windows();
        Form = std::make_unique<TFormMain>();
    }
    void TearDown() override {
        DestroyLanx1Windows();
        Form.reset();
        FlushDeletes();
        Rig.reset();
        WindowHooks() = TWindowHooks();
        SetFullMode(false);
    }
    // How many bindings of the readings window hang on the device's values.
    int LevelBindings() const { return int(Lanx1->Level.Targets().size() - FLevelTargets); }
    int VolumeBindings() const { return int(Lanx1->Volume.Targets().size() - FVolumeTargets); }
    int FreqBindings() const { return int(Lanx1->Frequency.Targets().size() - FFreqTargets); }
    // Counts the executions of a main-window action, its own effect switched off.
    std::shared_ptr<int> Count(QAction *Action) {
        QObject::disconnect(Action, &QAction::triggered, Form.get(), nullptr);
        auto N = std::make_shared<int>(0);
        QObject::connect(Action, &QAction::triggered, [N] { ++*N; });
        return N;
    }
    QString IniText() { return FromWin1251(ReadAll(Rig->Folder().File(QStringLiteral("INI/WndPos.ini")))); }

    TRecordingMessages Messages;
    std::unique_ptr<TEngineRig> Rig;
    std::unique_ptr<TFormMain> Form;
    size_t FLevelTargets = 0, FVolumeTargets = 0, FFreqTargets = 0;
};

} // namespace

TEST_F(Lanx1Windows, BothOpenAtStartAndCanBeClosedAndReopened) {
    ASSERT_NE(FormLanx1, nullptr);
    ASSERT_NE(FormLanx1Par, nullptr);
    EXPECT_TRUE(FormLanx1->isVisible());
    EXPECT_TRUE(FormLanx1Par->isVisible());
    EXPECT_EQ(FormLanx1->windowTitle(), "Показания ЛАНКС1хх");
    EXPECT_EQ(FormLanx1Par->windowTitle(), "Параметры ЛАНКС1хх");
    EXPECT_FALSE(FormLanx1->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(FormLanx1Par->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(LevelBindings(), 3);
    EXPECT_EQ(VolumeBindings(), 1);
    EXPECT_EQ(FreqBindings(), 1);
    // Opening an open window keeps the one window.
    TFormLanx1 *First = FormLanx1;
    Form->actLanx1Show->trigger();
    EXPECT_EQ(FormLanx1, First);
    EXPECT_EQ(LevelBindings(), 3);

    // Esc closes the readings window: bindings detached, position stored, the window freed.
    QPointer<TFormLanx1> Old = FormLanx1;
    Old->move(140, 70);
    const QRect Geometry = Old->geometry();
    PressKey(Old, Qt::Key_Escape);
    EXPECT_EQ(FormLanx1, nullptr);
    EXPECT_EQ(LevelBindings(), 0);
    EXPECT_EQ(VolumeBindings(), 0);
    EXPECT_EQ(FreqBindings(), 0);
    EXPECT_TRUE(IniText().contains(QStringLiteral("[FormLanx1]")));
    FlushDeletes();
    EXPECT_TRUE(Old.isNull());
    // Values arriving while it is closed reach no control of the old window.
    Lanx1->Level.SetValue(TVariant(12.0));
    Form->RefreshAll();

    // Reopened: a new window at the stored place, bound once again.
    Form->actLanx1Show->trigger();
    ASSERT_NE(FormLanx1, nullptr);
    EXPECT_EQ(FormLanx1->geometry(), Geometry);
    EXPECT_EQ(LevelBindings(), 3);
    EXPECT_EQ(VolumeBindings(), 1);
    EXPECT_EQ(FreqBindings(), 1);
    // Bound without taking the current value: the next value that arrives shows.
    Lanx1->Level.SetValue(TVariant(12.5));
    Form->RefreshAll();
    EXPECT_EQ(FormLanx1->lblLevel->text(), "12,5");

    // The parameters window the same way.
    QPointer<TFormLanx1Par> OldPar = FormLanx1Par;
    PressKey(OldPar->cmbModeCurrentOutput, Qt::Key_Escape); // from the control that has the focus
    EXPECT_EQ(FormLanx1Par, nullptr);
    EXPECT_TRUE(IniText().contains(QStringLiteral("[FormLanx1Par]")));
    FlushDeletes();
    EXPECT_TRUE(OldPar.isNull());
    Form->RefreshAll(); // no window to redraw
    Form->actLanx1ParShow->trigger();
    ASSERT_NE(FormLanx1Par, nullptr);
    EXPECT_TRUE(FormLanx1Par->isVisible());
    EXPECT_EQ(FormLanx1Par->lblKKalman->text(), "1");
    EXPECT_TRUE(Messages.Messages().isEmpty());
}

TEST_F(Lanx1Windows, ReadingsFromTheTransducer) {
    Rig->Sim().SetLevel(47.26);
    Form->actReadAll->trigger();
    ASSERT_TRUE(Messages.Messages().isEmpty());
    TFormLanx1 &W = *FormLanx1;

    EXPECT_EQ(W.lblLevel->text(), "47,3");
    EXPECT_EQ(W.stxLevel->text(), "47,3");
    EXPECT_EQ(W.lblLevelDescription->text(), "Уровень, %");
    EXPECT_EQ(W.lblVolumeDescription->text(), "Объем, %");
    EXPECT_EQ(W.lblFreqDescription->text(), "Частота");
    EXPECT_EQ(W.lblVolume->text(), Lanx1->Volume.Description.FormatValue(Lanx1->Volume.AsDouble()));
    EXPECT_EQ(W.lblFreq->text(), QString::number(Lanx1->Frequency.AsInteger()));
    EXPECT_GT(Lanx1->Frequency.AsInteger(), 0);
    EXPECT_NEAR(W.vhLevel->Value(), 47.26, 1e-4);

    // Title, hint, number with unit, time stamp.
    const QStringList Lines = W.lblLevel->toolTip().split(QChar(10));
    ASSERT_EQ(Lines.size(), 4);
    EXPECT_EQ(Lines[0], "Уровень");
    EXPECT_EQ(Lines[1], "Уровень продукта");
    EXPECT_EQ(Lines[2], "47,3 %");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d$"))
                    .match(Lines[3])
                    .hasMatch())
        << Lines[3].toStdString();
    EXPECT_EQ(W.vhLevel->toolTip(), W.lblLevel->toolTip());

    // The gauge's scale follows the level's range at every refresh.
    EXPECT_EQ(W.vhLevel->Max(), 100);
    EXPECT_EQ(W.vhLevel->DValueBig(), 10);
    EXPECT_EQ(W.vhLevel->DValueSmall(), 5);
    Lanx1->Level.Description.SetMax(2000);
    Lanx1->Level.Description.Digits = 2;
    Form->RefreshAll();
    EXPECT_EQ(W.vhLevel->Min(), 0);
    EXPECT_EQ(W.vhLevel->Max(), 2000);
    EXPECT_EQ(W.vhLevel->DValueBig(), 200);
    EXPECT_EQ(W.vhLevel->DValueSmall(), 100);
    EXPECT_EQ(W.vhLevel->DecimalSign(), 2);
    EXPECT_EQ(W.lblLevel->text(), "47,26");

    // Polling: every exchange redraws the window.
    Rig->Sim().SetLevel(60);
    PollSet.Clear();
    PollSet.Include(rkReadLevel);
    Rig->PollOnce();
    EXPECT_TRUE(WaitFor([&] { return W.lblLevel->text() == "60,00"; })) << W.lblLevel->text().toStdString();
}

TEST_F(Lanx1Windows, ErrorsOfTheLastExchange) {
    TFormLanx1 &W = *FormLanx1;
    const QColor Normal = W.gbErrors->palette().color(QPalette::Window);
    EXPECT_EQ(W.lblErrorByte->text(), "0");
    EXPECT_EQ(W.lblErrorMessage->text(), "");

    Rig->Sim().SetFault(TSimFault::Exception, 2);
    Form->actLevelRead->trigger();
    ASSERT_NE(Lanx1->LastErrorCode(), 0);
    EXPECT_EQ(W.lblErrorByte->text(), QString::number(Lanx1->LastErrorCode()));
    EXPECT_EQ(W.lblErrorMessage->text(), Lanx1->LastErrorText());
    EXPECT_FALSE(W.lblErrorMessage->text().isEmpty());
    EXPECT_EQ(W.gbErrors->palette().color(QPalette::Window), QColor(Qt::red));

    Rig->Sim().ClearFaults();
    Form->actLevelRead->trigger();
    EXPECT_EQ(Lanx1->LastErrorCode(), 0);
    EXPECT_EQ(W.lblErrorByte->text(), "0");
    EXPECT_EQ(W.gbErrors->palette().color(QPalette::Window), Normal);
    EXPECT_NE(Normal, QColor(Qt::red));
}

TEST_F(Lanx1Windows, ParametersAfterCommandsAndLocalChanges) {
    TFormLanx1Par &P = *FormLanx1Par;
    // The defaults of the device object.
    EXPECT_EQ(P.lblModification->text(), "1-односекционный ЧЭ");
    EXPECT_EQ(P.lblSystemAddress->text(), "1");
    EXPECT_EQ(P.lblTitle1->text(), "Уровень");
    EXPECT_EQ(P.lblHint2->text(), "Объем продукта");
    EXPECT_EQ(P.lblMaximumTitle1->text(), "Максимум, %");
    EXPECT_EQ(P.lblMaximum1->text(), "100,0");
    EXPECT_EQ(P.lblMinimum2->text(), "0,0");
    EXPECT_EQ(P.lblDigits1->text(), "1");
    EXPECT_EQ(P.lblCalibrationValueTitle->text(), "Значение, %");
    EXPECT_EQ(P.cmbModeCurrentOutput->currentIndex(), 0);
    EXPECT_EQ(P.cmbModeCurrentOutput->itemText(0), "4...20 mА");
    EXPECT_EQ(P.cmbModeCurrentOutput->itemText(1), "0...20 mА");
    EXPECT_FALSE(P.lblModeCurrentOutput->isVisibleTo(&P));

    // Reads from the transducer.
    Rig->Sim().SetRegister(TLanx1DeviceModel::rgFreq1, 1234);
    Form->actFreq1Read->trigger();
    Form->actPlantNumberRead->trigger();
    ASSERT_TRUE(Messages.Messages().isEmpty());
    EXPECT_EQ(P.lblFreq1->text(), "1234");
    EXPECT_EQ(P.lblPlantNumber->text(), QString::number(Lanx1->PlantNumber()));

    // Local changes, shown at the next RefreshAll.
    Lanx1->SetSystemAddress(7);
    Lanx1->SetModification(2);
    Lanx1->SetFreq2(60000);
    Lanx1->Level.Description.SetMax(5000);
    Lanx1->Level.Description.Digits = 3;
    Lanx1->Level.Description.Dimension = QStringLiteral("  ");
    Lanx1->Level.Description.Title.clear();
    Lanx1->SetValue1(12.5);
    Lanx1->SetValue2(4321);
    Lanx1->SetValue20mA(-3.25);
    Lanx1->SetKKalman(8);
    Lanx1->SetTurning4mA(600);
    Lanx1->SetTurning20mA(4000);
    Lanx1->SetModeCurrentOutput(2);
    Form->RefreshAll();
    EXPECT_EQ(P.lblSystemAddress->text(), "7");
    EXPECT_EQ(P.lblModification->text(), "2-многосекционный ЧЭ");
    EXPECT_EQ(P.lblFreq2->text(), "60000");
    EXPECT_EQ(P.lblTitle1->text(), "Значение не определено");
    EXPECT_EQ(P.lblDimension1->text(), "Значение не определено");
    EXPECT_EQ(P.lblMaximumTitle1->text(), "Максимум,   ");
    EXPECT_EQ(P.lblMaximum1->text(), QStringLiteral("5") + kNbsp + "000,000");
    EXPECT_EQ(P.lblDigits1->text(), "3");
    EXPECT_EQ(P.lblValue1->text(), "12,500");
    EXPECT_EQ(P.lblValue2->text(), QStringLiteral("4") + kNbsp + "321,000");
    EXPECT_EQ(P.lblValue20mA->text(), "-3,250");
    EXPECT_EQ(P.lblValue20mATitle->text(), "Значение для 20mA,   ");
    EXPECT_EQ(P.lblKKalman->text(), "8");
    EXPECT_EQ(P.lblTurning4mA->text(), "600");
    EXPECT_EQ(P.lblTurning20mA->text(), "4000");
    EXPECT_EQ(P.cmbModeCurrentOutput->currentIndex(), 1);
    EXPECT_EQ(P.lblModeCurrentOutput->text(), "0...20 mА");
    // The volume's description is its own.
    EXPECT_EQ(P.lblTitle2->text(), "Объем");
    EXPECT_EQ(P.lblMaximumTitle2->text(), "Максимум, %");
}

TEST_F(Lanx1Windows, ModeChosenInTheComboBox) {
    TFormLanx1Par &P = *FormLanx1Par;
    ASSERT_EQ(Lanx1->ModeCurrentOutput(), 1);
    PressKey(P.cmbModeCurrentOutput, Qt::Key_Down);
    EXPECT_EQ(Lanx1->ModeCurrentOutput(), 2);
    EXPECT_TRUE(Form->actModeCurrentOutput2->isChecked()); // RefreshAll ran
    EXPECT_EQ(P.lblModeCurrentOutput->text(), "0...20 mА");
    // A refresh sets the box without counting as a choice.
    Lanx1->SetModeCurrentOutput(1);
    Form->RefreshAll();
    EXPECT_EQ(P.cmbModeCurrentOutput->currentIndex(), 0);
    EXPECT_EQ(Lanx1->ModeCurrentOutput(), 1);
    EXPECT_EQ(Rig->Sim().RequestCount(), 0); // nothing is sent
}

TEST_F(Lanx1Windows, ValueLabelsStartTheirActions) {
    TFormLanx1Par &P = *FormLanx1Par;
    const std::pair<QLabel *, QAction *> Pairs[] = {
        {P.lblSystemAddress, Form->actSystemAddressChange}, {P.lblFreq2, Form->actFreq2Change},
        {P.lblValue2, Form->actValue2Change},               {P.lblFreq1, Form->actFreq1Change},
        {P.lblValue1, Form->actValue1Change},               {P.lblValue20mA, Form->actValue20mAChange},
        {P.lblTurning4mA, Form->actTurning4mAChange},       {P.lblTurning20mA, Form->actTurning20mAChange},
        {P.lblKKalman, Form->actKKalmanChange}};
    for (const auto &[Label, Action] : Pairs) {
        const auto N = Count(Action);
        Click(Label);
        EXPECT_EQ(*N, 1) << Label->objectName().toStdString();
        Click(Label, Qt::RightButton);
        Click(Label, Qt::LeftButton, QPoint(-5, -5)); // released outside the label
        EXPECT_EQ(*N, 1) << Label->objectName().toStdString();
    }
    // The plant number is edited only in the full mode.
    const auto Plant = Count(Form->actPlantNumberChange);
    Click(P.lblPlantNumber);
    EXPECT_EQ(*Plant, 0);
    SetFullMode(true);
    Form->FullModeControlRefresh();
    Click(P.lblPlantNumber);
    EXPECT_EQ(*Plant, 1);
    // The modification starts nothing and is no link.
    Click(P.lblModification);
    EXPECT_EQ(P.lblModification->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(P.lblFreq1->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(P.lblFreq1->font().underline());

    // While polling the configuration edits are off, the calibration edits stay.
    const auto Address = Count(Form->actSystemAddressChange);
    const auto Freq1 = Count(Form->actFreq1Change);
    Form->actOprosStart->trigger();
    Click(P.lblSystemAddress);
    Click(P.lblFreq1);
    Form->actOprosStop->trigger();
    EXPECT_EQ(*Address, 0);
    EXPECT_EQ(*Freq1, 1);

    // The autocalibration buttons are the main window's actions.
    EXPECT_EQ(P.btnFreq2Auto->defaultAction(), Form->actFreq2Auto);
    EXPECT_EQ(P.btnFreq1Auto->text(), "Автокалибровка C1");
    const auto Auto1 = Count(Form->actFreq1Auto);
    P.btnFreq1Auto->click();
    EXPECT_EQ(*Auto1, 1);
}

TEST_F(Lanx1Windows, CalibrationMenuOfTheCalibrationGroup) {
    TFormLanx1Par &P = *FormLanx1Par;
    QMenu *Menu = Form->pmCalibration;
    ASSERT_NE(Menu, nullptr);
    EXPECT_FALSE(Menu->isVisible());
    // A right click on a value label reaches the group.
    QContextMenuEvent Event(QContextMenuEvent::Mouse, QPoint(3, 3), P.lblValue1->mapToGlobal(QPoint(3, 3)));
    QCoreApplication::sendEvent(P.lblValue1, &Event);
    EXPECT_TRUE(WaitFor([&] { return Menu->isVisible(); }));
    Menu->hide();
}

TEST_F(Lanx1Windows, DescriptionEditedFromTheParametersWindow) {
    TFormLanx1Par &P = *FormLanx1Par;
    // Confirmed: the new unit shows in both windows.
    auto Watch = OnNextModal([](QWidget *Modal) {
        Modal->findChild<QLineEdit *>(QStringLiteral("edtDimension"))->setText(QStringLiteral("мм"));
        Modal->findChild<QPushButton *>(QStringLiteral("btnOK"))->click();
    });
    Click(P.lblDimension1);
    EXPECT_EQ(Lanx1->Level.Description.Dimension, "мм");
    EXPECT_EQ(P.lblDimension1->text(), "мм");
    EXPECT_EQ(P.lblMaximumTitle1->text(), "Максимум, мм");
    EXPECT_EQ(P.lblCalibrationValueTitle->text(), "Значение, мм");
    EXPECT_EQ(FormLanx1->lblLevelDescription->text(), "Уровень, мм");

    // Cancelled: nothing changes.
    Watch = OnNextModal([](QWidget *Modal) {
        Modal->findChild<QLineEdit *>(QStringLiteral("edtTitle"))->setText(QStringLiteral("Другое"));
        Modal->findChild<QPushButton *>(QStringLiteral("btnCancel"))->click();
    });
    Click(P.lblTitle2);
    EXPECT_EQ(Lanx1->Volume.Description.Title, "Объем");
    EXPECT_EQ(P.lblTitle2->text(), "Объем");
}
