// The graph window's view: zoom, the value axis, the status panels and the keys.
#include "fGraph.h"

#include "fInputDouble.h"
#include "uEscapeKey.h"
#include "uFormat.h"
#include "uGraphAxes.h"
#include "uGraphData.h"
#include "uParamStr.h"
#include "uTextFit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <qcustomplot.h>

namespace {

// Value marks are drawn only when this few points are in view.
constexpr int kMaxMarks = 100;

QString DateTimePattern() {
    const TFormatSettings &S = DefaultFormatSettings();
    return S.ShortDateFormat + u' ' + S.LongTimeFormat;
}

QString DateTimeText(TDateTime Value) {
    return FormatKey(DateTimePattern(), KeyFromDateTime(Value));
}

} // namespace

// ---- zoom and value axis ----

void TFormGraph::actUndoZoomExecute() {
    FXAuto = true;
    double First = 0, Last = 0;
    if (DataSpan(First, Last))
        FChart->xAxis->setRange(First, Last);
    const TDescriptionOfDouble &D = Description();
    FChart->yAxis->setRange(D.GetMin(), D.GetMax());
    UncheckIntervals();
    SyncScrollBar();
    ShowAxisStatus();
    Replot();
}

void TFormGraph::actZoomExecute(double Percent) {
    const double Factor = 100.0 / Percent;
    FChart->xAxis->scaleRange(Factor, FChart->xAxis->range().center());
    FChart->yAxis->scaleRange(Factor, FChart->yAxis->range().center());
    LeaveAutoView();
    Replot();
}

void TFormGraph::ChartZoomedByUser() {
    LeaveAutoView();
}

// The time axis now shows a window the user chose: no preset is ticked, and
// the scroll bar and the axis texts follow the new window.
void TFormGraph::LeaveAutoView() {
    FXAuto = false;
    UncheckIntervals();
    SyncScrollBar();
    ShowAxisStatus();
}

void TFormGraph::actSet4MilimetersExecute() {
    const double V = CurrentValue();
    const QCPRange R = FChart->yAxis->range();
    if (V > R.upper || V < R.lower) {
        const double H = R.size() / 2;
        FChart->yAxis->setRange(V - H, V + H);
    }
    UncheckIntervals();
    SyncScrollBar();
    ShowAxisStatus();
    Replot();
}

void TFormGraph::actYRangeChangeExecute() {
    const TDescriptionOfDouble &D = FValue->Description;
    bool Ok = false;
    const double V = InputDouble(QStringLiteral("Введите"), QStringLiteral("Диапазон Y"),
                                 D.Digits == 255 ? 2 : D.Digits, FYRange, &Ok);
    if (Ok && std::isfinite(V) && V > 0 && V <= D.GetMax() - D.GetMin())
        FYRange = V;
}

void TFormGraph::actYRangeSetExecute() {
    const double V = CurrentValue();
    FChart->yAxis->setRange(V - FYRange / 2, V + FYRange / 2);
    UncheckIntervals();
    SyncScrollBar();
    ShowAxisStatus();
    Replot();
}

void TFormGraph::actMarksExecute() {
    FMarks = !FMarks;
    actMarks->setChecked(FMarks);
    UpdateMarks();
    Replot();
}

void TFormGraph::UpdateMarks() {
    FChart->clearItems();
    if (!FMarks)
        return;
    const QCPRange R = FChart->xAxis->range();
    auto Begin = FData->findBegin(R.lower, false);
    const auto End = FData->findEnd(R.upper, false);
    if (End - Begin > kMaxMarks)
        return;
    const TDescriptionOfDouble &D = Description();
    const int Digits = D.Digits;
    for (; Begin != End; ++Begin) {
        auto *Mark = new QCPItemText(FChart);
        Mark->position->setCoords(Begin->key, Begin->value);
        Mark->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        Mark->setText(GraphNumberText(Begin->value, D.Precision, Digits));
    }
}

// ---- status ----

void TFormGraph::ShowRangeStatus() {
    QString S = QStringLiteral("Диапазон c ") + DateTimeText(FRange.GetStart());
    if (FMode == 1)
        S += QStringLiteral(" по ") + DateTimeText(FRange.GetStop());
    SetStatusText(0, S);
}

void TFormGraph::ShowSkippedDays(int Count) {
    SetStatusText(5, Count > 0 ? QStringLiteral("пропущено дней: %1").arg(Count) : QString());
    FStatus[5]->setToolTip(Count > 0 ? QStringLiteral("Дни архива, которые не удалось прочитать") : QString());
}

void TFormGraph::ShowAxisStatus() {
    const QCPRange X = FChart->xAxis->range();
    SetStatusText(1, QStringLiteral("c ") + FormatKey(DateTimePattern(), X.lower) + QStringLiteral(" по ") +
                        FormatKey(DateTimePattern(), X.upper));
    const TDescriptionOfDouble &D = Description();
    SetStatusText(2, GraphNumberText(FChart->yAxis->range().size(), D.Precision, D.Digits) + D.Dimension);
}

