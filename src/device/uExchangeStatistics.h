#pragma once
// How the exchanges with the device went: how many there were, how each one
// ended, and how long the answered ones took. Filled by the polling engine
// from whichever thread exchanges, read by any thread.
#include <QString>
#include <cstdint>
#include <mutex>

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

    double ResponseMsAverage() const { return Answered ? ResponseMsSum / double(Answered) : 0; }
    // "Exchanges=N Answered=N NoAnswer=N Checksum=N Mismatch=N Exception=N
    // Status=N PortLost=N Noise=N ResponseMs=min/avg/max"
    QString SummaryLine() const;
};

class TExchangeStatistics {
public:
    // One exchange that was tried; ResponseMs counts for answered ones only.
    void Add(TExchangeOutcome Outcome, double ResponseMs);
    void AddArchiveFailure();
    void SetNoise(std::uint64_t Bytes);
    TExchangeCounts Counts() const;
    void Reset();

private:
    mutable std::mutex FLock;
    TExchangeCounts FCounts;
};
