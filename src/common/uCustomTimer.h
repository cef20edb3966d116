#pragma once
// A timer that keeps its settings (running or not, period) in an ini file of
// its own, AppDir/INI/<IniFileName>, in the section named after the timer.
//
// Ticks arrive as the Tick() signal in the thread that owns the timer. Start and
// Stop announce themselves through the StartStop() signal and, when set, the
// OnStartStop callback (called first, with the timer); SetPaused does neither.
//
// As with a classic window timer, an interval of 0 means "no ticks": the timer
// may be enabled, but it never fires (a zero-period QTimer would spin).
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <functional>

class TCustomTimer : public QObject {
    Q_OBJECT
public:
    explicit TCustomTimer(QObject *Parent = nullptr);

    // The component name; also the ini section.
    QString Name() const { return objectName(); }
    void SetName(const QString &Value) { setObjectName(Value); }

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    int Interval() const { return FTimer.interval(); }
    // Milliseconds; a negative value is refused.
    void SetInterval(int Value);

    // path = AppDir/INI/IniFileName. Creates the file empty when missing (a missing
    // INI folder is not created; the defaults then stay). Enabled := "Enabled"
    // (default false, any non-zero integer is true), Interval := "Interval" (default 200).
    void LoadFromIni();
    // Writes "Enabled" (1 or 0) and "Interval"; throws EIniFileError on failure.
    void SaveToIni() const;
    QString IniFile() const;

    void Start(); // enable, then announce
    void Stop();  // disable, then announce
    // Pauses or resumes without announcing (a tick handler pauses the timer while it works).
    void SetPaused(bool Value) { SetEnabled(!Value); }

    QString IniFileName = QStringLiteral("Timer.ini");
    // Free for the owner; the polling engine keeps its device cursor here.
    std::atomic<int> Tag{0};
    std::function<void(TCustomTimer &)> OnStartStop;

signals:
    void Tick();
    void StartStop();

private:
    void Announce();
    void Apply();

    QTimer FTimer;
    bool FEnabled = false;
};
