#include "fLanx1Par.h"

#include "fInputDescriptionOfDouble.h"
#include "fMain.h"
#include "uEscapeKey.h"
#include "uFormat.h"
#include "uIniFile.h"
#include "uLanx1Instance.h"
#include "uWindowPosition.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcLanx1ParView, "lanx1.view.parameters")

TFormLanx1Par *FormLanx1Par = nullptr;
const QString TFormLanx1Par::kUndefined = QStringLiteral("Значение не определено");

namespace {

// Limits, calibration values and the value for 20 mA: number format with ten
// significant digits and the decimals of the description they belong to.
QString ValueText(double Value, int Digits) {
    return FormatNumber(Value, 10, Digits, DefaultFormatSettings());
}

QString TextOrUndefined(const QString &Text) {
    return Text.trimmed().isEmpty() ? TFormLanx1Par::kUndefined : Text;
}

QLabel *NewTitle(QWidget *Parent, const QString &Text, const QString &Name = QString()) {
    auto *Label = new QLabel(Text, Parent);
    if (!Name.isEmpty())
        Label->setObjectName(Name);
    return Label;
}

// Adds the rows title | value to a two-column grid.
void AddRows(QGridLayout *Grid, std::initializer_list<std::pair<QLabel *, QLabel *>> Rows) {
    for (const auto &[Title, Value] : Rows) {
        const int Row = Grid->rowCount();
        Grid->addWidget(Title, Row, 0);
        Grid->addWidget(Value, Row, 1);
    }
    Grid->setColumnStretch(1, 1);
}

} // namespace

TFormLanx1Par::TFormLanx1Par(QWidget *Parent)
    : QWidget(Parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("FormLanx1Par"));
    setWindowTitle(QStringLiteral("Параметры ЛАНКС1хх"));
    setAttribute(Qt::WA_DeleteOnClose);

    CreateControls();
    try {
        LoadWindowPosition(this);
    } catch (const std::exception &E) {
        qCInfo(lcLanx1ParView) << "window position not restored:" << E.what();
    }
}

TFormLanx1Par::~TFormLanx1Par() {
    if (FormLanx1Par == this)
        FormLanx1Par = nullptr;
}

// ---- controls

void TFormLanx1Par::CreateControls() {
    auto *Left = new QVBoxLayout;
    Left->addWidget(CreateSignatureGroup());
    Left->addWidget(CreateDescriptionGroup(QStringLiteral("Измеряемая величина"), 1));
    Left->addWidget(CreateDescriptionGroup(QStringLiteral("Вычисляемая величина"), 2));
    Left->addStretch();
    auto *Right = new QVBoxLayout;
    Right->addWidget(CreateCalibrationGroup());
    Right->addWidget(CreateCurrentOutputGroup());
    Right->addWidget(CreateParametersGroup());
    Right->addStretch();
    auto *Layout = new QHBoxLayout(this);
    Layout->addLayout(Left, 1);
    Layout->addLayout(Right, 1);
}

QLabel *TFormLanx1Par::NewValue(QWidget *Parent, const QString &Name, std::function<void()> Click, bool Link) {
    auto *Label = new QLabel(Parent);
    Label->setObjectName(Name);
    Label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (Link) {
        QFont Font = Label->font();
        Font.setUnderline(true);
        Label->setFont(Font);
        QPalette Palette = Label->palette();
        Palette.setColor(QPalette::WindowText, Qt::blue);
        Label->setPalette(Palette);
        Label->setCursor(Qt::PointingHandCursor);
    }
    if (Click) {
        FClicks[Label] = std::move(Click);
        Label->installEventFilter(this);
    }
    return Label;
}

std::function<void()> TFormLanx1Par::RunAction(TMainAction Action) const {
    // The main window is looked up at the click: it may come and go while this window lives.
    return [Action] {
        if (FormMain && FormMain->*Action)
            (FormMain->*Action)->trigger(); // a disabled action does nothing
    };
}

std::function<void()> TFormLanx1Par::EditDescription(int N) const {
    return [N] {
        if (!Lanx1)
            return;
        bool Ok = false;
        InputDescriptionOfDouble(N == 1 ? &Lanx1->Level.Description : &Lanx1->Volume.Description, Ok);
        if (!Ok)
            return;
        if (FormMain)
            FormMain->RefreshAll();
        else if (FormLanx1Par)
            FormLanx1Par->RefreshView();
    };
}

