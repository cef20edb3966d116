#include "uTableReduction.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

// How the best subset is found.
//
// For a tolerance T, a chord from row A to row B is usable when it passes
// within T of every row between them. The fewest rows that keep the whole
// table within T are a shortest path over usable chords, and the smallest
// maximum error of Count rows is the smallest T at which that path has at most
// Count rows: a search on T. The chords from A are found in one scan: the
// slopes of the lines through A that pass within T of the rows after A form an
// interval that only shrinks as rows are added; a chord is usable when its own
// slope lies in the interval of the rows before its end, and once the interval
// is empty no later chord is.
//
// Scanning every row at every tolerance of the search would cost some hundred
// full scans. Two things keep it to a few: the path that always takes the
// longest usable chord (greedy) is cheap and, on convex or concave stretches,
// as short as any, so the search runs on it first; then a single full scan
// just below the greedy result either proves it optimal or finds a better
// path, and the search goes on with full scans only then.
//
// The maximum is usually shared by many subsets (only the worst chord is
// tight), so the one with the smallest mean error is chosen by a second
// shortest path, over the rows that can lie on a path of at most Count rows
// at all; on a smooth table that is a narrow band around each chosen row.

namespace {

constexpr int kFar = std::numeric_limits<int>::max() / 2; // not reached
constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Errors closer than this fraction of the largest volume are taken as equal:
// the scans' rounding stays far below it, the optimum far above it.
constexpr double kRelativeSlack = 1e-12;
// Row steps the mean-error choice may take before it settles for the first
// optimal subset found (a table with long straight stretches would otherwise
// offer it millions of equally good chords).
constexpr long long kTieBreakBudget = 200'000'000;

// The table as the search sees it, and the caller's wish to stop.
struct TCurve {
    std::vector<double> X, Y;
    std::function<bool()> Stop;
    mutable bool Stopped = false;
    int Size() const { return static_cast<int>(X.size()); }
    // Asked between scans; once true it stays so, and every search gives up.
    bool Stopping() const {
        if (!Stopped && Stop && Stop())
            Stopped = true;
        return Stopped;
    }
};

// The volume at row I interpolated between rows A and B, in the order of
// operations of TTara::LevelToVolume, so the errors are those the table shows.
double Interpolated(const TCurve &C, int A, int B, int I) {
    return C.Y[A] + (C.X[I] - C.X[A]) * (C.Y[B] - C.Y[A]) / (C.X[B] - C.X[A]);
}

// Visits, ascending, every row B after A whose chord A-B is usable at T, until
// no later chord can be or Visit returns false. Slopes are compared as
// products so that a division is needed only where a bound moves.
template <typename TVisit>
void ScanForward(const TCurve &C, int A, double T, TVisit &&Visit) {
    const double *X = C.X.data(), *Y = C.Y.data();
    const int N = C.Size();
    const double XA = X[A], YA = Y[A];
    double Lo = -kInfinity, Hi = kInfinity;
    for (int B = A + 1; B < N; ++B) {
        const double Dx = X[B] - XA, Dy = Y[B] - YA;
        if (Dy >= Lo * Dx && Dy <= Hi * Dx && !Visit(B))
            return;
        if (Dy - T > Lo * Dx)
            Lo = (Dy - T) / Dx;
        if (Dy + T < Hi * Dx)
            Hi = (Dy + T) / Dx;
        if (Lo > Hi)
            return;
    }
}

// The same towards the first row: every row B before A whose chord B-A is usable.
template <typename TVisit>
void ScanBackward(const TCurve &C, int A, double T, TVisit &&Visit) {
    const double *X = C.X.data(), *Y = C.Y.data();
    const double XA = X[A], YA = Y[A];
    double Lo = -kInfinity, Hi = kInfinity;
    for (int B = A - 1; B >= 0; --B) {
        const double Dx = XA - X[B], Dy = YA - Y[B];
        if (Dy >= Lo * Dx && Dy <= Hi * Dx && !Visit(B))
            return;
        if (Dy - T > Lo * Dx)
            Lo = (Dy - T) / Dx;
        if (Dy + T < Hi * Dx)
            Hi = (Dy + T) / Dx;
        if (Lo > Hi)
            return;
    }
}

struct TPathError {
    double Max = 0;
    int Row = 0;
    double Sum = 0;
};

TPathError PathError(const TCurve &C, const std::vector<int> &Path) {
    TPathError E;
    for (size_t k = 0; k + 1 < Path.size(); ++k)
        for (int i = Path[k] + 1; i < Path[k + 1]; ++i) {
            const double D = std::fabs(C.Y[i] - Interpolated(C, Path[k], Path[k + 1], i));
            E.Sum += D;
            if (D > E.Max) {
                E.Max = D;
                E.Row = i;
            }
        }
    return E;
}

// The path that always takes the longest usable chord, if it needs no more
// than MaxRows rows. Each row is scanned about once.
bool Greedy(const TCurve &C, double T, int MaxRows, std::vector<int> &Path) {
    const int Last = C.Size() - 1;
    Path.assign(1, 0);
    for (int A = 0; A < Last;) {
        if (static_cast<int>(Path.size()) >= MaxRows || C.Stopping())
            return false;
        int Far = A + 1; // a chord between neighbours is always usable
        ScanForward(C, A, T, [&Far](int B) {
            Far = B;
            return true;
        });
        A = Far;
        Path.push_back(A);
    }
    return true;
}

// The fewest usable chords from each row to the last (kFar beyond
// MaxChords) and the row that follows on such a path. Rows are taken from the
// last one down, so each is final when its own chords are scanned. With
// StopAtFirst the scan ends as soon as the first row is within MaxChords.
void ChordsToEnd(const TCurve &C, double T, int MaxChords, bool StopAtFirst, std::vector<int> &Hops,
                 std::vector<int> &Next) {
    const int N = C.Size();
    Hops.assign(N, kFar);
    Next.assign(N, -1);
    Hops[N - 1] = 0;
    for (int A = N - 1; A > 0; --A) {
        const int H = Hops[A] + 1;
        if (H > MaxChords)
            continue; // no path of MaxChords goes on from here
        if (C.Stopping())
            return;
        ScanBackward(C, A, T, [&](int B) {
            if (H < Hops[B]) {
                Hops[B] = H;
                Next[B] = A;
            }
            return true;
        });
        if (StopAtFirst && Hops[0] <= MaxChords)
            return;
    }
}

std::vector<int> PathFrom(const std::vector<int> &Next) {
    std::vector<int> Path;
    for (int R = 0; R >= 0; R = Next[R])
        Path.push_back(R);
    return Path;
}

// A path of at most MaxRows rows whose chords are usable at T, if there is one.
bool PathWithin(const TCurve &C, double T, int MaxRows, std::vector<int> &Path) {
    if (Greedy(C, T, MaxRows, Path))
        return true;
    std::vector<int> Hops, Next;
    ChordsToEnd(C, T, MaxRows - 1, true, Hops, Next);
    if (Hops[0] > MaxRows - 1 || C.Stopping())
        return false;
    Path = PathFrom(Next);
    return true;
}

// The smallest maximum error of a path of at most MaxRows rows, to within
// Slack, and such a path (Best).
double SmallestMaxError(const TCurve &C, int MaxRows, double Slack, std::vector<int> &Best) {
    Best = {0, C.Size() - 1};
    double Upper = PathError(C, Best).Max;
    std::vector<int> Path;

    // The greedy path, bisected on the tolerance. Its success need not be
    // monotone in T, which only costs it some quality as a guess.
    double Lo = 0, Hi = Upper;
    for (int i = 0; i < 200 && Hi - Lo > Slack / 4; ++i) {
        const double T = Lo + (Hi - Lo) / 2;
        if (Greedy(C, T, MaxRows, Path)) {
            const double E = PathError(C, Path).Max;
            if (E < Upper) {
                Upper = E;
                Best = Path;
            }
            Hi = std::min(T, E);
        } else {
            Lo = T;
        }
    }

    // A probe just below the best error found ends the search when nothing is
    // there. When something is, probes alternate between bisecting what is
    // left and descending just below the new best, so that the search stops
    // as soon as the best is proved.
    Lo = 0; // no error below Lo is possible
    bool Descend = true;
    for (int i = 0; i < 400 && Upper > Slack && Upper - Lo > Slack; ++i) {
        const double T = Descend ? Upper - Slack : Lo + (Upper - Lo) / 2;
        if (!PathWithin(C, T, MaxRows, Path)) {
            if (Descend)
                break; // nothing just below the best: it is the optimum
            Lo = T;
            continue;
        }
        const double E = PathError(C, Path).Max;
        if (E < Upper) {
            Upper = E;
            Best = Path;
        } else if (Descend) {
            break; // found only within rounding of the best: nothing better exists
        }
        Descend = !Descend;
    }
    return Upper;
}

// Of the paths of at most MaxRows rows over chords usable at T, the one with
// the smallest sum of absolute errors, and of equal sums the one with fewer
// rows. False when there is none or the work would exceed the budget.
bool SmallestSumPath(const TCurve &C, double T, int MaxRows, double Slack, std::vector<int> &Path) {
    const int N = C.Size(), MaxChords = MaxRows - 1;
    const double *X = C.X.data(), *Y = C.Y.data();
    std::vector<int> Hops, Next;
    ChordsToEnd(C, T, MaxChords, false, Hops, Next);
    if (Hops[0] > MaxChords || C.Stopping())
        return false;

    // A row can lie on a path only when the chords it takes from the first
    // row (From) and to the last (Hops) add up to at most MaxChords. Only such
    // rows are scanned from; every row on a shortest path to one of them is
    // one of them too, so From is exact where it is used.
    std::vector<int> From(N, kFar);
    From[0] = 0;
    // Per row reached, the least error sum with k chords from the first row,
    // k = 0..MaxChords - Hops[row] (more could not reach the last row), and
    // the row before on that path.
    std::vector<int> Slot(N, -1);
    std::vector<double> Sum;
    std::vector<int> Before;
    const auto SlotOf = [&](int R) {
        if (Slot[R] < 0) {
            Slot[R] = static_cast<int>(Sum.size());
            Sum.resize(Sum.size() + MaxChords - Hops[R] + 1, kInfinity);
            Before.resize(Sum.size(), -1);
        }
        return Slot[R];
    };
    Sum[SlotOf(0)] = 0;

    long long Work = 0;
    for (int A = 0; A < N - 1; ++A) {
        if (From[A] + Hops[A] > MaxChords)
            continue;
        const int SA = Slot[A], KA = MaxChords - Hops[A];
        const double XA = X[A], YA = Y[A];
        // The rows between A and B: sums of their rises and runs from A, and
        // the least and greatest of their slopes from A. A chord whose slope
        // lies outside those has every row on one side, and its error sum
        // follows from the sums alone.
        double Rise = 0, Run = 0, SlopeMin = kInfinity, SlopeMax = -kInfinity;
        double Lo = -kInfinity, Hi = kInfinity;
        for (int B = A + 1; B < N; ++B) {
            ++Work;
            const double Dx = X[B] - XA, Dy = Y[B] - YA;
            if (Dy >= Lo * Dx && Dy <= Hi * Dx && From[A] + 1 + Hops[B] <= MaxChords) {
                From[B] = std::min(From[B], From[A] + 1);
                const double S = Dy / Dx;
                double Error = 0;
                if (B == A + 1) {
                    Error = 0;
                } else if (S <= SlopeMin) {
                    Error = Rise - S * Run;
                } else if (S >= SlopeMax) {
                    Error = S * Run - Rise;
                } else {
                    for (int i = A + 1; i < B; ++i)
                        Error += std::fabs((Y[i] - YA) - S * (X[i] - XA));
                    Work += B - A;
                }
                Error = std::max(Error, 0.0);
                const int SB = SlotOf(B), KB = MaxChords - Hops[B];
                for (int k = From[A]; k <= KA && k + 1 <= KB; ++k) {
                    if (Sum[SA + k] == kInfinity)
                        continue;
                    const double V = Sum[SA + k] + Error;
                    if (V < Sum[SB + k + 1]) {
                        Sum[SB + k + 1] = V;
                        Before[SB + k + 1] = A;
                    }
                }
            }
            Rise += Dy;
            Run += Dx;
            SlopeMin = std::min(SlopeMin, Dy / Dx);
            SlopeMax = std::max(SlopeMax, Dy / Dx);
            if (Dy - T > Lo * Dx)
                Lo = (Dy - T) / Dx;
            if (Dy + T < Hi * Dx)
                Hi = (Dy + T) / Dx;
            if (Lo > Hi)
                break;
        }
        if (Work > kTieBreakBudget || C.Stopping())
            return false;
    }

    const int SE = Slot[N - 1];
    if (SE < 0)
        return false;
    const int KE = MaxChords - Hops[N - 1];
    double Least = kInfinity;
    for (int k = 0; k <= KE; ++k)
        Least = std::min(Least, Sum[SE + k]);
    if (Least == kInfinity)
        return false;
    int Chords = 0;
    while (Sum[SE + Chords] > Least + Least * 1e-12 + Slack)
        ++Chords;

    Path.assign(1, N - 1);
    for (int R = N - 1, k = Chords; k > 0; --k) {
        R = Before[Slot[R] + k];
        Path.push_back(R);
    }
    std::reverse(Path.begin(), Path.end());
    return Path.front() == 0;
}

QString CheckTable(std::span<const TTaraPoint> Table) {
    if (Table.size() < 2)
        return QStringLiteral("В таблице меньше двух точек.");
    for (size_t i = 0; i < Table.size(); ++i) {
        if (!std::isfinite(Table[i].Level) || !std::isfinite(Table[i].Volume))
            return QStringLiteral("Точка %1: уровень или объём не является числом.").arg(i + 1);
        if (i > 0 && !(Table[i].Level > Table[i - 1].Level))
            return QStringLiteral("Точка %1: уровень не больше уровня предыдущей точки; уровни должны возрастать.")
                .arg(i + 1);
    }
    return {};
}

QString CheckRows(std::span<const int> Rows, size_t Size) {
    if (Rows.size() < 2 || Rows.front() != 0 || Rows.back() != static_cast<int>(Size) - 1)
        return QStringLiteral("Выбранные точки должны включать первую и последнюю точку таблицы.");
    for (size_t k = 1; k < Rows.size(); ++k)
        if (Rows[k] <= Rows[k - 1])
            return QStringLiteral("Выбранные точки должны идти по возрастанию.");
    return {};
}

TCurve CurveOf(std::span<const TTaraPoint> Table, std::function<bool()> Stop = {}) {
    TCurve C;
    C.Stop = std::move(Stop);
    C.X.reserve(Table.size());
    C.Y.reserve(Table.size());
    for (const TTaraPoint &P : Table) {
        C.X.push_back(P.Level);
        C.Y.push_back(P.Volume);
    }
    return C;
}

} // namespace

