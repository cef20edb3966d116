#pragma once
// A graph whose line is broken where two readings lie further apart than a
// gap: a night without polling must not look like a steady level.
#include <qcustomplot.h>

class TGapGraph : public QCPGraph {
public:
    TGapGraph(QCPAxis *KeyAxis, QCPAxis *ValueAxis);

    // Readings further apart than Seconds are not joined; 0 joins them all.
    void SetMaxGap(double Seconds) { FMaxGap = Seconds; }
    double MaxGap() const { return FMaxGap; }
    // The gap for a poll period: ten periods, and a minute at least, so that
    // a late cycle or two never break the line.
    static double MaxGapFor(int PollPeriodMs);

    // The points the line joins over the whole data, a NaN value where it
    // breaks (what the drawing uses, for those that check it).
    QVector<QCPGraphData> LinePoints() const;

protected:
    void getOptimizedLineData(QVector<QCPGraphData> *LineData, const QCPGraphDataContainer::const_iterator &Begin,
                              const QCPGraphDataContainer::const_iterator &End) const override;

private:
    double FMaxGap = 0;
};
