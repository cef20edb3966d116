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

QString MarkText(TDateTime Value) {
    return Value > 0 ? QString::fromLatin1(ArchiveTimeText(Value)) : QString();
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
    if (Address)
        *Address = {Tls, Url.host(), Port};
    return {};
}

TSeriesMarks LoadMqttCursor(const QString &Path) {
    std::lock_guard Guard(FileLock());
    const TIniFile Ini(Path);
    TSeriesMarks M;
    M.Level = MarkValue(Ini.ReadString(kCursor, QLatin1String(kLevelSeries), {}));
    M.Volume = MarkValue(Ini.ReadString(kCursor, QLatin1String(kVolumeSeries), {}));
    M.Frequency = MarkValue(Ini.ReadString(kCursor, QLatin1String(kFrequencySeries), {}));
    return M;
}

bool SaveMqttCursor(const TSeriesMarks &Cursor, const QString &Path, QString *Error) {
    return WriteFile(Path, Error, [&](TIniFile &Ini) {
        Ini.WriteString(kCursor, QLatin1String(kLevelSeries), MarkText(Cursor.Level));
        Ini.WriteString(kCursor, QLatin1String(kVolumeSeries), MarkText(Cursor.Volume));
        Ini.WriteString(kCursor, QLatin1String(kFrequencySeries), MarkText(Cursor.Frequency));
    });
}
