#pragma once
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "uDateTime.h"

// Russian number and date formats for the whole test process.
void PinRussianLocale();

// A fresh folder that serves as AppDir (with an INI folder) and ProgramDir for
// one test, removed afterwards; the previous folders come back on destruction.
class TTestFolder {
public:
    TTestFolder();
    ~TTestFolder();
    QString Path() const { return FDir.path(); }
    QString File(const QString &Relative) const;

private:
    QTemporaryDir FDir;
    QString FOldApp, FOldProgram;
};

QByteArray ReadAll(const QString &Path);
void WriteAll(const QString &Path, const QByteArray &Data);
// Makes Link a symbolic link to Target, replacing what was there: a port name
// that stays while the device behind it goes and comes back.
void Relink(const QString &Link, const QString &Target);

// A local date-time as the program holds it.
TDateTime At(int Year, int Month, int Day, int Hour = 0, int Minute = 0, int Second = 0, int Ms = 0);
