#pragma once
// The offline table commands of lanx1ctl that move tables between table files
// and spreadsheet files: "table import" (a tank's calibration certificate
// reduced to the transducer's points) and "table export".
#include "Tara.h"
#include "uCtlArgs.h"

#include <QTextStream>

// The table Name of the table file File; Loaded tells whether it loads.
// Throws ECtlFailure when the file cannot be read.
TTara LoadTableFile(const QString &File, const QString &Name, bool &Loaded);

// The options "table import" takes.
const QStringList &TableImportOptions();

// table import CSV OUTFILE NAME [options]: A.Words are "import", CSV, OUTFILE, NAME.
int RunTableImport(const TCommandArgs &A, QTextStream &Out);
// table export FILE NAME CSV: A.Words are "export", FILE, NAME, CSV.
int RunTableExport(const TCommandArgs &A, QTextStream &Out);
