#include "VHistogram.h"
#include "uColor.h"

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <tuple>

namespace {

constexpr TColor Red = 0x0000FF;
constexpr TColor Yellow = 0x00FFFF;
constexpr TColor Navy = 0x800000;
constexpr TColor Silver = 0xC0C0C0;
constexpr TColor Grey = 0x808080;

QImage Picture(TVHistogram &Gauge) {
    return Gauge.Compose().toImage();
}

QColor Pixel(const QImage &Image, int X, int Y) {
    return Image.pixelColor(X, Y);
}

QColor C(TColor Color) {
    return ColorToQColor(Color);
}

// Counts the paint events a widget receives.
class TPaintCounter : public QObject {
public:
    int Count = 0;
    bool eventFilter(QObject *, QEvent *Event) override {
        if (Event->type() == QEvent::Paint)
            ++Count;
        return false;
    }
};

} // namespace

TEST(Gauge, DefaultsAndValueRows) {
    TVHistogram Gauge;
    EXPECT_EQ(Gauge.size(), QSize(50, 200));
    EXPECT_EQ(Gauge.Border(), bLower);
    EXPECT_EQ(Gauge.Min(), 0);
    EXPECT_EQ(Gauge.Max(), 100);
    EXPECT_EQ(Gauge.ColorProductType(), cptManual);
    EXPECT_EQ(Gauge.ColorProduct(), Navy);
    EXPECT_EQ(Gauge.DValueSmall(), 2);
    EXPECT_EQ(Gauge.DValueBig(), 10);
    EXPECT_EQ(Gauge.DecimalSign(), 1);

    EXPECT_EQ(Gauge.ValueToY(50), 100);
    EXPECT_EQ(Gauge.ValueToY(0), 200);
    EXPECT_EQ(Gauge.ValueToY(100), 0);
    // Ties go to the even row: 0.25 x 200 / 100 = 0.5 -> 0, 0.75 -> 1.5 -> 2.
    EXPECT_EQ(Gauge.ValueToY(0.25), 200);
    EXPECT_EQ(Gauge.ValueToY(0.75), 198);

    // Value 50: empty part above row 100, bar from row 100 down.
    Gauge.SetValue(50);
    QImage Image = Picture(Gauge);
    EXPECT_EQ(Pixel(Image, 25, 99), C(Silver));
    EXPECT_EQ(Pixel(Image, 25, 100), C(Navy));
    EXPECT_EQ(Pixel(Image, 25, 198), C(Navy));
    // Value 0 leaves no bar, value 100 fills everything inside the border.
    Gauge.SetValue(0);
    Image = Picture(Gauge);
    EXPECT_EQ(Pixel(Image, 25, 198), C(Silver));
    Gauge.SetValue(100);
    Image = Picture(Gauge);
    EXPECT_EQ(Pixel(Image, 25, 1), C(Navy));

    // An empty range maps every value to row -1 and shows the bar everywhere.
    Gauge.SetRange(100, 100);
    EXPECT_EQ(Gauge.ValueToY(100), -1);
    Image = Picture(Gauge);
    EXPECT_EQ(Pixel(Image, 25, 1), C(Navy));
    EXPECT_EQ(Pixel(Image, 25, 198), C(Navy));
}

TEST(Gauge, BorderLines) {
    TVHistogram Gauge;
    Gauge.resize(20, 30);
    QImage Image = Picture(Gauge);
    EXPECT_EQ(Pixel(Image, 0, 0), QColor(Qt::black));
    EXPECT_EQ(Pixel(Image, 18, 0), QColor(Qt::black));
    EXPECT_EQ(Pixel(Image, 0, 28), QColor(Qt::black));
    EXPECT_EQ(Pixel(Image, 19, 29), QColor(Qt::white));
    EXPECT_EQ(Pixel(Image, 19, 1), QColor(Qt::white));
    EXPECT_EQ(Pixel(Image, 1, 29), QColor(Qt::white));
    EXPECT_EQ(Pixel(Image, 10, 10), C(Silver));

    Gauge.SetBorder(bUpper);
    Image = Picture(Gauge);
    EXPECT_EQ(Pixel(Image, 0, 0), QColor(Qt::white));
    EXPECT_EQ(Pixel(Image, 19, 29), QColor(Qt::black));

    Gauge.SetBorder(bNone);
    EXPECT_EQ(Gauge.BorderWidth(), 0);
    Image = Picture(Gauge);
    EXPECT_EQ(Pixel(Image, 0, 0), C(Silver));
    EXPECT_EQ(Pixel(Image, 19, 29), C(Silver));
}

