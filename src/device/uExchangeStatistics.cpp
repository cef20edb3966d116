#include "uExchangeStatistics.h"

#include <algorithm>

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

void TExchangeStatistics::Add(TExchangeOutcome Outcome, double ResponseMs) {
    std::lock_guard Lock(FLock);
    TExchangeCounts &C = FCounts;
    ++C.Exchanges;
    switch (Outcome) {
    case TExchangeOutcome::Done:
        C.ResponseMsMin = C.Answered ? std::min(C.ResponseMsMin, ResponseMs) : ResponseMs;
        C.ResponseMsMax = C.Answered ? std::max(C.ResponseMsMax, ResponseMs) : ResponseMs;
        C.ResponseMsSum += ResponseMs;
        ++C.Answered;
        break;
    case TExchangeOutcome::NoAnswer: ++C.NoAnswer; break;
    case TExchangeOutcome::Corrupt: ++C.Corrupt; break;
    case TExchangeOutcome::Mismatch: ++C.Mismatch; break;
    case TExchangeOutcome::Exception: ++C.Exception; break;
    case TExchangeOutcome::Status: ++C.Status; break;
    case TExchangeOutcome::PortLost:
    case TExchangeOutcome::NotSent: ++C.PortLost; break;
    }
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
    return FCounts;
}

void TExchangeStatistics::Reset() {
    std::lock_guard Lock(FLock);
    FCounts = {};
}
