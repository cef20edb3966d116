#include "uExchangeStatistics.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

QString TExchangeCounts::SummaryLine() const {
    const auto Ms = [](double V) { return QString::number(V, 'f', 1); };
    return QStringLiteral("Exchanges=%1 Answered=%2 NoAnswer=%3 Checksum=%4 Mismatch=%5 Exception=%6 Status=%7 "
                          "PortLost=%8 Noise=%9 ResponseMs=")
               .arg(Exchanges)
               .arg(Answered)
               .arg(NoAnswer)
               .arg(Corrupt)
               .arg(Mismatch)
               .arg(Exception)
               .arg(Status)
               .arg(PortLost)
               .arg(Noise) +
           Ms(ResponseMsMin) + u'/' + Ms(ResponseMsAverage()) + u'/' + Ms(ResponseMsMax);
}

QString TExchangeCounts::HistogramText() const {
    QStringList Parts;
    for (std::size_t i = 0; i < Histogram.size(); ++i) {
        const int From = int(BucketStartMs(int(i)));
        Parts << QStringLiteral("%1-%2:%3").arg(From).arg(From + int(BucketMs)).arg(Histogram[i]);
    }
    return QStringLiteral("Histogram=") + Parts.join(u',');
}

QString TExchangeCounts::QualityText() const {
    return QStringLiteral("Quality=") + (HasQuality() ? QString::number(QualityPercent(), 'f', 1) : QStringLiteral("-"));
}

QString TExchangeCounts::CodesText() const {
    const auto List = [](const std::map<int, std::uint64_t> &Codes) {
        QStringList Parts;
        for (const auto &[Code, Count] : Codes)
            Parts << QStringLiteral("%1:%2").arg(Code).arg(Count);
        return Parts.join(u',');
    };
    return QStringLiteral("ExceptionCodes=") + List(ExceptionCodes) + QStringLiteral(" StatusCodes=") +
           List(StatusCodes);
}

void TExchangeStatistics::Resize(std::vector<std::uint64_t> &Histogram) const {
    const auto Buckets = static_cast<std::size_t>(std::max(1.0, std::ceil(FLimitMs / TExchangeCounts::BucketMs)));
    if (Histogram.size() > Buckets) {
        // A shorter time-out: what lay beyond it joins the last bucket.
        std::uint64_t Beyond = 0;
        for (std::size_t i = Buckets; i < Histogram.size(); ++i)
            Beyond += Histogram[i];
        Histogram.resize(Buckets);
        Histogram.back() += Beyond;
    } else {
        Histogram.resize(Buckets, 0);
    }
}

void TExchangeStatistics::SetHistogramLimit(double Ms) {
    std::lock_guard Lock(FLock);
    if (Ms == FLimitMs && !FCounts.Histogram.empty())
        return;
    FLimitMs = std::max(0.0, Ms);
    Resize(FCounts.Histogram);
}

void TExchangeStatistics::Add(TExchangeOutcome Outcome, double ResponseMs, int Code) {
    std::lock_guard Lock(FLock);
    TExchangeCounts &C = FCounts;
    ++C.Exchanges;
    switch (Outcome) {
    case TExchangeOutcome::Done: {
        C.ResponseMsMin = C.Answered ? std::min(C.ResponseMsMin, ResponseMs) : ResponseMs;
        C.ResponseMsMax = C.Answered ? std::max(C.ResponseMsMax, ResponseMs) : ResponseMs;
        C.ResponseMsSum += ResponseMs;
        ++C.Answered;
        if (C.Histogram.empty())
            Resize(C.Histogram);
        const double Bucket = std::floor(std::max(0.0, ResponseMs) / TExchangeCounts::BucketMs);
        const auto i = static_cast<std::size_t>(std::min(Bucket, double(C.Histogram.size() - 1)));
        ++C.Histogram[i];
        break;
    }
    case TExchangeOutcome::NoAnswer: ++C.NoAnswer; break;
    case TExchangeOutcome::Corrupt: ++C.Corrupt; break;
    case TExchangeOutcome::Mismatch: ++C.Mismatch; break;
    case TExchangeOutcome::Exception:
        ++C.Exception;
        ++C.ExceptionCodes[Code];
        break;
    case TExchangeOutcome::Status:
        ++C.Status;
        ++C.StatusCodes[Code];
        break;
    case TExchangeOutcome::PortLost:
    case TExchangeOutcome::NotSent: ++C.PortLost; break;
    }
    const bool Answered = Outcome == TExchangeOutcome::Done;
    if (int(FRecent.size()) < TExchangeCounts::QualityWindow) {
        FRecent.push_back(Answered);
        ++C.RecentExchanges;
    } else {
        if (FRecent[std::size_t(FRecentNext)])
            --C.RecentAnswered;
        FRecent[std::size_t(FRecentNext)] = Answered;
        FRecentNext = (FRecentNext + 1) % TExchangeCounts::QualityWindow;
    }
    if (Answered)
        ++C.RecentAnswered;
}

void TExchangeStatistics::AddArchiveFailure() {
    std::lock_guard Lock(FLock);
    ++FCounts.ArchiveFailures;
}

void TExchangeStatistics::SetNoise(std::uint64_t Bytes) {
    std::lock_guard Lock(FLock);
    FCounts.Noise = Bytes;
}

TExchangeCounts TExchangeStatistics::Counts() const {
    std::lock_guard Lock(FLock);
    TExchangeCounts C = FCounts;
    if (C.Histogram.empty() && FLimitMs > 0)
        Resize(C.Histogram);
    return C;
}

void TExchangeStatistics::Reset() {
    std::lock_guard Lock(FLock);
    const std::size_t Buckets = FCounts.Histogram.size();
    FCounts = {};
    FCounts.Histogram.assign(Buckets, 0);
    FRecent.clear();
    FRecentNext = 0;
}
