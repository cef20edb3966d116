#pragma once
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

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
