// The link statistics: counts by outcome and by code, the response-time
// histogram, the quality of the latest exchanges and the reset, both on their
// own and as the polling engine fills them against each fault of the
// simulated transducer, through the real port code on a pseudo-terminal.
#include "EngineRig.h"
#include "Lanx1.h"
#include "uExchangeStatistics.h"
#include "uLanx1Instance.h"

#include <gtest/gtest.h>
#include <numeric>

namespace {

std::uint64_t Sum(const std::vector<std::uint64_t> &V) {
    return std::accumulate(V.begin(), V.end(), std::uint64_t(0));
}

// A short read time-out: 100 ms, twenty buckets.
const QStringList kShortTimeout{QStringLiteral("ReadTotalConstant=100"), QStringLiteral("ReadTotalMultiplier=0"),
                                QStringLiteral("ReadInterval=10")};

TExchangeCounts Exchanges(TEngineRig &Rig, int Times, std::uint8_t Kind = rkReadLevel) {
    for (int i = 0; i < Times; ++i)
        Rig.Engine().ExecuteRequest(Kind);
    return Rig.Engine().SettledStatistics();
}

} // namespace

TEST(ExchangeStatistics, HistogramHasFiveMillisecondBucketsUpToTheTimeout) {
    TExchangeStatistics S;
    S.SetHistogramLimit(23);
    EXPECT_EQ(S.Counts().Histogram, (std::vector<std::uint64_t>(5, 0)));
    for (const double Ms : {0.0, 4.99, 5.0, 12.5, 19.9, 22.9, 40.0})
        S.Add(TExchangeOutcome::Done, Ms);
    const TExchangeCounts C = S.Counts();
    // The last bucket also holds what came at or after the time-out.
    EXPECT_EQ(C.Histogram, (std::vector<std::uint64_t>{2, 1, 1, 1, 2}));
    EXPECT_EQ(C.HistogramText(), QStringLiteral("Histogram=0-5:2,5-10:1,10-15:1,15-20:1,20-25:2"));
    EXPECT_DOUBLE_EQ(C.ResponseMsMin, 0);
    EXPECT_DOUBLE_EQ(C.ResponseMsMax, 40);

    // A shorter time-out folds the buckets beyond it into its last one.
    S.SetHistogramLimit(10);
    EXPECT_EQ(S.Counts().Histogram, (std::vector<std::uint64_t>{2, 5}));
    S.SetHistogramLimit(15);
    EXPECT_EQ(S.Counts().Histogram, (std::vector<std::uint64_t>{2, 5, 0}));
}

TEST(ExchangeStatistics, ExceptionsAndStatusesAreCountedByCode) {
    TExchangeStatistics S;
    S.Add(TExchangeOutcome::Exception, 0, 2);
    S.Add(TExchangeOutcome::Exception, 0, 7);
    S.Add(TExchangeOutcome::Exception, 0, 2);
    S.Add(TExchangeOutcome::Status, 0, 3);
    const TExchangeCounts C = S.Counts();
    EXPECT_EQ(C.Exception, 3u);
    EXPECT_EQ(C.Status, 1u);
    EXPECT_EQ(C.ExceptionCodes, (std::map<int, std::uint64_t>{{2, 2}, {7, 1}}));
    EXPECT_EQ(C.StatusCodes, (std::map<int, std::uint64_t>{{3, 1}}));
    EXPECT_EQ(C.CodesText(), QStringLiteral("ExceptionCodes=2:2,7:1 StatusCodes=3:1"));
    EXPECT_DOUBLE_EQ(C.Percent(C.Exception), 75.0);
    EXPECT_TRUE(C.Histogram.empty()); // no read time-out known, nothing answered
    EXPECT_EQ(C.Answered, 0u);
}

