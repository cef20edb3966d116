#include "uToolIcons.h"

#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPixmapCache>
#include <QTransform>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

// The palette: an ink for outlines, paper, and one or two shades of blue,
// green, red and amber.
const QColor kInk(0x37, 0x47, 0x4F);
const QColor kInkLight(0x90, 0xA4, 0xAE);
const QColor kPaper(0xFF, 0xFF, 0xFF);
const QColor kPaperGrey(0xCF, 0xD8, 0xDC);
const QColor kBlue(0x1E, 0x88, 0xE5);
const QColor kBlueDark(0x15, 0x65, 0xC0);
const QColor kBlueLight(0xBB, 0xDE, 0xFB);
const QColor kWater(0x64, 0xB5, 0xF6);
const QColor kGreen(0x43, 0xA0, 0x47);
const QColor kGreenDark(0x2E, 0x7D, 0x32);
const QColor kRed(0xE5, 0x39, 0x35);
const QColor kRedDark(0xB7, 0x1C, 0x1C);
const QColor kAmber(0xFF, 0xB3, 0x00);
const QColor kAmberDark(0xC6, 0x72, 0x00);
const QColor kOrange(0xEF, 0x6C, 0x00);

// Drawing on the 24-unit grid of a picture.
class TSketch {
public:
    explicit TSketch(QPainter &Painter) : P(Painter) {}

