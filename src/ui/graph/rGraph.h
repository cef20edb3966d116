#pragma once
// The printable page of a graph: heading, creation date and time, the time
// span covered and a copy of the chart as the graph window shows it, on one
// A4 landscape page. Shown in a print preview that prints and saves PDF.
#include <QObject>
#include <QPageLayout>
#include <QString>

class QCustomPlot;
class QCPGraph;
class QCPPainter;
class QWidget;

class TRepGraph : public QObject {
    Q_OBJECT
public:
    explicit TRepGraph(QObject *Parent = nullptr);
    ~TRepGraph() override;

    // Copies the chart: the visible time and value windows, the value axis
    // title and format, and the points of Series that the time window shows
    // (with one neighbour each side, so lines leave the page edge as on
    // screen); the points held before are dropped. Markers when Points.
    void Fill(const QString &Caption, const QCustomPlot *Source, const QCPGraph *Series, bool Points);
    // The modal preview; printing and saving as PDF are offered there.
    void Preview(QWidget *Parent);
    // Writes the page as a PDF file; false when it could not be written.
    bool SaveReportPdf(const QString &Path);
    // Draws the page on Painter, whose device is the printable area, Width x
    // Height device pixels at the device's resolution.
    void RenderPage(QCPPainter *Painter, int Width, int Height);

    // A4 landscape, margins 20 mm left, right and bottom, 10 mm top.
    static QPageLayout PageLayout();

    QString TitleText() const { return FTitle; }
    // Where "Сохранить в PDF" proposes to save: <plant>_<first day>.pdf in the
    // user's documents folder (the home folder when there is none).
    QString DefaultPdfPath() const;
    QString FilterDescribeText() const { return FFilterDescribe; }
    QCustomPlot *Chart() const { return FChart; }
    QCPGraph *Series1() const { return FSeries1; }

private:
    QString FTitle;
    QString FFilterDescribe;
    QString FPdfName;
    QCustomPlot *FChart = nullptr;
    QCPGraph *FSeries1 = nullptr;
};

// The plant number a report names: the one the device told, else the one
// the device object holds; 0 when none is known.
int ReportPlantNumber();

// The one report of the program, created at start-up before the main window.
extern TRepGraph *RepGraph;
void CreateRepGraph();
void DestroyRepGraph();
// RepGraph->SaveReportPdf, creating the report when there is none.
bool SaveReportPdf(const QString &Path);