TEST(ExchangeStatistics, QualityLooksAtTheLatestHundredExchanges) {
    TExchangeStatistics S;
    EXPECT_FALSE(S.Counts().HasQuality());
    EXPECT_EQ(S.Counts().QualityText(), QStringLiteral("Quality=-"));
    for (int i = 0; i < 50; ++i)
        S.Add(TExchangeOutcome::NoAnswer, 0);
    for (int i = 0; i < 50; ++i)
        S.Add(TExchangeOutcome::Done, 10);
    EXPECT_DOUBLE_EQ(S.Counts().QualityPercent(), 50.0);
    // 30 more answered push 30 unanswered out of the window.
    for (int i = 0; i < 30; ++i)
        S.Add(TExchangeOutcome::Done, 10);
    TExchangeCounts C = S.Counts();
    EXPECT_EQ(C.RecentExchanges, 100);
    EXPECT_EQ(C.RecentAnswered, 80);
    EXPECT_DOUBLE_EQ(C.QualityPercent(), 80.0);
    EXPECT_EQ(C.QualityText(), QStringLiteral("Quality=80.0"));
    for (int i = 0; i < 3; ++i)
        S.Add(TExchangeOutcome::Corrupt, 0);
    C = S.Counts();
    EXPECT_EQ(C.RecentAnswered, 80); // the oldest three of the window were unanswered too
    EXPECT_EQ(C.Exchanges, 133u);
}

TEST(ExchangeStatistics, ResetSetsEverythingToZero) {
    TExchangeStatistics S;
    S.SetHistogramLimit(20);
    S.Add(TExchangeOutcome::Done, 7);
    S.Add(TExchangeOutcome::Exception, 0, 4);
    S.Add(TExchangeOutcome::Status, 0, 1);
    S.SetNoise(5);
    S.AddArchiveFailure();
    S.Reset();
    const TExchangeCounts C = S.Counts();
    EXPECT_EQ(C.Exchanges, 0u);
    EXPECT_EQ(C.Answered, 0u);
    EXPECT_EQ(C.Exception, 0u);
    EXPECT_EQ(C.Noise, 0u);
    EXPECT_EQ(C.ArchiveFailures, 0u);
    EXPECT_TRUE(C.ExceptionCodes.empty());
    EXPECT_TRUE(C.StatusCodes.empty());
    EXPECT_EQ(C.Histogram, (std::vector<std::uint64_t>(4, 0)));
    EXPECT_FALSE(C.HasQuality());
    EXPECT_DOUBLE_EQ(C.ResponseMsAverage(), 0);
}

// ---- the engine against each fault of the simulator

TEST(LinkStatistics, AnsweredExchangesFillTheHistogram) {
    TEngineRig Rig(kShortTimeout);
    const TExchangeCounts C = Exchanges(Rig, 10);
    EXPECT_EQ(C.Exchanges, 10u);
    EXPECT_EQ(C.Answered, 10u);
    ASSERT_EQ(C.Histogram.size(), 20u); // 100 ms in 5 ms steps
    EXPECT_EQ(Sum(C.Histogram), 10u);
    EXPECT_GT(C.ResponseMsMin, 0);
    EXPECT_LE(C.ResponseMsMin, C.ResponseMsAverage());
    EXPECT_LE(C.ResponseMsAverage(), C.ResponseMsMax);
    EXPECT_DOUBLE_EQ(C.QualityPercent(), 100.0);
}

