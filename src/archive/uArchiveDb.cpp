#include "uArchiveDb.h"

#include <QDateTime>
#include <QFileInfo>
#include <sqlite3.h>

#include <atomic>
#include <cmath>
#include <cstdint>

Q_LOGGING_CATEGORY(lcArchive, "lanx1.archive", QtInfoMsg)

namespace {

constexpr std::int64_t kMsPerDay = 86400000;
// Days from 1970-01-01 (the civil-date arithmetic's origin) back to 1899-12-30.
constexpr std::int64_t kEpochShift = 25569;

std::atomic<int> BusyTimeout{5000};

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t Y, unsigned M, unsigned D) {
    Y -= M <= 2;
    const std::int64_t Era = (Y >= 0 ? Y : Y - 399) / 400;
    const unsigned Yoe = static_cast<unsigned>(Y - Era * 400);
    const unsigned Doy = (153 * (M > 2 ? M - 3 : M + 9) + 2) / 5 + D - 1;
    const unsigned Doe = Yoe * 365 + Yoe / 4 - Yoe / 100 + Doy;
    return Era * 146097 + static_cast<std::int64_t>(Doe) - 719468;
}

void CivilFromDays(std::int64_t Z, int &Y, int &M, int &D) {
    Z += 719468;
    const std::int64_t Era = (Z >= 0 ? Z : Z - 146096) / 146097;
    const unsigned Doe = static_cast<unsigned>(Z - Era * 146097);
    const unsigned Yoe = (Doe - Doe / 1460 + Doe / 36524 - Doe / 146096) / 365;
    const unsigned Doy = Doe - (365 * Yoe + Yoe / 4 - Yoe / 100);
    const unsigned Mp = (5 * Doy + 2) / 153;
    D = static_cast<int>(Doy - (153 * Mp + 2) / 5 + 1);
    M = static_cast<int>(Mp < 10 ? Mp + 3 : Mp - 9);
    Y = static_cast<int>(static_cast<std::int64_t>(Yoe) + Era * 400 + (M <= 2));
}

bool IsLeap(int Y) {
    return (Y % 4 == 0 && Y % 100 != 0) || Y % 400 == 0;
}

int DaysInMonth(int Y, int M) {
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return M == 2 && IsLeap(Y) ? 29 : Days[M - 1];
}

// TDateTime -> whole days since 1899-12-30 and milliseconds of the day, rounded
// exactly as the conversion to QDateTime rounds (the fraction is the time also
// for negative values).
bool SplitTime(TDateTime Value, std::int64_t &Days, std::int64_t &Ms) {
    if (!std::isfinite(Value) || std::fabs(Value) > 3.0e6)
        return false;
    const double Whole = std::trunc(Value);
    Days = static_cast<std::int64_t>(Whole);
    Ms = std::llround(std::fabs(Value - Whole) * kMsPerDay);
    if (Ms >= kMsPerDay) {
        Ms -= kMsPerDay;
        Days += Value >= 0 ? 1 : -1;
    }
    return true;
}

void PutDigits(char *Out, int Value, int Count) {
    for (int i = Count - 1; i >= 0; --i) {
        Out[i] = static_cast<char>('0' + Value % 10);
        Value /= 10;
    }
}

// Reads Count decimal digits; -1 when one of them is not a digit.
int Digits(const char *Text, int Count) {
    int Value = 0;
    for (int i = 0; i < Count; ++i) {
        const unsigned Digit = static_cast<unsigned char>(Text[i]) - '0';
        if (Digit > 9)
            return -1;
        Value = Value * 10 + static_cast<int>(Digit);
    }
    return Value;
}

} // namespace

int ArchiveBusyTimeout() {
    return BusyTimeout.load();
}

void SetArchiveBusyTimeout(int Milliseconds) {
    BusyTimeout.store(Milliseconds < 0 ? 0 : Milliseconds);
}

bool IsArchiveName(const QString &Name) {
    if (Name.isEmpty() || Name.size() > 64)
        return false;
    for (qsizetype i = 0; i < Name.size(); ++i) {
        const char16_t C = Name.at(i).unicode();
        const bool Letter = (C >= u'A' && C <= u'Z') || (C >= u'a' && C <= u'z') || C == u'_';
        const bool Digit = C >= u'0' && C <= u'9';
        if (!(Letter || (Digit && i > 0)))
            return false;
    }
    return true;
}

QByteArray QuotedArchiveName(const QString &Name) {
    return '"' + Name.toLatin1() + '"';
}

bool ArchiveDate(TDateTime Value, int &Year, int &Month, int &Day) {
    std::int64_t Days = 0, Ms = 0;
    if (!SplitTime(Value, Days, Ms))
        return false;
    CivilFromDays(Days - kEpochShift, Year, Month, Day);
    return Year >= 1 && Year <= 9999;
}

bool ArchiveDayNumber(TDateTime Value, long long &Day) {
    std::int64_t Days = 0, Ms = 0;
    if (!SplitTime(Value, Days, Ms))
        return false;
    Day = Days;
    return true;
}

bool ArchiveDateValue(int Year, int Month, int Day, TDateTime &Value) {
    if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > DaysInMonth(Year, Month))
        return false;
    Value = static_cast<double>(
        DaysFromCivil(Year, static_cast<unsigned>(Month), static_cast<unsigned>(Day)) + kEpochShift);
    return true;
}

