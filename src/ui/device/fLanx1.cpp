#include "fLanx1.h"

#include "IOVisual.h"
#include "VHistogram.h"
#include "uColor.h"
#include "uEscapeKey.h"
#include "uIniFile.h"
#include "uLanx1Instance.h"
#include "uWindowPosition.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcLanx1View, "lanx1.view.readings")

TFormLanx1 *FormLanx1 = nullptr;

namespace {

constexpr TColor kRed = 0x0000FF;
constexpr TColor kYellow = 0x00FFFF;
constexpr TColor kBlue = 0xFF0000;
constexpr TColor kSilver = 0xC0C0C0;
constexpr TColor kGray = 0x808080;

QLabel *NewLabel(QWidget *Parent, const char *Name, const QString &Text = QString()) {
    auto *Label = new QLabel(Text, Parent);
    Label->setObjectName(QLatin1String(Name));
    return Label;
}

// Detaches a binding from whatever feeds it and frees it.
template <class TBinding>
void Free(std::unique_ptr<TBinding> &Binding) {
    if (!Binding)
        return;
    Binding->Disconnect(Binding->Source());
    Binding.reset();
}

} // namespace

TFormLanx1::TFormLanx1(QWidget *Parent)
    : QWidget(Parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("FormLanx1"));
    setWindowTitle(QStringLiteral("Показания ЛАНКС1хх"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(380, 260);

    CreateControls();
    SetUpGauge();
    CreateBindings();
    try {
        LoadWindowPosition(this);
    } catch (const std::exception &E) {
        qCInfo(lcLanx1View) << "window position not restored:" << E.what();
    }
}

TFormLanx1::~TFormLanx1() {
    FreeBindings();
    if (FormLanx1 == this)
        FormLanx1 = nullptr;
}

void TFormLanx1::CreateControls() {
    auto *Left = new QWidget(this);
    Left->setObjectName(QStringLiteral("pnlLevel"));
    Left->setFixedWidth(81);
    vhLevel = new TVHistogram(Left);
    vhLevel->setObjectName(QStringLiteral("vhLevel"));
    stxLevel = NewLabel(Left, "stxLevel");
    stxLevel->setAlignment(Qt::AlignCenter);
    stxLevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto *LeftLayout = new QVBoxLayout(Left);
    LeftLayout->setContentsMargins(0, 0, 0, 0);
    LeftLayout->addWidget(vhLevel, 1);
    LeftLayout->addWidget(stxLevel);

    gbReadings = new QGroupBox(QStringLiteral("Показания"), this);
    gbReadings->setObjectName(QStringLiteral("gbReadings"));
    lblLevelDescription = NewLabel(gbReadings, "lblLevelDescription", QStringLiteral("Уровень, мм"));
    lblLevel = NewLabel(gbReadings, "lblLevel");
    lblVolumeDescription = NewLabel(gbReadings, "lblVolumeDescription", QStringLiteral("Объем, %"));
    lblVolume = NewLabel(gbReadings, "lblVolume");
    lblFreqDescription = NewLabel(gbReadings, "lblFreqDescription", QStringLiteral("Частота"));
    lblFreq = NewLabel(gbReadings, "lblFreq");
    auto *Readings = new QGridLayout(gbReadings);
    QLabel *const Rows[][2] = {{lblLevelDescription, lblLevel}, {lblVolumeDescription, lblVolume},
                               {lblFreqDescription, lblFreq}};
    for (int i = 0; i < 3; ++i) {
        Readings->addWidget(Rows[i][0], i, 0);
        Rows[i][1]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Readings->addWidget(Rows[i][1], i, 1);
    }
    Readings->setColumnStretch(1, 1);

    gbErrors = new QGroupBox(QStringLiteral("Ошибки"), this);
    gbErrors->setObjectName(QStringLiteral("gbErrors"));
    gbErrors->setAutoFillBackground(true);
    lblErrorByte = NewLabel(gbErrors, "lblErrorByte");
    lblErrorMessage = NewLabel(gbErrors, "lblErrorMessage");
    lblErrorMessage->setWordWrap(true);
    auto *Errors = new QGridLayout(gbErrors);
    Errors->addWidget(NewLabel(gbErrors, "lblErrorByteTitle", QStringLiteral("Код ошибки")), 0, 0);
    Errors->addWidget(lblErrorByte, 0, 1);
    Errors->addWidget(lblErrorMessage, 1, 0, 1, 2);
    Errors->setColumnStretch(1, 1);

    auto *Right = new QVBoxLayout;
    Right->addWidget(gbReadings);
    Right->addWidget(gbErrors);
    Right->addStretch();
    auto *Layout = new QHBoxLayout(this);
    Layout->addWidget(Left);
    Layout->addLayout(Right, 1);
}

void TFormLanx1::SetUpGauge() {
    vhLevel->SetBorder(bLower);
    vhLevel->SetColorZoneAlarm(kRed);
    vhLevel->SetColorZoneAttention(kYellow);
    vhLevel->SetColorProductType(cptManual);
    vhLevel->SetColorProduct(kBlue);
    vhLevel->SetColorEmpty(kSilver);
    vhLevel->SetColorScale(kGray);
    vhLevel->SetColorValues(kGray);
    vhLevel->SetShowScaleMarks(true);
    vhLevel->SetShowValues(true);
    vhLevel->SetShowScaleZones(false);
    vhLevel->SetScaleAlignment(saLeft);
    vhLevel->SetDValueBig(10);
    vhLevel->SetDValueSmall(1);
    vhLevel->SetDecimalSign(1);
}

void TFormLanx1::CreateBindings() {
    if (!Lanx1)
        return;
    FLevelGauge = std::make_unique<TIODoubleVHistogram>();
    FLevelGauge->ValueControl = vhLevel;
    FLevelText = std::make_unique<TIODoubleStaticText>();
    FLevelText->ValueControl = stxLevel;
    FLevelLabel = std::make_unique<TIODoubleLabel>();
    FLevelLabel->ValueControl = lblLevel;
    FLevelLabel->DescriptionControl = lblLevelDescription;
    FVolumeLabel = std::make_unique<TIODoubleLabel>();
    FVolumeLabel->ValueControl = lblVolume;
    FVolumeLabel->DescriptionControl = lblVolumeDescription;
    FFreqLabel = std::make_unique<TIOIntegerLabel>();
    FFreqLabel->ValueControl = lblFreq;
    FFreqLabel->TitleControl = lblFreqDescription;

    // Attached without taking the current value: the controls show a reading
    // only once one arrives (or at the next refresh).
    FLevelGauge->SetSource(&Lanx1->Level, false);
    FLevelText->SetSource(&Lanx1->Level, false);
    FLevelLabel->SetSource(&Lanx1->Level, false);
    FVolumeLabel->SetSource(&Lanx1->Volume, false);
    FFreqLabel->SetSource(&Lanx1->Frequency, false);
    AssignDescriptions();
}

void TFormLanx1::FreeBindings() {
    Free(FLevelGauge);
    Free(FLevelText);
    Free(FLevelLabel);
    Free(FVolumeLabel);
    Free(FFreqLabel);
}

void TFormLanx1::AssignDescriptions() {
    if (!Lanx1)
        return;
    for (TIODouble *Binding : {static_cast<TIODouble *>(FLevelGauge.get()),
                               static_cast<TIODouble *>(FLevelText.get()),
                               static_cast<TIODouble *>(FLevelLabel.get())})
        if (Binding)
            Binding->Assign(&Lanx1->Level);
    if (FVolumeLabel)
        FVolumeLabel->Assign(&Lanx1->Volume);
    if (FFreqLabel)
        FFreqLabel->Assign(&Lanx1->Frequency);
}

void TFormLanx1::SetErrorsColor(bool Error) {
    QPalette Palette = gbErrors->palette();
    Palette.setColor(QPalette::Window, ColorToQColor(Error ? kRed : clBtnFace, Palette));
    gbErrors->setPalette(Palette);
}

void TFormLanx1::RefreshView() {
    if (!Lanx1)
        return;
    try {
        lblErrorByte->setText(QString::number(Lanx1->LastErrorCode()));
        lblErrorMessage->setText(Lanx1->LastErrorText());
        AssignDescriptions();
        // The gauge follows the level's range: a tenth and a twentieth of the
        // maximum as its steps (the description may change at any time).
        const TDescriptionOfDouble &Level = Lanx1->Level.Description;
        vhLevel->SetDecimalSign(Level.Digits);
        vhLevel->SetRange(0, Level.GetMax());
        vhLevel->SetDValueBig(Level.GetMax() * 0.1);
        vhLevel->SetDValueSmall(Level.GetMax() * 0.05);
        if (FLevelGauge)
            FLevelGauge->Refresh();
        if (FLevelText)
            FLevelText->Refresh();
        if (FLevelLabel)
            FLevelLabel->Refresh();
        if (FVolumeLabel)
            FVolumeLabel->Refresh();
        if (FFreqLabel)
            FFreqLabel->Refresh();
        SetErrorsColor(Lanx1->LastErrorCode() != 0);
    } catch (const std::exception &E) {
        qCInfo(lcLanx1View) << "refresh failed:" << E.what();
    } catch (...) {
        qCInfo(lcLanx1View) << "refresh failed";
    }
}

void TFormLanx1::showEvent(QShowEvent *Event) {
    QWidget::showEvent(Event);
    RefreshView();
}

void TFormLanx1::keyPressEvent(QKeyEvent *Event) {
    if (CloseOnEscape(this, Event))
        return;
    QWidget::keyPressEvent(Event);
}

void TFormLanx1::closeEvent(QCloseEvent *Event) {
    try {
        SaveWindowPosition(this);
    } catch (const EIniFileError &E) {
        qCWarning(lcLanx1View) << "window position not saved:" << E.what();
    }
    FreeBindings();
    if (FormLanx1 == this)
        FormLanx1 = nullptr;
    QWidget::closeEvent(Event);
}

void ShowLanx1() {
    if (!FormLanx1)
        FormLanx1 = new TFormLanx1;
    FormLanx1->show();
    FormLanx1->raise();
}

void RefreshLanx1() {
    if (FormLanx1)
        FormLanx1->RefreshView();
}
