#pragma once
// How the exchanges with the device went: how many there were, how each one
// ended, how long the answered ones took (with a histogram of the response
// times) and how many of the latest ones were answered. Filled by the polling
// engine from whichever thread exchanges, read by any thread.
#include <QString>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

// How one exchange ended.
enum class TExchangeOutcome : std::uint8_t {
    Done,      // the device answered the request and the answer was applied
    NoAnswer,  // nothing came back within the time-outs
    Corrupt,   // a short reply or one with a wrong checksum
    Mismatch,  // a valid frame that does not answer the request
    Exception, // an exception reply
    Status,    // a status reply
    PortLost,  // the port failed or is gone: nothing reached the line
    NotSent,   // no request could be built, or the port is not open
};

struct TExchangeCounts {
    static constexpr double BucketMs = 5;      // width of a histogram bucket
    static constexpr int QualityWindow = 100; // exchanges the quality looks back on

    std::uint64_t Exchanges = 0;
    std::uint64_t Answered = 0;
    std::uint64_t NoAnswer = 0;
    std::uint64_t Corrupt = 0;
    std::uint64_t Mismatch = 0;
    std::uint64_t Exception = 0;
    std::uint64_t Status = 0;
    std::uint64_t PortLost = 0;
    std::uint64_t Noise = 0; // bytes that belonged to no reply
    std::uint64_t ArchiveFailures = 0;
    double ResponseMsMin = 0;
    double ResponseMsMax = 0;
    double ResponseMsSum = 0;
    // Exception and status replies by their code.
    std::map<int, std::uint64_t> ExceptionCodes;
    std::map<int, std::uint64_t> StatusCodes;
    // Answered exchanges by response time: bucket i holds i*5 <= ms < (i+1)*5;
    // the last bucket also holds the (rare) ones at or beyond the read
    // time-out. Empty before the limit is known and nothing was answered.
    std::vector<std::uint64_t> Histogram;
    // The latest exchanges (at most QualityWindow) and how many of them were answered.
    int RecentExchanges = 0;
    int RecentAnswered = 0;

    double ResponseMsAverage() const { return Answered ? ResponseMsSum / double(Answered) : 0; }
    // Count as a per cent of all exchanges (0 without exchanges).
    double Percent(std::uint64_t Count) const { return Exchanges ? 100.0 * double(Count) / double(Exchanges) : 0; }
    // Answered per cent of the latest exchanges; false without any exchange.
    bool HasQuality() const { return RecentExchanges > 0; }
    double QualityPercent() const { return RecentExchanges ? 100.0 * RecentAnswered / RecentExchanges : 0; }
    // Lower bound of histogram bucket i in ms.
    static double BucketStartMs(int i) { return BucketMs * i; }

    // "Exchanges=N Answered=N NoAnswer=N Checksum=N Mismatch=N Exception=N
    // Status=N PortLost=N Noise=N ResponseMs=min/avg/max"
    QString SummaryLine() const;
    // "Histogram=0-5:N,5-10:N,..." over every bucket up to the read time-out.
    QString HistogramText() const;
    // "Quality=97.0" (answered per cent of the latest exchanges, "-" without any).
    QString QualityText() const;
    // "ExceptionCodes=2:5,7:1 StatusCodes=3:2" (empty lists when none).
    QString CodesText() const;
};

class TExchangeStatistics {
public:
    // One exchange that was tried; ResponseMs counts for answered ones only;
    // Code is the exception or status code of those outcomes.
    void Add(TExchangeOutcome Outcome, double ResponseMs, int Code = 0);
    void AddArchiveFailure();
    void SetNoise(std::uint64_t Bytes);
    // The read time-out, which the histogram reaches up to (at least one bucket).
    void SetHistogramLimit(double Ms);
    TExchangeCounts Counts() const;
    // Everything to zero (the histogram keeps its width).
    void Reset();

private:
    void Resize(std::vector<std::uint64_t> &Histogram) const;

    mutable std::mutex FLock;
    TExchangeCounts FCounts;
    double FLimitMs = 0;
    // Ring of the latest outcomes: answered or not.
    std::vector<bool> FRecent;
    int FRecentNext = 0;
};
