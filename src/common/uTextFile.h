#pragma once
// Whole text files as lists of lines, in Windows-1251 (the calibration tables).
#include <QString>
#include <QStringList>
#include <stdexcept>

// A text file could not be written.
class ETextFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The lines of the file, split on CR LF, LF or CR; a final line end does not
// start another (empty) line. A missing, unreadable or oversized file (over
// 64 MiB, no table is that large) gives an empty list and *Ok = false.
QStringList ReadTextLines(const QString &Path, bool *Ok = nullptr);
// Splits text the same way (for text already in memory, e.g. an editor's contents).
QStringList SplitTextLines(const QString &Text);

// Writes every line followed by CR LF. The file is replaced only once all of it
// is written, so a failure leaves the old file as it was; throws ETextFileError.
void WriteTextLines(const QString &Path, const QStringList &Lines);