TTableReduction ReduceTable(std::span<const TTaraPoint> Table, int Count, std::function<bool()> Stop) {
    TTableReduction R;
    R.Error = CheckTable(Table);
    if (R.Error.isEmpty() && Count < 2)
        R.Error = QStringLiteral("Точек должно быть не меньше двух.");
    if (!R.Ok())
        return R;

    const TCurve C = CurveOf(Table, std::move(Stop));
    const int MaxRows = static_cast<int>(std::min<size_t>(static_cast<size_t>(Count), Table.size()));
    double Scale = 0;
    for (const double V : C.Y)
        Scale = std::max(Scale, std::fabs(V));
    const double Slack = kRelativeSlack * Scale;

    std::vector<int> Best;
    const double Optimum = SmallestMaxError(C, MaxRows, Slack, Best);
    std::vector<int> Path;
    if (Optimum <= Slack) {
        // The rows fit exactly: every subset that does is as good as any, so
        // the fewest rows. Within rounding the usable chords from a row are
        // those along its straight stretch, so the greedy path is the shortest.
        if (!Greedy(C, Slack, MaxRows, Path))
            Path = Best;
    } else if (!SmallestSumPath(C, Optimum + Slack, MaxRows, Slack, Path)) {
        Path = Best;
    }
    if (C.Stopping()) {
        R.Error = QStringLiteral("Подбор точек прерван.");
        return R;
    }
    return MeasureReduction(Table, std::move(Path));
}

