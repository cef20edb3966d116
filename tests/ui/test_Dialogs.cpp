// The small shared windows: numeric edit, progress window, range dialog, input
// dialogs, command selection and serial settings. Modal dialogs are driven from
// a timer that finds the active modal window once its event loop runs.
#include "EditNum.h"
#include "IODescription.h"
#include "RecordingMessages.h"
#include "TestEnvironment.h"
#include "fInputDescriptionOfDouble.h"
#include "fInputDouble.h"
#include "fInputInteger.h"
#include "fProgressBar.h"
#include "fRangeDT.h"
#include "fSelectCMD.h"
#include "fTransmitterSetup.h"
#include "uClock.h"
#include "uLanx1Instance.h"
#include "uTransmitter.h"
#include "uWindowPosition.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Runs Action on the modal window as soon as one is active. The action must
// close it (or the test would wait for ever); a window that never appears
// fails the test.
void WhenModal(std::function<void(QWidget *)> Action, int AttemptsLeft = 500) {
    QTimer::singleShot(AttemptsLeft == 500 ? 0 : 10, [Action, AttemptsLeft] {
        QWidget *W = QApplication::activeModalWidget();
        if (W && W->isVisible()) {
            Action(W);
            return;
        }
        if (AttemptsLeft > 0)
            WhenModal(Action, AttemptsLeft - 1);
        else
            ADD_FAILURE() << "no modal window appeared";
    });
}

template <class T> T *Child(QWidget *W, const char *Name) {
    T *C = W->findChild<T *>(QString::fromLatin1(Name));
    EXPECT_NE(C, nullptr) << Name;
    return C;
}

void Click(QWidget *W, const char *Button) {
    if (auto *B = Child<QPushButton>(W, Button))
        B->click();
}

int KeyOf(QChar C) {
    if (C.isDigit())
        return Qt::Key_0 + C.digitValue();
    if (C.isLetter())
        return Qt::Key_A + (C.toUpper().unicode() - u'A');
    switch (C.unicode()) {
    case u'-':
        return Qt::Key_Minus;
    case u',':
        return Qt::Key_Comma;
    case u'.':
        return Qt::Key_Period;
    case u' ':
        return Qt::Key_Space;
    default:
        return Qt::Key_unknown;
    }
}

void PressKey(QWidget *W, int Key, const QString &Text = {}) {
    QKeyEvent Press(QEvent::KeyPress, Key, Qt::NoModifier, Text);
    QApplication::sendEvent(W, &Press);
    QKeyEvent Release(QEvent::KeyRelease, Key, Qt::NoModifier, Text);
    QApplication::sendEvent(W, &Release);
}

void Type(QWidget *W, const QString &Text) {
    for (QChar C : Text)
        PressKey(W, KeyOf(C), QString(C));
}


} // namespace

// ---------------------------------------------------------------- numeric edit

TEST(EditNum, StartsAtZeroAndReformatsOnlyOnChange) {
    TEditNum E;
    EXPECT_EQ(E.text(), QStringLiteral("0"));
    EXPECT_EQ(E.Format(), TFloatFormat::ffGeneral);
    EXPECT_EQ(E.Precision(), 15);
    EXPECT_EQ(E.Digits(), 4);

    E.SetFormat(TFloatFormat::ffFixed);
    E.setText(QStringLiteral("12,5"));
    E.SetDigits(1);
    EXPECT_EQ(E.text(), QStringLiteral("12,5"));
    EXPECT_DOUBLE_EQ(E.Value(), 12.5);
    E.SetDigits(3);
    EXPECT_EQ(E.text(), QStringLiteral("12,500"));

    // Setting the current value leaves the text alone, even one that is no number.
    E.setText(QStringLiteral("abc"));
    E.SetDigits(3);
    E.SetFormat(TFloatFormat::ffFixed);
    E.SetPrecision(15);
    EXPECT_EQ(E.text(), QStringLiteral("abc"));
    EXPECT_EQ(E.Value(), 0.0);

    E.setText(QString());
    EXPECT_EQ(E.Value(), 0.0);
    E.setText(QStringLiteral("12.5")); // not the locale's separator
    EXPECT_EQ(E.Value(), 0.0);
}