// The response time runs from the request's last byte to the reply's last:
// a device 25 ms late is in the 25-30 ms bucket or just above, never below.
TEST(LinkStatistics, ALateDeviceMovesUpTheHistogram) {
    TEngineRig Rig(kShortTimeout);
    // 40 ms late, held against 25: the read starts once the request is seen
    // written, which a loaded machine may notice a few milliseconds late.
    Rig.Sim().SetFault(TSimFault::Delay, 40);
    const TExchangeCounts C = Exchanges(Rig, 4);
    EXPECT_EQ(C.Answered, 4u);
    EXPECT_GE(C.ResponseMsMin, 25.0);
    ASSERT_EQ(C.Histogram.size(), 20u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(C.Histogram[std::size_t(i)], 0u) << i;
    EXPECT_EQ(Sum(C.Histogram), 4u);
}

TEST(LinkStatistics, EachFaultHasItsCounter) {
    struct TCase {
        TSimFault Fault;
        int Value;
        std::uint64_t TExchangeCounts::*Counter;
    };
    const TCase Cases[] = {
        {TSimFault::Silence, 0, &TExchangeCounts::NoAnswer},
        {TSimFault::BadCrc, 0, &TExchangeCounts::Corrupt},
        {TSimFault::WrongFunction, 0, &TExchangeCounts::Mismatch},
        {TSimFault::Exception, 2, &TExchangeCounts::Exception},
        {TSimFault::Status, 3, &TExchangeCounts::Status},
    };
    for (const TCase &Case : Cases) {
        SCOPED_TRACE(int(Case.Fault));
        TEngineRig Rig(kShortTimeout);
        Rig.Sim().SetFault(Case.Fault, Case.Value, 2);
        const TExchangeCounts C = Exchanges(Rig, 5);
        EXPECT_EQ(C.Exchanges, 5u);
        EXPECT_EQ(C.*Case.Counter, 2u);
        EXPECT_EQ(C.Answered, 3u);
        EXPECT_EQ(Sum(C.Histogram), 3u); // only answered exchanges have a response time
        EXPECT_DOUBLE_EQ(C.QualityPercent(), 60.0);
        EXPECT_EQ(C.NoAnswer + C.Corrupt + C.Mismatch + C.Exception + C.Status + C.PortLost, 2u);
        if (Case.Fault == TSimFault::Exception)
            EXPECT_EQ(C.ExceptionCodes, (std::map<int, std::uint64_t>{{2, 2}}));
        else
            EXPECT_TRUE(C.ExceptionCodes.empty());
        if (Case.Fault == TSimFault::Status)
            EXPECT_EQ(C.StatusCodes, (std::map<int, std::uint64_t>{{3, 2}}));
        else
            EXPECT_TRUE(C.StatusCodes.empty());
    }
}

TEST(LinkStatistics, TrailingBytesAreNoiseOfAnAnsweredExchange) {
    TEngineRig Rig(kShortTimeout);
    Rig.Sim().SetFault(TSimFault::TrailingBytes, 4, 3);
    const TExchangeCounts C = Exchanges(Rig, 3);
    EXPECT_EQ(C.Answered, 3u);
    EXPECT_EQ(C.Noise, 12u);
}

// Bytes that come between two exchanges, long after a reply, are noise like
// those right behind it: counted, whatever the poll period.
TEST(LinkStatistics, NoiseBetweenExchangesIsCounted) {
    TEngineRig Rig;
    Rig.Sim().SetFault(TSimFault::LateBytes, 9, 3);
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(Rig.Engine().ExecuteRequest(rkReadLevel), 0) << i << ": " << Lanx1->LastErrorText().toStdString();
        if (i < 3) {
            ASSERT_TRUE(Rig.Sim().WaitForLateBytes(9 * (i + 1), 5000));
        }
    }
    const TExchangeCounts C = Rig.Engine().SettledStatistics();
    EXPECT_EQ(C.Answered, 4u);
    EXPECT_EQ(C.Noise, 27u);
}

TEST(LinkStatistics, ResetClearsTheEngineCountsNoiseIncluded) {
    TEngineRig Rig(kShortTimeout);
    Rig.Sim().SetFault(TSimFault::TrailingBytes, 4, 1);
    Rig.Sim().SetFault(TSimFault::Exception, 7, 1);
    Exchanges(Rig, 3);
    TExchangeCounts C = Rig.Engine().SettledStatistics();
    ASSERT_EQ(C.Exchanges, 3u);
    ASSERT_GT(C.Noise, 0u);
    Rig.Engine().ResetStatistics();
    C = Rig.Engine().SettledStatistics();
    EXPECT_EQ(C.Exchanges, 0u);
    EXPECT_EQ(C.Noise, 0u);
    EXPECT_EQ(C.Exception, 0u);
    EXPECT_TRUE(C.ExceptionCodes.empty());
    EXPECT_EQ(Sum(C.Histogram), 0u);
    EXPECT_EQ(C.Histogram.size(), 20u);
    EXPECT_FALSE(C.HasQuality());
    // Counting goes on from zero.
    C = Exchanges(Rig, 2);
    EXPECT_EQ(C.Exchanges, 2u);
    EXPECT_EQ(C.Answered, 2u);
    EXPECT_EQ(C.Noise, 0u);
}
