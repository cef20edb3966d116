// Value descriptions and data bindings.
#include "IODescription.h"
#include "TestEnvironment.h"
#include "uWin1251.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>

TEST(Variant, ConversionsAndComparison) {
    EXPECT_EQ(TVariant(2.5).ToInteger(), 2);
    EXPECT_EQ(TVariant(3.5).ToInteger(), 4);
    EXPECT_EQ(TVariant(-2.5).ToInteger(), -2);
    EXPECT_EQ(TVariant(QString("12")).ToInteger(), 12);
    EXPECT_EQ(TVariant(QString("12,6")).ToInteger(), 13);
    EXPECT_DOUBLE_EQ(TVariant(QString("12,5")).ToDouble(), 12.5);
    EXPECT_THROW(TVariant(QString("abc")).ToInteger(), EVariantError);
    EXPECT_THROW(TVariant(3e9).ToInteger(), EVariantError);
    EXPECT_EQ(TVariant(2147483647.4).ToInteger(), 2147483647);

    EXPECT_TRUE(TVariant(std::uint8_t(0)) == TVariant(0.0));
    EXPECT_TRUE(TVariant(5) == TVariant(5.0));
    EXPECT_TRUE(TVariant(true) == TVariant(1));
    EXPECT_TRUE(TVariant(QString("5")) == TVariant(5));
    EXPECT_FALSE(TVariant(QString("x")) == TVariant(0));
    EXPECT_FALSE(TVariant() == TVariant(0));
    EXPECT_TRUE(TVariant() == TVariant());
}

TEST(DescriptionOfDouble, DefaultsAndLimitSetters) {
    TDescriptionOfDouble D;
    EXPECT_DOUBLE_EQ(D.GetMin(), 0);
    EXPECT_DOUBLE_EQ(D.GetMax(), 100);
    EXPECT_EQ(D.Precision, 9);
    EXPECT_EQ(D.Digits, 2);
    EXPECT_EQ(D.Name, "DescriptionOfValue");

    D.SetMin(150); // past Max: refused
    EXPECT_DOUBLE_EQ(D.GetMin(), 0);
    D.SetMinMax(150, 200);
    EXPECT_DOUBLE_EQ(D.GetMin(), 150);
    EXPECT_DOUBLE_EQ(D.GetMax(), 200);
    D.SetMinMax(10, 5);
    EXPECT_DOUBLE_EQ(D.GetMin(), 150);
    EXPECT_DOUBLE_EQ(D.GetMax(), 200);
    D.SetMax(150); // equal to Min: an empty range is allowed
    EXPECT_DOUBLE_EQ(D.GetMax(), 150);

    TDescriptionOfInteger I;
    I.SetMax(-1);
    EXPECT_EQ(I.GetMax(), 100);
    TDescriptionOfThreeStates T;
    EXPECT_EQ(T.Name, "DescriptionOfThreeStates");
}

TEST(DescriptionIni, LevelSectionByteForByte) {
    TTestFolder Folder;
    TDescriptionOfDouble D;
    D.Title = QStringLiteral("Уровень");
    D.Hint = QStringLiteral("Уровень продукта");
    D.Dimension = QStringLiteral("%");
    D.SetMinMax(0, 100);
    D.Precision = 9;
    D.Digits = 1;
    D.FileName = Folder.File("PAR/levels.ini");
    QDir().mkpath(Folder.File("PAR"));
    D.Section = QStringLiteral("Level");
    D.SaveToIni();
    D.SaveToIni(); // twice: still one copy of each key

    const QByteArray Expected = ToWin1251(QStringLiteral(
        "[Level]\r\nTitle=Уровень\r\nHint=Уровень продукта\r\nMax=100\r\nMin=0\r\nDimension=%\r\n"
        "Precision=9\r\nDigits=1\r\n"));
    EXPECT_EQ(ReadAll(D.FileName), Expected);

    TDescriptionOfDouble Back;
    Back.FileName = D.FileName;
    Back.Section = QStringLiteral("level"); // sections match without regard to case
    Back.LoadFromIni();
    EXPECT_EQ(Back.Title, D.Title);
    EXPECT_EQ(Back.Hint, D.Hint);
    EXPECT_EQ(Back.Dimension, "%");
    EXPECT_EQ(Back.Digits, 1);
    EXPECT_DOUBLE_EQ(Back.GetMax(), 100);
}

