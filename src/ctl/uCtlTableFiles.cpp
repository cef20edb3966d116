#include "uCtlTableFiles.h"

#include "Tara.h"
#include "uCertificate.h"
#include "uTableFile.h"
#include "uTableReduction.h"
#include "uTextFile.h"

#include <cmath>

namespace {

constexpr int kDevicePoints = 32;

struct TImportOptions {
    int Points = kDevicePoints;
    double Height = 0;   // 0: the last row's level
    double Capacity = 0; // 0: the last row's volume
    bool LevelUnitGiven = false, VolumeUnitGiven = false;
    TLevelUnit LevelUnit = TLevelUnit::Millimetre;
    TVolumeUnit VolumeUnit = TVolumeUnit::Litre;
    int LevelColumn = -1, VolumeColumn = -1; // -1: the certificate's first two numeric columns
};

double PositiveReal(const QString &Text, const QString &What) {
    const double V = ParseReal(Text, What);
    if (!(V > 0) || !std::isfinite(V))
        throw ECtlUsage(What + QStringLiteral(": ") + Text + QStringLiteral(" is not a positive number"));
    return V;
}

// Everything is checked before the certificate is read.
TImportOptions ParseImportOptions(const QMap<QString, QString> &O) {
    TImportOptions P;
    if (O.contains("--points"))
        P.Points = ParseInt(O["--points"], 2, kDevicePoints, "--points");
    if (O.contains("--height"))
        P.Height = PositiveReal(O["--height"], "--height");
    if (O.contains("--capacity"))
        P.Capacity = PositiveReal(O["--capacity"], "--capacity");
    if (O.contains("--level-unit")) {
        P.LevelUnitGiven = UnitFromKey(O["--level-unit"], P.LevelUnit);
        if (!P.LevelUnitGiven)
            throw ECtlUsage(QStringLiteral("--level-unit: ") + O["--level-unit"] + QStringLiteral(" is not mm, cm or m"));
    }
    if (O.contains("--volume-unit")) {
        P.VolumeUnitGiven = UnitFromKey(O["--volume-unit"], P.VolumeUnit);
        if (!P.VolumeUnitGiven)
            throw ECtlUsage(QStringLiteral("--volume-unit: ") + O["--volume-unit"] + QStringLiteral(" is not l, m3 or dal"));
    }
    if (O.contains("--columns")) {
        const QStringList Parts = O["--columns"].split(u',');
        if (Parts.size() != 2)
            throw ECtlUsage(QStringLiteral("--columns: ") + O["--columns"] + QStringLiteral(" is not I,J"));
        P.LevelColumn = ParseInt(Parts[0], 1, 10000, "--columns") - 1;
        P.VolumeColumn = ParseInt(Parts[1], 1, 10000, "--columns") - 1;
        if (P.LevelColumn == P.VolumeColumn)
            throw ECtlUsage(QStringLiteral("--columns: the level and the volume need two different columns"));
    }
    return P;
}

// A refusal about a file, named by the file.
[[noreturn]] void FileFailure(const QString &File, const QString &Text) {
    throw ECtlFailure(File + QStringLiteral(": ") + Text);
}

} // namespace

const QStringList &TableImportOptions() {
    static const QStringList Names{"--points", "--height", "--capacity", "--level-unit", "--volume-unit", "--columns"};
    return Names;
}

