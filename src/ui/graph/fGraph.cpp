#include "fGraph.h"
#include "uWindows.h"

#include "fInputDouble.h"
#include "fProgressBar.h"
#include "fRangeDT.h"
#include "rGraph.h"
#include "uBDE.h"
#include "uDataCtrl.h"
#include "uEscapeKey.h"
#include "uGraphAxes.h"
#include "uGraphData.h"
#include "uIniFile.h"
#include "uMessages.h"
#include "uParamStr.h"
#include "uSysUtils.h"
#include "uWindowPosition.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QLabel>
#include <QLoggingCategory>
#include <QPointer>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTimer>
#include <qcustomplot.h>

#include <cmath>

Q_LOGGING_CATEGORY(lcGraph, "lanx1.graph")

namespace {

const QString kSection = QStringLiteral("Parameters");
constexpr double kSecondsPerDay = 86400.0;

constexpr int kDefaultPreset = 8;

} // namespace

const TGraphPreset GraphPresets[TFormGraph::Presets] = {
    {"actSet5Min", "5 минут", 5.0 / 1440},       {"actSet15Min", "15 минут", 15.0 / 1440},
    {"actSet30Min", "30 минут", 30.0 / 1440},    {"actSet45Min", "45 минут", 45.0 / 1440},
    {"actSetOneHour", "1 час", 1.0 / 24},        {"actSetSixHour", "6 часов", 6.0 / 24},
    {"actSetTwelveHour", "12 часов", 12.0 / 24}, {"actSetOneDay", "1 день", 1},
    {"actSetThreeDay", "3 дня", 3},              {"actSetOneWeek", "7 дней", 7},
    {"actSetTenDay", "10 дней", 10},             {"actSetOneMonth", "1 месяц", 30},
};

int ShowGraph(const QString &Name, TIODouble *Value, const QString &Caption, TDateTime Start, TDateTime Stop) {
    try {
        QPointer<TFormGraph> Form = new TFormGraph;
        Form->setAttribute(Qt::WA_DeleteOnClose);
        Form->Open(Name, Value, Caption, Start, Stop);
        Form->setWindowModality(Qt::ApplicationModal);
        Form->show();
        QEventLoop Loop;
        QObject::connect(Form, &QObject::destroyed, &Loop, &QEventLoop::quit);
        if (Form)
            Loop.exec();
        return 0;
    } catch (const std::exception &E) {
        qCWarning(lcGraph) << "graph window failed:" << E.what();
    } catch (...) {
        qCWarning(lcGraph) << "graph window failed";
    }
    return -1;
}

TFormGraph::TFormGraph(QWidget *Parent) : QMainWindow(Parent) {
    setObjectName(QStringLiteral("FormGraph"));
    resize(1100, 580);
    FIniFileName = JoinPath(ProgramDir(), QStringLiteral("INI/fGraph.ini"));

    FValue = std::make_unique<TIODouble>();
    TDescriptionOfDouble &D = FValue->Description;
    D.Title = QStringLiteral("Значение");
    D.Hint = QStringLiteral("Значение параметра");
    D.Dimension.clear();
    D.SetMinMax(0, 100);
    D.Precision = 10;
    D.Digits = 255;
    AttachValue(true);

    CreateChart();
    CreateStatusBar();
    CreateActions();
    CreateMenus();

    actPointsExecute(false);
    actScanEndOffExecute();
    LoadWindowPosition(this);
    SetCurrentRange();
}

TFormGraph::~TFormGraph() {
    // The device value must not keep calling into a window that is gone.
    FValue.reset();
}

// ---- opening and closing ----

void TFormGraph::Open(const QString &TableName, TIODouble *Value, const QString &Caption, TDateTime Start,
                      TDateTime Stop) {
    FYRange = 0;
    setWindowTitle(Caption);
    FTableName = TableName;
    FRange.SetRange(Start, Stop);
    LoadArchive(TableName, FRange.GetStart(), FRange.GetStop());
    if (Value) {
        FValue->Assign(Value);
        FValue->SetSource(Value, false);
        FSource = Value;
        const TDescriptionOfDouble &D = FValue->Description;
        SetLeftAxis(D.Title + QStringLiteral(", ") + D.Dimension, D.Digits, D.GetMin(), D.GetMax());
    }
    LoadSettings();
    ApplyPoints();
    UpdateScanChecks();
    ShowAllX();
    ApplyStepIndex();
}

