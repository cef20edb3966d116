#include "fRangeDT.h"
#include "uInputLayout.h"

#include "uClock.h"
#include "uFormat.h"
#include "uMessages.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <cmath>

Q_LOGGING_CATEGORY(lcRangeDialog, "lanx1.rangedialog")

namespace {

constexpr double kOneSecond = 1.0 / 86400.0;
constexpr qint64 kMsPerDay = 86400000;

// Days the items of "Интервал" reach back from the stop; 0 for a free range.
constexpr int kIntervalDays[] = {0, 1, 7, 30, 365};

QDate DateOrDefault(TDateTime Value, QDate Default) {
    return std::trunc(Value) == 0 ? Default : DateTimeToQt(std::trunc(Value)).date();
}

QTime TimeOrNow(TDateTime Value) {
    const double Fraction = std::fabs(Value - std::trunc(Value));
    if (Fraction < kOneSecond)
        return CurrentTime();
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(std::llround(Fraction * kMsPerDay) % kMsPerDay));
}

TDateTime Combine(QDate Date, QTime Time) {
    return DateTimeFromQt(QDateTime(Date, Time));
}

QGroupBox *NewPeriodGroup(const QString &Title, QDateEdit *Date, QTimeEdit *Time, QWidget *Parent) {
    auto *Group = new QGroupBox(Title, Parent);
    auto *Grid = new QGridLayout(Group);
    Grid->addWidget(new QLabel(QStringLiteral("Дата:"), Group), 0, 0);
    Grid->addWidget(Date, 0, 1);
    Grid->addWidget(new QLabel(QStringLiteral("Время:"), Group), 1, 0);
    Grid->addWidget(Time, 1, 1);
    return Group;
}

} // namespace

TFormRangeDT::TFormRangeDT(TDateTime Start, TDateTime Stop, QWidget *Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("FormRangeDT"));
    setWindowTitle(QStringLiteral("Временной диапазон"));
    const TFormatSettings &Fs = DefaultFormatSettings();

    auto NewDate = [&](const QString &Name) {
        auto *Edit = new QDateEdit(this);
        Edit->setObjectName(Name);
        Edit->setDisplayFormat(Fs.ShortDateFormat);
        Edit->setCalendarPopup(false);
        connect(Edit, &QDateEdit::dateChanged, this, &TFormRangeDT::PickerChanged);
        return Edit;
    };
    auto NewTime = [&](const QString &Name) {
        auto *Edit = new QTimeEdit(this);
        Edit->setObjectName(Name);
        Edit->setDisplayFormat(Fs.LongTimeFormat);
        connect(Edit, &QTimeEdit::timeChanged, this, &TFormRangeDT::PickerChanged);
        return Edit;
    };
    dtpStartDate = NewDate(QStringLiteral("dtpStartDate"));
    dtpStartTime = NewTime(QStringLiteral("dtpStartTime"));
    dtpStopDate = NewDate(QStringLiteral("dtpStopDate"));
    dtpStopTime = NewTime(QStringLiteral("dtpStopTime"));

    cmbInterval = new QComboBox(this);
    cmbInterval->setObjectName(QStringLiteral("cmbInterval"));
    cmbInterval->addItems({QStringLiteral("Произвольный период"), QStringLiteral("Сутки"), QStringLiteral("Неделя"),
                           QStringLiteral("Месяц"), QStringLiteral("Год")});
    auto *IntervalGroup = new QGroupBox(QStringLiteral("Интервал"), this);
    (new QVBoxLayout(IntervalGroup))->addWidget(cmbInterval);

    QBoxLayout *Buttons = DialogButtonRow(this, btnOK, btnCancel, false);

    auto *Layout = new QVBoxLayout(this);
    Layout->addWidget(NewPeriodGroup(QStringLiteral(" Начало периода "), dtpStartDate, dtpStartTime, this));
    Layout->addWidget(NewPeriodGroup(QStringLiteral(" Конец периода "), dtpStopDate, dtpStopTime, this));
    Layout->addWidget(IntervalGroup);
    Layout->addLayout(Buttons);
    Layout->setSizeConstraint(QLayout::SetFixedSize);

    const QDate Today = CurrentDate();
    FFilling = true;
    dtpStartDate->setDate(DateOrDefault(Start, Today.addDays(-1)));
    dtpStartTime->setTime(TimeOrNow(Start));
    dtpStopDate->setDate(DateOrDefault(Stop, Today));
    dtpStopTime->setTime(TimeOrNow(Stop));
    cmbInterval->setCurrentIndex(0);
    FFilling = false;

    connect(cmbInterval, &QComboBox::currentIndexChanged, this, &TFormRangeDT::IntervalChosen);
    connect(btnOK, &QPushButton::clicked, this, &TFormRangeDT::Confirm);
}

TDateTime TFormRangeDT::Start() const {
    return Combine(dtpStartDate->date(), dtpStartTime->time());
}

TDateTime TFormRangeDT::Stop() const {
    return Combine(dtpStopDate->date(), dtpStopTime->time());
}

void TFormRangeDT::IntervalChosen(int Index) {
    if (Index <= 0 || Index >= static_cast<int>(std::size(kIntervalDays)))
        return;
    FFilling = true;
    dtpStartDate->setDate(dtpStopDate->date().addDays(-kIntervalDays[Index]));
    dtpStartTime->setTime(dtpStopTime->time());
    FFilling = false;
}

void TFormRangeDT::PickerChanged() {
    if (!FFilling)
        cmbInterval->setCurrentIndex(0);
}

void TFormRangeDT::Confirm() {
    if (Start() > Stop()) {
        ShowMessageBox(QStringLiteral("Внимание"), QStringLiteral("Неверный диапазон"), TMsgIcon::None, mbOK, mbOK);
        return;
    }
    accept();
}

int ShowRangeDialog(TDateTime &Start, TDateTime &Stop) {
    try {
        TFormRangeDT Form(Start, Stop);
        const int Result = Form.exec();
        if (Result == QDialog::Accepted) {
            Start = Form.Start();
            Stop = Form.Stop();
        }
        return Result;
    } catch (const std::exception &E) {
        qCWarning(lcRangeDialog) << "range dialog:" << E.what();
    } catch (...) {
        qCWarning(lcRangeDialog) << "range dialog failed";
    }
    return QDialog::Rejected;
}