int RunTableImport(const TCommandArgs &A, QTextStream &Out) {
    if (A.Words.size() != 4)
        throw ECtlUsage(QStringLiteral("usage: lanx1ctl table import CSV OUTFILE NAME [--points N] [--height H] "
                                       "[--capacity V] [--level-unit mm|cm|m] [--volume-unit l|m3|dal] [--columns I,J]"));
    const QString &Csv = A.Words[1], &OutFile = A.Words[2], &Name = A.Words[3];
    const TImportOptions P = ParseImportOptions(A.Options);
    const QString NameProblem = TableNameProblem(Name);
    if (!NameProblem.isEmpty())
        throw ECtlUsage(QStringLiteral("NAME: ") + NameProblem);

    TCertificate Certificate;
    TCertificateProblem Problem = ReadCertificateFile(Csv, Certificate);
    if (Problem.Failed())
        FileFailure(Csv, Problem.Message());
    const int LevelColumn = P.LevelColumn >= 0 ? P.LevelColumn : Certificate.LevelColumn;
    const int VolumeColumn = P.VolumeColumn >= 0 ? P.VolumeColumn : Certificate.VolumeColumn;
    std::vector<TCertificateRow> Rows;
    Problem = CertificateRows(Certificate, LevelColumn, VolumeColumn, Rows);
    if (Problem.Failed())
        FileFailure(Csv, Problem.Message());
    const TUnitGuess Guess = GuessUnits(Certificate, LevelColumn, VolumeColumn);
    const TLevelUnit LevelUnit = P.LevelUnitGiven ? P.LevelUnit : Guess.Level;
    const TVolumeUnit VolumeUnit = P.VolumeUnitGiven ? P.VolumeUnit : Guess.Volume;

    const double Height = P.Height > 0 ? P.Height : Rows.back().Level;
    const double Capacity = P.Capacity > 0 ? P.Capacity : Rows.back().Volume;
    TPerCentTable Table;
    Problem = ScaleToPerCent(Rows, Height, Capacity, Table);
    if (Problem.Failed())
        FileFailure(Csv, Problem.Message());
    const TTableReduction R = ReduceTable(Table.Points, P.Points);
    if (!R.Ok())
        FileFailure(Csv, R.Error);
    const QString WriteProblem = WriteTableToFile(OutFile, Name, ReducedTable(Table.Points, R.Rows));
    if (!WriteProblem.isEmpty())
        throw ECtlFailure(WriteProblem);

    Out << "Points=" << R.Rows.size() << u'\n';
    Out << "MaxError=" << NumberText(R.MaxError) << u'\n';
    Out << "MaxErrorAt=" << NumberText(Table.Points[R.MaxErrorRow].Level) << u'\n';
    // In the file's own numbers rather than scaled back from per cent.
    TTaraTable Raw;
    for (size_t i = 0; i < Table.Points.size(); ++i)
        Raw.push_back({Rows[i].Level, Rows[i].Volume});
    Out << "MaxErrorVolume=" << NumberText(MeasureReduction(Raw, R.Rows).MaxError) << u'\n';
    Out << "Rows=" << Table.Points.size() << u'\n';
    Out << "RowsAboveHeight=" << Table.LeftOut << u'\n';
    Out << "LevelUnit=" << UnitKey(LevelUnit) << u'\n';
    Out << "VolumeUnit=" << UnitKey(VolumeUnit) << u'\n';
    return ExitOk;
}

TTara LoadTableFile(const QString &File, const QString &Name, bool &Loaded) {
    bool Ok = false;
    const QStringList Lines = ReadTextLines(File, &Ok);
    if (!Ok)
        throw ECtlFailure(QStringLiteral("cannot read the table file ") + File);
    TTara Tara;
    Tara.FileName = File;
    Tara.TableName = Name;
    Loaded = Tara.LoadFromStrings(Lines);
    return Tara;
}

int RunTableExport(const TCommandArgs &A, QTextStream &Out) {
    if (A.Words.size() != 4)
        throw ECtlUsage(QStringLiteral("usage: lanx1ctl table export FILE NAME CSV"));
    const QString &File = A.Words[1], &Name = A.Words[2], &Csv = A.Words[3];
    bool Loaded = false;
    const TTara Tara = LoadTableFile(File, Name, Loaded);
    if (!Loaded || Tara.Table.empty())
        throw ECtlFailure(QStringLiteral("table ") + Name + QStringLiteral(" of ") + File +
                          QStringLiteral(" does not load, nothing written"));
    const QString Problem = WriteTableCsv(Csv, Tara.Table);
    if (!Problem.isEmpty())
        throw ECtlFailure(Problem);
    Out << "Points=" << Tara.Table.size() << u'\n';
    return ExitOk;
}