TTableReduction MeasureReduction(std::span<const TTaraPoint> Table, std::vector<int> Rows) {
    TTableReduction R;
    R.Error = CheckTable(Table);
    if (R.Ok())
        R.Error = CheckRows(Rows, Table.size());
    if (!R.Ok())
        return R;
    const TPathError E = PathError(CurveOf(Table), Rows);
    R.Rows = std::move(Rows);
    R.MaxError = E.Max;
    R.MaxErrorRow = E.Row;
    R.MeanError = E.Sum / static_cast<double>(Table.size());
    return R;
}

std::vector<double> ReductionErrors(std::span<const TTaraPoint> Table, std::span<const int> Rows) {
    if (!CheckTable(Table).isEmpty() || !CheckRows(Rows, Table.size()).isEmpty())
        return {};
    const TCurve C = CurveOf(Table);
    std::vector<double> Errors(Table.size(), 0.0);
    for (size_t k = 0; k + 1 < Rows.size(); ++k)
        for (int i = Rows[k] + 1; i < Rows[k + 1]; ++i)
            Errors[i] = C.Y[i] - Interpolated(C, Rows[k], Rows[k + 1], i);
    return Errors;
}

TTaraTable ReducedTable(std::span<const TTaraPoint> Table, std::span<const int> Rows) {
    TTaraTable Points;
    Points.reserve(Rows.size());
    for (const int Row : Rows)
        if (Row >= 0 && static_cast<size_t>(Row) < Table.size())
            Points.push_back(Table[Row]);
    return Points;
}
