#include "TestEnvironment.h"

#include "uBDE.h"

#include <ctime>

#include "uClock.h"
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

QDateTime TestClockStart() {
    return QDateTime(QDate(2026, 3, 10), QTime(14, 30));
}

namespace {
void HandOnClock(qint64 Offset) {
    qputenv(kClockOffsetVariable, QByteArray::number(Offset));
}
} // namespace

void PinTestClock() {
    HandOnClock(SetClock(TestClockStart()));
}

TTestClock::TTestClock(const QDateTime &Instant) {
    HandOnClock(SetClock(Instant));
}

TTestClock::~TTestClock() {
    PinTestClock();
}

bool ArchiveTheRepeatedHourOfAutumn() {
    const struct {
        int Hour, Minute, Second, Offset;
        double V;
    } Rows[] = {{2, 30, 0, 7200, 1}, {2, 59, 59, 7200, 2}, {2, 0, 5, 3600, 3}, {2, 30, 0, 3600, 4}};
    for (const auto &R : Rows)
        if (!ArchiveWrite(QStringLiteral("aLevel"), QString(), At(2026, 10, 25, R.Hour, R.Minute, R.Second), R.V,
                          {R.Offset, 1234}))
            return false;
    return true;
}

TTestZone::TTestZone(const char *Zone) : FOld(qgetenv("TZ")), FHad(qEnvironmentVariableIsSet("TZ")) {
    qputenv("TZ", Zone);
    tzset();
}

TTestZone::~TTestZone() {
    if (FHad)
        qputenv("TZ", FOld);
    else
        qunsetenv("TZ");
    tzset();
}

TTestFolder::TTestFolder(TContents Contents) : FOldApp(AppDir()), FOldProgram(ProgramDir()) {
    if (Contents == WithIni)
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
