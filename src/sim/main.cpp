// lanx1-sim: a simulated level transducer on a serial line, for trying the
// program without the device. The first line of output is the port to open.
#include "TLanx1Simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <pthread.h>

namespace {

struct TOptions {
    QCommandLineOption Port{"port", "Serve this serial port instead of a new pseudo-terminal.", "path"};
    QCommandLineOption Address{"address", "Device address 0..254 (default 1).", "n", "1"};
    QCommandLineOption Baud{"baud",
                            "Send replies at the wire speed of this baud rate; 0 sends at once (default 9600). When "
                            "given, the device answers only while the port is set to this rate.",
                            "n", "9600"};
    QCommandLineOption WrongBaudGarbage{"wrong-baud-garbage",
                                        "With --baud: answer a request at another rate with garbage instead of "
                                        "silence."};
    QCommandLineOption Level{"level", "Hold the level at this percentage instead of letting it sweep 10..90 %.",
                             "percent"};
    QCommandLineOption Plant{"plant", "Plant number (default 1234).", "n"};
    QCommandLineOption Silent{"silent", "Never reply."};
    QCommandLineOption Delay{"delay", "Reply this many milliseconds late.", "ms"};
    QCommandLineOption BadCrc{"bad-crc", "Corrupt the checksum of every reply."};
    QCommandLineOption Exception{"exception", "Answer every request with this exception code.", "code"};
    QCommandLineOption Status{"status", "Answer every request with a 0xFA status reply of this status.", "status"};
    QCommandLineOption Trailing{"trailing", "Append this many extra bytes to every reply.", "n"};
    QCommandLineOption Leading{"leading", "Send this many bytes of line noise before every reply.", "n"};
    QCommandLineOption LateNoise{"late-noise",
                                 "Send this many bytes of line noise 60 ms after every reply, between two exchanges.",
                                 "n"};
    QCommandLineOption WrongFunction{"wrong-function",
                                     "Answer reads with a write's echo and writes with a read's reply."};
    QCommandLineOption NoSignal{"no-signal", "Report a missing frequency signal (control register bit 7)."};
    QCommandLineOption Times{"times", "Apply the faults to this many replies only, then behave (default: always).", "n"};
};

bool IntValue(const QCommandLineParser &Parser, const QCommandLineOption &Option, int &Value) {
    bool Ok = false;
    Value = Parser.value(Option).toInt(&Ok);
    if (!Ok)
        std::fprintf(stderr, "lanx1-sim: --%s needs a number\n", qPrintable(Option.names().first()));
    return Ok;
}

// Applies one numeric option when given or defaulted; false on a bad number.
template <class TApply>
bool Apply(const QCommandLineParser &Parser, const QCommandLineOption &Option, TApply Then) {
    if (!Parser.isSet(Option) && Option.defaultValues().isEmpty())
        return true;
    int Value = 0;
    if (!IntValue(Parser, Option, Value))
        return false;
    Then(Value);
    return true;
}

bool Configure(const QCommandLineParser &Parser, const TOptions &O, TLanx1Simulator &Sim) {
    int Times = TLanx1Simulator::Always;
    if (Parser.isSet(O.Times) && !IntValue(Parser, O.Times, Times))
        return false;
    const auto Fault = [&](TSimFault Kind) { return [&, Kind](int Value) { Sim.SetFault(Kind, Value, Times); }; };
    if (Parser.isSet(O.Silent))
        Sim.SetFault(TSimFault::Silence, 0, Times);
    if (Parser.isSet(O.BadCrc))
        Sim.SetFault(TSimFault::BadCrc, 0, Times);
    if (Parser.isSet(O.WrongFunction))
        Sim.SetFault(TSimFault::WrongFunction, 0, Times);
    if (Parser.isSet(O.NoSignal))
        Sim.SetNoFrequencySignal(true);
    // Without --baud the device hears any speed, as before.
    Sim.SetBaudRateCheck(Parser.isSet(O.Baud));
    Sim.SetWrongBaudGarbage(Parser.isSet(O.WrongBaudGarbage));
    if (Parser.isSet(O.Level)) {
        bool Ok = false;
        const double Level = Parser.value(O.Level).toDouble(&Ok);
        if (!Ok) {
            std::fprintf(stderr, "lanx1-sim: --level needs a number\n");
            return false;
        }
        Sim.SetLevel(Level);
    }
    if (Parser.isSet(O.Address)) {
        int Address = 0;
        if (!IntValue(Parser, O.Address, Address))
            return false;
        // The device keeps its address in one byte; a larger number would
        // silently serve another address.
        if (Address < 0 || Address > 254) {
            std::fprintf(stderr, "lanx1-sim: --address must lie in 0..254\n");
            return false;
        }
    }
    return Apply(Parser, O.Address, [&](int V) { Sim.SetAddress(V); }) &&
           Apply(Parser, O.Baud, [&](int V) { Sim.SetBaudRate(V); }) &&
           Apply(Parser, O.Plant,
                 [&](int V) {
                     Sim.SetRegister(TLanx1DeviceModel::rgPlantNumber, static_cast<std::uint16_t>(V));
                     Sim.SetRegister(TLanx1DeviceModel::rgPlantNumberWritten, static_cast<std::uint16_t>(V));
                 }) &&
           Apply(Parser, O.Delay, Fault(TSimFault::Delay)) && Apply(Parser, O.Exception, Fault(TSimFault::Exception)) &&
           Apply(Parser, O.Status, Fault(TSimFault::Status)) && Apply(Parser, O.Trailing, Fault(TSimFault::TrailingBytes)) &&
           Apply(Parser, O.Leading, Fault(TSimFault::LeadingBytes)) &&
           Apply(Parser, O.LateNoise, Fault(TSimFault::LateBytes));
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication App(argc, argv);
    QCoreApplication::setApplicationName("lanx1-sim");
    QCommandLineParser Parser;
    Parser.setApplicationDescription(
        "A simulated level transducer answering register requests (functions 0x03 and 0x10) on a serial line.\n"
        "Without --port it opens a pseudo-terminal and prints its path on the first line; open that path as the\n"
        "serial port. Runs until interrupted (Ctrl+C) or terminated.");
    Parser.addHelpOption();
    const TOptions O;
    for (const auto *Option : {&O.Port, &O.Address, &O.Baud, &O.Level, &O.Plant, &O.Silent, &O.Delay, &O.BadCrc,
                               &O.Exception, &O.Status, &O.Trailing, &O.Leading, &O.LateNoise, &O.WrongFunction, &O.NoSignal, &O.Times, &O.WrongBaudGarbage})
        Parser.addOption(*Option);
    Parser.process(App);

    // The serving thread inherits the blocked signals, so only sigwait sees them.
    sigset_t Signals;
    sigemptyset(&Signals);
    sigaddset(&Signals, SIGINT);
    sigaddset(&Signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &Signals, nullptr);

    TLanx1Simulator Sim;
    if (!Configure(Parser, O, Sim))
        return 2;
    const bool Started = Parser.isSet(O.Port) ? Sim.Start(Parser.value(O.Port)) : Sim.Start();
    if (!Started) {
        std::fprintf(stderr, "lanx1-sim: cannot open %s\n",
                     Parser.isSet(O.Port) ? qPrintable(Parser.value(O.Port)) : "a pseudo-terminal");
        return 1;
    }
    std::printf("%s\n", qPrintable(Sim.PortName()));
    std::printf("address %d, baud %d%s; stop with Ctrl+C\n", Sim.Address(), Sim.BaudRate(),
                Sim.BaudRateCheck() && Sim.BaudRate() > 0 ? " (only)" : "");
    std::fflush(stdout);

    int Signal = 0;
    sigwait(&Signals, &Signal);
    Sim.Stop();
    std::printf("stopped after %d requests, %d replies\n", Sim.RequestCount(), Sim.RepliesSent());
    return 0;
}
