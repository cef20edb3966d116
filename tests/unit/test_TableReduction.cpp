// Reduction of a long table to the transducer's points: the optimum checked
// against every subset on small tables, the shape of the result on tanks with
// a known formula, and what is refused.
#include "uTableReduction.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>
#include <random>

namespace {

// A horizontal cylinder one row a millimetre, level and volume in per cent of
// the diameter and the capacity.
TTaraTable Cylinder(int Rows) {
    const double Radius = (Rows - 1) / 2.0;
    TTaraTable Table(Rows);
    for (int h = 0; h < Rows; ++h) {
        const double C = std::clamp(Radius - h, -Radius, Radius);
        const double Area = Radius * Radius * std::acos(C / Radius) - C * std::sqrt(Radius * Radius - C * C);
        Table[h] = {100.0 * h / (Rows - 1), 100.0 * Area / (std::numbers::pi * Radius * Radius)};
    }
    return Table;
}

// The least maximum error over every subset of at most Count rows that keeps
// the ends, and the least mean error among the subsets that have it.
struct TBruteForce {
    double MaxError = std::numeric_limits<double>::infinity();
    double MeanError = std::numeric_limits<double>::infinity();
};

TBruteForce BruteForce(const TTaraTable &Table, int Count) {
    const int Inner = static_cast<int>(Table.size()) - 2;
    TBruteForce Best;
    for (unsigned Mask = 0; Mask < (1u << Inner); ++Mask) {
        if (std::popcount(Mask) > Count - 2)
            continue;
        std::vector<int> Rows{0};
        for (int i = 0; i < Inner; ++i)
            if (Mask & (1u << i))
                Rows.push_back(i + 1);
        Rows.push_back(Inner + 1);
        const TTableReduction M = MeasureReduction(Table, Rows);
        if (M.MaxError < Best.MaxError - 1e-12) {
            Best = {M.MaxError, M.MeanError};
        } else if (M.MaxError <= Best.MaxError + 1e-12) {
            Best.MeanError = std::min(Best.MeanError, M.MeanError);
        }
    }
    return Best;
}

void ExpectSubset(const TTableReduction &R, size_t Rows, int Count) {
    ASSERT_TRUE(R.Ok()) << R.Error.toStdString();
    ASSERT_GE(R.Rows.size(), 2u);
    EXPECT_LE(R.Rows.size(), static_cast<size_t>(Count));
    EXPECT_EQ(R.Rows.front(), 0);
    EXPECT_EQ(R.Rows.back(), static_cast<int>(Rows) - 1);
    EXPECT_TRUE(std::is_sorted(R.Rows.begin(), R.Rows.end()));
    EXPECT_EQ(std::adjacent_find(R.Rows.begin(), R.Rows.end()), R.Rows.end());
}

} // namespace

TEST(TableReduction, MatchesEverySubsetOnRandomMonotoneTables) {
    std::mt19937 Random(20240513);
    for (int Case = 0; Case < 400; ++Case) {
        const int Rows = 8 + static_cast<int>(Random() % 13);
        const int Count = 3 + static_cast<int>(Random() % 4);
        TTaraTable Table(Rows);
        double Level = 0, Volume = 0;
        for (TTaraPoint &P : Table) {
            Level += 0.5 + (Random() % 1000) / 100.0;
            // Every fourth table has flat stretches, where many subsets tie.
            Volume += Case % 4 == 0 ? (Random() % 3 == 0 ? 0.0 : Random() % 5) : (Random() % 1000) / 10.0;
            P = {Level, Volume};
        }
        const TTableReduction R = ReduceTable(Table, Count);
        ExpectSubset(R, Table.size(), Count);
        const TBruteForce Best = BruteForce(Table, Count);
        EXPECT_NEAR(R.MaxError, Best.MaxError, 1e-9) << "case " << Case;
        EXPECT_NEAR(R.MeanError, Best.MeanError, 1e-9) << "case " << Case << ": ties go to the smaller mean";
    }
}