QGroupBox *TFormLanx1Par::CreateSignatureGroup() {
    auto *Group = new QGroupBox(QStringLiteral("Сигнатура"), this);
    Group->setObjectName(QStringLiteral("gbSignature"));
    // The plant number is only edited in the full mode, so it does not look like a link.
    lblPlantNumber = NewValue(Group, QStringLiteral("lblPlantNumber"), RunAction(&TFormMain::actPlantNumberChange),
                              false);
    lblSystemAddress = NewValue(Group, QStringLiteral("lblSystemAddress"),
                                RunAction(&TFormMain::actSystemAddressChange));
    lblModification = NewValue(Group, QStringLiteral("lblModification"), nullptr, false);
    AddRows(new QGridLayout(Group), {{NewTitle(Group, QStringLiteral("Заводской номер")), lblPlantNumber},
                                     {NewTitle(Group, QStringLiteral("Системный адрес")), lblSystemAddress},
                                     {NewTitle(Group, QStringLiteral("Исполнение")), lblModification}});
    return Group;
}

QGroupBox *TFormLanx1Par::CreateDescriptionGroup(const QString &Caption, int N) {
    auto *Group = new QGroupBox(Caption, this);
    Group->setObjectName(N == 1 ? QStringLiteral("gbMeasured") : QStringLiteral("gbCalculated"));
    const QString No = QString::number(N);
    const std::function<void()> Click = EditDescription(N);
    QLabel *&Title = N == 1 ? lblTitle1 : lblTitle2;
    QLabel *&Hint = N == 1 ? lblHint1 : lblHint2;
    QLabel *&Dimension = N == 1 ? lblDimension1 : lblDimension2;
    QLabel *&Digits = N == 1 ? lblDigits1 : lblDigits2;
    QLabel *&Maximum = N == 1 ? lblMaximum1 : lblMaximum2;
    QLabel *&Minimum = N == 1 ? lblMinimum1 : lblMinimum2;
    QLabel *&MaximumTitle = N == 1 ? lblMaximumTitle1 : lblMaximumTitle2;
    QLabel *&MinimumTitle = N == 1 ? lblMinimumTitle1 : lblMinimumTitle2;
    Title = NewValue(Group, QStringLiteral("lblTitle") + No, Click);
    Hint = NewValue(Group, QStringLiteral("lblHint") + No, Click);
    Dimension = NewValue(Group, QStringLiteral("lblDimension") + No, Click);
    Digits = NewValue(Group, QStringLiteral("lblDigits") + No, Click);
    Maximum = NewValue(Group, QStringLiteral("lblMaximum") + No, Click);
    Minimum = NewValue(Group, QStringLiteral("lblMinimum") + No, Click);
    MaximumTitle = NewTitle(Group, QStringLiteral("Максимум, "), QStringLiteral("lblMaximumTitle") + No);
    MinimumTitle = NewTitle(Group, QStringLiteral("Минимум, "), QStringLiteral("lblMinimumTitle") + No);
    AddRows(new QGridLayout(Group), {{NewTitle(Group, QStringLiteral("Наименование")), Title},
                                     {NewTitle(Group, QStringLiteral("Описание")), Hint},
                                     {NewTitle(Group, QStringLiteral("Единица измерения")), Dimension},
                                     {NewTitle(Group, QStringLiteral("Кол-во десятичных разрядов")), Digits},
                                     {MaximumTitle, Maximum},
                                     {MinimumTitle, Minimum}});
    return Group;
}

QGroupBox *TFormLanx1Par::CreateCalibrationGroup() {
    gbCalibration = new QGroupBox(QStringLiteral("Параметры калибровки"), this);
    gbCalibration->setObjectName(QStringLiteral("gbCalibration"));
    QGroupBox *Group = gbCalibration;
    lblFreq2 = NewValue(Group, QStringLiteral("lblFreq2"), RunAction(&TFormMain::actFreq2Change));
    lblValue2 = NewValue(Group, QStringLiteral("lblValue2"), RunAction(&TFormMain::actValue2Change));
    lblFreq1 = NewValue(Group, QStringLiteral("lblFreq1"), RunAction(&TFormMain::actFreq1Change));
    lblValue1 = NewValue(Group, QStringLiteral("lblValue1"), RunAction(&TFormMain::actValue1Change));
    lblCalibrationValueTitle =
        NewTitle(Group, QStringLiteral("Значение, "), QStringLiteral("lblCalibrationValueTitle"));
    lblCalibrationValueTitle->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *FreqTitle = NewTitle(Group, QStringLiteral("Частота"));
    FreqTitle->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // The autocalibration buttons are the main window's actions themselves:
    // caption, hint and enabled state follow them.
    btnFreq2Auto = new QToolButton(Group);
    btnFreq2Auto->setObjectName(QStringLiteral("btnFreq2Auto"));
    btnFreq1Auto = new QToolButton(Group);
    btnFreq1Auto->setObjectName(QStringLiteral("btnFreq1Auto"));
    for (QToolButton *Button : {btnFreq2Auto, btnFreq1Auto}) {
        Button->setAutoRaise(true);
        Button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    if (FormMain) {
        btnFreq2Auto->setDefaultAction(FormMain->actFreq2Auto);
        btnFreq1Auto->setDefaultAction(FormMain->actFreq1Auto);
    } else {
        btnFreq2Auto->setEnabled(false);
        btnFreq1Auto->setEnabled(false);
    }

    auto *Grid = new QGridLayout(Group);
    Grid->addWidget(FreqTitle, 0, 1);
    Grid->addWidget(lblCalibrationValueTitle, 0, 2);
    Grid->addWidget(NewTitle(Group, QStringLiteral("Точка С2")), 1, 0);
    Grid->addWidget(lblFreq2, 1, 1);
    Grid->addWidget(lblValue2, 1, 2);
    Grid->addWidget(NewTitle(Group, QStringLiteral("Точка С1")), 2, 0);
    Grid->addWidget(lblFreq1, 2, 1);
    Grid->addWidget(lblValue1, 2, 2);
    auto *Buttons = new QHBoxLayout;
    Buttons->addWidget(btnFreq2Auto);
    Buttons->addWidget(btnFreq1Auto);
    Buttons->addStretch();
    Grid->addLayout(Buttons, 3, 0, 1, 3);
    Grid->setColumnStretch(1, 1);
    Grid->setColumnStretch(2, 1);

    // Right clicks anywhere in the group (labels pass theirs on) open the
    // main window's calibration menu.
    Group->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Group, &QWidget::customContextMenuRequested, this, &TFormLanx1Par::ShowCalibrationMenu);
    return Group;
}

