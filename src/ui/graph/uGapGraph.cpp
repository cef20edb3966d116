#include "uGapGraph.h"

#include <algorithm>
#include <limits>

TGapGraph::TGapGraph(QCPAxis *KeyAxis, QCPAxis *ValueAxis) : QCPGraph(KeyAxis, ValueAxis) {}

double TGapGraph::MaxGapFor(int PollPeriodMs) {
    return std::max(60.0, 10.0 * std::max(0, PollPeriodMs) / 1000.0);
}

QVector<QCPGraphData> TGapGraph::LinePoints() const {
    QVector<QCPGraphData> Points;
    getOptimizedLineData(&Points, mDataContainer->constBegin(), mDataContainer->constEnd());
    return Points;
}

void TGapGraph::getOptimizedLineData(QVector<QCPGraphData> *LineData,
                                     const QCPGraphDataContainer::const_iterator &Begin,
                                     const QCPGraphDataContainer::const_iterator &End) const {
    QCPGraph::getOptimizedLineData(LineData, Begin, End);
    if (!LineData || FMaxGap <= 0 || LineData->size() < 2)
        return;
    // A NaN value between two readings: the line stops there and starts again.
    QVector<QCPGraphData> Broken;
    Broken.reserve(LineData->size() + 16);
    Broken.append(LineData->first());
    for (qsizetype i = 1; i < LineData->size(); ++i) {
        const QCPGraphData &Prev = LineData->at(i - 1), &Next = LineData->at(i);
        if (Next.key - Prev.key > FMaxGap)
            Broken.append(QCPGraphData((Prev.key + Next.key) / 2, std::numeric_limits<double>::quiet_NaN()));
        Broken.append(Next);
    }
    if (Broken.size() != LineData->size())
        LineData->swap(Broken);
}
