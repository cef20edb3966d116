#include "IOVisual.h"
#include "TestEnvironment.h"
#include "uFormat.h"

#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QChar CR(13);

void DescribeLevel(TDescriptionOfDouble &D) {
    D.Title = QStringLiteral("Уровень");
    D.Hint = QStringLiteral("Уровень продукта");
    D.Dimension = QStringLiteral("%");
    D.Precision = 9;
    D.Digits = 1;
}


std::string S(const QString &Text) {
    return Text.toStdString();
}

} // namespace

TEST(IOVisual, LevelShowsNumberAndFourLineHint) {
    TIODoubleLabel Level;
    DescribeLevel(Level.Description);
    QLabel Value, Title, Dimension, Description;
    Level.ValueControl = &Value;
    Level.TitleControl = &Title;
    Level.DimensionControl = &Dimension;
    Level.DescriptionControl = &Description;
    Level.SetValue(47.26, At(2024, 3, 5, 14, 7, 9));
    Level.Refresh();

    EXPECT_EQ(S(Value.text()), "47,3");
    EXPECT_EQ(S(Title.text()), "Уровень");
    EXPECT_EQ(S(Dimension.text()), "%");
    EXPECT_EQ(S(Description.text()), "Уровень, %");
    const QStringList Lines = Level.HintText().split(CR);
    ASSERT_EQ(Lines.size(), 4);
    EXPECT_EQ(S(Lines[0]), "Уровень");
    EXPECT_EQ(S(Lines[1]), "Уровень продукта");
    EXPECT_EQ(S(Lines[2]), "47,3 %");
    EXPECT_EQ(S(Lines[3]), "05.03.2024 14:07:09");
    // The tooltip shows the same four lines, broken as Qt breaks them.
    EXPECT_EQ(Value.toolTip().split(u'\n'), Lines);

    // A reading at exactly midnight shows the date alone.
    Level.SetValue(47.26, At(2024, 3, 6, 0, 0, 0));
    Level.Refresh();
    EXPECT_EQ(S(Level.HintText().split(CR).value(3)), "06.03.2024");
}

TEST(IOVisual, OnlyValueControlIsWritten) {
    TIODoubleStaticText Level;
    DescribeLevel(Level.Description);
    QLabel Value(QStringLiteral("old")), Title(QStringLiteral("old")), Dimension(QStringLiteral("old"));
    Level.ValueControl = &Value;
    Level.SetValue(12.0);
    Level.Refresh();
    EXPECT_EQ(S(Value.text()), "12,0");
    EXPECT_EQ(Value.toolTip().split(u'\n').size(), 4);
    EXPECT_EQ(S(Title.text()), "old");
    EXPECT_EQ(S(Title.toolTip()), "");
    EXPECT_EQ(S(Dimension.text()), "old");

    // No control at all: Refresh writes nothing and does not fail.
    TIODoubleLabel Bare;
    Bare.SetValue(3.0);
    Bare.Refresh();
    EXPECT_TRUE(Bare.HintText().isEmpty());
}

TEST(IOVisual, ControlsChangeOnlyOnRefresh) {
    TIODouble Source;
    TIODoubleLabel Level;
    DescribeLevel(Level.Description);
    QLabel Value;
    Level.ValueControl = &Value;
    Level.SetSource(&Source, false);
    Level.Refresh();
    EXPECT_EQ(S(Value.text()), "0,0");

    Source.SetValue(25.25);
    EXPECT_DOUBLE_EQ(Level.AsDouble(), 25.25);
    EXPECT_EQ(S(Value.text()), "0,0"); // the value arrived, the control waits
    Level.Refresh();
    EXPECT_EQ(S(Value.text()), "25,3");
    Level.Disconnect(&Source);
}

TEST(IOVisual, BeforeAnyValueShowsZeroAndCreationTime) {
    const TDateTime Before = Now();
    TIOIntegerLabel Freq;
    TIODoubleLabel Level;
    const TDateTime After = Now();
    QLabel FreqValue, LevelValue;
    Freq.ValueControl = &FreqValue;
    Level.ValueControl = &LevelValue;
    Level.Description.Digits = 0;
    Freq.Refresh();
    Level.Refresh();
    EXPECT_EQ(S(FreqValue.text()), "0");
    EXPECT_EQ(S(LevelValue.text()), "0");
    EXPECT_GE(Freq.Stamp(), Before);
    EXPECT_LE(Freq.Stamp(), After);
    EXPECT_EQ(Freq.HintText().split(CR).value(3), DateTimeToStr(Freq.Stamp(), DefaultFormatSettings()));
    EXPECT_EQ(Level.HintText().split(CR).value(3), DateTimeToStr(Level.Stamp(), DefaultFormatSettings()));
}