bool FormatArchiveTime(TDateTime Value, char *Text) {
    std::int64_t Days = 0, Ms = 0;
    if (!SplitTime(Value, Days, Ms))
        return false;
    int Y = 0, M = 0, D = 0;
    CivilFromDays(Days - kEpochShift, Y, M, D);
    if (Y < 1 || Y > 9999)
        return false;
    const int Milli = static_cast<int>(Ms);
    PutDigits(Text, Y, 4);
    Text[4] = '-';
    PutDigits(Text + 5, M, 2);
    Text[7] = '-';
    PutDigits(Text + 8, D, 2);
    Text[10] = ' ';
    PutDigits(Text + 11, Milli / 3600000, 2);
    Text[13] = ':';
    PutDigits(Text + 14, Milli / 60000 % 60, 2);
    Text[16] = ':';
    PutDigits(Text + 17, Milli / 1000 % 60, 2);
    Text[19] = '.';
    PutDigits(Text + 20, Milli % 1000, 3);
    return true;
}

QByteArray ArchiveTimeText(TDateTime Value) {
    QByteArray Text(kArchiveTimeLength, '\0');
    if (!FormatArchiveTime(Value, Text.data()))
        return {};
    return Text;
}

bool ParseArchiveTime(const char *Text, std::size_t Length, TDateTime &Value) {
    if (Text == nullptr || Length < 19 || Length > kArchiveTimeLength)
        return false;
    if (Text[4] != '-' || Text[7] != '-' || (Text[10] != ' ' && Text[10] != 'T') || Text[13] != ':' ||
        Text[16] != ':')
        return false;
    const int Y = Digits(Text, 4), M = Digits(Text + 5, 2), D = Digits(Text + 8, 2);
    const int H = Digits(Text + 11, 2), N = Digits(Text + 14, 2), S = Digits(Text + 17, 2);
    if (Y < 1 || M < 1 || M > 12 || D < 1 || D > DaysInMonth(Y, M) || H < 0 || H > 23 || N < 0 || N > 59 ||
        S < 0 || S > 59)
        return false;
    int Milli = 0;
    if (Length > 19) {
        const int Fraction = static_cast<int>(Length) - 20;
        if (Text[19] != '.' || Fraction < 1)
            return false;
        Milli = Digits(Text + 20, Fraction);
        if (Milli < 0)
            return false;
        for (int i = Fraction; i < 3; ++i)
            Milli *= 10;
    }
    const std::int64_t Days = DaysFromCivil(Y, static_cast<unsigned>(M), static_cast<unsigned>(D)) + kEpochShift;
    const double Fraction = static_cast<double>((H * 3600 + N * 60 + S) * 1000 + Milli) / kMsPerDay;
    const double Whole = static_cast<double>(Days);
    Value = Days >= 0 ? Whole + Fraction : Whole - Fraction;
    return true;
}

int LocalUtcOffset(TDateTime Local) {
    // Zones change their offset on a quarter hour at the least.
    struct TCache {
        long long Slot = -1;
        int Offset = 0;
    };
    thread_local TCache Cache;
    if (!std::isfinite(Local))
        return 0;
    const auto Slot = static_cast<long long>(std::floor(Local * 96));
    if (Slot != Cache.Slot) {
        int Y = 0, M = 0, D = 0;
        const QDateTime T = DateTimeToQt(Local);
        Cache.Offset = T.isValid() && ArchiveDate(Local, Y, M, D) ? T.offsetFromUtc() : 0;
        Cache.Slot = Slot;
    }
    return Cache.Offset;
}

QString ImmutableArchiveUri(const QString &Path) {
    const QString Absolute = QFileInfo(Path).absoluteFilePath();
    QString Uri = QStringLiteral("file://");
    if (!Absolute.startsWith(u'/'))
        Uri += u'/';
    // Only these three stand for something else in a URI's path.
    for (const QChar C : Absolute) {
        if (C == u'%')
            Uri += QStringLiteral("%25");
        else if (C == u'?')
            Uri += QStringLiteral("%3F");
        else if (C == u'#')
            Uri += QStringLiteral("%23");
        else
            Uri += C;
    }
    return Uri + QStringLiteral("?immutable=1");
}

TArchiveDb::~TArchiveDb() {
    Close();
}

bool TArchiveDb::Open(const QString &Path, int Flags) {
    Close();
    FOpenError.clear();
    const int Rc = sqlite3_open_v2(Path.toUtf8().constData(), &FDb, Flags, nullptr);
    if (Rc != SQLITE_OK) {
        FOpenError = FDb ? QString::fromUtf8(sqlite3_errmsg(FDb)) : QString::fromUtf8(sqlite3_errstr(Rc));
        Close();
        return false;
    }
    sqlite3_busy_timeout(FDb, ArchiveBusyTimeout());
    return true;
}

void TArchiveDb::Close() {
    if (FDb) {
        sqlite3_close_v2(FDb);
        FDb = nullptr;
    }
}

bool TArchiveDb::Exec(const char *Sql) {
    return FDb && sqlite3_exec(FDb, Sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

int TArchiveDb::ErrorCode() const {
    return FDb ? sqlite3_errcode(FDb) : SQLITE_CANTOPEN;
}

QString TArchiveDb::ErrorText() const {
    return FDb ? QString::fromUtf8(sqlite3_errmsg(FDb)) : FOpenError;
}

TArchiveStatement::TArchiveStatement(TArchiveDb &Db, const QByteArray &Sql) {
    if (Db.Handle() && sqlite3_prepare_v2(Db.Handle(), Sql.constData(), static_cast<int>(Sql.size()), &FStmt,
                                          nullptr) != SQLITE_OK) {
        sqlite3_finalize(FStmt);
        FStmt = nullptr;
    }
}

TArchiveStatement::~TArchiveStatement() {
    sqlite3_finalize(FStmt);
}