TEST(TableReduction, ReportsTheErrorOfTheChosenRows) {
    const TTaraTable Table = Cylinder(1001);
    const TTableReduction R = ReduceTable(Table, 32);
    ExpectSubset(R, Table.size(), 32);
    EXPECT_EQ(R.Rows.size(), 32u);
    const TTableReduction Measured = MeasureReduction(Table, R.Rows);
    EXPECT_EQ(R.MaxError, Measured.MaxError);
    EXPECT_EQ(R.MaxErrorRow, Measured.MaxErrorRow);
    EXPECT_EQ(R.MeanError, Measured.MeanError);

    // The error curve has its largest magnitude where the maximum was reported.
    const std::vector<double> Errors = ReductionErrors(Table, R.Rows);
    ASSERT_EQ(Errors.size(), Table.size());
    EXPECT_EQ(std::fabs(Errors[R.MaxErrorRow]), R.MaxError);
    for (size_t i = 0; i < Errors.size(); ++i)
        EXPECT_LE(std::fabs(Errors[i]), R.MaxError) << i;
    for (const int Row : R.Rows)
        EXPECT_EQ(Errors[Row], 0);

    // More points never make it worse.
    EXPECT_LE(R.MaxError, ReduceTable(Table, 16).MaxError);
    EXPECT_GT(R.MaxError, 0);
}

TEST(TableReduction, HorizontalCylinderIsSymmetricAboutTheMiddle) {
    for (const int Rows : {1000, 2001}) {
        const TTaraTable Table = Cylinder(Rows);
        for (const int Count : {8, 32}) {
            const TTableReduction R = ReduceTable(Table, Count);
            ExpectSubset(R, Table.size(), Count);
            ASSERT_EQ(R.Rows.size(), static_cast<size_t>(Count));
            for (size_t k = 0; k < R.Rows.size(); ++k)
                EXPECT_EQ(R.Rows[k] + R.Rows[R.Rows.size() - 1 - k], Rows - 1)
                    << Rows << " rows, " << Count << " points, point " << k;
        }
        // An odd count cannot be symmetric without the middle row, but the
        // mirror image of the choice is just as good.
        const TTableReduction Odd = ReduceTable(Table, 7);
        std::vector<int> Mirror;
        for (auto It = Odd.Rows.rbegin(); It != Odd.Rows.rend(); ++It)
            Mirror.push_back(Rows - 1 - *It);
        EXPECT_NEAR(MeasureReduction(Table, Mirror).MaxError, Odd.MaxError, 1e-9);
    }
}

TEST(TableReduction, StraightLineNeedsTwoPoints) {
    TTaraTable Line(500);
    for (int i = 0; i < 500; ++i)
        Line[i] = {i * 2.0, 3.0 * i + 7};
    TTableReduction R = ReduceTable(Line, 2);
    ExpectSubset(R, Line.size(), 2);
    EXPECT_EQ(R.Rows, (std::vector<int>{0, 499}));
    EXPECT_EQ(R.MaxError, 0);
    EXPECT_EQ(R.MeanError, 0);

    // Given more points, a line still keeps its two ends only.
    R = ReduceTable(Line, 32);
    EXPECT_EQ(R.Rows, (std::vector<int>{0, 499}));
    EXPECT_EQ(R.MaxError, 0);
}

TEST(TableReduction, ExactBreaksAreFoundAndNothingMore) {
    // Four straight stretches: the five rows where they meet fit exactly.
    const std::vector<int> Breaks{0, 30, 31, 70, 99};
    TTaraTable Table(100);
    for (int i = 0; i < 100; ++i) {
        const double Level = i;
        double Volume = 0;
        if (i <= 30)
            Volume = Level * 0.5;
        else if (i <= 31)
            Volume = 15 + (Level - 30) * 4;
        else if (i <= 70)
            Volume = 19 + (Level - 31) * 2;
        else
            Volume = 97 + (Level - 70) * 0.25;
        Table[i] = {Level, Volume};
    }
    const TTableReduction R = ReduceTable(Table, 32);
    EXPECT_EQ(R.Rows, Breaks);
    EXPECT_NEAR(R.MaxError, 0, 1e-12);
    EXPECT_GT(ReduceTable(Table, 4).MaxError, 0.1);
}

