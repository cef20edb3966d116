#include "uMqttSettings.h"

#include "uArchiveDb.h"
#include "uIniFile.h"
#include "uSysUtils.h"
#include "uWin1251.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <mutex>
#include <unistd.h>

namespace {

const QString kSection = QStringLiteral("Mqtt");
const QString kCursor = QStringLiteral("Cursor");
const QString kRetained = QStringLiteral("Retained");
const QString kCountKey = QStringLiteral("Count");

// The program's window and the publisher's thread both write the file.
std::mutex &FileLock() {
    static std::mutex Lock;
    return Lock;
}

// Read and write for the owner, nothing for anybody else (0600).
void MakeOwnerOnly(const QString &Path) {
    struct stat St {};
    const QByteArray Name = QFile::encodeName(Path);
    if (::stat(Name.constData(), &St) == 0 && (St.st_mode & 07777) != 0600)
        ::chmod(Name.constData(), 0600);
}

// Creates the file empty and owner-only when it is missing, and narrows the
// rights of one that is there, before anything is written into it.
bool PrepareFile(const QString &Path, QString *Error) {
    if (!QFile::exists(Path)) {
        const int Fd = ::open(QFile::encodeName(Path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (Fd < 0 && !QFile::exists(Path)) {
            if (Error)
                *Error = QStringLiteral("не удалось создать файл %1").arg(Path);
            return false;
        }
        if (Fd >= 0)
            ::close(Fd);
    }
    MakeOwnerOnly(Path);
    return true;
}

// Why the file could not give Text back as it is; empty when it can. The
// file is Windows-1251 and its values lose their edge blanks when read.
QString Unkeepable(const QString &Text, bool EdgeBlanksMatter) {
    if (FromWin1251(ToWin1251(Text)) != Text)
        return QStringLiteral("содержит знаки, которых нет в кодировке Windows-1251");
    for (const QChar C : Text)
        if (C.unicode() < 0x20 || C.unicode() == 0x7F)
            return QStringLiteral("содержит управляющие знаки");
    if (EdgeBlanksMatter && Text != Text.trimmed())
        return QStringLiteral("начинается или кончается пробелом");
    return {};
}

TDateTime MarkValue(const QString &Text) {
    const QByteArray Bytes = Text.trimmed().toLatin1();
    TDateTime Value = 0;
    if (Bytes.isEmpty() || !ParseArchiveTime(Bytes.constData(), static_cast<std::size_t>(Bytes.size()), Value))
        return 0;
    return Value;
}

template <typename F> bool WriteFile(const QString &Path, QString *Error, F Writes) {
    std::lock_guard Guard(FileLock());
    if (!PrepareFile(Path, Error))
        return false;
    try {
        TIniFile Ini(Path);
        Ini.BeginUpdate();
        Writes(Ini);
        Ini.EndUpdate();
    } catch (const EIniFileError &) {
        if (Error)
            *Error = QStringLiteral("не удалось записать файл %1").arg(Path);
        return false;
    }
    // A replaced file takes the rights it had; should it not, it is narrowed again.
    MakeOwnerOnly(Path);
    return true;
}

} // namespace

QString MqttIniPath() {
    return IniPath(QStringLiteral("Mqtt.ini"));
}

TMqttSettings LoadMqttSettings(const QString &Path) {
    std::lock_guard Guard(FileLock());
    // The file holds the password: one left readable by others (written by
    // an older version, or by hand) is narrowed as soon as it is read.
    if (QFileInfo::exists(Path))
        MakeOwnerOnly(Path);
    const TIniFile Ini(Path);
    TMqttSettings S;
    S.Enabled = Ini.ReadBool(kSection, QStringLiteral("Enabled"), S.Enabled);
    S.Url = Ini.ReadString(kSection, QStringLiteral("Url"), S.Url);
    S.User = Ini.ReadString(kSection, QStringLiteral("User"), S.User);
    S.Password = Ini.ReadString(kSection, QStringLiteral("Password"), S.Password);
    S.CaFile = Ini.ReadString(kSection, QStringLiteral("CaFile"), S.CaFile);
    S.TopicPrefix = Ini.ReadString(kSection, QStringLiteral("TopicPrefix"), S.TopicPrefix);
    S.MaxRate = Ini.ReadInteger(kSection, QStringLiteral("MaxRate"), S.MaxRate);
    S.DiscoveryPrefix = Ini.ReadString(kSection, QStringLiteral("HaDiscovery"), S.DiscoveryPrefix);
    return S;
}

QString CheckMqttSettingsKeepable(const TMqttSettings &S) {
    const struct {
        const char *Name;
        const QString &Text;
    } Texts[] = {{"адрес брокера", S.Url},        {"имя пользователя", S.User},
                 {"пароль", S.Password},          {"путь к файлу сертификата центра", S.CaFile},
                 {"префикс темы", S.TopicPrefix}};
    for (const auto &T : Texts) {
        const QString Why = Unkeepable(T.Text, true);
        if (!Why.isEmpty())
            return QString::fromUtf8(T.Name) + u' ' + Why;
    }
    return {};
}

bool SaveMqttSettings(const TMqttSettings &S, const QString &Path, QString *Error) {
    // Better refused than read back as something else (a password with "?").
    const QString Unkept = CheckMqttSettingsKeepable(S);
    if (!Unkept.isEmpty()) {
        if (Error)
            *Error = Unkept;
        return false;
    }
    return WriteFile(Path, Error, [&](TIniFile &Ini) {
        Ini.WriteBool(kSection, QStringLiteral("Enabled"), S.Enabled);
        Ini.WriteString(kSection, QStringLiteral("Url"), S.Url);
        Ini.WriteString(kSection, QStringLiteral("User"), S.User);
        Ini.WriteString(kSection, QStringLiteral("Password"), S.Password);
        Ini.WriteString(kSection, QStringLiteral("CaFile"), S.CaFile);
        Ini.WriteString(kSection, QStringLiteral("TopicPrefix"), S.TopicPrefix);
        Ini.WriteString(kSection, QStringLiteral("HaDiscovery"), S.DiscoveryPrefix);
        if (S.MaxRate != TMqttSettings().MaxRate || Ini.ValueExists(kSection, QStringLiteral("MaxRate")))
            Ini.WriteInteger(kSection, QStringLiteral("MaxRate"), S.MaxRate);
    });
}

QString CheckMqttSettings(const TMqttSettings &S, TMqttAddress *Address) {
    const QUrl Url(S.Url.trimmed(), QUrl::StrictMode);
    const QString Scheme = Url.scheme().toLower();
    if (S.Url.trimmed().isEmpty())
        return QStringLiteral("не задан адрес брокера");
    if (!Url.isValid() || (Scheme != QLatin1String("mqtt") && Scheme != QLatin1String("mqtts")))
        return QStringLiteral("адрес брокера должен иметь вид mqtt://узел[:порт] или mqtts://узел[:порт]");
    if (Url.host().isEmpty())
        return QStringLiteral("в адресе брокера нет узла");
    // Credentials in the address would be ignored, and seen by everybody in
    // the list of processes: they go into their own fields.
    if (!Url.userInfo().isEmpty())
        return QStringLiteral("адрес брокера не должен содержать имя и пароль: задайте их в полях «Пользователь» и "
                              "«Пароль» (в lanx1ctl: --user и --password-file)");
    if (!Url.path().isEmpty() && Url.path() != QLatin1String("/"))
        return QStringLiteral("адрес брокера должен иметь вид mqtt://узел[:порт] или mqtts://узел[:порт]");
    const bool Tls = Scheme == QLatin1String("mqtts");
    const int Port = Url.port(Tls ? 8883 : 1883);
    if (Port <= 0 || Port > 65535)
        return QStringLiteral("неверный порт брокера");
    if (S.TopicPrefix.isEmpty() || S.TopicPrefix.contains(QRegularExpression(QStringLiteral("[#+\\x00]"))) ||
        S.TopicPrefix.startsWith(u'/') || S.TopicPrefix.endsWith(u'/'))
        return QStringLiteral("префикс темы не может быть пустым, начинаться или кончаться на «/», содержать «#» и «+»");
    // Topics beginning with "$" are the broker's own ($SYS).
    if (S.TopicPrefix.startsWith(u'$'))
        return QStringLiteral("префикс темы не может начинаться с «$»: такие темы принадлежат брокеру");
    // A topic holds at most 65535 bytes of UTF-8: room is left for
    // "/<plant>/status" and the like.
    if (S.TopicPrefix.toUtf8().size() > kMaxTopicPrefixBytes)
        return QStringLiteral("префикс темы длиннее %1 байт").arg(kMaxTopicPrefixBytes);
    if (Tls && !S.CaFile.isEmpty() && !QFileInfo(S.CaFile).isReadable())
        return QStringLiteral("файл сертификата центра %1 не читается").arg(S.CaFile);
    if (S.MaxRate <= 0)
        return QStringLiteral("предел скорости публикации должен быть больше нуля");
    const QString &D = S.DiscoveryPrefix;
    if (!D.isEmpty() && (D.contains(QRegularExpression(QStringLiteral("[#+\\x00]"))) || D.startsWith(u'/') ||
                         D.endsWith(u'/') || D.startsWith(u'$') || D.toUtf8().size() > kMaxTopicPrefixBytes))
        return QStringLiteral("префикс обнаружения Home Assistant не может начинаться с «$» или кончаться на «/», "
                              "содержать «#» и «+»");
    if (Address)
        *Address = {Tls, Url.host(), Port};
    return {};
}

QString ArchivePlaceText(const TArchivePlace &Place) {
    int Y = 0, M = 0, D = 0;
    if (Place.Day <= 0 || !ArchiveDate(static_cast<double>(Place.Day), Y, M, D))
        return {};
    return QStringLiteral("%1-%2-%3/%4")
        .arg(Y, 4, 10, QLatin1Char('0'))
        .arg(M, 2, 10, QLatin1Char('0'))
        .arg(D, 2, 10, QLatin1Char('0'))
        .arg(Place.Row);
}

bool ParseArchivePlace(const QString &Text, TArchivePlace &Place) {
    static const QRegularExpression Form(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})/(\\d{1,18})$"));
    const QRegularExpressionMatch M = Form.match(Text.trimmed());
    TDateTime Day = 0;
    if (!M.hasMatch() || !ArchiveDateValue(M.captured(1).toInt(), M.captured(2).toInt(), M.captured(3).toInt(), Day))
        return false;
    Place = {static_cast<long long>(Day), M.captured(4).toLongLong()};
    return true;
}

TArchiveCursor LoadMqttCursor(const QString &Path) {
    QString Texts[3];
    {
        std::lock_guard Guard(FileLock());
        const TIniFile Ini(Path);
        Texts[0] = Ini.ReadString(kCursor, QLatin1String(kLevelSeries), {});
        Texts[1] = Ini.ReadString(kCursor, QLatin1String(kVolumeSeries), {});
        Texts[2] = Ini.ReadString(kCursor, QLatin1String(kFrequencySeries), {});
    }
    TArchiveCursor C;
    TArchivePlace *Places[] = {&C.Level, &C.Volume, &C.Frequency};
    TSeriesMarks Old;
    TDateTime *Marks[] = {&Old.Level, &Old.Volume, &Old.Frequency};
    for (int i = 0; i < 3; ++i)
        if (!ParseArchivePlace(Texts[i], *Places[i]))
            *Marks[i] = MarkValue(Texts[i]);
    if (!Old.Empty()) {
        // A time stamp of an earlier version: the place of that reading.
        const TArchiveCursor At = ArchiveCursorAt(Old);
        const TArchivePlace *From[] = {&At.Level, &At.Volume, &At.Frequency};
        for (int i = 0; i < 3; ++i)
            if (*Marks[i] > 0)
                *Places[i] = *From[i];
    }
    return C;
}

bool SaveMqttCursor(const TArchiveCursor &Cursor, const QString &Path, QString *Error) {
    return WriteFile(Path, Error, [&](TIniFile &Ini) {
        Ini.WriteString(kCursor, QLatin1String(kLevelSeries), ArchivePlaceText(Cursor.Level));
        Ini.WriteString(kCursor, QLatin1String(kVolumeSeries), ArchivePlaceText(Cursor.Volume));
        Ini.WriteString(kCursor, QLatin1String(kFrequencySeries), ArchivePlaceText(Cursor.Frequency));
    });
}

QStringList LoadMqttRetained(const QString &Path, bool *Known) {
    std::lock_guard Guard(FileLock());
    const TIniFile Ini(Path);
    if (Known)
        *Known = Ini.ValueExists(kRetained, kCountKey);
    QStringList Topics;
    const int Count = Ini.ReadInteger(kRetained, kCountKey, 0);
    for (int i = 1; i <= Count && i <= 1000; ++i) {
        const QString T = Ini.ReadString(kRetained, QStringLiteral("Topic%1").arg(i), {});
        if (!T.isEmpty())
            Topics << T;
    }
    return Topics;
}

bool SaveMqttRetained(const QStringList &Topics, const QString &Path, QString *Error) {
    return WriteFile(Path, Error, [&](TIniFile &Ini) {
        Ini.WriteInteger(kRetained, kCountKey, static_cast<int>(Topics.size()));
        for (int i = 0; i < Topics.size(); ++i)
            Ini.WriteString(kRetained, QStringLiteral("Topic%1").arg(i + 1), Topics[i]);
    });
}
