// The tool bars of the main, graph and table-editor windows at their opening
// sizes: every button in sight (no extension button), captions that fit their
// buttons, and one distinct drawn picture per command.
#include "EngineRig.h"
#include "IODescription.h"
#include "RecordingMessages.h"
#include "TestEnvironment.h"
#include "fGraph.h"
#include "fMain.h"
#include "fTaraEditor.h"
#include "uBDE.h"
#include "uParamStr.h"
#include "uToolIcons.h"
#include "uWindows.h"

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QMainWindow>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string Name(const QObject *O) {
    return O->objectName().toStdString();
}

// Shows Window and lets its layouts settle; the width it was given to open
// with, before anything shown in it could widen it.
int ShowAndSettle(QWidget *Window) {
    const int OpeningWidth = Window->width();
    Window->show();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    return OpeningWidth;
}

std::vector<QToolBar *> BarsOf(const QMainWindow *Window) {
    std::vector<QToolBar *> Bars;
    for (QToolBar *Bar : Window->findChildren<QToolBar *>())
        if (Bar->parentWidget() == Window)
            Bars.push_back(Bar);
    return Bars;
}

// The visible command buttons of Bar, separators left out.
std::vector<QAction *> Commands(const QToolBar *Bar) {
    std::vector<QAction *> Result;
    for (QAction *A : Bar->actions())
        if (!A->isSeparator() && A->isVisible())
            Result.push_back(A);
    return Result;
}

// No extension button, every button inside its bar and every bar inside the
// window, each caption as wide as its button allows; no bar needs more than
// the width the window opens with.
void ExpectEverythingInSight(const QMainWindow *Window, int OpeningWidth) {
    const std::vector<QToolBar *> Bars = BarsOf(Window);
    ASSERT_FALSE(Bars.empty()) << Name(Window);
    for (const QToolBar *Bar : Bars) {
        SCOPED_TRACE(Name(Window) + "/" + Name(Bar));
        ASSERT_TRUE(Bar->isVisible());
        EXPECT_TRUE(Window->rect().contains(Bar->geometry()));
        EXPECT_LE(Bar->sizeHint().width(), OpeningWidth);
        const auto *Extension = Bar->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button"));
        ASSERT_NE(Extension, nullptr);
        EXPECT_FALSE(Extension->isVisible());
        for (QAction *A : Commands(Bar)) {
            const QWidget *W = Bar->widgetForAction(A);
            ASSERT_NE(W, nullptr) << Name(A);
            EXPECT_TRUE(W->isVisible()) << Name(A);
            EXPECT_TRUE(Bar->rect().contains(W->geometry())) << Name(A);
            const auto *Button = qobject_cast<const QToolButton *>(W);
            ASSERT_NE(Button, nullptr) << Name(A);
            EXPECT_GE(Button->width(), Button->sizeHint().width()) << Name(A);
            if (A->icon().isNull()) {
                const QFontMetrics Metrics(Button->font());
                EXPECT_FALSE(Button->text().isEmpty()) << Name(A);
                EXPECT_LE(Metrics.horizontalAdvance(Button->text()), Button->contentsRect().width()) << Name(A);
                EXPECT_LE(Metrics.height(), Button->contentsRect().height()) << Name(A);
            }
        }
    }
}

