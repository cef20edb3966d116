#pragma once
// The points of a graph held the way the chart draws them: one array of
// (key, value) pairs, 16 bytes a point, filled a day table at a time without
// a second copy of the whole series.
#include "uDataCtrl.h"

#include <qcustomplot.h>

class TGraphData : public QCPGraphDataContainer {
public:
    // Room for Count more points, so that a whole range loads without moving.
    void Reserve(qsizetype Count);
    // Appends archive points (TDateTime keys turned into axis keys); points
    // that fall before the last one held are merged into place.
    void AppendArchive(const TArchiveSeries &Points);
    // Bytes held for the points, spare room included.
    qsizetype BytesHeld() const;
    // Gives back spare room (after a load whose size was overestimated).
    void Squeeze();
};
