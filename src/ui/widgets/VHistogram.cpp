#include "VHistogram.h"

#include "uColor.h"
#include "uFormat.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Zone limits in units of the value; fixed, and all of them in use.
constexpr double kHighAlarm = 85;
constexpr double kHighAttention = 80;
constexpr double kLowAttention = 20;
constexpr double kLowAlarm = 15;

constexpr std::array<double, 14> kStepSeries{0.5, 1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000};

constexpr int kMajorTick = 10;
constexpr int kMinorTick = 5;

// A step this small against the range's magnitude no longer advances the
// value, and a tick per pixel row is already more than can be seen; both would
// otherwise keep the scale loop running for ever.
int MaxTicks(int Height) {
    return 4 * Height + 16;
}

// Fills from (X1, Y1) to (X2, Y2), the right and bottom edges excluded; an
// inverted rectangle fills nothing.
void FillRect(QPainter &P, int X1, int Y1, int X2, int Y2, const QColor &Color) {
    if (X2 > X1 && Y2 > Y1)
        P.fillRect(QRect(X1, Y1, X2 - X1, Y2 - Y1), Color);
}

// A horizontal or vertical line from its first point up to, not including, its last.
void Line(QPainter &P, int X1, int Y1, int X2, int Y2, const QColor &Color) {
    if (Y1 == Y2) {
        if (X1 <= X2)
            FillRect(P, X1, Y1, X2, Y1 + 1, Color);
        else
            FillRect(P, X2 + 1, Y1, X1 + 1, Y1 + 1, Color);
    } else if (X1 == X2) {
        if (Y1 <= Y2)
            FillRect(P, X1, Y1, X1 + 1, Y2, Color);
        else
            FillRect(P, X1, Y2 + 1, X1 + 1, Y1 + 1, Color);
    }
}

} // namespace

TVHistogram::TVHistogram(QWidget *Parent) : QWidget(Parent) {
    resize(50, 200);
}

QColor TVHistogram::ToQColor(TColor Color) const {
    return ColorToQColor(Color, palette());
}

void TVHistogram::SetBorder(TBorder Value) {
    if (Value == FBorder)
        return;
    FBorder = Value;
    update();
}

void TVHistogram::SetValue(double AValue) {
    if (!(AValue >= FMin && AValue <= FMax) || AValue == FValue)
        return;
    FValue = AValue;
    FZone = ZoneOf(AValue);
    update();
}

void TVHistogram::SetMax(double Value) {
    if (!(Value >= FMin) || Value == FMax)
        return;
    FMax = Value;
    update();
}

void TVHistogram::SetMin(double Value) {
    if (!(Value <= FMax) || Value == FMin)
        return;
    FMin = Value;
    update();
}

void TVHistogram::SetColorZoneAlarm(TColor Value) {
    FColorZoneAlarm = Value;
    update();
}

void TVHistogram::SetColorZoneAttention(TColor Value) {
    FColorZoneAttention = Value;
    update();
}

void TVHistogram::SetScaleOffset(int Value) {
    if (Value == FScaleOffset)
        return;
    FScaleOffset = Value;
    update();
}

void TVHistogram::SetColorProductType(TColorProductType Value) {
    if (Value == FColorProductType)
        return;
    FColorProductType = Value;
    update();
}

void TVHistogram::SetColorProduct(TColor Value) {
    if (Value == FColorProduct)
        return;
    FColorProduct = Value;
    update();
}

void TVHistogram::SetColorEmpty(TColor Value) {
    if (Value == FColorEmpty)
        return;
    FColorEmpty = Value;
    update();
}

void TVHistogram::SetColorScale(TColor Value) {
    if (Value == FColorScale)
        return;
    FColorScale = Value;
    update();
}

void TVHistogram::SetColorValues(TColor Value) {
    if (Value == FColorValues)
        return;
    FColorValues = Value;
    update();
}

void TVHistogram::SetDValueSmall(double Value) {
    if (!(Value >= 0 && Value >= FMin && Value <= FMax) || Value == FDValueSmall)
        return;
    FDValueSmall = Value;
    update();
}

void TVHistogram::SetDValueBig(double Value) {
    if (!(Value >= 0 && Value >= FMin && Value <= FMax) || Value == FDValueBig)
        return;
    FDValueBig = Value;
    update();
}

void TVHistogram::SetDecimalSign(int Value) {
    if (Value < 0 || Value == FDecimalSign)
        return;
    FDecimalSign = Value;
    update();
}

void TVHistogram::SetShowScaleMarks(bool Value) {
    if (Value == FShowScaleMarks)
        return;
    FShowScaleMarks = Value;
    update();
}

void TVHistogram::SetShowScaleZones(bool Value) {
    if (Value == FShowScaleZones)
        return;
    FShowScaleZones = Value;
    update();
}

void TVHistogram::SetShowValues(bool Value) {
    if (Value == FShowValues)
        return;
    FShowValues = Value;
    update();
}