TEST(Gauge, ScaleSteps) {
    TVHistogram Gauge;
    EXPECT_EQ(Gauge.ScaleStep(), 5); // 100 over 20 rows of ten pixels
    std::vector<double> Major = Gauge.TickValues(Gauge.ScaleStep());
    ASSERT_EQ(Major.size(), 19u);
    EXPECT_DOUBLE_EQ(Major.front(), 5);
    EXPECT_DOUBLE_EQ(Major.back(), 95);

    Gauge.resize(50, 116);
    EXPECT_EQ(Gauge.ScaleStep(), 10); // 9.09... rounds up the series
    Major = Gauge.TickValues(Gauge.ScaleStep());
    ASSERT_EQ(Major.size(), 9u);
    EXPECT_DOUBLE_EQ(Major.front(), 10);
    EXPECT_DOUBLE_EQ(Major.back(), 90);
    EXPECT_EQ(Gauge.TickValues(Gauge.ScaleStep() / 2).size(), 19u);

    Gauge.SetMax(4); // 0.3636... is below the series and stays
    EXPECT_DOUBLE_EQ(Gauge.ScaleStep(), 4.0 / 11);
    Major = Gauge.TickValues(Gauge.ScaleStep());
    ASSERT_GE(Major.size(), 10u);
    EXPECT_DOUBLE_EQ(Major[0], 4.0 / 11);
    EXPECT_DOUBLE_EQ(Major[1], 8.0 / 11);
    EXPECT_LT(Major.back(), 4);

    Gauge.SetRange(0, 1000000); // above the series: stays as computed
    EXPECT_DOUBLE_EQ(Gauge.ScaleStep(), 1000000.0 / 11);
    Gauge.SetRange(0, 100);
    Gauge.resize(50, 9); // no scale below ten pixels
    EXPECT_EQ(Gauge.ScaleStep(), 0);
    EXPECT_TRUE(Gauge.TickValues(0).empty());
}

TEST(Gauge, ScaleFarFromZeroEnds) {
    // A step smaller than the spacing of doubles near Min no longer advances.
    TVHistogram Gauge;
    Gauge.SetRange(1e20, 1e20 + 100000);
    Gauge.SetRange(1e20, 1e20 + 100000); // the first call only moves Max
    ASSERT_EQ(Gauge.Min(), 1e20);
    EXPECT_LE(Gauge.TickValues(Gauge.ScaleStep()).size(), 1u);
    Gauge.SetShowScaleMarks(true);
    Gauge.SetShowValues(true);
    EXPECT_FALSE(Picture(Gauge).isNull());
}

TEST(Gauge, TicksDrawn) {
    TVHistogram Gauge;
    Gauge.resize(50, 116);
    Gauge.SetShowScaleMarks(true);
    QImage Image = Picture(Gauge);
    const int Row10 = Gauge.ValueToY(10); // 104
    const int Row5 = Gauge.ValueToY(5);
    EXPECT_EQ(Row10, 104);
    // Left scale: a major tick runs from the border for ten pixels, a minor for five.
    EXPECT_EQ(Pixel(Image, 1, Row10), C(Grey));
    EXPECT_EQ(Pixel(Image, 10, Row10), C(Grey));
    EXPECT_EQ(Pixel(Image, 11, Row10), C(Silver));
    EXPECT_EQ(Pixel(Image, 5, Row5), C(Grey));
    EXPECT_EQ(Pixel(Image, 6, Row5), C(Silver));
    EXPECT_EQ(Pixel(Image, 1, Row10 + 1), C(Silver));

    // Right scale with an offset of 2: W' = 50 - 1 - 2 - 1 = 46.
    Gauge.SetScaleAlignment(saRight);
    Gauge.SetScaleOffset(2);
    Image = Picture(Gauge);
    EXPECT_EQ(Pixel(Image, 45, Row10), C(Grey));
    EXPECT_EQ(Pixel(Image, 37, Row10), C(Grey));
    EXPECT_EQ(Pixel(Image, 46, Row10), C(Silver));
    EXPECT_EQ(Pixel(Image, 1, Row10), C(Silver));

    // Marks hidden: no tick at all.
    Gauge.SetShowScaleMarks(false);
    Image = Picture(Gauge);
    EXPECT_EQ(Pixel(Image, 45, Row10), C(Silver));
}