QGroupBox *TFormLanx1Par::CreateCurrentOutputGroup() {
    auto *Group = new QGroupBox(QStringLiteral("Параметры токового сигнала"), this);
    Group->setObjectName(QStringLiteral("gbCurrentOutput"));
    cmbModeCurrentOutput = new QComboBox(Group);
    cmbModeCurrentOutput->setObjectName(QStringLiteral("cmbModeCurrentOutput"));
    // The last letter of both items is the Cyrillic А, as the device object writes it.
    cmbModeCurrentOutput->addItems({QStringLiteral("4...20 mА"), QStringLiteral("0...20 mА")});
    // Only a choice of the user counts, not the index set by a refresh.
    connect(cmbModeCurrentOutput, &QComboBox::activated, this, &TFormLanx1Par::ModeSelected);
    lblModeCurrentOutput = NewValue(Group, QStringLiteral("lblModeCurrentOutput"), nullptr, false);
    lblModeCurrentOutput->hide();
    lblValue20mATitle = NewTitle(Group, QStringLiteral("Значение для 20mA, "), QStringLiteral("lblValue20mATitle"));
    lblValue20mA = NewValue(Group, QStringLiteral("lblValue20mA"), RunAction(&TFormMain::actValue20mAChange));
    lblTurning4mA = NewValue(Group, QStringLiteral("lblTurning4mA"), RunAction(&TFormMain::actTurning4mAChange));
    lblTurning20mA = NewValue(Group, QStringLiteral("lblTurning20mA"), RunAction(&TFormMain::actTurning20mAChange));

    auto *Grid = new QGridLayout(Group);
    Grid->addWidget(NewTitle(Group, QStringLiteral("Токовый сигнал")), 0, 0);
    Grid->addWidget(cmbModeCurrentOutput, 0, 1);
    AddRows(Grid, {{lblValue20mATitle, lblValue20mA},
                   {NewTitle(Group, QStringLiteral("Подстройка токового сигнала 4mA")), lblTurning4mA},
                   {NewTitle(Group, QStringLiteral("Подстройка токового сигнала 20mA")), lblTurning20mA}});
    Grid->addWidget(lblModeCurrentOutput, Grid->rowCount(), 1);
    return Group;
}

QGroupBox *TFormLanx1Par::CreateParametersGroup() {
    auto *Group = new QGroupBox(QStringLiteral("Параметры"), this);
    Group->setObjectName(QStringLiteral("gbParameters"));
    lblKKalman = NewValue(Group, QStringLiteral("lblKKalman"), RunAction(&TFormMain::actKKalmanChange));
    AddRows(new QGridLayout(Group), {{NewTitle(Group, QStringLiteral("Коэффициент усреднения")), lblKKalman}});
    return Group;
}

// ---- refresh

