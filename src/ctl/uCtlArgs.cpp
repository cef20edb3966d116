#include "uCtlArgs.h"

#include "uFormat.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>

namespace {

// "--name=value" -> ("--name", "value"); other words unchanged with no value.
std::pair<QString, QString> SplitAssignment(const QString &Word, bool &HasValue) {
    const qsizetype Eq = Word.indexOf(u'=');
    HasValue = Eq > 0;
    return HasValue ? std::pair{Word.left(Eq), Word.mid(Eq + 1)} : std::pair{Word, QString()};
}

} // namespace

TCommandArgs SplitCommandArgs(const QStringList &Args, const QStringList &ValueOptions) {
    TCommandArgs R;
    for (qsizetype i = 0; i < Args.size(); ++i) {
        const QString &Word = Args[i];
        if (!Word.startsWith(QLatin1String("--"))) {
            R.Words << Word;
            continue;
        }
        if (Word == QLatin1String("--help")) {
            R.Help = true;
            continue;
        }
        bool HasValue = false;
        auto [Name, Value] = SplitAssignment(Word, HasValue);
        if (!ValueOptions.contains(Name))
            throw ECtlUsage(QStringLiteral("unknown option ") + Name);
        if (R.Options.contains(Name))
            throw ECtlUsage(QStringLiteral("option ") + Name + QStringLiteral(" given twice"));
        if (!HasValue) {
            if (i + 1 >= Args.size())
                throw ECtlUsage(QStringLiteral("option ") + Name + QStringLiteral(" needs a value"));
            Value = Args[++i];
        }
        R.Options.insert(Name, Value);
    }
    return R;
}

TGlobalOptions TakeGlobalOptions(QStringList &Args, bool &Help) {
    TGlobalOptions O;
    static const QStringList Names{"--port", "--baud", "--address", "--attempts", "--data", "--ini"};
    QStringList Seen;
    Help = false;
    while (!Args.isEmpty() && Args.first().startsWith(QLatin1String("--"))) {
        const QString Word = Args.takeFirst();
        if (Word == QLatin1String("--help")) {
            Help = true;
            continue;
        }
        if (Word == QLatin1String("--version")) {
            O.Version = true;
            continue;
        }
        bool HasValue = false;
        auto [Name, Value] = SplitAssignment(Word, HasValue);
        if (!Names.contains(Name))
            throw ECtlUsage(QStringLiteral("unknown option ") + Name);
        if (Seen.contains(Name))
            throw ECtlUsage(QStringLiteral("option ") + Name + QStringLiteral(" given twice"));
        Seen << Name;
        if (!HasValue) {
            if (Args.isEmpty())
                throw ECtlUsage(QStringLiteral("option ") + Name + QStringLiteral(" needs a value"));
            Value = Args.takeFirst();
        }
        if (Name == QLatin1String("--port")) {
            if (Value.trimmed().isEmpty())
                throw ECtlUsage(QStringLiteral("--port needs a port name"));
            O.Port = Value;
        } else if (Name == QLatin1String("--baud")) {
            O.Baud = ParseInt(Value, 1, 4000000, Name);
        } else if (Name == QLatin1String("--data") || Name == QLatin1String("--ini")) {
            if (Value.trimmed().isEmpty())
                throw ECtlUsage(Name + QStringLiteral(" needs a folder"));
            (Name == QLatin1String("--data") ? O.Data : O.Ini) = Value;
        } else if (Name == QLatin1String("--address")) {
            O.Address = ParseInt(Value, 0, 255, Name);
        } else {
            O.Attempts = ParseInt(Value, 1, 100, Name);
        }
    }
    return O;
}

int ParseInt(const QString &Text, int Min, int Max, const QString &What) {
    bool Ok = false;
    const qlonglong V = Text.trimmed().toLongLong(&Ok);
    if (!Ok || V < Min || V > Max)
        throw ECtlUsage(What + QStringLiteral(": ") + Text + QStringLiteral(" is not a whole number from ") +
                        QString::number(Min) + QStringLiteral(" to ") + QString::number(Max));
    return static_cast<int>(V);
}

double ParseReal(const QString &Text, const QString &What) {
    // Only the '.' form: "1,5" could be one and a half or, with a group
    // separator, "1,000" a thousand; a script gets refused, not a guess.
    static const QRegularExpression Form(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
    const QString T = Text.trimmed();
    bool Ok = false;
    const double V = Form.match(T).hasMatch() ? T.toDouble(&Ok) : 0;
    if (Ok && std::isfinite(V))
        return V;
    throw ECtlUsage(What + QStringLiteral(": ") + Text + QStringLiteral(" is not a number written with a '.' decimal point"));
}

QDateTime ParseDateTime(const QString &Text, bool EndOfDay, const QString &What) {
    static const QRegularExpression Pattern(QStringLiteral(
        R"(^(\d{4})-(\d{2})-(\d{2})(?:[ T](\d{2}):(\d{2})(?::(\d{2})(?:\.(\d{1,3}))?)?)?$)"));
    const QRegularExpressionMatch M = Pattern.match(Text.trimmed());
    auto Bad = [&] {
        return ECtlUsage(What + QStringLiteral(": ") + Text +
                         QStringLiteral(" is not a date-time yyyy-MM-dd[ HH:mm[:ss[.zzz]]]"));
    };
    if (!M.hasMatch())
        throw Bad();
    const QDate Date(M.captured(1).toInt(), M.captured(2).toInt(), M.captured(3).toInt());
    if (!Date.isValid())
        throw Bad();
    if (M.captured(4).isEmpty())
        return EndOfDay ? QDateTime(Date, QTime(23, 59, 59, 999)) : QDateTime(Date, QTime(0, 0));
    const QString Ms = M.captured(7).leftJustified(3, u'0');
    const QTime Time(M.captured(4).toInt(), M.captured(5).toInt(), M.captured(6).toInt(), Ms.toInt());
    if (!Time.isValid())
        throw Bad();
    return QDateTime(Date, Time);
}

QString NumberText(double Value) {
    return ExactNumberText(Value);
}
