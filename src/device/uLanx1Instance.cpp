#include "uLanx1Instance.h"

#include "uIniFile.h"
#include "uMessages.h"
#include "uSysUtils.h"

#include <QDir>
#include <QFile>

TLanx1 *Lanx1 = nullptr;
TPollSet PollSet;

void CreateLanx1() {
    DestroyLanx1();
    Lanx1 = new TLanx1;
    Lanx1->Name = QStringLiteral("Lanx1");
    Lanx1->SetErrorMax(1);
    Lanx1->DeviceDescription.Title = QStringLiteral("КЕЛМ352И");
    Lanx1->DeviceDescription.Hint = QStringLiteral("КЕЛМ352И");
}

void DestroyLanx1() {
    delete Lanx1;
    Lanx1 = nullptr;
}

void TPollSet::Include(int Kind) {
    if (Kind >= 0 && Kind < 32)
        FBits.fetch_or(1u << Kind);
}

void TPollSet::Exclude(int Kind) {
    if (Kind >= 0 && Kind < 32)
        FBits.fetch_and(~(1u << Kind));
}

// ---- parameter files

namespace {

const QString kSection = QStringLiteral("Lanx1");

void LoadDescription(const TIniFile &Ini, TDescriptionOfDouble &D, const QString &N, const QString &Title,
                     const QString &Hint) {
    D.Title = Ini.ReadString(kSection, QStringLiteral("Title") + N, Title);
    D.Hint = Ini.ReadString(kSection, QStringLiteral("Hint") + N, Hint);
    D.Dimension = Ini.ReadString(kSection, QStringLiteral("Dimension") + N, QStringLiteral("%"));
    D.Digits = static_cast<std::uint8_t>(Ini.ReadInteger(kSection, QStringLiteral("Digits") + N, 1) & 0xFF);
    const double Min = Ini.ReadFloat(kSection, QStringLiteral("Minimum") + N, 0);
    const double Max = Ini.ReadFloat(kSection, QStringLiteral("Maximum") + N, 100);
    D.SetMinMax(Min, Max);
}

void SaveDescription(TIniFile &Ini, const TDescriptionOfDouble &D, const QString &N) {
    Ini.WriteString(kSection, QStringLiteral("Title") + N, D.Title);
    Ini.WriteString(kSection, QStringLiteral("Hint") + N, D.Hint);
    Ini.WriteString(kSection, QStringLiteral("Dimension") + N, D.Dimension);
    Ini.WriteInteger(kSection, QStringLiteral("Digits") + N, D.Digits);
    Ini.WriteFloat(kSection, QStringLiteral("Maximum") + N, D.GetMax());
    Ini.WriteFloat(kSection, QStringLiteral("Minimum") + N, D.GetMin());
}

} // namespace

QString ParametersFolder() {
    const QDir Program(ProgramDir());
    for (const QString &Entry : Program.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (Entry.compare(QLatin1String("PAR"), Qt::CaseInsensitive) == 0)
            return Program.filePath(Entry);
    return Program.filePath(QStringLiteral("PAR"));
}

QString ParametersFileName(const TLanx1 &Device) {
    return JoinPath(ParametersFolder(), QString::number(Device.PlantNumber()) + QStringLiteral(".ini"));
}

void LoadParametersFromFile(TLanx1 &Device, const QString &Path) {
    const TIniFile Ini(Path);
    Device.SetSystemAddress(static_cast<std::uint16_t>(Ini.ReadInteger(kSection, QStringLiteral("SystemAddress"), 255)));
    Device.SetPlantNumber(static_cast<std::uint16_t>(Ini.ReadInteger(kSection, QStringLiteral("PlantNumber"), 65535)));
    const int KKalman = Ini.ReadInteger(kSection, QStringLiteral("KKalman"), 1);
    if (KKalman >= 0 && KKalman <= 65535)
        Device.SetKKalman(static_cast<std::uint16_t>(KKalman));
    const int Mode = Ini.ReadInteger(kSection, QStringLiteral("ModeCurrentOutput"), 1);
    if (Mode >= 0 && Mode <= 255)
        Device.SetModeCurrentOutput(static_cast<std::uint8_t>(Mode));
    LoadDescription(Ini, Device.Level.Description, QStringLiteral("1"), QStringLiteral("Уровень"),
                    QStringLiteral("Уровень продукта"));
    LoadDescription(Ini, Device.Volume.Description, QStringLiteral("2"), QStringLiteral("Объем"),
                    QStringLiteral("Объем продукта"));
    Device.SetUpperLimitPercent(Ini.ReadFloat(kSection, QStringLiteral("UpperLimitPercent"), 95));
    Device.SetLowerLimitPercent(Ini.ReadFloat(kSection, QStringLiteral("LowerLimitPercent"), 10));
}

void SaveParametersToFile(TLanx1 &Device, const QString &Path) {
    TIniFile Ini(Path);
    Ini.BeginUpdate();
    Ini.WriteInteger(kSection, QStringLiteral("PlantNumber"), Device.PlantNumber());
    Ini.WriteInteger(kSection, QStringLiteral("SystemAddress"), Device.SystemAddress());
    Ini.WriteInteger(kSection, QStringLiteral("KKalman"), Device.KKalman());
    Ini.WriteInteger(kSection, QStringLiteral("ModeCurrentOutput"), Device.ModeCurrentOutput());
    SaveDescription(Ini, Device.Level.Description, QStringLiteral("1"));
    SaveDescription(Ini, Device.Volume.Description, QStringLiteral("2"));
    Ini.WriteFloat(kSection, QStringLiteral("UpperLimitPercent"), Device.UpperLimitPercent());
    Ini.WriteFloat(kSection, QStringLiteral("LowerLimitPercent"), Device.LowerLimitPercent());
    Ini.EndUpdate();
}

TSaveParametersResult SaveParameters(TLanx1 &Device, QString *Path, QString *Error) {
    ForceDirectories(ParametersFolder()); // a failure shows when the file is written
    const QString File = ParametersFileName(Device);
    if (Path)
        *Path = File;
    if (QFile::exists(File) &&
        ShowMessageBox(QStringLiteral("Внимание"), QStringLiteral("Заменить существующий файл \r") + File + QStringLiteral(" ?"),
                       TMsgIcon::Warning, mbYes | mbNo, mbYes) != mbYes)
        return TSaveParametersResult::Kept;
    try {
        SaveParametersToFile(Device, File);
    } catch (const std::exception &E) {
        if (Error)
            *Error = QString::fromStdString(E.what());
        return TSaveParametersResult::Failed;
    }
    return TSaveParametersResult::Saved;
}