TEST(IOVisual, NumberTexts) {
    TIOIntegerLabel Freq;
    QLabel FreqValue, FreqTitle;
    Freq.ValueControl = &FreqValue;
    Freq.TitleControl = &FreqTitle;
    Freq.Description.Title = QStringLiteral("Частота");
    Freq.Description.Dimension = QStringLiteral("Гц");
    Freq.SetValue(65535);
    Freq.Refresh();
    EXPECT_EQ(S(FreqValue.text()), "65535"); // integers have no thousands separator
    EXPECT_EQ(S(FreqTitle.text()), "Частота");
    EXPECT_EQ(S(Freq.HintText().split(CR).value(2)), "65535 Гц");

    TIODoubleLabel Volume;
    QLabel VolumeValue;
    Volume.ValueControl = &VolumeValue;
    Volume.Description.Digits = 1;
    Volume.SetValue(1234.5);
    Volume.Refresh();
    EXPECT_EQ(VolumeValue.text(), QStringLiteral("1\u00A0234,5"));
    Volume.SetValue(-0.04);
    Volume.Refresh();
    EXPECT_EQ(S(VolumeValue.text()), "0,0");
}

TEST(IOVisual, GaugeBindingKeepsGaugeInRangeButHintsEveryNumber) {
    TIODoubleVHistogram Binding;
    DescribeLevel(Binding.Description);
    TVHistogram Gauge;
    QLabel Title;
    Binding.ValueControl = &Gauge;
    Binding.TitleControl = &Title;

    Binding.SetValue(40.0);
    EXPECT_EQ(Gauge.Value(), 0); // not before Refresh
    Binding.Refresh();
    EXPECT_EQ(Gauge.Value(), 40);
    EXPECT_EQ(S(Binding.HintText().split(CR).value(2)), "40,0 %");
    EXPECT_EQ(S(Title.text()), "Уровень");

    Binding.SetValue(150.0);
    Binding.Refresh();
    EXPECT_EQ(Gauge.Value(), 40);
    EXPECT_EQ(S(Binding.HintText().split(CR).value(2)), "150,0 %");
    EXPECT_EQ(S(Gauge.toolTip().split(u'\n').value(2)), "150,0 %");
}

TEST(IOVisual, GaugeBindingAssignSetsRangeAndSteps) {
    TIODouble Level;
    DescribeLevel(Level.Description);
    Level.Description.SetMinMax(0, 2000);
    TIODoubleVHistogram Binding;
    TVHistogram Gauge;
    Binding.ValueControl = &Gauge;
    Binding.Assign(&Level);
    EXPECT_EQ(S(Binding.Description.Title), "Уровень");
    EXPECT_EQ(Binding.Description.GetMax(), 2000);
    EXPECT_EQ(Gauge.Min(), 0);
    EXPECT_EQ(Gauge.Max(), 2000);
    EXPECT_EQ(Gauge.DValueBig(), 2);
    EXPECT_EQ(Gauge.DValueSmall(), 1);

    // Any other source copies nothing, yet the gauge still takes the binding's range.
    TIOInteger Other;
    Other.Description.Title = QStringLiteral("Частота");
    Binding.Description.SetMinMax(10, 20);
    Gauge.SetDValueBig(15);
    Binding.Assign(&Other);
    EXPECT_EQ(S(Binding.Description.Title), "Уровень");
    EXPECT_EQ(Gauge.Min(), 10);
    EXPECT_EQ(Gauge.Max(), 20);
    EXPECT_EQ(Gauge.DValueBig(), 15); // 2 is below the new Min and refused

    // Without a gauge only the binding is assigned.
    TIODoubleVHistogram Alone;
    Alone.Assign(&Level);
    EXPECT_EQ(Alone.Description.GetMax(), 2000);
}

TEST(IOVisual, ControlsOfOtherKindsAndDestroyedControls) {
    TIODoubleLabel Level;
    DescribeLevel(Level.Description);
    QGroupBox Group;
    auto Value = std::make_unique<QLabel>();
    Level.DescriptionControl = &Group;
    Level.ValueControl = Value.get();
    Level.Refresh();
    EXPECT_EQ(S(Group.title()), "Уровень, %");

    Value.reset(); // the window freed its label first
    EXPECT_NO_THROW(Level.Refresh());
}

TEST(IOVisual, MarkupInTitleStaysPlainText) {
    TIODoubleLabel Level;
    Level.Description.Title = QStringLiteral("<b>Уровень</b>");
    QLabel Value;
    Level.ValueControl = &Value;
    Level.Refresh();
    EXPECT_EQ(S(Level.HintText().split(CR).value(0)), "<b>Уровень</b>");
    EXPECT_TRUE(Value.toolTip().contains(QStringLiteral("&lt;b&gt;")));
}