TEST(Gauge, ReversedScale) {
    TVHistogram Gauge;
    Gauge.SetMax(97); // step 5: ticks at 5 ... 95, mirrored at 92 ... 2
    Gauge.SetShowScaleMarks(true);
    Gauge.SetShowScaleZones(true);
    const int Row2 = Gauge.ValueToY(2);
    const int Row5 = Gauge.ValueToY(5);
    QImage Image = Picture(Gauge);
    EXPECT_EQ(Pixel(Image, 8, Row5), C(Grey));
    EXPECT_EQ(Pixel(Image, 8, Row2), C(Silver));
    EXPECT_EQ(Pixel(Image, 2, 18), C(Red)); // zone band

    Gauge.SetScaleReverse(true);
    Image = Picture(Gauge);
    EXPECT_EQ(Pixel(Image, 8, Row2), C(Grey));
    EXPECT_EQ(Pixel(Image, 8, Row5), C(Silver));
    EXPECT_EQ(Pixel(Image, 2, 18), C(Silver)); // no zones when reversed
    // The bar itself stays upright.
    Gauge.SetValue(50);
    Image = Picture(Gauge);
    EXPECT_EQ(Pixel(Image, 25, 190), C(Navy));
    EXPECT_EQ(Pixel(Image, 25, 10), C(Silver));
}

TEST(Gauge, ZonesAlongTheScale) {
    TVHistogram Gauge;
    Gauge.SetShowScaleZones(true);
    QImage Image = Picture(Gauge);
    // Rows at H 200: 85 -> 30, 80 -> 40, 20 -> 160, 15 -> 170.
    EXPECT_EQ(Pixel(Image, 1, 100), C(Grey)); // axis line at XL
    EXPECT_EQ(Pixel(Image, 2, 20), C(Red));
    EXPECT_EQ(Pixel(Image, 3, 35), C(Yellow));
    EXPECT_EQ(Pixel(Image, 3, 100), C(Silver));
    EXPECT_EQ(Pixel(Image, 4, 35), C(Silver)); // three columns wide including the axis
    EXPECT_EQ(Pixel(Image, 2, 165), C(Yellow));
    EXPECT_EQ(Pixel(Image, 2, 180), C(Red));
    // Dotted limit lines: three on, three off across the control.
    EXPECT_EQ(Pixel(Image, 6, 40), C(Yellow));
    EXPECT_EQ(Pixel(Image, 9, 40), C(Silver));
    EXPECT_EQ(Pixel(Image, 12, 30), C(Red));
    EXPECT_EQ(Pixel(Image, 13, 170), C(Red));

    Gauge.SetScaleAlignment(saRight); // XR = 48, XL = 46
    Image = Picture(Gauge);
    EXPECT_EQ(Pixel(Image, 48, 100), C(Grey));
    EXPECT_EQ(Pixel(Image, 47, 20), C(Red));
    EXPECT_EQ(Pixel(Image, 46, 35), C(Yellow));
    EXPECT_EQ(Pixel(Image, 45, 35), C(Silver));
}

TEST(Gauge, BarColourFollowsZoneUnderAuto) {
    TVHistogram Gauge;
    Gauge.SetColorProductType(cptAuto);
    const struct {
        double Value;
        TColor Color;
    } Cases[] = {{90, Red}, {82, Yellow}, {50, Navy}, {20, Yellow}, {15, Red}, {85, Red}, {80, Yellow}, {20.5, Navy}};
    for (const auto &Case : Cases) {
        Gauge.SetValue(Case.Value);
        const QImage Image = Picture(Gauge);
        EXPECT_EQ(Pixel(Image, 25, 197), C(Case.Color)) << Case.Value;
        EXPECT_EQ(Gauge.BarColor(), Case.Color) << Case.Value;
    }
    Gauge.SetColorProductType(cptManual);
    EXPECT_EQ(Pixel(Picture(Gauge), 25, 197), C(Navy));

    // System colours come from the palette.
    Gauge.SetColorProduct(clBtnFace);
    EXPECT_EQ(Pixel(Picture(Gauge), 25, 197), Gauge.palette().color(QPalette::Button));
}

