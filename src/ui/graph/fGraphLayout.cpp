// The graph window's controls: chart, scroll bar, status panels, actions,
// tool bar and menus.
#include "fGraph.h"

#include "uGapGraph.h"
#include "uRequestDevices.h"
#include "uFormat.h"
#include "uTextFit.h"

#include "uGraphAxes.h"
#include "uGraphData.h"
#include "uToolIcons.h"

#include <QActionGroup>
#include <QLabel>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <qcustomplot.h>
#include <utility>

void TFormGraph::CreateChart() {
    auto *Central = new QWidget(this);
    auto *Layout = new QVBoxLayout(Central);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->setSpacing(0);

    FChart = new QCustomPlot(Central);
    FChart->setObjectName(QStringLiteral("Chart"));
    FChart->setFocusPolicy(Qt::StrongFocus);
    FChart->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    FChart->axisRect()->setRangeDrag(Qt::Horizontal);
    FChart->axisRect()->setRangeZoom(Qt::Horizontal);
    FChart->xAxis->setTicker(QSharedPointer<TDateTimeTicker>::create(QStringLiteral("dd.MM.yy\nHH:mm:ss")));
    FChart->yAxis->setTicker(QSharedPointer<TNumberTicker>::create(2));
    FChart->yAxis->setRange(0, 100);

    FData = QSharedPointer<TGraphData>::create();
    // The line breaks where polling paused (ten poll periods, a minute at least).
    auto *Line = new TGapGraph(FChart->xAxis, FChart->yAxis);
    Line->SetMaxGap(TGapGraph::MaxGapFor(RequestDevices && RequestDevices->ReqDevicesTimer
                                             ? RequestDevices->ReqDevicesTimer->Interval()
                                             : 1000));
    FSeries1 = Line;
    FSeries1->setName(QStringLiteral("Series1"));
    FSeries1->setPen(QPen(Qt::blue));
    FSeries1->setAdaptiveSampling(true);
    FSeries1->setData(FData);
    FSeries2 = FChart->addGraph();
    FSeries2->setName(QStringLiteral("Series2"));
    FSeries2->setPen(QPen(Qt::red));
    FSeries2->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, Qt::red, 1));
    FSeries2->setAdaptiveSampling(true);

    connect(FChart, &QCustomPlot::mouseMove, this, &TFormGraph::ChartMouseMove);
    connect(FChart, &QCustomPlot::mouseWheel, this, [this] {
        // The chart zooms after this signal: look at the result afterwards.
        QTimer::singleShot(0, this, &TFormGraph::ChartZoomedByUser);
    });
    connect(FChart, &QCustomPlot::mouseRelease, this, [this] {
        FXAuto = false;
        ShowAxisStatus();
        SyncScrollBar();
    });
    connect(FChart, &QCustomPlot::mouseDoubleClick, this, [this] { actUndoZoom->trigger(); });
    connect(FChart->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this, [this] {
        if (FMarks)
            UpdateMarks();
    });
    FChart->installEventFilter(this);
    Layout->addWidget(FChart, 1);

    FScrollBar = new QScrollBar(Qt::Horizontal, Central);
    FScrollBar->setObjectName(QStringLiteral("ScrollBar"));
    FScrollBar->setRange(0, 100);
    FScrollBar->installEventFilter(this);
    connect(FScrollBar, &QScrollBar::valueChanged, this, &TFormGraph::ScrollBarChange);
    Layout->addWidget(FScrollBar);
    setCentralWidget(Central);
}

