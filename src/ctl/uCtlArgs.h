#pragma once
// Command-line handling of lanx1ctl: the two kinds of failure with their exit
// statuses, the options common to every command, and small parsers that turn
// a bad word into a usage error naming it.
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>
#include <stdexcept>

// Exit statuses.
constexpr int ExitOk = 0;
constexpr int ExitFailure = 1; // the device or a file failed
constexpr int ExitUsage = 2;   // the command line is wrong

// A command line the tool cannot carry out.
class ECtlUsage : public std::runtime_error {
public:
    explicit ECtlUsage(const QString &Text) : std::runtime_error(Text.toStdString()) {}
    QString Text() const { return QString::fromStdString(what()); }
};

// The device or a file failed.
class ECtlFailure : public std::runtime_error {
public:
    explicit ECtlFailure(const QString &Text) : std::runtime_error(Text.toStdString()) {}
    QString Text() const { return QString::fromStdString(what()); }
};

// Overrides of the settings for this run; never written back.
struct TGlobalOptions {
    QString Port;     // empty: the port of INI/ComPort.ini
    int Baud = 0;     // 0: the rate of INI/ComPort.ini
    int Address = -1; // -1: the device object's default
    int Attempts = 5; // attempts of a command
    QString Data;     // empty: the data folder of the program (DATA, PAR, TarTabl)
    QString Ini;      // empty: the program's INI folder
    bool Version = false; // --version was given
};

// The options and plain words of one command's arguments.
struct TCommandArgs {
    QMap<QString, QString> Options; // "--period" -> "500"
    QStringList Words;              // everything else, in order
    bool Help = false;              // --help was given
};

// Splits Args: "--name VALUE" and "--name=VALUE" for the names in
// ValueOptions, "--help", words. Any other "--" word is a usage error, as is
// an option given twice or without its value.
TCommandArgs SplitCommandArgs(const QStringList &Args, const QStringList &ValueOptions);

// Takes the leading global options off Args (which then starts with the command).
TGlobalOptions TakeGlobalOptions(QStringList &Args, bool &Help);

// An integer Min..Max; What names it in the usage error.
int ParseInt(const QString &Text, int Min, int Max, const QString &What);
// A real with '.' (or the user's own decimal separator).
double ParseReal(const QString &Text, const QString &What);
// "yyyy-MM-dd[ HH:mm[:ss[.zzz]]]" (a 'T' may stand for the blank) as local
// time. A date alone means the start of that day, or its last millisecond when
// EndOfDay.
QDateTime ParseDateTime(const QString &Text, bool EndOfDay, const QString &What);

// The shortest text with '.' that reads back exactly; a value that is exactly
// a single (as the device sends them) prints as that single (0.1, not 0.100000001).
QString NumberText(double Value);