TEST(DescriptionIni, RefusedPairsAndMissingKeysKeepFields) {
    TTestFolder Folder;
    const QString File = Folder.File("d.ini");
    WriteAll(File, "[A]\r\nMin=50\r\nMax=20\r\nPrecision=4\r\n[B]\r\nMax=65535\r\nMin=-5\r\n");
    TDescriptionOfDouble D;
    D.FileName = File;
    D.Section = "A";
    D.Digits = 3;
    D.LoadFromIni();
    EXPECT_DOUBLE_EQ(D.GetMin(), 0);
    EXPECT_DOUBLE_EQ(D.GetMax(), 100);
    EXPECT_EQ(D.Precision, 4);
    EXPECT_EQ(D.Digits, 3); // no "Digits" key

    TDescriptionOfInteger I;
    I.FileName = File;
    I.Section = "B";
    I.LoadFromIni();
    EXPECT_EQ(I.GetMax(), 65535);
    EXPECT_EQ(I.GetMin(), -5);
    I.Section = "C";
    I.SaveToIni();
    EXPECT_TRUE(ReadAll(File).contains("[C]\r\nTitle=\r\nHint=\r\nMax=65535\r\nMin=-5\r\nDimension=\r\n"));

    TDescriptionOfDouble Missing;
    Missing.FileName = Folder.File("nowhere.ini");
    Missing.Section = "A";
    Missing.LoadFromIni();
    EXPECT_FALSE(QFile::exists(Missing.FileName)); // loading never creates the file
    WriteAll(Folder.File("afile"), "x");
    Missing.FileName = Folder.File("afile/x.ini"); // a folder that cannot be made
    EXPECT_THROW(Missing.SaveToIni(), std::exception);
}

TEST(DescriptionThreeStates, AssignAndIni) {
    TTestFolder Folder;
    TDescriptionOfThreeStates A, B;
    A.Title = "T";
    A.SetCaptions("u", "f", "t");
    A.SetColors1(1, 2, 3);
    A.SetColors2(4, 5, clBtnFace);
    A.Name = "AName";
    A.FileName = Folder.File("a.ini");
    A.Section = "S";
    B.Assign(&A);
    EXPECT_EQ(B.Captions[tsTrue], "t");
    EXPECT_EQ(B.Color1[tsFalse], 2u);
    EXPECT_EQ(B.Color2[tsTrue], clBtnFace);
    EXPECT_EQ(B.Title, "T");
    EXPECT_EQ(B.Name, "DescriptionOfThreeStates");
    EXPECT_TRUE(B.FileName.isEmpty());
    EXPECT_TRUE(B.Section.isEmpty());

    A.SaveToIni();
    EXPECT_TRUE(ReadAll(A.FileName).contains("Color2[tsTrue]=-2147483633\r\n"));
    TDescriptionOfThreeStates C;
    C.FileName = A.FileName;
    C.Section = "S";
    C.LoadFromIni();
    EXPECT_EQ(C.Color2[tsTrue], clBtnFace);
    EXPECT_EQ(C.Captions[tsUnknown], "u");

    // Integer and double descriptions share only title and hint.
    TDescriptionOfDouble D;
    TDescriptionOfInteger I;
    I.Title = "I";
    I.Dimension = "mm";
    I.SetMinMax(5, 6);
    D.Assign(&I);
    EXPECT_EQ(D.Title, "I");
    EXPECT_TRUE(D.Dimension.isEmpty());
    EXPECT_DOUBLE_EQ(D.GetMax(), 100);
}

TEST(DescriptionLink, HierarchicalSections) {
    TDescriptionOfValue Parent;
    Parent.Section = "Device";
    Parent.FileName = "/tmp/p.ini";
    TDescriptionOfDouble Level;
    Level.SetName("Level");
    Level.LinkTo(&Parent);
    EXPECT_EQ(Level.Section, "Device.Level");
    EXPECT_EQ(Level.FileName, "/tmp/p.ini");
    TIODouble NotADescription;
    Level.LinkTo(&NotADescription);
    EXPECT_EQ(Level.Section, "Device.Level");
}

namespace {
struct TEventLog {
    QStringList Events;
    void Attach(TIOData &D) {
        D.OnInput = [this](TIOData *) { Events << "Input"; };
        D.OnInputChange = [this](TIOData *) { Events << "InputChange"; };
        D.OnOutput = [this](TIOData *) { Events << "Output"; };
        D.OnOutputChange = [this](TIOData *) { Events << "OutputChange"; };
    }
};
} // namespace

TEST(Binding, NewDoubleAndEventOrder) {
    TIODouble D;
    EXPECT_DOUBLE_EQ(D.AsDouble(), 0);
    EXPECT_TRUE(D.Active());
    EXPECT_EQ(D.Source(), nullptr);
    EXPECT_TRUE(D.Targets().empty());

    TEventLog Log;
    Log.Attach(D);
    D.SetValue(TVariant(5), 0);
    EXPECT_EQ(D.Value().Type(), TVarType::Double);
    EXPECT_DOUBLE_EQ(D.AsDouble(), 5.0);
    EXPECT_EQ(Log.Events, QStringList({"Input", "InputChange", "Output", "OutputChange"}));
    Log.Events.clear();
    D.SetValue(TVariant(5.0), 0);
    EXPECT_EQ(Log.Events, QStringList({"Input", "Output"}));
}

TEST(Binding, Conversions) {
    TiodIntegerToInteger I;
    I.SetValue(TVariant(2.5));
    EXPECT_EQ(I.Value().ToInteger(), 2);
    I.SetValue(TVariant(3.5));
    EXPECT_EQ(I.Value().ToInteger(), 4);

    TiodThreeStatesToThreeStates T;
    T.SetValue(TVariant(258));
    EXPECT_EQ(T.Value().Type(), TVarType::Byte);
    EXPECT_EQ(T.Value().ToInteger(), 2);

    TIOThreeStates S;
    EXPECT_EQ(S.AsThreeStates(), tsUnknown);
}

