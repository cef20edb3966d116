#pragma once
// The graph window: one reading (level or volume) over time, read from the
// archive for a range and, in current-readings mode, followed live.
#include "IODescription.h"
#include "uDateTime.h"
#include "uRangeDT.h"

#include <QMainWindow>
#include <QSharedPointer>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QCustomPlot;
class QCPGraph;
class QLabel;
class QScrollBar;
class TGraphData;

// Opens a new modal graph window of the archive TableName ("aLevel" or
// "aVolume") for Start..Stop, following Value (a device value, or nullptr)
// live; blocks until it is closed. 0, or -1 when the window failed.
int ShowGraph(const QString &Name, TIODouble *Value, const QString &Caption, TDateTime Start, TDateTime Stop);

// A visible time width preset: action name, caption, width in days.
struct TGraphPreset {
    const char *Name;
    const char *Caption;
    double Width;
};

// What "Экспорт в CSV…" asks for: the file, and the whole loaded range
// instead of the visible time window. An empty Path cancels.
struct TGraphCsvRequest {
    QString Path;
    bool WholeRange = false;
};

class TFormGraph : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int StatusPanels = 6;
    static constexpr int Presets = 12;

    explicit TFormGraph(QWidget *Parent = nullptr);
    ~TFormGraph() override;

    // Everything ShowGraph does before showing the window: caption, range,
    // archive, the attached value, the settings and the first view.
    void Open(const QString &TableName, TIODouble *Value, const QString &Caption, TDateTime Start, TDateTime Stop);
    // What a confirmed range dialog does: archive mode for Start..Stop.
    void ShowArchiveRange(TDateTime Start, TDateTime Stop);
    // Copies the view into the report and opens its preview.
    void FillReport();
    // "Экспорт в CSV…": asks for the file and writes the series there (see uArchiveCsv.h).
    void ExportCsv();
    // Writes the points of the visible time window, or all of them, to Path;
    // closing the window meanwhile cancels. False when nothing was written.
    bool ExportCsvTo(const QString &Path, bool WholeRange);
    // Replaces the dialog of ExportCsv (tests).
    static std::function<TGraphCsvRequest(QWidget *Parent, const QString &Folder)> CsvDialogHook;

    // State, for the report and for tests.
    QCustomPlot *Chart() const { return FChart; }
    QCPGraph *Series1() const { return FSeries1; }
    QCPGraph *Series2() const { return FSeries2; }
    QScrollBar *ScrollBar() const { return FScrollBar; }
    QString StatusText(int Panel) const;
    QAction *Action(const QString &Name) const;
    const TDescriptionOfDouble &Description() const;
    double YRange() const { return FYRange; }
    int StepIndex() const { return FStepIndex; }
    double XWidth() const { return FXWidth; }
    bool Scan() const { return FScan; }
    bool Points() const { return FPoints; }
    int Mode() const { return FMode; }
    const TRangeDT &Range() const { return FRange; }
    QString IniFileName() const { return FIniFileName; }
    // The chart's points (time as axis keys, see uGraphAxes.h).
    QSharedPointer<TGraphData> Data() const { return FData; }

protected:
    void closeEvent(QCloseEvent *Event) override;
    void showEvent(QShowEvent *Event) override;
    void keyPressEvent(QKeyEvent *Event) override;
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    void CreateChart();
    void CreateStatusBar();
    void CreateActions();
    void CreateMenus();
    QAction *NewAction(const char *Name, const QString &Caption, const QString &Hint = {});

    void LoadSettings();
    void SaveSettings();
    void LoadArchive(const QString &Name, TDateTime Start, TDateTime Stop);
    void AddPoint(TDateTime T, double V);
    void ApplyPoints();
    void SetXWidth(double W);
    void SetLeftAxis(const QString &Title, int Digits, double Min, double Max);
    void ShowAllX();
    void ShowAllY();
    void ShowAllXY();
    void SyncScrollBar();
    void UncheckIntervals();
    void ApplyStepIndex();
    void SetPreset(int K);
    void UpdateModeChecks();
    void UpdateScanChecks();
    void ShowRangeStatus();
    void ShowAxisStatus();
    void ShowSkippedDays(int Count);
    // Shows Text in status panel Panel, widening the panel when the text needs it.
    void SetStatusText(int Panel, const QString &Text);
    void SetCurrentRange();
    void ValueChanged();
    void UpdateMarks();
    void Replot();

    void actCurrentExecute();
    void actStartStopDTExecute();
    void actUndoZoomExecute();
    void actZoomExecute(double Percent);
    void actYRangeChangeExecute();
    void actYRangeSetExecute();
    void actSet4MilimetersExecute();
    void actPointsExecute(bool Show);
    void actScanEndOnExecute();
    void actScanEndOffExecute();
    void actMarksExecute();

    void ScrollBarChange(int Position);
    void ChartMouseMove(QMouseEvent *Event);
    void ChartZoomedByUser();
    void LeaveAutoView();
    bool HandleKey(QKeyEvent *Event);
    void ScrollValueAxis(double Fraction);
    void ScrollTimeAxis(double Fraction);
    void AttachValue(bool Attach);
    double CurrentValue() const;
    // Earliest and latest time held; false when the chart is empty.
    bool DataSpan(double &First, double &Last) const;

    double FYRange = 0;
    QString FIniFileName;
    double FXWidth = 0;
    int FStepIndex = 4;
    bool FScan = false;
    int FMode = 0;
    bool FScrollUpdating = false;
    TRangeDT FRange;
    QString FTableName;
    bool FPoints = false;
    std::unique_ptr<TIODouble> FValue;

    TIODouble *FSource = nullptr; // the device value FValue follows
    bool FXAuto = true;           // time axis follows the data (after undo zoom)
    bool FMarks = false;
    bool FClosed = false;
    bool FLoading = false;

    QCustomPlot *FChart = nullptr;
    QCPGraph *FSeries1 = nullptr;
    QCPGraph *FSeries2 = nullptr;
    QSharedPointer<TGraphData> FData;
    QScrollBar *FScrollBar = nullptr;
    std::array<QLabel *, StatusPanels> FStatus{};

    std::array<QAction *, Presets> FPresetActions{};
    QAction *actCurrent = nullptr;
    QAction *actStartStopDT = nullptr;
    QAction *actUndoZoom = nullptr;
    QAction *actZoomMinus = nullptr;
    QAction *actZoomPlus = nullptr;
    QAction *actShowAllX = nullptr;
    QAction *actShowAllY = nullptr;
    QAction *actYRangeSet = nullptr;
    QAction *actShowAllXY = nullptr;
    QAction *actPointsTrue = nullptr;
    QAction *actPointsFalse = nullptr;
    QAction *actScanEndOn = nullptr;
    QAction *actScanEndOff = nullptr;
    QAction *actReportPreview = nullptr;
    QAction *actExportCsv = nullptr;
    QAction *actClose = nullptr;
    QAction *actYRangeChange = nullptr;
    QAction *actSet4Milimeters = nullptr;
    QAction *actMarks = nullptr;
};

// The twelve presets, preset k at index k - 1.
extern const TGraphPreset GraphPresets[TFormGraph::Presets];

// Lets the main window's graph actions open this window.
void RegisterGraphWindow();
