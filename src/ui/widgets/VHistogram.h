#pragma once
// A vertical gauge: one value shown as a bar filling the control from the
// bottom, like the level in a tank, optionally with a scale, alarm and
// attention zones, a caption and a sunken or raised border. The whole picture
// is composed in an off-screen pixmap and copied to the screen in one go.
#include "IODescription.h"

#include <QPainter>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <vector>

enum TBorder { bNone, bLower, bUpper };
enum TColorProductType { cptAuto, cptManual };
enum TScaleAlignment { saLeft, saRight };

class TVHistogram : public QWidget {
    Q_OBJECT
public:
    explicit TVHistogram(QWidget *Parent = nullptr);

    // Setters ignore a refused value; an accepted change repaints.
    TBorder Border() const { return FBorder; }
    void SetBorder(TBorder Value);
    double Value() const { return FValue; }
    void SetValue(double AValue);
    double Max() const { return FMax; }
    void SetMax(double Value);
    double Min() const { return FMin; }
    void SetMin(double Value);
    TColor ColorZoneAlarm() const { return FColorZoneAlarm; }
    void SetColorZoneAlarm(TColor Value);
    TColor ColorZoneAttention() const { return FColorZoneAttention; }
    void SetColorZoneAttention(TColor Value);
    int ScaleOffset() const { return FScaleOffset; }
    void SetScaleOffset(int Value);
    TColorProductType ColorProductType() const { return FColorProductType; }
    void SetColorProductType(TColorProductType Value);
    TColor ColorProduct() const { return FColorProduct; }
    void SetColorProduct(TColor Value);
    TColor ColorEmpty() const { return FColorEmpty; }
    void SetColorEmpty(TColor Value);
    TColor ColorScale() const { return FColorScale; }
    void SetColorScale(TColor Value);
    TColor ColorValues() const { return FColorValues; }
    void SetColorValues(TColor Value);
    double DValueSmall() const { return FDValueSmall; }
    void SetDValueSmall(double Value);
    double DValueBig() const { return FDValueBig; }
    void SetDValueBig(double Value);
    int DecimalSign() const { return FDecimalSign; }
    void SetDecimalSign(int Value);
    bool ShowScaleMarks() const { return FShowScaleMarks; }
    void SetShowScaleMarks(bool Value);
    bool ShowScaleZones() const { return FShowScaleZones; }
    void SetShowScaleZones(bool Value);
    bool ShowValues() const { return FShowValues; }
    void SetShowValues(bool Value);
    TScaleAlignment ScaleAlignment() const { return FScaleAlignment; }
    void SetScaleAlignment(TScaleAlignment Value);
    bool ScaleReverse() const { return FScaleReverse; }
    void SetScaleReverse(bool Value);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString &Value);

    // Min := AMin, then Max := AMax, each by its own rule; nothing when AMin > AMax.
    void SetRange(double AMin, double AMax);

    // Pixel row of a value: Max is row 0, Min row Height; -1 for an empty range.
    int ValueToY(double X) const;
    // Zone of a value: 0 high alarm, 1 high attention, 2 normal, 3 low attention, 4 low alarm.
    static int ZoneOf(double X);
    int Zone() const { return FZone; }
    // Colour of the bar for the current value.
    TColor BarColor() const;
    // Value step between the major ticks: (Max - Min) over a tenth of the
    // height, rounded up the series 0.5, 1, 2, 5, ... 10000; 0 below 10 pixels.
    double ScaleStep() const;
    // Values that get a tick for a step: Min + Step, Min + 2 Step, ... below Max.
    std::vector<double> TickValues(double Step) const;
    int BorderWidth() const { return FBorder == bNone ? 0 : 1; }
    // The scale numbers that are drawn, with their text and rectangle: a
    // number that would touch the one drawn before it is left out, so that
    // neighbours never run into each other on a short or crowded scale.
    struct TScaleNumber {
        double Value;
        QString Text;
        QRect Rect;
    };
    std::vector<TScaleNumber> ScaleNumbers() const;

    // Composes the picture of the current state in the off-screen pixmap
    // (whether the control is shown or not) and returns it.
    const QPixmap &Compose();
    const QPixmap &Bitmap() const { return FBitmap; }

signals:
    void Click();
    void DblClick();
    void MouseDown(Qt::MouseButton Button, QPoint Position);
    void MouseUp(Qt::MouseButton Button, QPoint Position);
    void MouseMove(QPoint Position);

protected:
    void paintEvent(QPaintEvent *Event) override;
    void mousePressEvent(QMouseEvent *Event) override;
    void mouseReleaseEvent(QMouseEvent *Event) override;
    void mouseDoubleClickEvent(QMouseEvent *Event) override;
    void mouseMoveEvent(QMouseEvent *Event) override;

private:
    void DrawZones(QPainter &P);
    void DrawScale(QPainter &P, bool Reverse);
    void DrawTick(QPainter &P, int Row, int Length);
    void DrawNumber(QPainter &P, const TScaleNumber &Number);
    void DrawCaption(QPainter &P);
    void DrawBorder(QPainter &P);
    // A dotted horizontal line across the control, ColorEmpty between the dots.
    void DrawDottedRow(QPainter &P, int Row, TColor Color);
    QColor ToQColor(TColor Color) const;

    TBorder FBorder = bLower;
    double FValue = 0;
    double FMax = 100;
    double FMin = 0;
    TColor FColorZoneAlarm = 0x0000FF;
    TColor FColorZoneAttention = 0x00FFFF;
    int FScaleOffset = 0;
    TColorProductType FColorProductType = cptManual;
    TColor FColorProduct = 0x800000;
    TColor FColorEmpty = 0xC0C0C0;
    TColor FColorScale = 0x808080;
    TColor FColorValues = 0x808080;
    double FDValueSmall = 2;
    double FDValueBig = 10;
    int FDecimalSign = 1;
    bool FShowScaleMarks = false;
    bool FShowScaleZones = false;
    bool FShowValues = false;
    TScaleAlignment FScaleAlignment = saLeft;
    bool FScaleReverse = false;
    QString FCaption;

    int FZone = ZoneOf(0);
    QPixmap FBitmap;
};