TEST(Binding, UnconvertibleInputKeepsOutputAndTellsNobody) {
    TIOInteger Source;
    TIOInteger Target;
    Source.SetValue(TVariant(7));
    Target.SetSource(&Source, true);
    TEventLog Log;
    Log.Attach(Source);
    const TDateTime Stamp = 45000.5;
    Source.SetValue(TVariant(QString("no number")), Stamp);
    EXPECT_EQ(Source.Value().ToInteger(), 7);
    EXPECT_EQ(Source.Input().ToString(), "no number");
    EXPECT_DOUBLE_EQ(Source.Stamp(), Stamp);
    EXPECT_EQ(Log.Events, QStringList({"Input", "InputChange"}));
    EXPECT_NE(Target.Stamp(), Stamp);
}

namespace {
// Nothing in the program switches a binding off; a derived class can.
struct TSwitchable : TiodDoubleToDouble {
    void Switch(bool On) { SetActive(On); }
};
} // namespace

TEST(Binding, InactiveOnlyStoresAndAssignCopiesActive) {
    TSwitchable Off;
    Off.Switch(false);
    TIODouble Target;
    Target.SetSource(&Off, false);
    TEventLog Log;
    Log.Attach(Off);
    Off.SetValue(TVariant(9), 1000.0);
    EXPECT_EQ(Off.Input().ToInteger(), 9);
    EXPECT_DOUBLE_EQ(Off.Stamp(), 1000.0);
    EXPECT_DOUBLE_EQ(Off.Value().ToDouble(), 0);
    EXPECT_TRUE(Log.Events.isEmpty());
    EXPECT_DOUBLE_EQ(Target.AsDouble(), 0);

    TIODouble Copy;
    Copy.Description.Title = "keep";
    Copy.Assign(&Off); // a converting double binding: Active only, not the description
    EXPECT_FALSE(Copy.Active());
    EXPECT_EQ(Copy.Description.Title, "keep");
    TIODouble Typed;
    Typed.Description.Title = "copied";
    Copy.Assign(&Typed);
    EXPECT_TRUE(Copy.Active());
    EXPECT_EQ(Copy.Description.Title, "copied");
    TIOInteger Other;
    Copy.Assign(&Other); // another family: ignored
    EXPECT_TRUE(Copy.Active());
}

TEST(Binding, TargetsReceiveSourceStampInOrderDepthFirst) {
    TIODouble Source, A, B, AChild;
    QStringList Order;
    A.OnInput = [&](TIOData *) { Order << "A"; };
    B.OnInput = [&](TIOData *) { Order << "B"; };
    AChild.OnInput = [&](TIOData *) { Order << "A.child"; };
    Source.SetValue(TVariant(1.5), 2000.0);
    A.SetSource(&Source, true);
    EXPECT_DOUBLE_EQ(A.AsDouble(), 1.5);
    EXPECT_DOUBLE_EQ(A.Stamp(), 2000.0);
    B.SetSource(&Source, false);
    EXPECT_DOUBLE_EQ(B.AsDouble(), 0);
    AChild.SetSource(&A, false);
    Order.clear();
    Source.SetValue(TVariant(2.5), 3000.0);
    EXPECT_EQ(Order, QStringList({"A", "A.child", "B"}));
    EXPECT_DOUBLE_EQ(B.Stamp(), 3000.0);
    EXPECT_DOUBLE_EQ(AChild.AsDouble(), 2.5);

    // Attaching again keeps one entry; a failing target does not stop the next.
    A.SetSource(&Source, false);
    EXPECT_EQ(Source.Targets().size(), 2u);
    A.OnInput = [](TIOData *) { throw std::runtime_error("consumer failed"); };
    Source.SetValue(TVariant(4.0));
    EXPECT_DOUBLE_EQ(B.AsDouble(), 4.0);

    B.Disconnect(&Source);
    EXPECT_EQ(Source.Targets().size(), 1u);
    EXPECT_EQ(B.Source(), &Source); // Disconnect leaves Source as it was
    A.SetSource(nullptr, false);
    EXPECT_TRUE(Source.Targets().empty());
    EXPECT_EQ(A.Source(), nullptr);
}

TEST(Binding, StampZeroMeansNow) {
    TIODouble D;
    const TDateTime Before = Now();
    D.SetValue(TVariant(1.0), 0);
    EXPECT_GE(D.Stamp(), Before);
    EXPECT_LE(D.Stamp(), Now());
}

TEST(Binding, DestroyedSourceLeavesTargetsSafe) {
    auto *Source = new TIODouble;
    TIODouble Target;
    Target.SetSource(Source, false);
    delete Source;
    EXPECT_EQ(Target.Source(), nullptr);
    Target.SetValue(TVariant(1.0)); // and its own destruction touches nothing freed
    EXPECT_DOUBLE_EQ(Target.AsDouble(), 1.0);
}
