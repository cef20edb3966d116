#include "fTurning.h"
#include "uTextFit.h"

#include "fMain.h"
#include "fTurning20mA.h"
#include "fTurning4mA.h"
#include "uLanx1Instance.h"
#include "uWindowPosition.h"
#include "uWindows.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QToolButton>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcTurning, "lanx1.turning")

namespace {

QToolButton *StepButton(QWidget *Parent, const char *Name, const QString &Text, Qt::ArrowType Arrow) {
    auto *Button = new QToolButton(Parent);
    Button->setObjectName(QString::fromLatin1(Name));
    Button->setText(Text);
    Button->setArrowType(Arrow);
    Button->setToolButtonStyle(Arrow == Qt::NoArrow ? Qt::ToolButtonTextOnly : Qt::ToolButtonTextBesideIcon);
    Button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return Button;
}

QToolButton *ActionButton(QWidget *Parent, const char *Name, QAction *Action) {
    auto *Button = new QToolButton(Parent);
    Button->setObjectName(QString::fromLatin1(Name));
    Button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    Button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (Action)
        Button->setDefaultAction(Action); // caption and enabled state follow the action
    return Button;
}

} // namespace

TFormTurning::TFormTurning(const TTurningEnd &End, QWidget *Parent) : QDialog(Parent), FEnd(End) {
    setObjectName(End.ObjectName);
    setWindowTitle(End.Caption);

    auto *Group = new QGroupBox(End.Group, this);
    FValue = new QLabel(QStringLiteral("ХХХХ"), Group);
    FValue->setObjectName(End.LabelName);
    FValue->setAlignment(Qt::AlignCenter);
    QFont Big(QStringLiteral("Arial"));
    Big.setBold(true);
    Big.setPixelSize(96);
    FValue->setFont(Big);

    sbtDecrement5 = StepButton(Group, "sbtDecrement5", QStringLiteral("5"), Qt::DownArrow);
    sbtDecrement1 = StepButton(Group, "sbtDecrement1", QStringLiteral("1"), Qt::DownArrow);
    sbtIncrement1 = StepButton(Group, "sbtIncrement1", QStringLiteral("1"), Qt::UpArrow);
    sbtIncrement5 = StepButton(Group, "sbtIncrement5", QStringLiteral("5"), Qt::UpArrow);
    sbtDefault = StepButton(Group, "sbtDefault", QStringLiteral("Типовое значение ") + QString::number(End.Typical),
                            Qt::NoArrow);
    connect(sbtIncrement1, &QToolButton::clicked, this, [this] { Step(1); });
    connect(sbtIncrement5, &QToolButton::clicked, this, [this] { Step(5); });
    connect(sbtDecrement1, &QToolButton::clicked, this, [this] { Step(-1); });
    connect(sbtDecrement5, &QToolButton::clicked, this, [this] { Step(-5); });
    connect(sbtDefault, &QToolButton::clicked, this, [this] { SetTypical(); });

    auto *Grid = new QGridLayout(Group);
    Grid->addWidget(FValue, 0, 0, 1, 4);
    Grid->addWidget(sbtDecrement5, 1, 0);
    Grid->addWidget(sbtDecrement1, 1, 1);
    Grid->addWidget(sbtIncrement1, 1, 2);
    Grid->addWidget(sbtIncrement5, 1, 3);
    Grid->addWidget(sbtDefault, 2, 0, 1, 4);

    btnStart = ActionButton(this, "btnStart", StartAction());
    btnSave = ActionButton(this, "btnSave", SaveAction());
    auto *Buttons = new QHBoxLayout;
    Buttons->addWidget(btnStart);
    Buttons->addWidget(btnSave);

    auto *Main = new QVBoxLayout(this);
    Main->addWidget(Group);
    Main->addLayout(Buttons);
    Main->setSizeConstraint(QLayout::SetFixedSize);
    // The dialog's width is that of its contents; it must also leave the
    // window frame room for the whole caption.
    const QMargins M = Main->contentsMargins();
    Group->setMinimumWidth(TitleBarWidthFor(this, End.Caption) - M.left() - M.right());

    try {
        LoadWindowPosition(this);
    } catch (const std::exception &E) {
        qCInfo(lcTurning) << "window position not restored:" << E.what();
    }
    // Opening the dialog starts a correction unless one is active.
    if (QAction *Start = StartAction())
        Start->trigger();
}

QAction *TFormTurning::StartAction() const {
    if (!FormMain)
        return nullptr;
    return FEnd.Top ? FormMain->actTurning20mAStart : FormMain->actTurning4mAStart;
}

QAction *TFormTurning::SaveAction() const {
    if (!FormMain)
        return nullptr;
    return FEnd.Top ? FormMain->actTurning20mASave : FormMain->actTurning4mASave;
}

QAction *TFormTurning::WriteAction() const {
    if (!FormMain)
        return nullptr;
    return FEnd.Top ? FormMain->actTurning20mAWrite : FormMain->actTurning4mAWrite;
}

int TFormTurning::Value() const {
    if (!Lanx1)
        return 0;
    return FEnd.Top ? Lanx1->Turning20mA() : Lanx1->Turning4mA();
}

void TFormTurning::SetValue(int Value) {
    if (!Lanx1)
        return;
    if (FEnd.Top)
        Lanx1->SetTurning20mA(static_cast<std::uint16_t>(Value));
    else
        Lanx1->SetTurning4mA(static_cast<std::uint16_t>(Value));
}

bool TFormTurning::Correcting() const {
    const QAction *Start = StartAction();
    return Start && !Start->isEnabled();
}

void TFormTurning::RefreshView() {
    const bool On = Correcting();
    for (QToolButton *Button : {sbtIncrement1, sbtDecrement1, sbtIncrement5, sbtDecrement5, sbtDefault})
        Button->setEnabled(On);
    if (Lanx1)
        FValue->setText(QString::number(Value()));
}

void TFormTurning::Step(int N) {
    const int Current = Value();
    // The bounds themselves are left to the change action: steps stop one short.
    if (N > 0 ? Current < FEnd.Upper - N : Current > FEnd.Lower - N)
        SetValue(Current + N);
    AfterChange();
}

void TFormTurning::SetTypical() {
    SetValue(FEnd.Typical);
    AfterChange();
}

void TFormTurning::AfterChange() {
    if (!Correcting())
        return;
    RefreshView();
    // Sent at once, also when the value stayed, so the output follows each press.
    if (QAction *Write = WriteAction())
        Write->trigger();
}

void TFormTurning::showEvent(QShowEvent *Event) {
    QDialog::showEvent(Event);
    RefreshView();
}

void TFormTurning::done(int Result) {
    if (!FClosing) {
        FClosing = true;
        try {
            SaveWindowPosition(this);
        } catch (const std::exception &E) {
            qCWarning(lcTurning) << "window position not saved:" << E.what();
        }
        // Ends an active correction; a disabled save action does nothing.
        if (QAction *Save = SaveAction())
            Save->trigger();
    }
    QDialog::done(Result);
}

void RegisterTurningDialogs() {
    WindowHooks().ShowTurning4mA = [] { ShowTurning4mA(); };
    WindowHooks().ShowTurning20mA = [] { ShowTurning20mA(); };
}