void TVHistogram::SetScaleAlignment(TScaleAlignment Value) {
    if (Value == FScaleAlignment)
        return;
    FScaleAlignment = Value;
    update();
}

void TVHistogram::SetScaleReverse(bool Value) {
    if (Value == FScaleReverse)
        return;
    FScaleReverse = Value;
    update();
}

void TVHistogram::SetCaption(const QString &Value) {
    if (Value == FCaption)
        return;
    FCaption = Value;
    update();
}

void TVHistogram::SetRange(double AMin, double AMax) {
    if (!(AMin <= AMax))
        return;
    SetMin(AMin);
    SetMax(AMax);
}

int TVHistogram::ValueToY(double X) const {
    if (FMax == FMin)
        return -1;
    const int H = height();
    // Rounded to nearest, ties to even (the default rounding mode); a value far
    // outside the range is kept within what a row can hold.
    const double Offset = std::nearbyint((X - FMin) * H / (FMax - FMin));
    if (std::isnan(Offset))
        return -1;
    return static_cast<int>(H - std::clamp(Offset, -1e9, 1e9));
}

int TVHistogram::ZoneOf(double X) {
    if (X >= kHighAlarm)
        return 0;
    if (X >= kHighAttention)
        return 1;
    if (X > kLowAttention)
        return 2;
    if (X > kLowAlarm)
        return 3;
    return 4;
}

TColor TVHistogram::BarColor() const {
    if (FColorProductType == cptManual)
        return FColorProduct;
    switch (FZone) {
    case 0:
    case 4: return FColorZoneAlarm;
    case 1:
    case 3: return FColorZoneAttention;
    default: return FColorProduct;
    }
}

double TVHistogram::ScaleStep() const {
    const int N = height() / 10;
    if (N <= 0)
        return 0;
    double Step = (FMax - FMin) / N;
    for (std::size_t K = 0; K + 1 < kStepSeries.size(); ++K)
        if (kStepSeries[K] < Step && Step <= kStepSeries[K + 1])
            return kStepSeries[K + 1];
    return Step;
}

std::vector<double> TVHistogram::TickValues(double Step) const {
    std::vector<double> Values;
    if (!(Step > 0))
        return Values;
    const int Limit = MaxTicks(height());
    for (double D = FMin + Step; D < FMax; D += Step) {
        if (static_cast<int>(Values.size()) >= Limit || (!Values.empty() && D <= Values.back()))
            break;
        Values.push_back(D);
    }
    return Values;
}

const QPixmap &TVHistogram::Compose() {
    const int W = width();
    const int H = height();
    if (W <= 0 || H <= 0) {
        FBitmap = QPixmap();
        return FBitmap;
    }
    if (FBitmap.size() != QSize(W, H))
        FBitmap = QPixmap(W, H);
    QPainter P(&FBitmap);
    const int Y = ValueToY(FValue);
    FillRect(P, 0, 0, W, Y + 1, ToQColor(FColorEmpty));
    FillRect(P, 0, Y, W, H, ToQColor(BarColor()));
    if (FScaleReverse) {
        DrawScale(P, true);
    } else {
        DrawZones(P);
        DrawScale(P, false);
    }
    DrawCaption(P);
    DrawBorder(P);
    return FBitmap;
}

void TVHistogram::DrawZones(QPainter &P) {
    if (!FShowScaleZones)
        return;
    const int W = width();
    const int H = height();
    const int B = BorderWidth();
    int XL, XR;
    if (FScaleAlignment == saLeft) {
        XL = B + FScaleOffset;
        XR = XL + 3;
    } else {
        XR = W - 1 - B - FScaleOffset;
        XL = XR - 2;
    }
    // An empty range has no rows for its limits, so no band is shown.
    if (FMax != FMin) {
        const QColor Attention = ToQColor(FColorZoneAttention);
        const QColor Alarm = ToQColor(FColorZoneAlarm);
        FillRect(P, XL, 1, XR, ValueToY(kHighAttention), Attention);
        DrawDottedRow(P, ValueToY(kHighAttention), FColorZoneAttention);
        FillRect(P, XL, ValueToY(kLowAttention), XR, H - 1, Attention);
        DrawDottedRow(P, ValueToY(kLowAttention), FColorZoneAttention);
        FillRect(P, XL, 1, XR, ValueToY(kHighAlarm), Alarm);
        DrawDottedRow(P, ValueToY(kHighAlarm), FColorZoneAlarm);
        FillRect(P, XL, ValueToY(kLowAlarm), XR, H - 1, Alarm);
        DrawDottedRow(P, ValueToY(kLowAlarm), FColorZoneAlarm);
    }
    const int X = FScaleAlignment == saLeft ? XL : XR;
    Line(P, X, 1, X, H - 1, ToQColor(FColorScale));
}

void TVHistogram::DrawDottedRow(QPainter &P, int Row, TColor Color) {
    const QColor Dot = ToQColor(Color);
    const QColor Gap = ToQColor(FColorEmpty);
    // Three pixels on, three off, from x = 0 up to W - 1.
    for (int X = 0; X < width() - 1; X += 3)
        Line(P, X, Row, std::min(X + 3, width() - 1), Row, (X / 3) % 2 == 0 ? Dot : Gap);
}