TEST(EditNum, NumberFormatWritesThousandsThatDoNotReadBack) {
    TEditNum E;
    E.SetFormat(TFloatFormat::ffNumber);
    E.SetDigits(0);
    E.SetValue(1500);
    EXPECT_EQ(E.text(), QStringLiteral("1\u00A0500"));
    EXPECT_EQ(E.Value(), 0.0);
    E.SetDigits(2); // re-formatting goes through Value, which lost the number
    EXPECT_EQ(E.text(), QStringLiteral("0,00"));
}

TEST(EditNum, TypingPassesOnlyWhatANumberHolds) {
    TEditNum E;
    E.clear();
    Type(&E, QStringLiteral("1a2,3,4 5.6"));
    EXPECT_EQ(E.text(), QStringLiteral("12,3456"));

    // A minus passes only at the caret position 0, and there even a second one.
    E.setCursorPosition(3);
    Type(&E, QStringLiteral("-"));
    EXPECT_EQ(E.text(), QStringLiteral("12,3456"));
    E.setCursorPosition(0);
    Type(&E, QStringLiteral("-"));
    EXPECT_EQ(E.text(), QStringLiteral("-12,3456"));
    E.setCursorPosition(0);
    Type(&E, QStringLiteral("-"));
    EXPECT_EQ(E.text(), QStringLiteral("--12,3456"));
    EXPECT_EQ(E.Value(), 0.0);

    // The start of a selection counts as the caret.
    E.setText(QStringLiteral("7"));
    E.selectAll();
    Type(&E, QStringLiteral("-"));
    EXPECT_EQ(E.text(), QStringLiteral("-"));

    // A separator passes again once the old one is gone; backspace passes.
    E.setText(QStringLiteral("1,5"));
    E.end(false);
    PressKey(&E, Qt::Key_Backspace, QStringLiteral("\b"));
    PressKey(&E, Qt::Key_Backspace, QStringLiteral("\b"));
    Type(&E, QStringLiteral(",25"));
    EXPECT_EQ(E.text(), QStringLiteral("1,25"));
    EXPECT_DOUBLE_EQ(E.Value(), 1.25);

    // Control characters are dropped (Ctrl+B would move the caret otherwise).
    QKeyEvent CtrlB(QEvent::KeyPress, Qt::Key_B, Qt::ControlModifier, QStringLiteral("\x02"));
    QApplication::sendEvent(&E, &CtrlB);
    Type(&E, QStringLiteral("9"));
    EXPECT_EQ(E.text(), QStringLiteral("1,259"));
}

// ------------------------------------------------------------ progress window

TEST(ProgressBar, CaptionAndBarFollowThePosition) {
    ShowProgress(QStringLiteral("Загрузка архива"), 0, 0);
    TFormProgressBar *W = ProgressWindow();
    ASSERT_NE(W, nullptr);
    EXPECT_TRUE(W->isVisible());
    EXPECT_EQ(W->windowTitle(), QStringLiteral("Загрузка архива 0%"));
    EXPECT_EQ(W->ProgressBar()->value(), 0);
    EXPECT_EQ(W->ProgressBar()->size(), QSize(641, 16));
    SetProgressPosition(5); // no steps: nothing moves, nothing fails
    EXPECT_EQ(W->windowTitle(), QStringLiteral("Загрузка архива 0%"));
    CloseProgress();
    EXPECT_EQ(ProgressWindow(), nullptr);

    ShowProgress(QStringLiteral("Повтор команды Чтение"), 1, 2);
    W = ProgressWindow();
    ASSERT_NE(W, nullptr);
    EXPECT_EQ(W->windowTitle(), QStringLiteral("Повтор команды Чтение 50%"));
    EXPECT_EQ(W->ProgressBar()->value(), 50);
    SetProgressPosition(2);
    EXPECT_EQ(W->windowTitle(), QStringLiteral("Повтор команды Чтение 100%"));

    // While the window exists, another text and maximum are ignored.
    ShowProgress(QStringLiteral("Загрузка архива"), 1, 4);
    EXPECT_EQ(ProgressWindow(), W);
    EXPECT_EQ(W->windowTitle(), QStringLiteral("Повтор команды Чтение 50%"));

    SetProgressPosition(-1);
    EXPECT_EQ(W->ProgressBar()->value(), 50);
    SetProgressPosition(7); // past the maximum: the bar stays full, the caption agrees
    EXPECT_EQ(W->windowTitle(), QStringLiteral("Повтор команды Чтение 100%"));
    CloseProgress();
    CloseProgress(); // nothing left to close
}

