#pragma once
// Reducing a level-to-volume table to the few points the transducer holds.
//
// The device interpolates linearly between at most 32 points, while a tank's
// calibration certificate has hundreds or thousands of rows. ReduceTable picks
// the rows to keep: among all subsets of the table's rows that contain its
// first and last row and have at most Count rows, one whose interpolation
// has the smallest possible maximum absolute volume error over every row of
// the table. This is the exact optimum (up to 1e-12 of the largest volume),
// not an estimate. Many subsets usually share that maximum; of those the one
// with the smallest mean error is taken, and of equal ones the one with fewer
// rows (a straight line keeps its two ends only).
#include "Tara.h"

#include <QString>
#include <functional>
#include <span>
#include <vector>

// A subset of a table's rows and how well it stands for the whole table.
struct TTableReduction {
    QString Error;         // why there is no reduction (Russian, for the user); empty on success
    std::vector<int> Rows; // the chosen rows, ascending indices into the table, first and last included
    double MaxError = 0;   // largest |volume - interpolated volume| over all rows, in the table's volume unit
    int MaxErrorRow = 0;   // the first row where MaxError occurs
    double MeanError = 0;  // mean of |volume - interpolated volume| over all rows
    bool Ok() const { return Error.isEmpty(); }
};

// The best subset of at most Count rows (Count >= 2; a Count beyond the
// table's rows allows them all). Levels must be finite and strictly
// increasing and volumes finite; volumes need not be monotone. Otherwise Error
// names the first offending point (1-based) and Rows is empty.
//
// Time: a full scan of the table costs about rows x rows / Count steps. A
// smooth table (a horizontal cylinder) needs two: 10,000 rows take some tens
// of milliseconds, 50,000 rows about half a second. Noisy tables, whose best
// subset the quick first guess misses, need a few dozen, and long straight
// stretches make every scan long (a 10,000-row upright tank on a conical
// bottom: a fifth of a second). Should the choice among equally good subsets
// grow beyond a fixed amount of work, the first optimal subset found is taken.
//
// Stop, when given, is asked now and then (from the calling thread); once it
// returns true the search ends with Error set.
TTableReduction ReduceTable(std::span<const TTaraPoint> Table, int Count, std::function<bool()> Stop = {});

// How well the given rows (ascending, first and last row of the table among
// them) stand for the table: the fields of TTableReduction other than Error,
// which is set when the rows are not such a subset or the table is unusable.
TTableReduction MeasureReduction(std::span<const TTaraPoint> Table, std::vector<int> Rows);

// For every row of the table, its volume minus the volume interpolated
// between the chosen rows around it (the error curve). Rows as for
// MeasureReduction; empty when they are not such a subset.
std::vector<double> ReductionErrors(std::span<const TTaraPoint> Table, std::span<const int> Rows);

// The points of the chosen rows.
TTaraTable ReducedTable(std::span<const TTaraPoint> Table, std::span<const int> Rows);