QImage Picture(const QIcon &Icon, QIcon::Mode Mode = QIcon::Normal) {
    return Icon.pixmap(QSize(24, 24), 1.0, Mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Pixels whose colour or cover differs plainly between two pictures.
int Differences(const QImage &A, const QImage &B) {
    int Count = 0;
    for (int Y = 0; Y < A.height(); ++Y)
        for (int X = 0; X < A.width(); ++X) {
            const QRgb P = A.pixel(X, Y), Q = B.pixel(X, Y);
            const int D = std::max({std::abs(qRed(P) - qRed(Q)), std::abs(qGreen(P) - qGreen(Q)),
                                    std::abs(qBlue(P) - qBlue(Q)), std::abs(qAlpha(P) - qAlpha(Q))});
            Count += D > 64;
        }
    return Count;
}

int Covered(const QImage &Image) {
    int Count = 0;
    for (int Y = 0; Y < Image.height(); ++Y)
        for (int X = 0; X < Image.width(); ++X)
            Count += qAlpha(Image.pixel(X, Y)) > 128;
    return Count;
}

// Two pictures tell apart at a glance when this many pixels differ.
constexpr int kDistinct = 12;

struct TNamedPicture {
    std::string Name;
    QImage Image;
};

void ExpectPairwiseDistinct(const std::vector<TNamedPicture> &Pictures) {
    for (size_t i = 0; i < Pictures.size(); ++i)
        for (size_t j = i + 1; j < Pictures.size(); ++j)
            EXPECT_GE(Differences(Pictures[i].Image, Pictures[j].Image), kDistinct)
                << Pictures[i].Name << " and " << Pictures[j].Name << " look alike";
}

class ToolBars : public ::testing::Test {
protected:
    void SetUp() override {
        SetFullMode(false);
        WindowHooks() = TWindowHooks();
        Rig = std::make_unique<TEngineRig>();
        SetDbPath(Rig->Folder().File(QStringLiteral("DATA")));
        Level.Description.Title = QStringLiteral("Уровень");
        Level.Description.Dimension = QStringLiteral("мм");
        Level.Description.SetMinMax(0, 100);
    }
    void TearDown() override {
        Graph.reset();
        Main.reset();
        Rig.reset();
        WindowHooks() = TWindowHooks();
    }
    TFormMain &OpenMain() {
        Main = std::make_unique<TFormMain>();
        MainWidth = ShowAndSettle(Main.get());
        return *Main;
    }
    TFormGraph &OpenGraph() {
        Graph = std::make_unique<TFormGraph>();
        Graph->Open(QStringLiteral("aLevel"), &Level, QStringLiteral("График уровня"), Now() - 1, Now());
        GraphWidth = ShowAndSettle(Graph.get());
        return *Graph;
    }

    TRecordingMessages Messages;
    std::unique_ptr<TEngineRig> Rig;
    std::unique_ptr<TFormMain> Main;
    std::unique_ptr<TFormGraph> Graph;
    int MainWidth = 0, GraphWidth = 0;
    TIODouble Level;
};

} // namespace

TEST_F(ToolBars, MainWindowShowsEveryButtonAtItsOpeningSize) {
    const TFormMain &Form = OpenMain();
    EXPECT_LE(MainWidth, TFormMain::DefaultWidth); // less where the first start fits it to a small screen
    ExpectEverythingInSight(&Form, MainWidth);
}

TEST_F(ToolBars, MainWindowButtonsArePicturesExceptTheEchoRadix) {
    const TFormMain &Form = OpenMain();
    for (QAction *A : Commands(Form.ToolBar)) {
        const auto *Button = qobject_cast<const QToolButton *>(Form.ToolBar->widgetForAction(A));
        ASSERT_NE(Button, nullptr) << Name(A);
        if (A == Form.act10 || A == Form.act16) {
            EXPECT_TRUE(A->icon().isNull()) << Name(A);
            EXPECT_EQ(Button->text(), A->text());
            continue;
        }
        EXPECT_FALSE(A->icon().isNull()) << Name(A);
        EXPECT_GT(Covered(Picture(A->icon())), 40) << Name(A);
        EXPECT_FALSE(A->toolTip().isEmpty()) << Name(A);
    }
    // The reading buttons name themselves in their tool tips.
    EXPECT_EQ(Form.actLevelRead->toolTip(), "Считать уровень");
    EXPECT_EQ(Form.actVolumeRead->toolTip(), "Считать объем");
    EXPECT_EQ(Form.actFreqRead->toolTip(), "Считать частоту");
    EXPECT_EQ(Form.actReadAll->toolTip(), "Считать все показания");
    EXPECT_EQ(Form.actAllParamRead->toolTip(), "Считать все параметры из прибора");
}

TEST_F(ToolBars, GraphWindowShowsEveryButtonAtItsOpeningSize) {
    const TFormGraph &Form = OpenGraph();
    EXPECT_EQ(GraphWidth, 1100);
    ExpectEverythingInSight(&Form, GraphWidth);
    const std::vector<QToolBar *> Bars = BarsOf(&Form);
    ASSERT_EQ(Bars.size(), 2u);
    // The presets make the second row, under the first.
    QToolBar *Intervals = Form.findChild<QToolBar *>(QStringLiteral("IntervalBar"));
    QToolBar *Tools = Form.findChild<QToolBar *>(QStringLiteral("ToolBar"));
    ASSERT_NE(Intervals, nullptr);
    ASSERT_NE(Tools, nullptr);
    EXPECT_GE(Intervals->y(), Tools->geometry().bottom());
    EXPECT_EQ(Commands(Intervals).size(), size_t(TFormGraph::Presets));
    EXPECT_EQ(Commands(Intervals).front()->objectName(), "actSet5Min");
    EXPECT_EQ(Commands(Intervals).back()->objectName(), "actSetOneMonth");
    // The mode buttons keep their captions; the rest of the first row are pictures.
    for (QAction *A : Commands(Tools)) {
        const bool Mode = A == Form.Action(QStringLiteral("actCurrent")) ||
                          A == Form.Action(QStringLiteral("actStartStopDT"));
        EXPECT_EQ(A->icon().isNull(), Mode) << Name(A);
    }
    EXPECT_EQ(Commands(Tools).size(), 15u);
}

TEST_F(ToolBars, TableEditorShowsEveryButtonAtItsOpeningSize) {
    auto Form = std::make_unique<TFormTaraEditor>();
    const int OpeningWidth = ShowAndSettle(Form.get());
    ExpectEverythingInSight(Form.get(), OpeningWidth);
}

TEST_F(ToolBars, MainAndGraphPicturesAreAllDifferent) {
    const TFormMain &MainForm = OpenMain();
    const TFormGraph &GraphForm = OpenGraph();
    std::vector<TNamedPicture> Pictures;
    for (const QMainWindow *Window : {static_cast<const QMainWindow *>(&MainForm),
                                      static_cast<const QMainWindow *>(&GraphForm)})
        for (const QToolBar *Bar : BarsOf(Window))
            for (const QAction *A : Bar->actions())
                if (!A->isSeparator() && !A->icon().isNull())
                    Pictures.push_back({Name(Window) + "/" + Name(A), Picture(A->icon())});
    EXPECT_EQ(Pictures.size(), 17u + 13u);
    ExpectPairwiseDistinct(Pictures);
}

TEST(ToolIcons, EveryPictureIsDrawnDistinctAndGreysOutWhenDisabled) {
    std::vector<TNamedPicture> Pictures;
    for (int i = 0; i < int(TToolIcon::Count); ++i) {
        SCOPED_TRACE(i);
        const QIcon Icon = ToolIcon(TToolIcon(i));
        ASSERT_FALSE(Icon.isNull());
        const QImage Normal = Picture(Icon);
        EXPECT_EQ(Normal.size(), QSize(24, 24));
        EXPECT_GT(Covered(Normal), 40);
        EXPECT_LT(Covered(Normal), 24 * 24 - 40);
        // Drawn, not scaled: sharp at small and large sizes alike.
        for (int Side : {16, 32, 48}) {
            const QImage Sized = Icon.pixmap(QSize(Side, Side), 1.0).toImage();
            EXPECT_EQ(Sized.size(), QSize(Side, Side));
            EXPECT_GT(Covered(Sized.convertToFormat(QImage::Format_ARGB32)), Side * Side / 16);
        }
        const QImage Disabled = Picture(Icon, QIcon::Disabled);
        EXPECT_GE(Differences(Normal, Disabled), kDistinct);
        bool Grey = true, Painted = false;
        for (int Y = 0; Y < 24; ++Y)
            for (int X = 0; X < 24; ++X) {
                const QRgb P = Disabled.pixel(X, Y);
                Painted = Painted || qAlpha(P) > 0;
                Grey = Grey && (qAlpha(P) == 0 || (qRed(P) == qGreen(P) && qGreen(P) == qBlue(P)));
            }
        EXPECT_TRUE(Painted);
        EXPECT_TRUE(Grey);
        Pictures.push_back({std::to_string(i), Normal});
    }
    ExpectPairwiseDistinct(Pictures);
    EXPECT_TRUE(ToolIcon(TToolIcon::Count).isNull());
}