TEST(ProgressBar, PercentRoundsHalvesToEven) {
    ShowProgress(QStringLiteral("Запись таблицы"), 1, 8); // 12.5 %
    ASSERT_NE(ProgressWindow(), nullptr);
    EXPECT_EQ(ProgressWindow()->ProgressBar()->value(), 12);
    SetProgressPosition(3); // 37.5 %
    EXPECT_EQ(ProgressWindow()->ProgressBar()->value(), 38);
    EXPECT_EQ(ProgressWindow()->windowTitle(), QStringLiteral("Запись таблицы 38%"));
    CloseProgress();
}

// --------------------------------------------------------------- range dialog

TEST(RangeDialog, IntervalSetsStartBeforeStop) {
    TDateTime Start = At(2024, 3, 1, 12, 0);
    TDateTime Stop = At(2024, 3, 10, 14, 30);
    WhenModal([](QWidget *W) {
        EXPECT_EQ(W->windowTitle(), QStringLiteral("Временной диапазон"));
        auto *Interval = Child<QComboBox>(W, "cmbInterval");
        auto *StartDate = Child<QDateEdit>(W, "dtpStartDate");
        auto *StartTime = Child<QTimeEdit>(W, "dtpStartTime");
        EXPECT_EQ(Interval->currentText(), QStringLiteral("Произвольный период"));
        EXPECT_EQ(StartDate->date(), QDate(2024, 3, 1));
        EXPECT_EQ(StartDate->displayFormat(), QStringLiteral("dd.MM.yyyy"));
        EXPECT_EQ(StartTime->displayFormat(), QStringLiteral("HH:mm:ss"));

        Interval->setCurrentIndex(Interval->findText(QStringLiteral("Неделя")));
        EXPECT_EQ(StartDate->date(), QDate(2024, 3, 3));
        EXPECT_EQ(StartTime->time(), QTime(14, 30));
        Interval->setCurrentIndex(Interval->findText(QStringLiteral("Год")));
        EXPECT_EQ(StartDate->date(), QDate(2023, 3, 11));
        Interval->setCurrentIndex(Interval->findText(QStringLiteral("Сутки")));
        EXPECT_EQ(StartDate->date(), QDate(2024, 3, 9));
        Interval->setCurrentIndex(Interval->findText(QStringLiteral("Неделя")));

        // Touching a picker turns the interval back into a free one, and leaves the pickers.
        Child<QTimeEdit>(W, "dtpStopTime")->setTime(QTime(15, 0));
        EXPECT_EQ(Interval->currentIndex(), 0);
        EXPECT_EQ(StartDate->date(), QDate(2024, 3, 3));
        Click(W, "btnOK");
    });
    EXPECT_EQ(ShowRangeDialog(Start, Stop), 1);
    EXPECT_EQ(Start, At(2024, 3, 3, 14, 30));
    EXPECT_EQ(Stop, At(2024, 3, 10, 15, 0));
}