TEST(TableReduction, ShortTablesKeepEveryRowThatMatters) {
    const TTaraTable Table{{0, 0}, {1, 1}, {2, 4}, {3, 9}, {4, 16}};
    const TTableReduction R = ReduceTable(Table, 32);
    EXPECT_EQ(R.Rows, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(R.MaxError, 0);
}

TEST(TableReduction, MeasuresAGivenChoice) {
    const TTaraTable Table{{0, 0}, {1, 1}, {2, 4}};
    const TTableReduction M = MeasureReduction(Table, {0, 2});
    ASSERT_TRUE(M.Ok());
    EXPECT_EQ(M.MaxError, 1);
    EXPECT_EQ(M.MaxErrorRow, 1);
    EXPECT_DOUBLE_EQ(M.MeanError, 1.0 / 3);
    EXPECT_EQ(ReductionErrors(Table, std::vector<int>{0, 2}), (std::vector<double>{0, -1, 0}));
    EXPECT_EQ(ReducedTable(Table, std::vector<int>{0, 2}).size(), 2u);
    EXPECT_EQ(ReducedTable(Table, std::vector<int>{0, 2})[1].Volume, 4);

    // A choice must keep both ends, ascending.
    EXPECT_FALSE(MeasureReduction(Table, {0, 1}).Ok());
    EXPECT_FALSE(MeasureReduction(Table, {1, 2}).Ok());
    EXPECT_FALSE(MeasureReduction(Table, {0, 1, 1, 2}).Ok());
    EXPECT_TRUE(ReductionErrors(Table, std::vector<int>{2, 0}).empty());
}

TEST(TableReduction, RefusesTablesItCannotInterpolate) {
    const double NaN = std::numeric_limits<double>::quiet_NaN();
    struct TCase {
        TTaraTable Table;
        int Count;
        const char *Why;
    };
    const TCase Cases[] = {
        {{}, 32, "empty"},
        {{{0, 0}}, 32, "one point"},
        {{{0, 0}, {1, 1}, {1, 2}}, 32, "equal levels"},
        {{{0, 0}, {2, 1}, {1, 2}}, 32, "falling level"},
        {{{0, 0}, {1, NaN}, {2, 2}}, 32, "not a number"},
        {{{0, 0}, {1, 1}, {std::numeric_limits<double>::infinity(), 2}}, 32, "infinite level"},
        {{{0, 0}, {1, 1}, {2, 2}}, 1, "fewer than two points asked"},
    };
    for (const TCase &C : Cases) {
        const TTableReduction R = ReduceTable(C.Table, C.Count);
        EXPECT_FALSE(R.Ok()) << C.Why;
        EXPECT_TRUE(R.Rows.empty()) << C.Why;
    }
    const TTableReduction R = ReduceTable(TTaraTable{{0, 0}, {2, 1}, {1, 2}}, 32);
    EXPECT_TRUE(R.Error.contains(QStringLiteral("Точка 3"))) << R.Error.toStdString();

    // Falling volumes are a table all the same.
    EXPECT_TRUE(ReduceTable(TTaraTable{{0, 5}, {1, 1}, {2, 3}}, 2).Ok());
}

TEST(TableReduction, StopsWhenAsked) {
    int Asked = 0;
    const TTableReduction R = ReduceTable(Cylinder(3000), 32, [&Asked] { return ++Asked > 3; });
    EXPECT_FALSE(R.Ok());
    EXPECT_TRUE(R.Rows.empty());
    EXPECT_GT(Asked, 3);
}
