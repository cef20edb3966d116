#pragma once
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "uDateTime.h"

// Russian number and date formats for the whole test process.
void PinRussianLocale();

// The instant at which every test process starts its clock, whatever the hour,
// the date or the time zone of the machine: an ordinary working day, far from
// midnight, a month end and a change of summer time. A test that needs another
// time sets it (TTestClock); programs started by a test keep the same clock.
QDateTime TestClockStart();
// Sets the clock of the test process to TestClockStart() and hands it on to
// the programs the process starts.
void PinTestClock();

// The clock set to Instant for one test (and for the programs it starts),
// running on from there; the pinned clock comes back on destruction.
class TTestClock {
public:
    explicit TTestClock(const QDateTime &Instant);
    ~TTestClock();
    TTestClock(const TTestClock &) = delete;
    TTestClock &operator=(const TTestClock &) = delete;
};

// The local time zone of the process set to Zone (an IANA name such as
// "Europe/Berlin") for one test; the previous one comes back on destruction.
class TTestZone {
public:
    explicit TTestZone(const char *Zone);
    ~TTestZone();
    TTestZone(const TTestZone &) = delete;
    TTestZone &operator=(const TTestZone &) = delete;

private:
    QByteArray FOld;
    bool FHad = false;
};

// Archives four level readings (1, 2, 3, 4) of plant 1234 on 25 October 2026
// in Berlin, as they were taken: 02:30:00 and 02:59:59 summer time (+02:00),
// then 02:00:05 and 02:30:00 winter time (+01:00). False when a write failed.
bool ArchiveTheRepeatedHourOfAutumn();

// A fresh folder that serves as AppDir (with an INI folder, or empty) and
// ProgramDir for one test, removed afterwards; the previous folders come back
// on destruction.
class TTestFolder {
public:
    enum TContents { WithIni, Empty };
    explicit TTestFolder(TContents Contents = WithIni);
    ~TTestFolder();
    QString Path() const { return FDir.path(); }
    QString File(const QString &Relative) const;

private:
    QTemporaryDir FDir;
    QString FOldApp, FOldProgram;
};

// Leaves out a test that the fake clock of libfaketime (a faked run of the
// whole suite) cannot hold, with the reason; a plain run is unchanged.
#define SKIP_UNDER_FAKE_CLOCK(Reason)                                                                                  \
    if (qEnvironmentVariableIsEmpty("FAKETIME")) {                                                                     \
    } else                                                                                                             \
        GTEST_SKIP() << "under libfaketime: " << (Reason)

QByteArray ReadAll(const QString &Path);
void WriteAll(const QString &Path, const QByteArray &Data);
// Makes Link a symbolic link to Target, replacing what was there: a port name
// that stays while the device behind it goes and comes back.
void Relink(const QString &Link, const QString &Target);

// A local date-time as the program holds it.
TDateTime At(int Year, int Month, int Day, int Hour = 0, int Minute = 0, int Second = 0, int Ms = 0);