TEST(RangeDialog, StartAfterStopIsRefused) {
    TRecordingMessages Messages;
    TDateTime Start = At(2024, 3, 10, 14, 31);
    TDateTime Stop = At(2024, 3, 10, 14, 30);
    bool StillOpen = false;
    WhenModal([&](QWidget *W) {
        Click(W, "btnOK");
        StillOpen = W->isVisible();
        Click(W, "btnCancel");
    });
    EXPECT_EQ(ShowRangeDialog(Start, Stop), 0);
    EXPECT_TRUE(StillOpen);
    ASSERT_EQ(Messages.Messages().size(), 1);
    const auto M = Messages.Messages().front();
    EXPECT_EQ(M.Caption, QStringLiteral("Внимание"));
    EXPECT_EQ(M.Text, QStringLiteral("Неверный диапазон"));
    EXPECT_EQ(M.Icon, TMsgIcon::None);
    EXPECT_EQ(M.Buttons, int(mbOK));
    EXPECT_EQ(Start, At(2024, 3, 10, 14, 31)); // cancelled: both unchanged
    EXPECT_EQ(Stop, At(2024, 3, 10, 14, 30));

    // Equal ends are a valid range.
    Messages.Clear();
    WhenModal([](QWidget *W) {
        Child<QTimeEdit>(W, "dtpStartTime")->setTime(QTime(14, 30));
        Click(W, "btnOK");
    });
    EXPECT_EQ(ShowRangeDialog(Start, Stop), 1);
    EXPECT_TRUE(Messages.Messages().isEmpty());
    EXPECT_EQ(Start, Stop);
}

TEST(RangeDialog, MissingDatesAreYesterdayAndToday) {
    TDateTime Start = 0;
    TDateTime Stop = 0;
    QDate StartDate, StopDate;
    WhenModal([&](QWidget *W) {
        StartDate = Child<QDateEdit>(W, "dtpStartDate")->date();
        StopDate = Child<QDateEdit>(W, "dtpStopDate")->date();
        Click(W, "btnOK");
    });
    EXPECT_EQ(ShowRangeDialog(Start, Stop), 1);
    EXPECT_EQ(StopDate, CurrentDate());
    EXPECT_EQ(StartDate, StopDate.addDays(-1));
    EXPECT_NEAR(Stop - Start, 1.0, 1.0 / 86400); // the same time of day at both ends
}

// -------------------------------------------------------------- input dialogs

TEST(InputInteger, ValueIsClampedIntoTheRange) {
    bool Ok = false;
    WhenModal([](QWidget *W) {
        EXPECT_EQ(W->windowTitle(), QStringLiteral("Введите"));
        EXPECT_EQ(Child<QLabel>(W, "lblCaption")->text(), QStringLiteral("Системный адрес"));
        auto *Spin = Child<QSpinBox>(W, "speValue");
        EXPECT_EQ(Spin->value(), 254);
        EXPECT_EQ(Spin->text(), QStringLiteral("254"));
        EXPECT_EQ(W->focusWidget(), Spin);
        Click(W, "btnOK");
    });
    EXPECT_EQ(InputInteger(QStringLiteral("Введите"), QStringLiteral("Системный адрес"), 300, 0, 254, &Ok), 254);
    EXPECT_TRUE(Ok);
}

TEST(InputInteger, TypedValueBeyondMaximumGivesMaximum) {
    bool Ok = false;
    QString Typed;
    WhenModal([&](QWidget *W) {
        auto *Spin = Child<QSpinBox>(W, "speValue");
        Spin->selectAll();
        Type(Spin, QStringLiteral("70000"));
        Typed = Spin->text();
        PressKey(Spin, Qt::Key_Return, QStringLiteral("\r"));
    });
    EXPECT_EQ(InputInteger(QStringLiteral("Введите"), QStringLiteral("Период опроса, мс"), 200, 100, 60000, &Ok),
              60000);
    EXPECT_EQ(Typed, QStringLiteral("70000"));
    EXPECT_TRUE(Ok);

    // A text that is no integer gives the minimum.
    WhenModal([](QWidget *W) {
        auto *Spin = Child<QSpinBox>(W, "speValue");
        Spin->selectAll();
        PressKey(Spin, Qt::Key_Backspace, QStringLiteral("\b"));
        Click(W, "btnOK");
    });
    EXPECT_EQ(InputInteger(QStringLiteral("Введите"), QStringLiteral("Период опроса, мс"), 200, 100, 60000, &Ok),
              100);
    EXPECT_TRUE(Ok);
}