void TFormLanx1Par::RefreshDescription(const TDescriptionOfDouble &D, int N) {
    const bool First = N == 1;
    (First ? lblTitle1 : lblTitle2)->setText(TextOrUndefined(D.Title));
    (First ? lblHint1 : lblHint2)->setText(TextOrUndefined(D.Hint));
    (First ? lblDimension1 : lblDimension2)->setText(TextOrUndefined(D.Dimension));
    (First ? lblDigits1 : lblDigits2)->setText(QString::number(D.Digits));
    (First ? lblMaximumTitle1 : lblMaximumTitle2)->setText(QStringLiteral("Максимум, ") + D.Dimension);
    (First ? lblMaximum1 : lblMaximum2)->setText(ValueText(D.GetMax(), D.Digits));
    (First ? lblMinimumTitle1 : lblMinimumTitle2)->setText(QStringLiteral("Минимум, ") + D.Dimension);
    (First ? lblMinimum1 : lblMinimum2)->setText(ValueText(D.GetMin(), D.Digits));
}

void TFormLanx1Par::RefreshView() {
    if (!Lanx1)
        return;
    try {
        const TLanx1 &D = *Lanx1;
        lblModification->setText(D.ModificationText());
        lblSystemAddress->setText(QString::number(D.SystemAddress()));
        lblPlantNumber->setText(QString::number(D.PlantNumber()));
        const TDescriptionOfDouble &Level = D.Level.Description;
        RefreshDescription(Level, 1);
        RefreshDescription(D.Volume.Description, 2);
        lblCalibrationValueTitle->setText(QStringLiteral("Значение, ") + Level.Dimension);
        lblFreq2->setText(QString::number(D.Freq2()));
        lblValue2->setText(ValueText(D.Value2(), Level.Digits));
        lblFreq1->setText(QString::number(D.Freq1()));
        lblValue1->setText(ValueText(D.Value1(), Level.Digits));
        lblKKalman->setText(QString::number(D.KKalman()));
        lblValue20mATitle->setText(QStringLiteral("Значение для 20mA, ") + Level.Dimension);
        lblValue20mA->setText(ValueText(D.Value20mA(), Level.Digits));
        lblTurning4mA->setText(QString::number(D.Turning4mA()));
        lblTurning20mA->setText(QString::number(D.Turning20mA()));
        lblModeCurrentOutput->setText(D.ModeCurrentOutputText());
        // A mode other than 1 or 2 leaves no item selected.
        const int Index = D.ModeCurrentOutput() - 1;
        cmbModeCurrentOutput->setCurrentIndex(Index >= 0 && Index < cmbModeCurrentOutput->count() ? Index : -1);
    } catch (const std::exception &E) {
        qCInfo(lcLanx1ParView) << "refresh failed:" << E.what();
    } catch (...) {
        qCInfo(lcLanx1ParView) << "refresh failed";
    }
}

// ---- user input

void TFormLanx1Par::ModeSelected(int Index) {
    if (!Lanx1 || Index < 0)
        return;
    Lanx1->SetModeCurrentOutput(static_cast<std::uint8_t>(Index + 1));
    if (FormMain)
        FormMain->RefreshAll();
    else
        RefreshView();
}

void TFormLanx1Par::ShowCalibrationMenu(const QPoint &Position) {
    if (FormMain && FormMain->pmCalibration)
        FormMain->pmCalibration->popup(gbCalibration->mapToGlobal(Position));
}

bool TFormLanx1Par::eventFilter(QObject *Watched, QEvent *Event) {
    if (Event->type() == QEvent::MouseButtonRelease) {
        const auto *Mouse = static_cast<QMouseEvent *>(Event);
        const auto It = FClicks.find(Watched);
        auto *Widget = qobject_cast<QWidget *>(Watched);
        // A click is a left press and release on the same label.
        if (It != FClicks.end() && Widget && Mouse->button() == Qt::LeftButton &&
            Widget->rect().contains(Mouse->position().toPoint())) {
            const std::function<void()> Click = It->second; // the window may close meanwhile
            try {
                Click();
            } catch (const std::exception &E) {
                qCWarning(lcLanx1ParView) << "click failed:" << E.what();
            }
            return true;
        }
    }
    return QWidget::eventFilter(Watched, Event);
}

void TFormLanx1Par::showEvent(QShowEvent *Event) {
    QWidget::showEvent(Event);
    RefreshView();
}

void TFormLanx1Par::keyPressEvent(QKeyEvent *Event) {
    if (CloseOnEscape(this, Event))
        return;
    QWidget::keyPressEvent(Event);
}

void TFormLanx1Par::closeEvent(QCloseEvent *Event) {
    try {
        SaveWindowPosition(this);
    } catch (const EIniFileError &E) {
        qCWarning(lcLanx1ParView) << "window position not saved:" << E.what();
    }
    if (FormLanx1Par == this)
        FormLanx1Par = nullptr;
    QWidget::closeEvent(Event);
}

void ShowLanx1Par() {
    if (!FormLanx1Par)
        FormLanx1Par = new TFormLanx1Par;
    FormLanx1Par->show();
    FormLanx1Par->raise();
}

void RefreshLanx1Par() {
    if (FormLanx1Par)
        FormLanx1Par->RefreshView();
}