void TVHistogram::DrawScale(QPainter &P, bool Reverse) {
    if (!FShowScaleMarks)
        return;
    const auto Row = [&](double D) { return ValueToY(Reverse ? FMax - D : D); };
    double Step = ScaleStep();
    for (double D : TickValues(Step)) {
        const int Y = Row(D);
        if (Y >= 0)
            DrawTick(P, Y, kMajorTick);
    }
    for (const TScaleNumber &Number : ScaleNumbers())
        DrawNumber(P, Number);
    Step /= 2;
    for (double D : TickValues(Step)) {
        const int Y = Row(D);
        if (Y >= 0)
            DrawTick(P, Y, kMinorTick);
    }
}

std::vector<TVHistogram::TScaleNumber> TVHistogram::ScaleNumbers() const {
    std::vector<TScaleNumber> Numbers;
    if (!FShowScaleMarks || !FShowValues)
        return Numbers;
    const QFontMetrics Metrics(font());
    const int TextHeight = Metrics.height();
    const int B = BorderWidth();
    QRect Last;
    for (double D : TickValues(ScaleStep())) {
        const int Y = ValueToY(FScaleReverse ? FMax - D : D);
        if (Y < 0)
            continue;
        const QString Text = FormatNumber(D, 9, FDecimalSign, DefaultFormatSettings());
        const int TextWidth = Metrics.horizontalAdvance(Text);
        const int X = FScaleAlignment == saLeft ? B + 20 : width() - B - 21 - TextWidth;
        const QRect Rect(X, Y - TextHeight / 2, TextWidth, TextHeight);
        // One free pixel row between two numbers, else the later one is left out.
        if (!Last.isNull() && Rect.intersects(Last.adjusted(0, -1, 0, 1)))
            continue;
        Numbers.push_back({D, Text, Rect});
        Last = Rect;
    }
    return Numbers;
}

void TVHistogram::DrawTick(QPainter &P, int Row, int Length) {
    const QColor Color = ToQColor(FColorScale);
    const int B = BorderWidth();
    if (FScaleAlignment == saLeft) {
        Line(P, B + FScaleOffset, Row, B + FScaleOffset + Length, Row, Color);
    } else {
        const int Right = width() - B - FScaleOffset - 1;
        Line(P, Right - Length + 1, Row, Right, Row, Color);
    }
}

void TVHistogram::DrawNumber(QPainter &P, const TScaleNumber &Number) {
    P.setFont(font());
    P.setPen(ToQColor(FColorValues));
    P.drawText(Number.Rect, ::Qt::AlignLeft | ::Qt::AlignTop, Number.Text);
}

void TVHistogram::DrawCaption(QPainter &P) {
    if (FCaption.isEmpty())
        return;
    const QFontMetrics Metrics(font());
    const int TextWidth = Metrics.horizontalAdvance(FCaption);
    const int TextHeight = Metrics.height();
    P.setFont(font());
    P.setPen(ToQColor(FColorValues));
    P.drawText(QRect((width() - TextWidth) / 2, TextHeight / 2, TextWidth, TextHeight),
               ::Qt::AlignLeft | ::Qt::AlignTop, FCaption);
}

void TVHistogram::DrawBorder(QPainter &P) {
    if (FBorder == bNone)
        return;
    const int W = width();
    const int H = height();
    const QColor Dark(::Qt::black);
    const QColor Bright(::Qt::white);
    const QColor &TopLeft = FBorder == bLower ? Dark : Bright;
    const QColor &BottomRight = FBorder == bLower ? Bright : Dark;
    Line(P, 0, 0, W - 1, 0, TopLeft);
    Line(P, 0, 0, 0, H - 1, TopLeft);
    Line(P, W - 1, H - 1, W - 1, 0, BottomRight);
    Line(P, W - 1, H - 1, 0, H - 1, BottomRight);
}

void TVHistogram::paintEvent(QPaintEvent *) {
    if (!isVisible())
        return;
    Compose();
    QPainter P(this);
    P.drawPixmap(0, 0, FBitmap);
}

void TVHistogram::mousePressEvent(QMouseEvent *Event) {
    emit MouseDown(Event->button(), Event->position().toPoint());
    QWidget::mousePressEvent(Event);
}

void TVHistogram::mouseReleaseEvent(QMouseEvent *Event) {
    emit MouseUp(Event->button(), Event->position().toPoint());
    if (Event->button() == ::Qt::LeftButton && rect().contains(Event->position().toPoint()))
        emit Click();
    QWidget::mouseReleaseEvent(Event);
}

void TVHistogram::mouseDoubleClickEvent(QMouseEvent *Event) {
    emit DblClick();
    QWidget::mouseDoubleClickEvent(Event);
}

void TVHistogram::mouseMoveEvent(QMouseEvent *Event) {
    emit MouseMove(Event->position().toPoint());
    QWidget::mouseMoveEvent(Event);
}