TEST(InputInteger, EscapeReturnsTheValueGiven) {
    bool Ok = true;
    WhenModal([](QWidget *W) {
        auto *Spin = Child<QSpinBox>(W, "speValue");
        Spin->selectAll();
        Type(Spin, QStringLiteral("5"));
        PressKey(Spin, Qt::Key_Escape);
    });
    EXPECT_EQ(InputInteger(QStringLiteral("Введите"), QStringLiteral("Коэффициент"), 42, 1, 100, &Ok), 42);
    EXPECT_FALSE(Ok);
}

TEST(InputDouble, BadNumberTurnsTheEditRedAndKeepsTheDialog) {
    bool Ok = true;
    bool StillOpen = false;
    QColor Color;
    QString Shown;
    WhenModal([&](QWidget *W) {
        auto *Edit = Child<TEditNum>(W, "enValue");
        Shown = Edit->text();
        Edit->clear();
        Click(W, "btnOK");
        StillOpen = W->isVisible();
        Color = Edit->palette().color(QPalette::Base);
        Click(W, "btnCancel");
    });
    EXPECT_EQ(InputDouble(QStringLiteral("Введите"), QStringLiteral("Частота 1"), 2, 3.14159, &Ok), 3.14159);
    EXPECT_FALSE(Ok);
    EXPECT_EQ(Shown, QStringLiteral("3,14"));
    EXPECT_TRUE(StillOpen);
    EXPECT_EQ(Color, QColor(Qt::red));

    // After a correction OK takes the number; no range is checked here.
    WhenModal([&](QWidget *W) {
        auto *Edit = Child<TEditNum>(W, "enValue");
        Edit->setText(QStringLiteral("x"));
        Click(W, "btnOK");
        Edit->setText(QStringLiteral("-1234,5"));
        Click(W, "btnOK");
        Color = Edit->palette().color(QPalette::Base);
    });
    EXPECT_EQ(InputDouble(QStringLiteral("Введите"), QStringLiteral("Значение 1"), 1, 0, &Ok), -1234.5);
    EXPECT_TRUE(Ok);
    EXPECT_EQ(Color, QColor(Qt::white));
}