void TFormGraph::showEvent(QShowEvent *Event) {
    QMainWindow::showEvent(Event);
    ShowRangeStatus();
}

void TFormGraph::closeEvent(QCloseEvent *Event) {
    if (!FClosed) {
        FClosed = true;
        FValue.reset();
        SaveSettings();
        try {
            SaveWindowPosition(this);
        } catch (const std::exception &E) {
            qCWarning(lcGraph) << "window position not saved:" << E.what();
        }
    }
    Event->accept();
}

void TFormGraph::LoadSettings() {
    const TIniFile Ini(FIniFileName);
    FStepIndex = Ini.ReadInteger(kSection, QStringLiteral("dtStepIndex"), 4);
    FPoints = Ini.ReadBool(kSection, QStringLiteral("Points"), false);
    FScan = Ini.ReadBool(kSection, QStringLiteral("Scan"), false);
    FYRange = Ini.ReadFloat(kSection, QStringLiteral("YRange"), 0);
    // A negative or non-finite span from a hand-edited file would turn the
    // value axis inside out or make it unusable.
    if (!std::isfinite(FYRange) || FYRange < 0)
        FYRange = 0;
}

void TFormGraph::SaveSettings() {
    try {
        if (!ForceFile(FIniFileName)) {
            qCWarning(lcGraph) << "settings file not creatable" << FIniFileName;
            return;
        }
        TIniFile Ini(FIniFileName);
        Ini.WriteInteger(kSection, QStringLiteral("dtStepIndex"), FStepIndex);
        Ini.WriteBool(kSection, QStringLiteral("Points"), FPoints);
        Ini.WriteBool(kSection, QStringLiteral("Scan"), FScan);
        Ini.WriteFloat(kSection, QStringLiteral("YRange"), FYRange);
    } catch (const std::exception &E) {
        qCWarning(lcGraph) << "settings not saved:" << E.what();
    }
}

// ---- the data ----

void TFormGraph::LoadArchive(const QString &Name, TDateTime Start, TDateTime Stop) {
    // The progress window lets input through between days: a second load
    // started from there would pull the container from under this one.
    if (FLoading)
        return;
    const QScopedValueRollback Guard(FLoading, true);
    // A fresh container: the room of a larger earlier range is given back.
    FData = QSharedPointer<TGraphData>::create();
    FSeries1->setData(FData);
    const QSharedPointer<TGraphData> Data = FData;
    FData->Reserve(static_cast<qsizetype>(ArchiveRangeRowEstimate(Name, Start, Stop)));
    // Missing, empty, locked or damaged days are skipped: the rest is shown.
    const TArchiveRangeResult R = ReadArchiveRangeByDay(
        Name, Start, Stop, [&Data](const TArchiveSeries &Day) { Data->AppendArchive(Day); },
        [this](int Day, int DayCount) {
            ShowProgress(QStringLiteral("Загрузка архива"), Day, DayCount - 1);
            return !FClosed;
        });
    ShowSkippedDays(static_cast<int>(R.SkippedDays.size()));
    CloseProgress();
    if (FData->BytesHeld() > 2 * qint64(sizeof(QCPGraphData)) * (FData->size() + 1024))
        FData->Squeeze();
    if (FXAuto)
        ShowAllX();
    SyncScrollBar();
    ShowAxisStatus();
    if (FData->isEmpty())
        ShowMessageBox(QStringLiteral("Внимание"), QStringLiteral("Отсутствуют данные"), TMsgIcon::Warning);
    Replot();
}

void TFormGraph::AddPoint(TDateTime T, double V) {
    const QCPGraphData P(KeyFromDateTime(T), V);
    FData->add(P);
    if (FPoints && FValue && FValue->OnOutput)
        FSeries2->data()->add(P);
    if (FXAuto) {
        double First = 0, Last = 0;
        if (DataSpan(First, Last) && Last > First)
            FChart->xAxis->setRange(First, Last);
    }
}

