#include "rGraph.h"
#include <QDir>
#include <QStandardPaths>
#include "uLanx1Instance.h"
#include "uRequestDevices.h"

#include "uDateTime.h"
#include "uFormat.h"
#include "uGapGraph.h"
#include "uGraphAxes.h"

#include <QAction>
#include <QFileDialog>
#include <QLoggingCategory>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>
#include <qcustomplot.h>

Q_LOGGING_CATEGORY(lcReport, "lanx1.report")

TRepGraph *RepGraph = nullptr;

namespace {

// The page is laid out in design pixels of 1/96 inch; the band is the whole
// printable area.
constexpr double kDesignDpi = 96.0;
constexpr int kTitleFontPx = 16;   // 12 pt
constexpr int kLabelFontPx = 13;   // 10 pt
constexpr int kCreatedTop = 8;
constexpr int kFilterTop = 32;
constexpr int kChartTop = 48;
constexpr int kGap = 6;

QFont PixelFont(int Pixels, bool Bold = false) {
    QFont F;
    F.setPixelSize(Pixels);
    F.setBold(Bold);
    return F;
}

QString DateTimePattern() {
    const TFormatSettings &S = DefaultFormatSettings();
    return S.ShortDateFormat + u' ' + S.LongTimeFormat;
}

} // namespace

void CreateRepGraph() {
    if (!RepGraph)
        RepGraph = new TRepGraph;
}

void DestroyRepGraph() {
    delete RepGraph;
    RepGraph = nullptr;
}

bool SaveReportPdf(const QString &Path) {
    CreateRepGraph();
    return RepGraph->SaveReportPdf(Path);
}

TRepGraph::TRepGraph(QObject *Parent) : QObject(Parent), FTitle(QStringLiteral("График")),
      FFilterDescribe(QStringLiteral("Отчет за")) {
    // Never shown: it only draws onto the page.
    FChart = new QCustomPlot;
    FChart->setObjectName(QStringLiteral("QRDBChart1"));
    FChart->xAxis->setTicker(QSharedPointer<TDateTimeTicker>::create(QStringLiteral("dd.MM.yy HH:mm:ss")));
    FChart->yAxis->setTicker(QSharedPointer<TNumberTicker>::create(2));
    // Fonts in pixels: the chart is drawn scaled to the page, and a size in
    // points would be scaled by the device resolution a second time.
    for (QCPAxis *A : {FChart->xAxis, FChart->yAxis}) {
        A->setTickLabelFont(PixelFont(11));
        A->setLabelFont(PixelFont(kLabelFontPx));
    }
    FSeries1 = new TGapGraph(FChart->xAxis, FChart->yAxis);
    FSeries1->setName(QStringLiteral("Series1"));
    FSeries1->setPen(QPen(Qt::blue));
    FSeries1->setAdaptiveSampling(true);
}

TRepGraph::~TRepGraph() {
    delete FChart;
}

void TRepGraph::Fill(const QString &Caption, const QCustomPlot *Source, const QCPGraph *Series, bool Points) {
    try {
        const QCPAxis *SX = Source->xAxis;
        const QCPAxis *SY = Source->yAxis;
        FChart->yAxis->setRange(SY->range());
        FChart->yAxis->setLabel(SY->label());

        // Only the visible window is printed, so only its points are copied
        // (and the nearest one outside on each side, for the line to the edge).
        QVector<QCPGraphData> Copy;
        const QSharedPointer<QCPGraphDataContainer> Data = Series->data();
        auto Begin = Data->findBegin(SX->range().lower, true);
        const auto End = Data->findEnd(SX->range().upper, true);
        Copy.reserve(End - Begin);
        for (; Begin != End; ++Begin)
            Copy.append(*Begin);
        FSeries1->data()->set(Copy, true);
        // The printed line breaks where the window's does.
        if (const auto *Gaps = dynamic_cast<const TGapGraph *>(Series))
            static_cast<TGapGraph *>(FSeries1)->SetMaxGap(Gaps->MaxGap());

        FSeries1->setScatterStyle(Points ? QCPScatterStyle(QCPScatterStyle::ssSquare, Qt::blue, 1)
                                         : QCPScatterStyle(QCPScatterStyle::ssNone));
        // Whose readings they are: the device's plant number after the caption.
        const int Plant = ReportPlantNumber();
        FTitle = Plant > 0 ? Caption + QStringLiteral(", установка № ") + QString::number(Plant) : Caption;
        FPdfName = (Plant > 0 ? QString::number(Plant) + u'_' : QString()) +
                   FormatKey(QStringLiteral("yyyy-MM-dd"), SX->range().lower) + QStringLiteral(".pdf");
        FChart->xAxis->setRange(SX->range());
        if (const auto T = SY->ticker().dynamicCast<TNumberTicker>())
            FChart->yAxis->setTicker(QSharedPointer<TNumberTicker>::create(T->Digits()));
        FChart->yAxis->setNumberFormat(SY->numberFormat());
        FChart->yAxis->setNumberPrecision(SY->numberPrecision());
        FFilterDescribe = QStringLiteral("с ") + FormatKey(DateTimePattern(), SX->range().lower) +
                          QStringLiteral(" по ") + FormatKey(DateTimePattern(), SX->range().upper);
    } catch (const std::exception &E) {
        qCWarning(lcReport) << "report not filled:" << E.what();
    }
}