TEST(InputDescriptionOfDouble, InvertedLimitsAreIgnoredTheRestIsTaken) {
    TDescriptionOfDouble D;
    D.Title = QStringLiteral("Уровень");
    D.Hint = QStringLiteral("Уровень продукта");
    D.Dimension = QStringLiteral("%");
    D.Digits = 1;
    D.SetMinMax(0, 100);
    bool Ok = false;
    WhenModal([](QWidget *W) {
        EXPECT_EQ(W->windowTitle(), QStringLiteral("Описание параметра"));
        auto *Title = Child<QLineEdit>(W, "edtTitle");
        EXPECT_EQ(Title->text(), QStringLiteral("Уровень"));
        EXPECT_EQ(Child<TEditNum>(W, "enDigits")->text(), QStringLiteral("1"));
        EXPECT_EQ(Child<TEditNum>(W, "enMaximum")->text(), QStringLiteral("100"));
        Title->setText(QStringLiteral("Объем"));
        Child<QLineEdit>(W, "edtHint")->setText(QStringLiteral(" Объем продукта "));
        Child<QLineEdit>(W, "edtDimension")->setText(QStringLiteral("м3"));
        Child<TEditNum>(W, "enDigits")->setText(QStringLiteral("3,9"));
        Child<TEditNum>(W, "enMinimum")->setText(QStringLiteral("50"));
        Child<TEditNum>(W, "enMaximum")->setText(QStringLiteral("10"));
        Click(W, "btnOK");
    });
    InputDescriptionOfDouble(&D, Ok);
    EXPECT_TRUE(Ok);
    EXPECT_EQ(D.Title, QStringLiteral("Объем"));
    EXPECT_EQ(D.Hint, QStringLiteral(" Объем продукта "));
    EXPECT_EQ(D.Dimension, QStringLiteral("м3"));
    EXPECT_EQ(D.Digits, 3);
    EXPECT_EQ(D.GetMin(), 0.0);
    EXPECT_EQ(D.GetMax(), 100.0);

    // Valid limits are taken; a number edit that holds no number counts 0,
    // and a negative digit count does not wrap around to 255.
    WhenModal([](QWidget *W) {
        Child<TEditNum>(W, "enDigits")->setText(QStringLiteral("-1"));
        Child<TEditNum>(W, "enMinimum")->setText(QStringLiteral("нет"));
        Child<TEditNum>(W, "enMaximum")->setText(QStringLiteral("250,5"));
        Click(W, "btnOK");
    });
    InputDescriptionOfDouble(&D, Ok);
    EXPECT_TRUE(Ok);
    EXPECT_EQ(D.Digits, 0);
    EXPECT_EQ(D.GetMin(), 0.0);
    EXPECT_EQ(D.GetMax(), 250.5);

    WhenModal([](QWidget *W) {
        Child<QLineEdit>(W, "edtTitle")->setText(QStringLiteral("Другое"));
        Click(W, "btnCancel");
    });
    InputDescriptionOfDouble(&D, Ok);
    EXPECT_FALSE(Ok);
    EXPECT_EQ(D.Title, QStringLiteral("Объем"));

    Ok = true;
    InputDescriptionOfDouble(nullptr, Ok);
    EXPECT_FALSE(Ok);
}

// ---------------------------------------------------------- command selection

