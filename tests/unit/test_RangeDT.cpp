// Archive ranges: missing dates and times are completed, inverted pairs refused.
#include "uRangeDT.h"
#include "TestEnvironment.h"

#include <QDate>
#include <QDateTime>
#include <cmath>
#include <gtest/gtest.h>

namespace {


double TimeOfDay(TDateTime Value) {
    return Value - std::trunc(Value);
}

// The time of day of Value lies between two readings of the clock (a run
// across midnight is not expected from a unit test).
void ExpectCurrentTimeOfDay(TDateTime Value, TDateTime Before, TDateTime After) {
    EXPECT_GE(TimeOfDay(Value), TimeOfDay(Before) - 1e-9);
    EXPECT_LE(TimeOfDay(Value), TimeOfDay(After) + 1e-9);
}

} // namespace

TEST(RangeDT, NewRangeIsTheLast24Hours) {
    const TDateTime Before = Now();
    TRangeDT R;
    const TDateTime After = Now();
    EXPECT_NEAR(R.GetStop() - R.GetStart(), 1.0, 1e-9);
    EXPECT_EQ(DateOf(R.GetStop()), DateOf(After));
    ExpectCurrentTimeOfDay(R.GetStop(), Before, After);
}

TEST(RangeDT, MissingPartsAreCompleted) {
    TRangeDT R;
    const TDateTime Before = Now();
    R.SetStart(At(2024, 3, 5)); // exactly midnight: no time given
    R.SetStop(0);               // neither date nor time
    const TDateTime After = Now();
    EXPECT_EQ(DateOf(R.GetStart()), At(2024, 3, 5));
    ExpectCurrentTimeOfDay(R.GetStart(), Before, After);
    EXPECT_EQ(DateOf(R.GetStop()), DateOf(After));
    ExpectCurrentTimeOfDay(R.GetStop(), Before, After);

    // A time without a date falls on yesterday for the start, today for the stop.
    const double HalfPastTwo = 14.5 / 24;
    R.SetStart(HalfPastTwo);
    R.SetStop(HalfPastTwo);
    EXPECT_EQ(DateOf(R.GetStart()), DateOf(Now()) - 1);
    EXPECT_NEAR(TimeOfDay(R.GetStart()), HalfPastTwo, 1e-9);
    EXPECT_EQ(DateOf(R.GetStop()), DateOf(Now()));

    // Complete parts are kept as they are.
    R.SetStart(At(2024, 3, 3, 14, 30));
    EXPECT_EQ(R.GetStart(), At(2024, 3, 3, 14, 30));
}

TEST(RangeDT, SetRangeTakesValidPairsAndRefusesInvertedOnes) {
    TRangeDT R;
    EXPECT_TRUE(R.SetRange(At(2024, 3, 3, 14, 30), At(2024, 3, 10, 14, 30)));
    EXPECT_EQ(R.GetStart(), At(2024, 3, 3, 14, 30));
    EXPECT_EQ(R.GetStop(), At(2024, 3, 10, 14, 30));

    EXPECT_FALSE(R.SetRange(At(2024, 3, 10, 14, 31), At(2024, 3, 10, 14, 30)));
    EXPECT_EQ(R.GetStart(), At(2024, 3, 3, 14, 30));
    EXPECT_EQ(R.GetStop(), At(2024, 3, 10, 14, 30));

    EXPECT_TRUE(R.SetRange(At(2024, 3, 10, 14, 30), At(2024, 3, 10, 14, 30))); // an empty range is fine
}

TEST(RangeDT, InvertedStoredRangeDoesNotLockTheObject) {
    TRangeDT R;
    // Start at midnight takes the current time of day, which puts it after a
    // stop one second past midnight of the same day.
    const TDateTime Day = DateOf(Now());
    R.SetStop(Day + 1.0 / 86400);
    R.SetStart(Day);
    ASSERT_GT(R.GetStart(), R.GetStop());

    EXPECT_TRUE(R.SetRange(At(2024, 3, 3, 14, 30), At(2024, 3, 10, 14, 30)));
    EXPECT_EQ(R.GetStart(), At(2024, 3, 3, 14, 30));
    EXPECT_EQ(R.GetStop(), At(2024, 3, 10, 14, 30));
}