TEST(Gauge, SetRangeAndRefusedValues) {
    TVHistogram Gauge;
    Gauge.SetMax(4);
    Gauge.SetRange(10, 20); // Min 10 is above the old Max and refused
    EXPECT_EQ(Gauge.Min(), 0);
    EXPECT_EQ(Gauge.Max(), 20);
    Gauge.SetRange(10, 20);
    EXPECT_EQ(Gauge.Min(), 10);
    EXPECT_EQ(Gauge.Max(), 20);
    Gauge.SetRange(30, 25); // inverted: nothing
    EXPECT_EQ(Gauge.Min(), 10);
    EXPECT_EQ(Gauge.Max(), 20);

    Gauge.SetRange(0, 100);
    Gauge.SetRange(0, 100);
    Gauge.SetValue(40);
    Gauge.SetValue(105);
    EXPECT_EQ(Gauge.Value(), 40);
    Gauge.SetValue(-1);
    EXPECT_EQ(Gauge.Value(), 40);
    Gauge.SetValue(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(Gauge.Value(), 40);
    Gauge.SetValue(100);
    EXPECT_EQ(Gauge.Value(), 100);

    Gauge.SetMax(-5);
    EXPECT_EQ(Gauge.Max(), 100);
    Gauge.SetMin(101);
    EXPECT_EQ(Gauge.Min(), 0);
    Gauge.SetMax(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(Gauge.Max(), 100);

    Gauge.SetDValueSmall(-1);
    Gauge.SetDValueSmall(101);
    EXPECT_EQ(Gauge.DValueSmall(), 2);
    Gauge.SetDValueSmall(1);
    EXPECT_EQ(Gauge.DValueSmall(), 1);
    Gauge.SetDValueBig(200);
    EXPECT_EQ(Gauge.DValueBig(), 10);
    Gauge.SetRange(10, 100);
    Gauge.SetDValueBig(5); // below Min
    EXPECT_EQ(Gauge.DValueBig(), 10);

    Gauge.SetDecimalSign(-1);
    EXPECT_EQ(Gauge.DecimalSign(), 1);
    Gauge.SetDecimalSign(0);
    EXPECT_EQ(Gauge.DecimalSign(), 0);
}

TEST(Gauge, AcceptedChangesRepaint) {
    TVHistogram Gauge;
    TPaintCounter Counter;
    Gauge.installEventFilter(&Counter);
    Gauge.show();
    const auto PaintsAfter = [&](auto Change) {
        QApplication::processEvents();
        Counter.Count = 0;
        Change();
        QApplication::processEvents();
        return Counter.Count;
    };
    EXPECT_GT(PaintsAfter([&] { Gauge.SetScaleReverse(true); }), 0);
    EXPECT_GT(PaintsAfter([&] { Gauge.SetValue(30); }), 0);
    EXPECT_GT(PaintsAfter([&] { Gauge.SetColorZoneAlarm(Red); }), 0); // always repaints
    EXPECT_EQ(PaintsAfter([&] { Gauge.SetValue(130); }), 0);          // refused
    EXPECT_EQ(PaintsAfter([&] { Gauge.SetScaleReverse(true); }), 0);  // unchanged
}

TEST(Gauge, NumbersAndCaptionAreDrawn) {
    TVHistogram Gauge;
    Gauge.SetBorder(bNone);
    const QImage Plain = Picture(Gauge);
    Gauge.SetShowScaleMarks(true);
    Gauge.SetShowValues(true);
    Gauge.SetCaption(QStringLiteral("Уровень"));
    const QImage Drawn = Picture(Gauge);
    // Number text to the right of x = 20 around the row of 50; nothing when the values are hidden.
    bool NumberInk = false;
    for (int Y = 90; Y < 110; ++Y)
        for (int X = 20; X < 50; ++X)
            NumberInk = NumberInk || Pixel(Drawn, X, Y) != Pixel(Plain, X, Y);
    bool CaptionInk = false;
    for (int Y = 0; Y < 20; ++Y)
        for (int X = 0; X < 50; ++X)
            CaptionInk = CaptionInk || Pixel(Drawn, X, Y) != Pixel(Plain, X, Y);
    EXPECT_TRUE(NumberInk);
    EXPECT_TRUE(CaptionInk);
}

TEST(Gauge, ScaleNumbersNeverTouch) {
    TVHistogram Gauge;
    Gauge.SetShowScaleMarks(true);
    Gauge.SetShowValues(true);
    for (const QSize Size : {QSize(80, 200), QSize(80, 260), QSize(120, 600)}) {
        for (const auto &[Min, Max, Digits] : {std::tuple{0.0, 2000.0, 2}, std::tuple{0.0, 100.0, 1},
                                                std::tuple{-50.0, 50.0, 3}}) {
            SCOPED_TRACE(testing::Message() << Size.height() << " px, " << Min << ".." << Max << ", " << Digits);
            Gauge.resize(Size);
            Gauge.SetRange(Min, Max);
            Gauge.SetDecimalSign(Digits);
            const auto Numbers = Gauge.ScaleNumbers();
            ASSERT_FALSE(Numbers.empty());
            for (std::size_t I = 1; I < Numbers.size(); ++I)
                EXPECT_GT(Numbers[I - 1].Rect.top() - Numbers[I].Rect.bottom(), 1)
                    << Numbers[I - 1].Text.toStdString() << " / " << Numbers[I].Text.toStdString();
        }
    }
    // The scale of the readings window's height with 0..2000 and two digits
    // had 1 900,00 over 1 800,00; now every other number is left out.
    Gauge.resize(80, 200);
    Gauge.SetRange(0, 2000);
    Gauge.SetDecimalSign(2);
    const auto Numbers = Gauge.ScaleNumbers();
    EXPECT_LT(Numbers.size(), Gauge.TickValues(Gauge.ScaleStep()).size());
}