int ReportPlantNumber() {
    if (RequestDevices && RequestDevices->KnownPlantNumber() != kPlantUnknown)
        return RequestDevices->KnownPlantNumber();
    return Lanx1 ? Lanx1->PlantNumber() : 0;
}

QString TRepGraph::DefaultPdfPath() const {
    const QString Documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString Folder = !Documents.isEmpty() && QDir(Documents).exists() ? Documents : QDir::homePath();
    return QDir(Folder).filePath(FPdfName.isEmpty() ? QStringLiteral("График.pdf") : FPdfName);
}

QPageLayout TRepGraph::PageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(20, 10, 20, 20),
                       QPageLayout::Millimeter);
}

void TRepGraph::RenderPage(QCPPainter *Painter, int Width, int Height) {
    const double Scale = Painter->device()->logicalDpiX() / kDesignDpi;
    const int W = static_cast<int>(Width / Scale);
    const int H = static_cast<int>(Height / Scale);
    Painter->save();
    Painter->scale(Scale, Scale);
    Painter->fillRect(QRect(0, 0, W, H), Qt::white);
    Painter->setPen(Qt::black);

    Painter->setFont(PixelFont(kTitleFontPx, true));
    Painter->drawText(QRect(0, 0, W, kFilterTop), Qt::AlignHCenter | Qt::AlignTop, FTitle);

    // Creation date and time: the moment of printing or previewing.
    Painter->setFont(PixelFont(kLabelFontPx));
    const QFontMetrics M(Painter->font());
    const QString Created = QStringLiteral("Отчет создан:");
    const TDateTime T = Now();
    const TFormatSettings &S = DefaultFormatSettings();
    const QString Date = FormatDateTime(S.ShortDateFormat, T);
    const QString Time = FormatDateTime(S.LongTimeFormat, T);
    int X = 0;
    const int Baseline = kCreatedTop + M.ascent();
    for (const QString &Text : {Created, Date, Time}) {
        Painter->drawText(X, Baseline, Text);
        X += M.horizontalAdvance(Text) + kGap;
    }
    Painter->drawText(0, kFilterTop + M.ascent(), FFilterDescribe);

    const int ChartHeight = H - kChartTop;
    if (ChartHeight > 0 && W > 0) {
        Painter->translate(0, kChartTop);
        FChart->toPainter(Painter, W, ChartHeight);
    }
    Painter->restore();
}

bool TRepGraph::SaveReportPdf(const QString &Path) {
    try {
        QPrinter Printer(QPrinter::HighResolution);
        Printer.setOutputFormat(QPrinter::PdfFormat);
        Printer.setOutputFileName(Path);
        Printer.setPageLayout(PageLayout());
        Printer.setCreator(QStringLiteral("lanx1"));
        Printer.setDocName(FTitle);
        QCPPainter Painter;
        if (!Painter.begin(&Printer)) {
            qCWarning(lcReport) << "PDF not writable" << Path;
            return false;
        }
        Painter.setMode(QCPPainter::pmVectorized);
        Painter.setMode(QCPPainter::pmNoCaching);
        Painter.setMode(QCPPainter::pmNonCosmetic);
        const QRect Page = Printer.pageLayout().paintRectPixels(Printer.resolution());
        RenderPage(&Painter, Page.width(), Page.height());
        return Painter.end();
    } catch (const std::exception &E) {
        qCWarning(lcReport) << "PDF not written:" << E.what();
        return false;
    }
}

void TRepGraph::Preview(QWidget *Parent) {
    try {
        QPrinter Printer(QPrinter::HighResolution);
        Printer.setPageLayout(PageLayout());
        Printer.setDocName(FTitle);
        QPrintPreviewDialog Dialog(&Printer, Parent);
        Dialog.setObjectName(QStringLiteral("ReportPreview"));
        Dialog.setWindowTitle(FTitle);
        connect(&Dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter *P) {
            QCPPainter Painter;
            if (!Painter.begin(P))
                return;
            Painter.setMode(QCPPainter::pmVectorized);
            Painter.setMode(QCPPainter::pmNoCaching);
            Painter.setMode(QCPPainter::pmNonCosmetic);
            const QRect Page = P->pageLayout().paintRectPixels(P->resolution());
            RenderPage(&Painter, Page.width(), Page.height());
        });
        if (auto *Tools = Dialog.findChild<QToolBar *>()) {
            QAction *Save = Tools->addAction(QStringLiteral("Сохранить в PDF"));
            Save->setObjectName(QStringLiteral("actSavePdf"));
            connect(Save, &QAction::triggered, &Dialog, [this, &Dialog] {
                const QString Path =
                    QFileDialog::getSaveFileName(&Dialog, QStringLiteral("Сохранить в PDF"), DefaultPdfPath(),
                                                 QStringLiteral("PDF (*.pdf)"));
                if (!Path.isEmpty())
                    SaveReportPdf(Path);
            });
        }
        Dialog.exec();
    } catch (const std::exception &E) {
        qCWarning(lcReport) << "preview failed:" << E.what();
    }
}
