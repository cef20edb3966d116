#include "uGraphData.h"

#include "uGraphAxes.h"

#include <algorithm>

void TGraphData::Reserve(qsizetype Count) {
    if (Count > 0)
        mData.reserve(mData.size() + Count);
}

void TGraphData::AppendArchive(const TArchiveSeries &Points) {
    if (Points.empty())
        return;
    const qsizetype Old = mData.size();
    const qsizetype Need = Old + static_cast<qsizetype>(Points.size());
    if (Need > mData.capacity())
        mData.reserve(std::max(Need, mData.capacity() + mData.capacity() / 2));
    // Each reading at its true instant, with the offset it was taken with.
    for (std::size_t i = 0; i < Points.size(); ++i)
        mData.append(QCPGraphData(KeyOfReading(Points.DT[i], Points.OffsetAt(i)), Points.V[i]));
    // Each day is in order already; only a day whose points overlap the ones
    // before (a clock set back) needs merging.
    const auto First = mData.begin() + mPreallocSize;
    const auto Mid = mData.begin() + Old;
    if (Old > mPreallocSize && qcpLessThanSortKey(*Mid, *(Mid - 1)))
        std::inplace_merge(First, Mid, mData.end(), qcpLessThanSortKey<QCPGraphData>);
}

qsizetype TGraphData::BytesHeld() const {
    return mData.capacity() * static_cast<qsizetype>(sizeof(QCPGraphData));
}

void TGraphData::Squeeze() {
    mData.squeeze();
}
