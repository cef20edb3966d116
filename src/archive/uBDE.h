#pragma once
// The archive store: every polled reading is kept as a row of a per-day table
// and as a line of a text file beside it, under DbPath/yyyy/mm/dd/.
//
// <name>.db is one SQLite database per day and series holding the table <name>
// with the fields V (REAL) and DT (TEXT, local time "yyyy-MM-dd HH:mm:ss.zzz"),
// then OFS (INTEGER, seconds east of UTC the reading was taken with) and PLANT
// (INTEGER, the device's plant number, NULL when not known). Rows lie in the
// order they were taken. Tables of older versions have V and DT only; they get
// the other two fields at their next write, and their rows without them read
// as taken in the local time of the reader's zone.
// Each write opens the file, inserts and closes it again, so nothing stays open
// between readings. The files are in WAL mode and every connection waits for
// locks, so the graph window may read a table the polling thread is writing.
#include "uArchiveDb.h"

#include <QString>

#include <optional>

// Reads INI/bde.ini, section "BDE": "dbAlias" (default "Lanx1") and "dbPath".
// An empty dbPath becomes AppDir/DATA and both keys are written back when the
// INI folder exists; a file that cannot be written leaves that root in use.
void LoadArchiveSettings();
QString DbAlias();
// Root folder of the archive; AppDir/DATA until the settings are loaded or set.
QString DbPath();
void SetDbPath(const QString &Path); // for tests and tools (--data DIR)
// Sets the root for the whole run: LoadArchiveSettings then keeps it and
// leaves INI/bde.ini alone. An empty Path unpins.
void PinDbPath(const QString &Path);

// The date of DT as "yyyy/mm/dd" (three folder levels).
QString ArchiveDayFolder(TDateTime DT);
// DbPath/yyyy/mm/dd/<Name><Ext>; empty when Name is not a plain identifier.
QString ArchiveFilePath(const QString &Name, TDateTime DT, const QString &Ext);

// What a row keeps beside V and DT.
struct TArchiveRowExtras {
    std::optional<int> UtcOffset;   // seconds east of UTC; absent: the local zone's at DT
    std::optional<int> PlantNumber; // absent: not known
};

// Stores one row (V, DT) in the table Name. An empty FileName means the day
// table under DbPath; otherwise FileName is the full path of that table's file.
// Missing folders and the table are created first. False on any failure.
// Temporaries that a process killed while creating a table left in that folder
// ("<name>.db.new-*" with their -journal, -wal, -shm) are removed at the first
// write into the folder and then once a minute, if a minute old (a younger one
// may be a creation under way in another process).
bool ArchiveWrite(const QString &Name, const QString &FileName, TDateTime DT, double V,
                  const TArchiveRowExtras &Extras = {});
// Appends "<date time> <number>" CR LF in Windows-1251 to <Name>.txt (same path
// rules), the number with Precision significant digits and Digits decimals.
// A line that does not fit whole (disk full) is cut off again and gives false,
// so that the next line does not start in the middle of a fragment.
bool ArchiveWriteText(const QString &Name, const QString &FileName, int Precision, int Digits, TDateTime DT,
                      double V);
// Why the last failed ArchiveWrite or ArchiveWriteText of the calling thread
// failed, as the user reads it: "<file or folder>: <reason>".
QString ArchiveWriteFailure();
// Creates the database file Path holding the empty table named after the file
// (fields V, DT). True when it was created or already holds that table.
bool CreateArchiveTable(const QString &Path);