void TFormGraph::CreateStatusBar() {
    static const char *const Texts[StatusPanels] = {"Диапазон", "Интервал", "Размах", "Текущее значение",
                                                    "Точка на графике", ""};
    auto *Bar = new QStatusBar(this);
    Bar->setObjectName(QStringLiteral("StatusBar"));
    // The two range panels are as wide as their longest text in the date and
    // time format in use; the others grow with what they show. Permanent, so
    // that hover hints do not blank them.
    const TFormatSettings &S = DefaultFormatSettings();
    const QString Sample = FormatDateTime(S.ShortDateFormat + u' ' + S.LongTimeFormat,
                                          DateTimeFromQt(QDateTime(QDate(2028, 12, 28), QTime(20, 48, 48))));
    const QString Widest[StatusPanels] = {QStringLiteral("Диапазон c ") + Sample + QStringLiteral(" по ") + Sample,
                                          QStringLiteral("c ") + Sample + QStringLiteral(" по ") + Sample,
                                          QStringLiteral("Размах"), QStringLiteral("Текущее значение"),
                                          QStringLiteral("Точка на графике"), QString()};
    for (int i = 0; i < StatusPanels; ++i) {
        FStatus[i] = new QLabel(QString::fromUtf8(Texts[i]), Bar);
        FStatus[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
        if (i < 2)
            FStatus[i]->setFixedWidth(LabelWidthFor(FStatus[i], Widest[i]));
        else if (i < StatusPanels - 1)
            FStatus[i]->setMinimumWidth(LabelWidthFor(FStatus[i], Widest[i]));
        Bar->addPermanentWidget(FStatus[i], i == StatusPanels - 1 ? 1 : 0);
    }
    setStatusBar(Bar);
}

QAction *TFormGraph::NewAction(const char *Name, const QString &Caption, const QString &Hint) {
    auto *A = new QAction(Caption, this);
    A->setObjectName(QString::fromLatin1(Name));
    A->setToolTip(Hint.isEmpty() ? Caption : Hint);
    A->setStatusTip(A->toolTip());
    return A;
}

void TFormGraph::CreateActions() {
    actCurrent = NewAction("actCurrent", QStringLiteral("Текущие показания"),
                           QStringLiteral("Показания за последние сутки"));
    actStartStopDT = NewAction("actStartStopDT", QStringLiteral("Временной диапазон"));
    auto *ModeGroup = new QActionGroup(this);
    for (QAction *A : {actCurrent, actStartStopDT}) {
        A->setCheckable(true);
        ModeGroup->addAction(A);
    }
    connect(actCurrent, &QAction::triggered, this, &TFormGraph::actCurrentExecute);
    connect(actStartStopDT, &QAction::triggered, this, &TFormGraph::actStartStopDTExecute);

    auto *PresetGroup = new QActionGroup(this);
    PresetGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (int k = 1; k <= Presets; ++k) {
        QAction *A = NewAction(GraphPresets[k - 1].Name, QString::fromUtf8(GraphPresets[k - 1].Caption));
        A->setCheckable(true);
        PresetGroup->addAction(A);
        connect(A, &QAction::triggered, this, [this, k] { SetPreset(k); });
        FPresetActions[k - 1] = A;
    }

    actUndoZoom = NewAction("actUndoZoom", QStringLiteral("Увеличение отменить \"Пробел\""));
    actZoomMinus = NewAction("actZoomMinus", QStringLiteral("Уменьшить \"-\""),
                             QStringLiteral("Уменьшить график. Кнопка \"Серый минус\""));
    actZoomPlus = NewAction("actZoomPlus", QStringLiteral("Увеличить \"+\""),
                            QStringLiteral("Увеличить график. Кнопка \"Серый плюс\""));
    actShowAllX = NewAction("actShowAllX", QStringLiteral("Показать все по X"));
    actShowAllY = NewAction("actShowAllY", QStringLiteral("Показать все по Y"));
    actYRangeSet = NewAction("actYRangeSet", QStringLiteral("Установить диапазон Y"));
    actShowAllXY = NewAction("actShowAllXY", QStringLiteral("Показать все"), QStringLiteral("Показать все данные"));
    connect(actUndoZoom, &QAction::triggered, this, &TFormGraph::actUndoZoomExecute);
    connect(actZoomMinus, &QAction::triggered, this, [this] { actZoomExecute(90); });
    connect(actZoomPlus, &QAction::triggered, this, [this] { actZoomExecute(110); });
    connect(actShowAllX, &QAction::triggered, this, &TFormGraph::ShowAllX);
    connect(actShowAllY, &QAction::triggered, this, &TFormGraph::ShowAllY);
    connect(actYRangeSet, &QAction::triggered, this, &TFormGraph::actYRangeSetExecute);
    connect(actShowAllXY, &QAction::triggered, this, &TFormGraph::ShowAllXY);

    actPointsTrue = NewAction("actPointsTrue", QStringLiteral("Точки показать"));
    actPointsFalse = NewAction("actPointsFalse", QStringLiteral("Точки скрыть"));
    auto *PointsGroup = new QActionGroup(this);
    for (QAction *A : {actPointsTrue, actPointsFalse}) {
        A->setCheckable(true);
        PointsGroup->addAction(A);
    }
    connect(actPointsTrue, &QAction::triggered, this, [this] { actPointsExecute(true); });
    connect(actPointsFalse, &QAction::triggered, this, [this] { actPointsExecute(false); });

    actScanEndOn = NewAction("actScanEndOn", QStringLiteral("Следить за значением"));
    actScanEndOff = NewAction("actScanEndOff", QStringLiteral("Не следить за значением"));
    auto *ScanGroup = new QActionGroup(this);
    for (QAction *A : {actScanEndOn, actScanEndOff}) {
        A->setCheckable(true);
        ScanGroup->addAction(A);
    }
    connect(actScanEndOn, &QAction::triggered, this, &TFormGraph::actScanEndOnExecute);
    connect(actScanEndOff, &QAction::triggered, this, &TFormGraph::actScanEndOffExecute);

    actReportPreview = NewAction("actReportPreview", QStringLiteral("Просмотр/Печать"),
                                 QStringLiteral("Открыть окно предварительного просмотра графика перед печатью"));
    actExportCsv = NewAction("actExportCsv", QStringLiteral("Экспорт в CSV…"),
                             QStringLiteral("Записать значения графика в файл CSV для электронных таблиц"));
    connect(actExportCsv, &QAction::triggered, this, &TFormGraph::ExportCsv);
    actClose = NewAction("actClose", QStringLiteral("Закрыть окно"));
    actYRangeChange = NewAction("actYRangeChange", QStringLiteral("Изменить диапазон Y"));
    actSet4Milimeters = NewAction("actSet4Milimeters", QStringLiteral("Размах 4 мм"));
    actMarks = NewAction("actMarks", QStringLiteral("Метки"));
    actMarks->setCheckable(true);
    actMarks->setVisible(false);
    connect(actReportPreview, &QAction::triggered, this, &TFormGraph::FillReport);
    connect(actClose, &QAction::triggered, this, &QWidget::close);
    connect(actYRangeChange, &QAction::triggered, this, &TFormGraph::actYRangeChangeExecute);
    connect(actSet4Milimeters, &QAction::triggered, this, &TFormGraph::actSet4MilimetersExecute);
    connect(actMarks, &QAction::triggered, this, &TFormGraph::actMarksExecute);
    addAction(actSet4Milimeters);

    const std::pair<QAction *, TToolIcon> Icons[] = {
        {actUndoZoom, TToolIcon::UndoZoom},         {actZoomMinus, TToolIcon::ZoomOut},
        {actZoomPlus, TToolIcon::ZoomIn},           {actShowAllX, TToolIcon::ShowAllX},
        {actShowAllY, TToolIcon::ShowAllY},         {actYRangeSet, TToolIcon::SetYRange},
        {actShowAllXY, TToolIcon::ShowAll},         {actPointsTrue, TToolIcon::PointsShow},
        {actPointsFalse, TToolIcon::PointsHide},    {actScanEndOn, TToolIcon::FollowOn},
        {actScanEndOff, TToolIcon::FollowOff},      {actReportPreview, TToolIcon::PrintPreview},
        {actClose, TToolIcon::CloseWindow}};
    for (const auto &[Action, Kind] : Icons)
        Action->setIcon(ToolIcon(Kind));
}

void TFormGraph::CreateMenus() {
    // Two rows: the mode and the picture buttons, then the interval presets.
    auto *Tools = addToolBar(QStringLiteral("Панель инструментов"));
    Tools->setObjectName(QStringLiteral("ToolBar"));
    Tools->addActions({actCurrent, actStartStopDT});
    Tools->addSeparator();
    Tools->addActions({actUndoZoom, actZoomMinus, actZoomPlus, actShowAllX, actShowAllY, actYRangeSet, actShowAllXY});
    Tools->addSeparator();
    Tools->addActions({actPointsTrue, actPointsFalse});
    Tools->addSeparator();
    Tools->addActions({actScanEndOn, actScanEndOff});
    Tools->addSeparator();
    Tools->addActions({actReportPreview, actClose});
    addToolBarBreak();
    auto *Intervals = addToolBar(QStringLiteral("Интервал"));
    Intervals->setObjectName(QStringLiteral("IntervalBar"));
    for (QAction *A : FPresetActions)
        Intervals->addAction(A);

    QMenuBar *Bar = menuBar();
    QMenu *Range = Bar->addMenu(QStringLiteral("Диапазон"));
    Range->addActions({actCurrent, actStartStopDT});
    QMenu *Interval = Bar->addMenu(QStringLiteral("Интервал"));
    Interval->addActions({actYRangeChange, actYRangeSet});
    Interval->addSeparator();
    for (QAction *A : FPresetActions)
        Interval->addAction(A);
    QMenu *Scale = Bar->addMenu(QStringLiteral("Масштаб"));
    Scale->addActions({actUndoZoom, actZoomMinus, actZoomPlus, actShowAllX, actShowAllY, actShowAllXY});
    QMenu *Graph = Bar->addMenu(QStringLiteral("График"));
    Graph->addActions({actPointsTrue, actPointsFalse});
    Graph->addSeparator();
    Graph->addActions({actScanEndOn, actScanEndOff});
    Graph->addSeparator();
    Graph->addAction(actReportPreview);
    Graph->addAction(actExportCsv);
    QMenu *Window = Bar->addMenu(QStringLiteral("Окно"));
    Window->addActions({actMarks, actClose});
}
