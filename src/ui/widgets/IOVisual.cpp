#include "IOVisual.h"

#include "uFormat.h"

#include <QTextDocument>
#include <functional>

namespace {

struct TRefreshTexts {
    QString Title;
    QString Hint;
    QString Dimension;
    TDateTime Stamp;
};

// The steps every visual binding takes: title, description, the value with its
// hint (Number is asked only when there is a value control), dimension.
// Returns the hint given to the value control, or Previous when there is none.
QString RefreshSteps(QWidget *Title, QWidget *Value, QWidget *Dimension, QWidget *Description,
                     const TRefreshTexts &Texts, const std::function<QString()> &Number, bool WriteText,
                     const QString &Previous) {
    QString Hint = Previous;
    if (Title)
        SetControlText(Title, Texts.Title);
    if (Description)
        SetControlText(Description, Texts.Title + QStringLiteral(", ") + Texts.Dimension);
    if (Value) {
        const QString S = Number();
        Hint = ValueHintText(Texts.Title, Texts.Hint, S, Texts.Dimension, Texts.Stamp);
        Value->setToolTip(ToolTipText(Hint));
        if (WriteText)
            SetControlText(Value, S);
    }
    if (Dimension)
        SetControlText(Dimension, Texts.Dimension);
    return Hint;
}

} // namespace

void SetControlText(QWidget *Control, const QString &Text) {
    if (!Control)
        return;
    if (auto *Label = qobject_cast<QLabel *>(Control)) {
        Label->setText(Text);
        return;
    }
    const QMetaObject *Meta = Control->metaObject();
    if (Meta->indexOfProperty("text") >= 0)
        Control->setProperty("text", Text);
    else if (Meta->indexOfProperty("title") >= 0)
        Control->setProperty("title", Text);
}

QString ValueHintText(const QString &Title, const QString &Hint, const QString &Number,
                      const QString &Dimension, TDateTime Stamp) {
    const QChar CR(13);
    return Title + CR + Hint + CR + Number + u' ' + Dimension + CR + DateTimeToStr(Stamp, DefaultFormatSettings());
}

QString ToolTipText(const QString &HintText) {
    QString Text = HintText;
    Text.replace(QChar(13), QChar(10));
    // A title such as "<b>" would otherwise be taken for markup and the lines lost.
    if (Qt::mightBeRichText(Text))
        return Qt::convertFromPlainText(Text, Qt::WhiteSpaceNormal);
    return Text;
}

void TIOIntegerVisual::RefreshControls(QWidget *TitleCtl, QWidget *ValueCtl, QWidget *DimensionCtl,
                                       QWidget *DescriptionCtl) {
    const TRefreshTexts Texts{Description.Title, Description.Hint, Description.Dimension, Stamp()};
    FHintText = RefreshSteps(TitleCtl, ValueCtl, DimensionCtl, DescriptionCtl, Texts,
                             [this] { return QString::number(AsInteger()); }, true, FHintText);
}

void TIODoubleVisual::RefreshControls(QWidget *TitleCtl, QWidget *ValueCtl, QWidget *DimensionCtl,
                                      QWidget *DescriptionCtl, TVHistogram *Gauge) {
    const TRefreshTexts Texts{Description.Title, Description.Hint, Description.Dimension, Stamp()};
    const auto Number = [this, Gauge] {
        const double V = AsDouble();
        const QString S = FormatNumber(V, Description.Precision, Description.Digits,
                                       DefaultFormatSettings());
        if (Gauge)
            Gauge->SetValue(V); // the gauge keeps its value when V is outside its range
        return S;
    };
    FHintText = RefreshSteps(TitleCtl, ValueCtl, DimensionCtl, DescriptionCtl, Texts, Number,
                             Gauge == nullptr, FHintText);
}

void TIOIntegerLabel::Refresh() {
    RefreshControls(TitleControl, ValueControl, DimensionControl, DescriptionControl);
}

void TIODoubleLabel::Refresh() {
    RefreshControls(TitleControl, ValueControl, DimensionControl, DescriptionControl, nullptr);
}

void TIODoubleStaticText::Refresh() {
    RefreshControls(TitleControl, ValueControl, DimensionControl, DescriptionControl, nullptr);
}

void TIODoubleVHistogram::Refresh() {
    RefreshControls(TitleControl, ValueControl, DimensionControl, DescriptionControl, ValueControl);
}

void TIODoubleVHistogram::Assign(const TPersistent *Source) {
    try {
        if (dynamic_cast<const TIODouble *>(Source))
            TIODouble::Assign(Source);
        if (TVHistogram *Gauge = ValueControl) {
            Gauge->SetRange(Description.GetMin(), Description.GetMax());
            Gauge->SetDValueBig(2);
            Gauge->SetDValueSmall(1);
        }
    } catch (...) {
        // A failed copy leaves the binding and the gauge as far as they got.
    }
}