void TFormGraph::ApplyPoints() {
    if (FPoints) {
        FSeries2->data()->set(*FData);
        FSeries2->setVisible(true);
    } else {
        FSeries2->data()->clear();
        FSeries2->setVisible(false);
    }
    actPointsTrue->setChecked(FPoints);
    actPointsFalse->setChecked(!FPoints);
    Replot();
}

bool TFormGraph::DataSpan(double &First, double &Last) const {
    if (FData->isEmpty())
        return false;
    First = FData->constBegin()->key;
    Last = (FData->constEnd() - 1)->key;
    return true;
}

double TFormGraph::CurrentValue() const {
    return FValue ? FValue->AsDouble() : 0.0;
}

void TFormGraph::AttachValue(bool Attach) {
    if (!FValue)
        return;
    if (Attach)
        FValue->OnOutput = [this](TIOData *) { ValueChanged(); };
    else
        FValue->OnOutput = nullptr;
}

void TFormGraph::ValueChanged() {
    const TDescriptionOfDouble &D = FValue->Description;
    const double V = CurrentValue();
    SetStatusText(3, D.Digits == 255 ? QString() : GraphNumberText(V, D.Precision, D.Digits));
    AddPoint(Now(), V);
    if (FScan) {
        if (FScrollBar->value() != 100)
            FScrollBar->setValue(100);
        else
            ScrollBarChange(100);
        actSet4MilimetersExecute();
    }
    ShowAxisStatus();
    SyncScrollBar();
    Replot();
}

// ---- axes ----

void TFormGraph::SetXWidth(double W) {
    FXWidth = W;
    FXAuto = false;
    const double Max = FChart->xAxis->range().upper;
    FChart->xAxis->setRange(Max - W * kSecondsPerDay, Max);
    Replot();
}

void TFormGraph::SetLeftAxis(const QString &Title, int Digits, double Min, double Max) {
    FChart->yAxis->setLabel(Title);
    if (Min <= Max)
        FChart->yAxis->setRange(Min, Max);
    if (auto T = FChart->yAxis->ticker().dynamicCast<TNumberTicker>())
        T->SetDigits(Digits);
    Replot();
}

void TFormGraph::ShowAllX() {
    double First = 0, Last = 0;
    if (!DataSpan(First, Last)) {
        // Nothing archived in the range: the axis shows the range chosen,
        // not the start of the epoch.
        First = KeyFromDateTime(FRange.GetStart());
        Last = KeyFromDateTime(FRange.GetStop());
    }
    if (Last > First)
        FChart->xAxis->setRange(First, Last);
    LeaveAutoView();
    Replot();
}

void TFormGraph::ShowAllY() {
    bool Found = false;
    QCPRange R = FSeries1->getValueRange(Found, QCP::sdBoth, FChart->xAxis->range());
    if (!Found)
        return;
    if (R.lower == R.upper) {
        R.lower -= 0.01;
        R.upper += 0.01;
    }
    FChart->yAxis->setRange(R);
    Replot();
}

void TFormGraph::ShowAllXY() {
    double First = 0, Last = 0;
    if (DataSpan(First, Last)) {
        FChart->xAxis->setRange(First, Last);
        bool Found = false;
        QCPRange R = FSeries1->getValueRange(Found);
        if (Found) {
            if (R.lower == R.upper) {
                R.lower -= 0.01;
                R.upper += 0.01;
            }
            FChart->yAxis->setRange(R);
        }
    }
    LeaveAutoView();
    Replot();
}

void TFormGraph::SyncScrollBar() {
    FScrollUpdating = true;
    if (FXAuto) {
        FScrollBar->setEnabled(false);
    } else {
        FScrollBar->setEnabled(true);
        double First = 0, Last = 0;
        if (DataSpan(First, Last) && Last > First) {
            const double S = Last - First;
            const QCPRange R = FChart->xAxis->range();
            // A window that starts at the earliest point is the start position,
            // whatever its width (see ScrollBarChange).
            const double P = R.lower <= First && R.upper < Last
                                 ? 0.0
                                 : 100.0 - std::nearbyint((Last - R.upper) * 100.0 / S);
            FScrollBar->setValue(static_cast<int>(std::clamp(P, 0.0, 100.0)));
        }
    }
    FScrollUpdating = false;
}