TEST(SelectCMD, BoxesEditThePollSet) {
    TTestFolder Folder;
    PollSet.Clear();
    PollSet.Include(rkReadVolume);
    ShowSelectCMD();
    QPointer<TFormSelectCMD> W = FormSelectCMD;
    ASSERT_NE(W, nullptr);
    EXPECT_EQ(W->objectName(), QStringLiteral("FormSelectCMD"));
    EXPECT_EQ(W->windowTitle(), QStringLiteral("Команды ЛАНКС1хх"));
    auto *All = Child<QCheckBox>(W, "chbAll");
    auto *ReadAll = Child<QCheckBox>(W, "chbReadAll");
    EXPECT_EQ(All->toolTip(), QStringLiteral("Выделить все команды"));
    // Only "Все показания" starts checked; what the set held stays in it.
    EXPECT_TRUE(ReadAll->isChecked());
    EXPECT_FALSE(All->isChecked());
    for (const char *Name : {"chbLevel", "chbVolume", "chbFreq"})
        EXPECT_FALSE(Child<QCheckBox>(W, Name)->isChecked()) << Name;
    EXPECT_EQ(PollSet.Bits(), (1u << rkReadAll) | (1u << rkReadVolume));

    ShowSelectCMD(); // a second call shows the same window
    EXPECT_EQ(FormSelectCMD, W.data());

    All->click();
    EXPECT_EQ(PollSet.Bits(), (1u << rkReadAll) | (1u << rkReadLevel) | (1u << rkReadVolume) | (1u << rkReadFrequency));
    ReadAll->click();
    EXPECT_EQ(PollSet.Bits(), (1u << rkReadLevel) | (1u << rkReadVolume) | (1u << rkReadFrequency));
    Child<QCheckBox>(W, "chbFreq")->click();
    EXPECT_EQ(PollSet.Bits(), (1u << rkReadLevel) | (1u << rkReadVolume));

    // Esc closes the window, which saves its place and frees itself; the set stays.
    PressKey(W, Qt::Key_Escape);
    EXPECT_EQ(FormSelectCMD, nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(W.isNull());
    EXPECT_EQ(PollSet.Bits(), (1u << rkReadLevel) | (1u << rkReadVolume));
    const QByteArray Ini = ::ReadAll(WindowPositionFile());
    EXPECT_TRUE(Ini.contains("[FormSelectCMD]")) << Ini.constData();
    EXPECT_TRUE(Ini.contains("Width=")) << Ini.constData();

    // Opened again it starts over from "Все показания".
    ShowSelectCMD();
    ASSERT_NE(FormSelectCMD, nullptr);
    EXPECT_TRUE(PollSet.Contains(rkReadAll));
    FormSelectCMD->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(FormSelectCMD, nullptr);
    PollSet.Clear();
}

// ------------------------------------------------------------ serial settings

TEST(TransmitterSetup, OkAppliesTheChoiceCancelNothing) {
    TTestFolder Folder;
    TTransmitter T;
    const TPortSettings Before = T.GetSettings();
    WhenModal([](QWidget *W) {
        auto *Port = Child<QComboBox>(W, "cmbPort");
        EXPECT_TRUE(Port->isEditable());
        EXPECT_EQ(Port->currentText(), QStringLiteral("COM1")); // kept although no such port is here
        auto *Baud = Child<QComboBox>(W, "cmbBaudRate");
        auto *Custom = Child<QSpinBox>(W, "speCustomBaudRate");
        EXPECT_EQ(Baud->currentText(), QStringLiteral("9600"));
        EXPECT_FALSE(Custom->isEnabled());
        EXPECT_EQ(Baud->count(), TPortSettings::BaudRateTexts().size());
        Baud->setCurrentIndex(Baud->findText(QStringLiteral("19200")));
        Child<QComboBox>(W, "cmbParity")->setCurrentText(QStringLiteral("Even"));
        Click(W, "btnCancel");
    });
    EXPECT_TRUE(ShowTransmitterSetup(T));
    EXPECT_EQ(T.GetSettings(), Before);

    WhenModal([](QWidget *W) {
        auto *Baud = Child<QComboBox>(W, "cmbBaudRate");
        auto *Custom = Child<QSpinBox>(W, "speCustomBaudRate");
        Baud->setCurrentIndex(Baud->findText(QStringLiteral("Custom")));
        EXPECT_TRUE(Custom->isEnabled());
        Custom->setValue(31250);
        Child<QComboBox>(W, "cmbPort")->setEditText(QStringLiteral("/dev/ttyUSB7"));
        Child<QComboBox>(W, "cmbDataBits")->setCurrentText(QStringLiteral("7"));
        Child<QComboBox>(W, "cmbStopBits")->setCurrentText(QStringLiteral("2"));
        Child<QComboBox>(W, "cmbParity")->setCurrentText(QStringLiteral("Odd"));
        Child<QComboBox>(W, "cmbFlowControl")->setCurrentText(QStringLiteral("Hardware"));
        Click(W, "btnOK");
    });
    EXPECT_TRUE(ShowTransmitterSetup(T));
    const TPortSettings After = T.GetSettings();
    EXPECT_EQ(After.BaudRate, QStringLiteral("Custom"));
    EXPECT_EQ(After.CustomBaudRate, 31250);
    EXPECT_EQ(After.BaudRateValue(), 31250);
    EXPECT_EQ(After.Port, QStringLiteral("/dev/ttyUSB7"));
    EXPECT_EQ(After.DataBits, QStringLiteral("7"));
    EXPECT_EQ(After.StopBits, QStringLiteral("2"));
    EXPECT_EQ(After.Parity, QStringLiteral("Odd"));
    EXPECT_EQ(After.FlowControl, QStringLiteral("Hardware"));
    EXPECT_EQ(After.ReadTotalConstant, Before.ReadTotalConstant); // the time-outs pass through
}