void TFormGraph::ChartMouseMove(QMouseEvent *Event) {
    const QPointF P = Event->position();
    if (Event->buttons() & Qt::LeftButton) {
        // Dragging scrolls the time axis.
        FXAuto = false;
        ShowAxisStatus();
        SyncScrollBar();
    }
    if (!FChart->axisRect()->rect().contains(P.toPoint()) || !FValue)
        return;
    const TDescriptionOfDouble &D = FValue->Description;
    const double Key = FChart->xAxis->pixelToCoord(P.x());
    const double V = FChart->yAxis->pixelToCoord(P.y());
    QString Text = FormatKey(QStringLiteral("dd.MM.yy HH:mm:ss"), Key) + u' ' + D.Title + u' ';
    if (D.Digits == 255)
        Text += GraphNumberText(V, D.Precision, 255);
    else
        Text += GraphNumberText(V, D.Precision, D.Digits) + QStringLiteral(", ") + D.Dimension;
    SetStatusText(4, Text);
}

void TFormGraph::SetStatusText(int Panel, const QString &Text) {
    QLabel *Label = FStatus[Panel];
    Label->setText(Text);
    if (Panel < StatusPanels - 1) {
        const int Needed = LabelWidthFor(Label, Text);
        if (Label->maximumWidth() < Needed)
            Label->setMaximumWidth(Needed);
        if (Label->minimumWidth() < Needed)
            Label->setMinimumWidth(Needed);
    }
}

QString TFormGraph::StatusText(int Panel) const {
    return Panel >= 0 && Panel < StatusPanels ? FStatus[Panel]->text() : QString();
}

QAction *TFormGraph::Action(const QString &Name) const {
    return findChild<QAction *>(Name);
}

const TDescriptionOfDouble &TFormGraph::Description() const {
    static const TDescriptionOfDouble Empty;
    return FValue ? FValue->Description : Empty;
}

void TFormGraph::Replot() {
    FChart->replot(QCustomPlot::rpQueuedReplot);
}

// ---- keys ----

void TFormGraph::ScrollValueAxis(double Fraction) {
    const QCPRange R = FChart->yAxis->range();
    FChart->yAxis->moveRange(R.size() * Fraction);
}

void TFormGraph::ScrollTimeAxis(double Fraction) {
    const QCPRange R = FChart->xAxis->range();
    FXAuto = false;
    FChart->xAxis->moveRange(R.size() * Fraction);
}

bool TFormGraph::HandleKey(QKeyEvent *Event) {
    const int Key = Event->key();
    bool Scrolled = true;
    switch (Key) {
    case Qt::Key_Space:
        actUndoZoom->trigger();
        return true;
    case Qt::Key_PageUp: ScrollValueAxis(0.10); break;
    case Qt::Key_PageDown: ScrollValueAxis(-0.10); break;
    case Qt::Key_Up: ScrollValueAxis(0.01); break;
    case Qt::Key_Down: ScrollValueAxis(-0.01); break;
    case Qt::Key_Left: ScrollTimeAxis(-0.01); break;
    case Qt::Key_Right: ScrollTimeAxis(0.01); break;
    case Qt::Key_Home:
    case Qt::Key_End: {
        const int P = Key == Qt::Key_Home ? 0 : 100;
        FXAuto = false;
        if (FScrollBar->value() != P)
            FScrollBar->setValue(P);
        else
            ScrollBarChange(P);
        break;
    }
    case Qt::Key_Plus:
        actZoomPlus->trigger();
        return true;
    case Qt::Key_Minus:
        actZoomMinus->trigger();
        return true;
    case Qt::Key_Escape:
        return CloseOnEscape(this, Event);
    case Qt::Key_F:
        if (!(Event->modifiers() & Qt::ControlModifier))
            return false;
        SetFullMode(!FullMode());
        return true;
    case Qt::Key_F12:
        for (QWidget *W : QApplication::topLevelWidgets())
            if (W != this && W->inherits("TFormMain")) {
                W->raise();
                W->activateWindow();
            }
        return true;
    default: Scrolled = false;
    }
    if (!Scrolled)
        return false;
    FChart->setFocus();
    ShowAxisStatus();
    SyncScrollBar();
    Replot();
    return true;
}

void TFormGraph::keyPressEvent(QKeyEvent *Event) {
    if (!HandleKey(Event))
        QMainWindow::keyPressEvent(Event);
}

bool TFormGraph::eventFilter(QObject *Watched, QEvent *Event) {
    // The window sees the keys before the chart and the scroll bar do.
    if (Event->type() == QEvent::KeyPress && (Watched == FChart || Watched == FScrollBar))
        return HandleKey(static_cast<QKeyEvent *>(Event));
    return QMainWindow::eventFilter(Watched, Event);
}
