#pragma once
// Visual bindings: typed data bindings that also know up to four controls of a
// window and write the value and its description into them on Refresh - never
// when a value arrives, so a window decides when its controls change.
#include "IODescription.h"
#include "VHistogram.h"

#include <QLabel>
#include <QPointer>
#include <QString>
#include <QWidget>

// Writes Text into a control that has a text ("text" property, or "title" for a group box).
void SetControlText(QWidget *Control, const QString &Text);
// The hint of a value control: Title, Hint, the number with its unit and the
// date-time text of the stamp, one per line, lines ended by a carriage return.
QString ValueHintText(const QString &Title, const QString &Hint, const QString &Number,
                      const QString &Dimension, TDateTime Stamp);
// The hint as Qt shows it in a tooltip: line feeds for the carriage returns, and
// kept plain when its text could pass for rich text.
QString ToolTipText(const QString &HintText);

// The four controls a visual binding fills; none is owned and any may be absent
// (or be destroyed before the binding: the references then read as empty).
template <class TValueControl>
struct TVisualControls {
    QPointer<QWidget> TitleControl;       // receives Title
    QPointer<TValueControl> ValueControl; // the number and the hint
    QPointer<QWidget> DimensionControl;   // receives Dimension
    QPointer<QWidget> DescriptionControl; // receives Title + ", " + Dimension
};

class TIOIntegerVisual : public TIOInteger {
public:
    virtual void Refresh() = 0;
    // The hint the last Refresh gave the value control (lines ended by CR).
    const QString &HintText() const { return FHintText; }

protected:
    // The refresh steps shared by the integer classes: the number in decimal
    // for the value control's hint and text.
    void RefreshControls(QWidget *TitleCtl, QWidget *ValueCtl, QWidget *DimensionCtl, QWidget *DescriptionCtl);
    QString FHintText;
};

class TIODoubleVisual : public TIODouble {
public:
    virtual void Refresh() = 0;
    const QString &HintText() const { return FHintText; }

protected:
    // Title, description and dimension controls, then the number: its text for
    // the value control's hint and, unless Gauge is given, for its text.
    void RefreshControls(QWidget *TitleCtl, QWidget *ValueCtl, QWidget *DimensionCtl, QWidget *DescriptionCtl,
                         TVHistogram *Gauge);
    QString FHintText;
};

class TIOIntegerLabel : public TIOIntegerVisual, public TVisualControls<QLabel> {
public:
    void Refresh() override;
};

class TIODoubleLabel : public TIODoubleVisual, public TVisualControls<QLabel> {
public:
    void Refresh() override;
};

// The value control is a static text: a label the window gives a sunken frame.
class TIODoubleStaticText : public TIODoubleVisual, public TVisualControls<QLabel> {
public:
    void Refresh() override;
};

// Shows the value on a vertical gauge; the number appears in the gauge's hint only.
class TIODoubleVHistogram : public TIODoubleVisual, public TVisualControls<TVHistogram> {
public:
    void Refresh() override;
    // The binding assignment of a TIODouble source, then the gauge takes the
    // description's range with steps 2 and 1, whatever the source was.
    void Assign(const TPersistent *Source) override;
};