    void Line(QPointF A, QPointF B, const QColor &Color, qreal Width = 1.5) {
        P.setPen(Pen(Color, Width));
        P.setBrush(Qt::NoBrush);
        P.drawLine(A, B);
    }
    void Stroke(const QPainterPath &Path, const QColor &Color, qreal Width = 1.5) {
        P.setPen(Pen(Color, Width));
        P.setBrush(Qt::NoBrush);
        P.drawPath(Path);
    }
    // Fills Path with Fill and outlines it with Outline (no outline when invalid).
    void Shape(const QPainterPath &Path, const QColor &Fill, const QColor &Outline = QColor(), qreal Width = 1.5) {
        P.setPen(Outline.isValid() ? Pen(Outline, Width) : QPen(Qt::NoPen));
        P.setBrush(Fill);
        P.drawPath(Path);
    }
    void Box(const QRectF &R, const QColor &Fill, const QColor &Outline, qreal Radius = 0, qreal Width = 1.5) {
        QPainterPath Path;
        Path.addRoundedRect(R, Radius, Radius);
        Shape(Path, Fill, Outline, Width);
    }
    void Dot(QPointF Centre, qreal Radius, const QColor &Fill, const QColor &Outline = QColor()) {
        QPainterPath Path;
        Path.addEllipse(Centre, Radius, Radius);
        Shape(Path, Fill, Outline, 1);
    }
    // A filled arrow head with its tip at Tip, pointing along Direction.
    void Head(QPointF Tip, QPointF Direction, const QColor &Color, qreal Length = 4.5, qreal HalfWidth = 3) {
        const qreal Norm = std::hypot(Direction.x(), Direction.y());
        const QPointF D = Direction / Norm;
        const QPointF N(-D.y(), D.x());
        const QPointF Base = Tip - D * Length;
        QPainterPath Path;
        Path.moveTo(Tip);
        Path.lineTo(Base + N * HalfWidth);
        Path.lineTo(Base - N * HalfWidth);
        Path.closeSubpath();
        P.setPen(QPen(Color, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        P.setBrush(Color);
        P.drawPath(Path);
    }
    // A straight arrow from A to the tip B.
    void Arrow(QPointF A, QPointF B, const QColor &Color, qreal Width = 2) {
        const QPointF D = B - A;
        const qreal Norm = std::hypot(D.x(), D.y());
        Line(A, B - D / Norm * 3.5, Color, Width);
        Head(B, D, Color);
    }
    // Bold Text centred in R, PixelSize grid units high (the font is laid out
    // large and scaled, so that the figures keep their shape at any size).
    void Text(const QRectF &R, const QString &Text, const QColor &Color, qreal PixelSize) {
        QFont Font(QStringLiteral("DejaVu Sans"));
        Font.setStyleHint(QFont::SansSerif);
        Font.setPixelSize(100);
        Font.setBold(true);
        QPainterPath Path;
        Path.addText(0, 0, Font, Text);
        Path = QTransform::fromScale(PixelSize / 100, PixelSize / 100).map(Path);
        const QRectF Bounds = Path.boundingRect();
        Path.translate(R.center() - Bounds.center());
        Shape(Path, Color);
    }

    QPainter &P;

private:
    static QPen Pen(const QColor &Color, qreal Width) {
        return QPen(Color, Width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    }
};

// The point at Angle degrees (counter-clockwise from 3 o'clock) on a circle.
QPointF OnCircle(QPointF Centre, qreal Radius, qreal Angle) {
    const qreal A = qDegreesToRadians(Angle);
    return {Centre.x() + Radius * std::cos(A), Centre.y() - Radius * std::sin(A)};
}

// The direction of travel at Angle along a circle walked clockwise.
QPointF Clockwise(qreal Angle) {
    const qreal A = qDegreesToRadians(Angle);
    return {std::sin(A), std::cos(A)};
}

QPainterPath Arc(QPointF Centre, qreal Radius, qreal From, qreal Sweep) {
    const QRectF R(Centre.x() - Radius, Centre.y() - Radius, 2 * Radius, 2 * Radius);
    QPainterPath Path;
    Path.arcMoveTo(R, From);
    Path.arcTo(R, From, Sweep);
    return Path;
}

QPainterPath Polyline(std::initializer_list<QPointF> Points) {
    QPainterPath Path;
    bool First = true;
    for (QPointF Pt : Points) {
        if (First)
            Path.moveTo(Pt);
        else
            Path.lineTo(Pt);
        First = false;
    }
    return Path;
}

// ---- the pictures

void DrawCurrentLoop(TSketch &S, const QString &Value) {
    // A closed loop with the direction of the current, the value inside.
    QPainterPath Loop;
    Loop.addRoundedRect(QRectF(2.5, 3.5, 19, 17), 4, 4);
    S.Stroke(Loop, kAmberDark, 1.5);
    S.Head(QPointF(14.5, 3.5), QPointF(1, 0), kAmberDark, 4, 2.5);
    S.Text(QRectF(2.5, 5, 19, 15.5), Value, kInk, Value.size() > 1 ? 11 : 13);
}

void DrawMagnifier(TSketch &S) {
    S.Line(QPointF(14.5, 14.5), QPointF(20.5, 20.5), kInk, 3);
    S.Dot(QPointF(10, 10), 6.5, kPaper, kInk);
    QPainterPath Lens;
    Lens.addEllipse(QPointF(10, 10), 6.5, 6.5);
    S.Stroke(Lens, kInk, 1.75);
}

void DrawTank(TSketch &S, qreal Left) {
    S.Box(QRectF(Left, 3.5, 12, 17), kPaper, kInk, 2);
}

void DrawDeviceAndComputer(TSketch &S) {
    // The transducer: a head with its probe.
    S.Line(QPointF(6, 9.5), QPointF(6, 21), kInk, 2);
    S.Box(QRectF(2.5, 3.5, 7, 6), kPaperGrey, kInk, 1);
    // The computer: a screen on a stand.
    S.Line(QPointF(17, 18.5), QPointF(17, 21), kInk, 1.5);
    S.Line(QPointF(14.5, 21.25), QPointF(19.5, 21.25), kInk, 1.5);
    S.Box(QRectF(12.5, 12.5, 9, 6.5), kBlueLight, kInk, 1);
}

QPainterPath PointsLine() {
    return Polyline({{3, 18}, {9, 9}, {15, 15}, {21, 6}});
}

void DrawStrike(TSketch &S) {
    S.Line(QPointF(4, 20), QPointF(20, 4), kPaper, 4);
    S.Line(QPointF(4, 20), QPointF(20, 4), kRed, 2);
}

void Draw(TToolIcon Kind, QPainter &Painter) {
    TSketch S(Painter);
    switch (Kind) {
    case TToolIcon::OpenFile: {
        S.Shape(Polyline({{2.5, 19.5}, {2.5, 4.5}, {8.5, 4.5}, {10.5, 6.5}, {19.5, 6.5}, {19.5, 10}}), kAmberDark.lighter(170),
                kAmberDark);
        QPainterPath Front = Polyline({{2.5, 19.5}, {5.5, 10.5}, {22, 10.5}, {19, 19.5}});
        Front.closeSubpath();
        S.Shape(Front, kAmber, kAmberDark);
        break;
    }
    case TToolIcon::SaveFile: {
        QPainterPath Body = Polyline({{3.5, 3.5}, {17.5, 3.5}, {20.5, 6.5}, {20.5, 20.5}, {3.5, 20.5}});
        Body.closeSubpath();
        S.Shape(Body, kBlue, kBlueDark);
        S.Box(QRectF(7, 3.5, 9, 6), kPaperGrey, kBlueDark, 0, 1);
        S.Line(QPointF(13.5, 5), QPointF(13.5, 8), kBlueDark, 1.5);
        S.Box(QRectF(6, 12.5, 12, 8), kPaper, kBlueDark, 0, 1);
        break;
    }
    case TToolIcon::PollStart: {
        QPainterPath Play = Polyline({{7, 4.5}, {19.5, 12}, {7, 19.5}});
        Play.closeSubpath();
        S.Shape(Play, kGreen, kGreenDark);
        break;
    }
    case TToolIcon::PollStop:
        S.Box(QRectF(5.5, 5.5, 13, 13), kRed, kRedDark, 2);
        break;
    case TToolIcon::CommandList:
        for (int Row = 0; Row < 3; ++Row) {
            const qreal Y = 6 + 6 * Row;
            S.Box(QRectF(3, Y - 2.5, 5, 5), kPaper, kInk, 0.5, 1.25);
            S.Line(QPointF(11, Y), QPointF(21, Y), kInk, 2);
        }
        for (qreal Y : {6.0, 18.0})
            S.Stroke(Polyline({{3.5, Y}, {5.25, Y + 2}, {9, Y - 3.5}}), kGreenDark, 2);
        break;
    case TToolIcon::Readings: {
        const QPointF Centre(12, 16);
        const qreal R = 9;
        const QColor Scale[3] = {kGreen, kAmber, kRed};
        for (int i = 0; i < 3; ++i)
            S.Stroke(Arc(Centre, R, 180 - 60 * i, -60), Scale[i], 3);
        S.Line(Centre, OnCircle(Centre, 7.5, 50), kInk, 2);
        S.Dot(Centre, 2.25, kInk);
        break;
    }
    case TToolIcon::Parameters: {
        const qreal Knobs[3] = {15, 8, 13};
        for (int Row = 0; Row < 3; ++Row) {
            const qreal Y = 6 + 6 * Row;
            S.Line(QPointF(3, Y), QPointF(21, Y), kInk, 1.5);
            S.Dot(QPointF(Knobs[Row], Y), 2.75, kBlue, kBlueDark);
        }
        break;
    }
    case TToolIcon::Trimming20mA:
        DrawCurrentLoop(S, QStringLiteral("20"));
        break;
    case TToolIcon::Trimming4mA:
        DrawCurrentLoop(S, QStringLiteral("4"));
        break;
    case TToolIcon::TableEditor: {
        S.Box(QRectF(2.5, 3.5, 19, 17), kPaper, kInk, 1);
        S.Box(QRectF(2.5, 3.5, 19, 4.5), kBlueLight, kInk, 1);
        for (qreal X : {8.5, 15.0})
            S.Line(QPointF(X, 8), QPointF(X, 20.5), kInkLight, 1);
        for (qreal Y : {12.25, 16.5})
            S.Line(QPointF(2.5, Y), QPointF(21.5, Y), kInkLight, 1);
        QPainterPath Curve;
        Curve.moveTo(4, 19);
        Curve.cubicTo(11, 18.5, 15, 15, 20, 9);
        S.Stroke(Curve, kRed, 2);
        break;
    }
    case TToolIcon::ReadAll: {
        const QPointF Centre(12, 12);
        const qreal R = 7;
        S.Stroke(Arc(Centre, R, 160, -120), kBlue, 2);
        S.Head(OnCircle(Centre, R, 40) + Clockwise(40) * 2.5, Clockwise(40), kBlue);
        S.Stroke(Arc(Centre, R, -20, -120), kBlue, 2);
        S.Head(OnCircle(Centre, R, -140) + Clockwise(-140) * 2.5, Clockwise(-140), kBlue);
        break;
    }
    case TToolIcon::ReadLevel:
        DrawTank(S, 3.5);
        S.Line(QPointF(4.5, 10.5), QPointF(14.5, 10.5), kBlue, 2);
        S.Head(QPointF(17, 10.5), QPointF(-1, 0), kBlueDark, 4.5, 3);
        break;
    case TToolIcon::ReadVolume:
        DrawTank(S, 6);
        S.Box(QRectF(6.75, 10, 10.5, 9.75), kWater, QColor(), 1.5);
        S.Line(QPointF(6.75, 10), QPointF(17.25, 10), kBlueDark, 1.5);
        S.Box(QRectF(6, 3.5, 12, 17), Qt::transparent, kInk, 2);
        break;
    case TToolIcon::ReadFrequency: {
        S.Line(QPointF(2, 12), QPointF(22, 12), kInkLight, 1);
        QPainterPath Wave;
        for (int i = 0; i <= 40; ++i) {
            const qreal X = 2.5 + 19.0 * i / 40;
            const qreal Y = 12 - 7 * std::sin(2 * M_PI * 1.5 * i / 40);
            if (i == 0)
                Wave.moveTo(X, Y);
            else
                Wave.lineTo(X, Y);
        }
        S.Stroke(Wave, kBlue, 2);
        break;
    }
    case TToolIcon::ReadFromDevice:
        DrawDeviceAndComputer(S);
        S.Stroke(Polyline({{10.5, 6.5}, {17, 6.5}, {17, 8}}), kGreen, 2);
        S.Head(QPointF(17, 12), QPointF(0, 1), kGreen, 4, 3);
        break;
    case TToolIcon::WriteToDevice:
        DrawDeviceAndComputer(S);
        S.Stroke(Polyline({{17, 11}, {17, 6.5}, {14, 6.5}}), kOrange, 2);
        S.Head(QPointF(10, 6.5), QPointF(-1, 0), kOrange, 4, 3);
        break;
    case TToolIcon::Exit:
        S.Stroke(Polyline({{12, 4.5}, {4.5, 4.5}, {4.5, 19.5}, {12, 19.5}}), kInk, 2);
        S.Arrow(QPointF(9, 12), QPointF(21.5, 12), kRed, 2);
        break;

    case TToolIcon::UndoZoom: {
        DrawMagnifier(S);
        const QPointF Centre(10, 10.5);
        S.Stroke(Arc(Centre, 3.25, -40, 200), kBlue, 1.75);
        const QPointF End = OnCircle(Centre, 3.25, 160);
        S.Head(End + QPointF(-0.5, 2.25), QPointF(-0.2, 1), kBlue, 3, 2.25);
        break;
    }
    case TToolIcon::ZoomOut:
        DrawMagnifier(S);
        S.Line(QPointF(6.5, 10), QPointF(13.5, 10), kBlue, 2.25);
        break;
    case TToolIcon::ZoomIn:
        DrawMagnifier(S);
        S.Line(QPointF(6.5, 10), QPointF(13.5, 10), kBlue, 2.25);
        S.Line(QPointF(10, 6.5), QPointF(10, 13.5), kBlue, 2.25);
        break;
    case TToolIcon::ShowAllX:
        S.Line(QPointF(3, 5), QPointF(3, 19), kInk, 2);
        S.Line(QPointF(21, 5), QPointF(21, 19), kInk, 2);
        S.Line(QPointF(8, 12), QPointF(16, 12), kBlue, 2);
        S.Head(QPointF(5, 12), QPointF(-1, 0), kBlue);
        S.Head(QPointF(19, 12), QPointF(1, 0), kBlue);
        break;
    case TToolIcon::ShowAllY:
        S.Line(QPointF(5, 3), QPointF(19, 3), kInk, 2);
        S.Line(QPointF(5, 21), QPointF(19, 21), kInk, 2);
        S.Line(QPointF(12, 8), QPointF(12, 16), kBlue, 2);
        S.Head(QPointF(12, 5), QPointF(0, -1), kBlue);
        S.Head(QPointF(12, 19), QPointF(0, 1), kBlue);
        break;
    case TToolIcon::SetYRange:
        S.Box(QRectF(6, 8, 15.5, 8), kBlueLight, QColor(), 0);
        S.Line(QPointF(5, 8), QPointF(21.5, 8), kBlue, 2);
        S.Line(QPointF(5, 16), QPointF(21.5, 16), kBlue, 2);
        S.Line(QPointF(5, 21), QPointF(5, 5), kInk, 1.5);
        S.Head(QPointF(5, 2), QPointF(0, -1), kInk, 3.5, 2.5);
        for (qreal Y : {12.0, 20.0})
            S.Line(QPointF(3, Y), QPointF(5, Y), kInk, 1.5);
        break;
    case TToolIcon::ShowAll:
        for (const QPointF &C : {QPointF(3, 3), QPointF(21, 3), QPointF(21, 21), QPointF(3, 21)}) {
            const qreal Dx = C.x() < 12 ? 5 : -5;
            const qreal Dy = C.y() < 12 ? 5 : -5;
            S.Stroke(Polyline({{C.x(), C.y() + Dy}, C, {C.x() + Dx, C.y()}}), kInk, 2);
        }
        S.Stroke(Polyline({{6.5, 16}, {10, 10}, {13.5, 14}, {17.5, 7.5}}), kBlue, 2);
        break;
    case TToolIcon::PointsShow:
        S.Stroke(PointsLine(), kBlue, 1.5);
        for (const QPointF &Pt : {QPointF(3, 18), QPointF(9, 9), QPointF(15, 15), QPointF(21, 6)})
            S.Box(QRectF(Pt.x() - 2.25, Pt.y() - 2.25, 4.5, 4.5), kRed, kRedDark, 0, 1);
        break;
    case TToolIcon::PointsHide:
        S.Stroke(PointsLine(), kBlue, 1.5);
        for (const QPointF &Pt : {QPointF(3, 18), QPointF(9, 9), QPointF(15, 15), QPointF(21, 6)})
            S.Box(QRectF(Pt.x() - 2, Pt.y() - 2, 4, 4), kPaper, kInkLight, 0, 1);
        DrawStrike(S);
        break;
    case TToolIcon::FollowOn:
        S.Line(QPointF(21, 4), QPointF(21, 20), kInk, 2);
        S.Arrow(QPointF(3, 12), QPointF(18.5, 12), kGreen, 2.5);
        break;
    case TToolIcon::FollowOff:
        S.Line(QPointF(21, 4), QPointF(21, 20), kInk, 2);
        S.Arrow(QPointF(3, 12), QPointF(18.5, 12), kInkLight, 2.5);
        DrawStrike(S);
        break;
    case TToolIcon::PrintPreview:
        S.Box(QRectF(6.5, 3.5, 11, 6), kPaper, kInk, 0, 1.25);
        S.Box(QRectF(2.5, 9, 19, 8.5), kPaperGrey, kInk, 2);
        S.Dot(QPointF(18.25, 11.75), 1, kGreen);
        S.Box(QRectF(6.5, 14, 11, 7.5), kPaper, kInk, 0, 1.25);
        for (qreal Y : {16.75, 19.0})
            S.Line(QPointF(8.5, Y), QPointF(15.5, Y), kInkLight, 1);
        break;
    case TToolIcon::CloseWindow:
        S.Box(QRectF(2.5, 3.5, 19, 17), kPaper, kInk, 1.5);
        S.Box(QRectF(2.5, 3.5, 19, 4.5), kBlue, kInk, 1.5);
        S.Line(QPointF(8.5, 11), QPointF(15.5, 18), kRed, 2.5);
        S.Line(QPointF(15.5, 11), QPointF(8.5, 18), kRed, 2.5);
        break;
    case TToolIcon::Count:
        break;
    }
}

// The disabled picture: the same drawing in light grey, half transparent.
QImage Greyed(const QImage &Source) {
    QImage Image = Source.convertToFormat(QImage::Format_ARGB32);
    for (int Y = 0; Y < Image.height(); ++Y) {
        auto *Line = reinterpret_cast<QRgb *>(Image.scanLine(Y));
        for (int X = 0; X < Image.width(); ++X) {
            const QRgb C = Line[X];
            const int Grey = 120 + qGray(C) / 3;
            Line[X] = qRgba(Grey, Grey, Grey, qAlpha(C) * 3 / 5);
        }
    }
    return Image;
}

class TToolIconEngine : public QIconEngine {
public:
    explicit TToolIconEngine(TToolIcon Kind) : FKind(Kind) {}

    void paint(QPainter *Painter, const QRect &Rect, QIcon::Mode Mode, QIcon::State) override {
        if (Mode == QIcon::Disabled) {
            const qreal Ratio = Painter->device() ? Painter->device()->devicePixelRatioF() : 1.0;
            QImage Image = Render(Rect.size() * Ratio);
            Image.setDevicePixelRatio(Ratio);
            Painter->drawImage(Rect.topLeft(), Greyed(Image));
            return;
        }
        Painter->save();
        PaintOn(*Painter, Rect);
        Painter->restore();
    }

    QPixmap pixmap(const QSize &Size, QIcon::Mode Mode, QIcon::State) override {
        const bool Disabled = Mode == QIcon::Disabled;
        const QString Key = QStringLiteral("lanx1-tool-%1-%2x%3-%4")
                                .arg(int(FKind))
                                .arg(Size.width())
                                .arg(Size.height())
                                .arg(int(Disabled));
        QPixmap Result;
        if (QPixmapCache::find(Key, &Result))
            return Result;
        const QImage Image = Render(Size);
        Result = QPixmap::fromImage(Disabled ? Greyed(Image) : Image);
        QPixmapCache::insert(Key, Result);
        return Result;
    }

    QIconEngine *clone() const override { return new TToolIconEngine(FKind); }
    QString key() const override { return QStringLiteral("lanx1-tool"); }

private:
    QImage Render(const QSize &Size) const {
        QImage Image(Size, QImage::Format_ARGB32_Premultiplied);
        Image.fill(Qt::transparent);
        QPainter Painter(&Image);
        PaintOn(Painter, QRect(QPoint(0, 0), Size));
        return Image;
    }

    // The drawing scaled from the 24-unit grid to the square centred in Rect.
    void PaintOn(QPainter &Painter, const QRect &Rect) const {
        const qreal Side = std::min(Rect.width(), Rect.height());
        Painter.setRenderHint(QPainter::Antialiasing);
        Painter.translate(Rect.x() + (Rect.width() - Side) / 2.0, Rect.y() + (Rect.height() - Side) / 2.0);
        Painter.scale(Side / 24.0, Side / 24.0);
        Draw(FKind, Painter);
    }

    TToolIcon FKind;
};

} // namespace

QIcon ToolIcon(TToolIcon Kind) {
    if (Kind < TToolIcon::OpenFile || Kind >= TToolIcon::Count)
        return QIcon();
    return QIcon(new TToolIconEngine(Kind));
}
