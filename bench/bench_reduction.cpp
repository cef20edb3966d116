// Reduction of a calibration certificate to the transducer's 32 points: a
// horizontal cylinder 9,999 mm across and 20 m long, one row a millimetre
// (10,000 rows), in per cent as the import hands it over, against the target
// of 100 ms. For comparison (no target): the whole import of that table from
// the text a spreadsheet exports (reading, checking, per cent, reduction), and
// an upright tank on a conical bottom, whose long straight wall makes every
// scan of the search long.
#include "BenchArchive.h"
#include "uCertificate.h"
#include "uTableReduction.h"
#include "uWin1251.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kTargetMs = 100;
constexpr int kRows = 10000;
constexpr int kPoints = 32;
constexpr int kRounds = 5;

// Litres in the cylinder at each millimetre of level.
std::vector<double> CylinderLitres() {
    const double Diameter = kRows - 1, Radius = Diameter / 2, Length = 20000;
    std::vector<double> Litres(kRows);
    for (int h = 0; h < kRows; ++h) {
        const double C = std::clamp(Radius - h, -Radius, Radius);
        const double Area = Radius * Radius * std::acos(C / Radius) - C * std::sqrt(Radius * Radius - C * C);
        Litres[h] = Area * Length * 1e-6;
    }
    return Litres;
}

TTaraTable PerCent(const std::vector<double> &Litres) {
    TTaraTable Table(Litres.size());
    for (size_t h = 0; h < Litres.size(); ++h)
        Table[h] = {100.0 * static_cast<double>(h) / (kRows - 1), 100.0 * Litres[h] / Litres.back()};
    return Table;
}

// The best and the median time of kRounds reductions, in milliseconds.
std::pair<double, double> Time(const TTaraTable &Table, TTableReduction &R) {
    std::vector<double> Ms;
    for (int i = 0; i < kRounds; ++i) {
        QElapsedTimer Clock;
        Clock.start();
        R = ReduceTable(Table, kPoints);
        Ms.push_back(Clock.nsecsElapsed() / 1e6);
    }
    std::sort(Ms.begin(), Ms.end());
    return {Ms.front(), Ms[Ms.size() / 2]};
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication App(argc, argv);
    TTableReduction R;
    const TTaraTable Exact = PerCent(CylinderLitres());
    const auto [Best, Median] = Time(Exact, R);
    Print(QStringLiteral("  %1 rows to %2 points: max error %3 % at level %4 %, mean %5 %")
              .arg(kRows).arg(R.Rows.size()).arg(R.MaxError, 0, 'g', 6)
              .arg(Exact[R.MaxErrorRow].Level, 0, 'f', 2).arg(R.MeanError, 0, 'g', 6));
    Print(QStringLiteral("table reduction: %1 ms (median %2 ms of %3, target <= %4 ms), ratio %5 %6")
              .arg(Best, 0, 'f', 1).arg(Median, 0, 'f', 1).arg(kRounds).arg(kTargetMs, 0, 'f', 0)
              .arg(Median / kTargetMs, 0, 'f', 2).arg(R.Ok() && Median <= kTargetMs ? "OK" : "MISSED"));

    // The same cylinder as a certificate: ';' and the decimal comma, litres to tenths.
    const std::vector<double> Litres = CylinderLitres();
    QString Text = QStringLiteral("Уровень, мм;Объем, л\r\n");
    for (int h = 0; h < kRows; ++h)
        Text += QString::number(h) + u';' + QString::number(Litres[h], 'f', 1).replace(u'.', u',') + QStringLiteral("\r\n");
    const QByteArray Bytes = ToWin1251(Text);
    std::vector<double> ImportMs;
    for (int i = 0; i < kRounds; ++i) {
        QElapsedTimer Clock;
        Clock.start();
        TCertificate C;
        std::vector<TCertificateRow> Rows;
        TPerCentTable Table;
        const bool Ok = !ParseCertificate(Bytes, C).Failed() &&
                        !CertificateRows(C, C.LevelColumn, C.VolumeColumn, Rows).Failed() &&
                        !ScaleToPerCent(Rows, Rows.back().Level, Rows.back().Volume, Table).Failed();
        R = Ok ? ReduceTable(Table.Points, kPoints) : TTableReduction{QStringLiteral("not read"), {}, 0, 0, 0};
        ImportMs.push_back(Clock.nsecsElapsed() / 1e6);
    }
    std::sort(ImportMs.begin(), ImportMs.end());
    Print(QStringLiteral("  whole import of its certificate text: %1 ms (median %2 ms)%3")
              .arg(ImportMs.front(), 0, 'f', 1).arg(ImportMs[ImportMs.size() / 2], 0, 'f', 1)
              .arg(R.Ok() ? QString() : QStringLiteral(", FAILED: ") + R.Error));

    // 1 m of cone, then 9 m of wall; litres rounded to tenths as printed.
    std::vector<double> Upright(kRows);
    for (int h = 0; h < kRows; ++h)
        Upright[h] = std::round((h < 1000 ? std::pow(h, 3) / 3e6 : 1e9 / 3e6 + (h - 1000.0)) * 10) / 10;
    const auto [UprightBest, UprightMedian] = Time(PerCent(Upright), R);
    Print(QStringLiteral("  upright tank on a cone: %1 ms (median %2 ms), max error %3 %")
              .arg(UprightBest, 0, 'f', 1).arg(UprightMedian, 0, 'f', 1).arg(R.MaxError, 0, 'g', 6));
    return 0;
}