void TFormGraph::ScrollBarChange(int Position) {
    if (FScrollUpdating)
        return;
    double First = 0, Last = 0;
    if (!DataSpan(First, Last))
        return;
    const double S = Last - First;
    const double W = FChart->xAxis->range().size();
    FXAuto = false;
    if (Position <= 0) {
        // The start shows the first readings: the window begins at the
        // earliest point (the formula below would end it there, leaving the
        // window empty but for that point).
        FChart->xAxis->setRange(First, First + W);
    } else {
        const double Max = Last - S * (100 - Position) / 100.0;
        FChart->xAxis->setRange(Max - W, Max);
    }
    ShowAxisStatus();
    Replot();
}

void TFormGraph::UncheckIntervals() {
    for (QAction *A : FPresetActions)
        A->setChecked(false);
}

void TFormGraph::SetPreset(int K) {
    FStepIndex = K;
    SetXWidth(GraphPresets[K - 1].Width);
    ShowAxisStatus();
    SyncScrollBar();
    UncheckIntervals();
    FPresetActions[K - 1]->setChecked(true);
}

void TFormGraph::ApplyStepIndex() {
    SetPreset(FStepIndex >= 1 && FStepIndex <= Presets ? FStepIndex : kDefaultPreset);
}

// ---- modes ----

void TFormGraph::SetCurrentRange() {
    FMode = 0;
    const TDateTime T = Now();
    FRange.SetRange(T - 1, T);
    UpdateModeChecks();
}

void TFormGraph::UpdateModeChecks() {
    actCurrent->setChecked(FMode == 0);
    actStartStopDT->setChecked(FMode == 1);
    actScanEndOn->setEnabled(FMode == 0);
}

void TFormGraph::UpdateScanChecks() {
    actScanEndOn->setChecked(FScan);
    actScanEndOff->setChecked(!FScan);
}

void TFormGraph::actCurrentExecute() {
    SetCurrentRange();
    AttachValue(true);
    LoadArchive(FTableName, FRange.GetStart(), FRange.GetStop());
    ApplyPoints();
    actScanEndOffExecute();
    UpdateScanChecks();
    ShowAllX();
    ApplyStepIndex();
    UpdateModeChecks();
    ShowRangeStatus();
}

void TFormGraph::actStartStopDTExecute() {
    TDateTime Start = FRange.GetStart(), Stop = FRange.GetStop();
    if (ShowRangeDialog(Start, Stop) == 1)
        ShowArchiveRange(Start, Stop);
    UpdateModeChecks();
    ShowRangeStatus();
}

void TFormGraph::ShowArchiveRange(TDateTime Start, TDateTime Stop) {
    FMode = 1;
    FRange.SetRange(Start, Stop);
    AttachValue(false);
    LoadArchive(FTableName, FRange.GetStart(), FRange.GetStop());
    ApplyPoints();
    actScanEndOffExecute();
    UpdateScanChecks();
    ShowAllX();
    ApplyStepIndex();
    UpdateModeChecks();
    ShowRangeStatus();
}

void TFormGraph::actScanEndOnExecute() {
    if (FMode != 0) {
        UpdateScanChecks();
        return;
    }
    FScan = true;
    UpdateScanChecks();
    actSet4MilimetersExecute();
}

void TFormGraph::actScanEndOffExecute() {
    FScan = false;
    UpdateScanChecks();
}

void TFormGraph::actPointsExecute(bool Show) {
    FPoints = Show;
    ApplyPoints();
}

// ---- report ----

void TFormGraph::FillReport() {
    try {
        if (!RepGraph)
            CreateRepGraph();
        RepGraph->Fill(windowTitle(), FChart, FSeries1, FPoints);
        RepGraph->Preview(this);
    } catch (const std::exception &E) {
        qCWarning(lcGraph) << "report failed:" << E.what();
    } catch (...) {
        qCWarning(lcGraph) << "report failed";
    }
}

void RegisterGraphWindow() {
    WindowHooks().ShowGraph = [](const QString &Name, TIODouble &Value, const QString &Caption, TDateTime Start,
                                 TDateTime Stop) { ShowGraph(Name, &Value, Caption, Start, Stop); };
}
