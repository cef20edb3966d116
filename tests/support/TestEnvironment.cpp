#include "TestEnvironment.h"

#include "uFormat.h"
#include "uSysUtils.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <stdexcept>

void PinRussianLocale() {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    SetDefaultFormatSettings(TFormatSettings::Russian());
}

TTestFolder::TTestFolder() : FOldApp(AppDir()), FOldProgram(ProgramDir()) {
    QDir(FDir.path()).mkpath(QStringLiteral("INI"));
    SetAppDir(FDir.path());
    SetProgramDir(FDir.path());
}

TTestFolder::~TTestFolder() {
    SetAppDir(FOldApp);
    SetProgramDir(FOldProgram);
}

QString TTestFolder::File(const QString &Relative) const {
    return FDir.path() + u'/' + Relative;
}

QByteArray ReadAll(const QString &Path) {
    QFile F(Path);
    return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray();
}

void WriteAll(const QString &Path, const QByteArray &Data) {
    QFile F(Path);
    if (F.open(QIODevice::WriteOnly))
        F.write(Data);
}

TDateTime At(int Year, int Month, int Day, int Hour, int Minute, int Second, int Ms) {
    return DateTimeFromQt(QDateTime(QDate(Year, Month, Day), QTime(Hour, Minute, Second, Ms)));
}

void Relink(const QString &Link, const QString &Target) {
    QFile::remove(Link);
    if (!QFile::link(Target, Link))
        throw std::runtime_error("cannot link " + Link.toStdString());
}
