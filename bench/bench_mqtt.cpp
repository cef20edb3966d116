// Catch-up of 100,000 archived poll cycles to a local mosquitto broker:
// messages a second against the target of 1,000 (the publisher's own pace),
// the pace the publisher could reach unbounded, and the poll cycle time while
// the catch-up runs divided by the poll cycle time without it (target 1 ± 5 %).
#include "BenchArchive.h"
#include "BenchLine.h"
#include "MqttTestBroker.h"
#include "TLanx1Simulator.h"
#include "uArchiveDb.h"
#include "uBDE.h"
#include "uCycleReadings.h"
#include "uLanx1Instance.h"
#include "uMqttPublisher.h"
#include "uRequestDevices.h"
#include "uString.h"
#include "uSysUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <mosquitto.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr int kCycles = 100000;
constexpr int kPollCycles = 60;
using TClock = std::chrono::steady_clock;

// kCycles cycles of the three readings, 200 ms apart, from First.
bool GenerateCycles(TDateTime First) {
    const char *Names[] = {kLevelSeries, kVolumeSeries, kFrequencySeries};
    for (const char *Name : Names) {
        sqlite3 *Db = nullptr;
        sqlite3_stmt *St = nullptr;
        QString OpenPath;
        bool Ok = true;
        char Text[kArchiveTimeLength];
        for (int i = 0; Ok && i < kCycles; ++i) {
            const TDateTime At = First + i * 0.2 / 86400.0;
            const QString Path = ArchiveFilePath(QLatin1String(Name), At, QStringLiteral(".db"));
            if (Path != OpenPath) {
                if (Db) {
                    sqlite3_finalize(St);
                    sqlite3_exec(Db, "COMMIT", nullptr, nullptr, nullptr);
                    sqlite3_close(Db);
                }
                QDir().mkpath(QFileInfo(Path).absolutePath());
                Ok = CreateArchiveTable(Path) &&
                     sqlite3_open_v2(Path.toUtf8().constData(), &Db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                     sqlite3_exec(Db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK &&
                     sqlite3_prepare_v2(Db, QByteArray("INSERT INTO ") + Name + " (V, DT) VALUES (?1, ?2)", -1, &St,
                                        nullptr) == SQLITE_OK;
                OpenPath = Path;
            }
            Ok = Ok && FormatArchiveTime(At, Text);
            sqlite3_bind_double(St, 1, 10.0 + (i % 1000) * 0.05);
            sqlite3_bind_text(St, 2, Text, static_cast<int>(kArchiveTimeLength), SQLITE_STATIC);
            Ok = Ok && sqlite3_step(St) == SQLITE_DONE;
            sqlite3_reset(St);
        }
        if (Db) {
            sqlite3_finalize(St);
            Ok = Ok && sqlite3_exec(Db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
            sqlite3_close(Db);
        }
        if (!Ok)
            return false;
    }
    return true;
}

struct TCounter {
    std::atomic<int> Count{0};
    std::atomic<std::int64_t> FirstNs{0}, LastNs{0};
};

void OnMessage(mosquitto *, void *Self, const mosquitto_message *M) {
    auto *C = static_cast<TCounter *>(Self);
    if (!QByteArray(M->topic).endsWith("/state"))
        return;
    const std::int64_t T = TClock::now().time_since_epoch().count();
    if (C->Count.fetch_add(1) == 0)
        C->FirstNs = T;
    C->LastNs = T;
}

// Mean poll cycle time in ms over Count cycles.
double PollCycles(TRequestDevices &Engine, int Count) {
    std::vector<double> Ms;
    for (int i = 0; i < Count; ++i) {
        const auto Start = TClock::now();
        Engine.PollCycle();
        Ms.push_back(std::chrono::duration<double, std::milli>(TClock::now() - Start).count());
    }
    std::sort(Ms.begin(), Ms.end());
    return Ms[Ms.size() / 2]; // the median: a scheduler hiccup is not the publisher's
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication App(argc, argv);
    if (TTestBroker::Program().isEmpty()) {
        Print(QStringLiteral("bench_mqtt: mosquitto is not installed (scripts/setup installs it)"));
        return 1;
    }
    QTemporaryDir Dir;
    UseBenchFolder(Dir.path());

    // The broker, holding the whole catch-up for its subscriber.
    TTestBroker Broker;
    Broker.MakeQuiet(1000000);
    QString Error;
    if (!Broker.Start(&Error)) {
        Print(QStringLiteral("bench_mqtt: ") + Error);
        return 1;
    }
    const int Port = Broker.Port();

    // The transducer and the polling engine.
    TLanx1Simulator Sim;
    if (!Sim.Start()) {
        Print(QStringLiteral("bench_mqtt: no pseudo-terminal"));
        return 1;
    }
    QFile ComPort(Dir.filePath(QStringLiteral("INI/ComPort.ini")));
    ComPort.open(QIODevice::WriteOnly);
    ComPort.write("[Transmitter]\r\nPort=" + Sim.PortName().toLocal8Bit() + "\r\n");
    ComPort.close();
    CreateLanx1();
    PollSet.Clear();
    PollSet.Include(rkReadLevel);
    PollSet.Include(rkReadVolume);
    PollSet.Include(rkReadFrequency);
    auto Engine = std::make_unique<TRequestDevices>();
    RequestDevices = Engine.get();

    // The backlog: 100,000 cycles archived before now, the cursor before them.
    const TDateTime First = Now() - 1.0;
    auto Clock = TClock::now();
    if (!GenerateCycles(First)) {
        Print(QStringLiteral("bench_mqtt: cannot generate the archive"));
        return 1;
    }
    Print(QStringLiteral("  generated %1 archived cycles (3 series) in %2 s")
              .arg(kCycles)
              .arg(std::chrono::duration<double>(TClock::now() - Clock).count(), 0, 'f', 1));
    PollCycles(*Engine, 10); // the port and the archive's day files warmed up first
    if (!Engine->LearnPlantNumberNow()) {
        Print(QStringLiteral("bench_mqtt: the simulator did not tell its plant number"));
        return 1;
    }
    const double Before = PollCycles(*Engine, kPollCycles);

    mosquitto_lib_init();
    TCounter Counter;
    mosquitto *Sub = mosquitto_new("lanx1-bench-subscriber", true, &Counter);
    mosquitto_message_callback_set(Sub, OnMessage);
    mosquitto_connect(Sub, "127.0.0.1", Port, 30);
    mosquitto_subscribe(Sub, nullptr, "lanx1/#", 1);
    mosquitto_loop_start(Sub);

    double During = 0;
    double Rates[2] = {0, 0};
    for (const int MaxRate : {1000, 1000000}) {
        const int Run = MaxRate == 1000 ? 0 : 1;
        SaveMqttCursor(ArchiveCursorAt({First - 1.0 / 86400000, First - 1.0 / 86400000, First - 1.0 / 86400000}));
        Counter.Count = 0;
        TMqttSettings S;
        S.Url = Broker.Url();
        S.MaxRate = MaxRate;
        TMqttPublisher Publisher;
        Publisher.Start(S);
        if (Run == 0)
            During = PollCycles(*Engine, kPollCycles); // while the catch-up runs
        const int Owed = kCycles + 10 + kPollCycles * 2;
        const auto Until = TClock::now() + std::chrono::seconds(400);
        while (Counter.Count < Owed && TClock::now() < Until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const double Seconds = (Counter.LastNs - Counter.FirstNs) / 1e9;
        Rates[Run] = Seconds > 0 ? (Counter.Count - 1) / Seconds : 0;
        Print(QStringLiteral("  MaxRate=%1: %2 of %3 messages in %4 s, %5 messages/s")
                  .arg(MaxRate)
                  .arg(Counter.Count.load())
                  .arg(Owed)
                  .arg(Seconds, 0, 'f', 1)
                  .arg(Rates[Run], 0, 'f', 0));
        Publisher.Stop();
    }
    mosquitto_disconnect(Sub);
    mosquitto_loop_stop(Sub, true);
    mosquitto_destroy(Sub);

    Print(QStringLiteral("catch-up: %1 messages/s at the publisher's pace (target >= 1000) %2; %3 messages/s unbounded")
              .arg(Rates[0], 0, 'f', 0)
              .arg(Rates[0] >= 1000 ? QStringLiteral("ok") : QStringLiteral("MISSED"))
              .arg(Rates[1], 0, 'f', 0));
    const double Ratio = During / Before;
    Print(QStringLiteral("poll cycle during catch-up / without: %1 (%2 ms / %3 ms, target 0.95..1.05) %4")
              .arg(Ratio, 0, 'f', 3)
              .arg(During, 0, 'f', 2)
              .arg(Before, 0, 'f', 2)
              .arg(Ratio >= 0.95 && Ratio <= 1.05 ? QStringLiteral("ok") : QStringLiteral("MISSED")));
    RequestDevices = nullptr;
    Engine.reset();
    DestroyLanx1();
    Sim.Stop();
    return 0;
}
