#include "uCustomTimer.h"

#include "uIniFile.h"
#include "uSysUtils.h"

namespace {
constexpr int kDefaultInterval = 200;
} // namespace

TCustomTimer::TCustomTimer(QObject *Parent) : QObject(Parent), FTimer(this) {
    setObjectName(QStringLiteral("CustomTimer"));
    FTimer.setInterval(kDefaultInterval);
    connect(&FTimer, &QTimer::timeout, this, &TCustomTimer::Tick);
}

void TCustomTimer::SetEnabled(bool Value) {
    if (FEnabled == Value)
        return;
    FEnabled = Value;
    Apply();
}

void TCustomTimer::SetInterval(int Value) {
    if (Value < 0 || Value == FTimer.interval())
        return;
    FTimer.setInterval(Value);
    Apply();
}

void TCustomTimer::Apply() {
    if (FEnabled && FTimer.interval() > 0)
        FTimer.start(); // restarts the period, as a changed interval should
    else
        FTimer.stop();
}

QString TCustomTimer::IniFile() const {
    return IniPath(IniFileName);
}

void TCustomTimer::LoadFromIni() {
    const QString Path = IniFile();
    TIniFile::CreateEmpty(Path); // with the INI folder when it is missing
    const TIniFile Ini(Path);
    const int Period = Ini.ReadInteger(Name(), QStringLiteral("Interval"), kDefaultInterval);
    SetInterval(Period >= 0 ? Period : kDefaultInterval);
    SetEnabled(Ini.ReadBool(Name(), QStringLiteral("Enabled"), false));
}

void TCustomTimer::SaveToIni() const {
    TIniFile Ini(IniFile());
    Ini.WriteInteger(Name(), QStringLiteral("Enabled"), FEnabled ? 1 : 0);
    Ini.WriteInteger(Name(), QStringLiteral("Interval"), Interval());
}

void TCustomTimer::Start() {
    SetEnabled(true);
    Announce();
}

void TCustomTimer::Stop() {
    SetEnabled(false);
    Announce();
}

void TCustomTimer::Announce() {
    if (OnStartStop)
        OnStartStop(*this);
    emit StartStop();
}
