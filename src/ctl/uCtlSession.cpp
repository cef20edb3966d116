#include "uCtlSession.h"

#include "uBDE.h"
#include "uLanx1Instance.h"
#include "uString.h"

TCtlDevice::TCtlDevice(const TGlobalOptions &Options) {
    CreateLanx1();
    if (Options.Address >= 0)
        Lanx1->SetSystemAddress(static_cast<std::uint16_t>(Options.Address));
}

TCtlDevice::~TCtlDevice() {
    DestroyLanx1();
}

TCtlSession::TCtlSession(const TGlobalOptions &Options) : FAttempts(Options.Attempts) {
    if (!Lanx1)
        throw ECtlFailure(QStringLiteral("no device object"));
    LoadArchiveSettings();
    TRequestDevicesOptions EngineOptions;
    EngineOptions.PortOverride = Options.Port;
    FEngine = std::make_unique<TRequestDevices>(EngineOptions);
    RequestDevices = FEngine.get();
    FEngine->EchoRadix = 16; // as the program starts: the request log is written
    if (!FEngine->Transmitter)
        throw ECtlFailure(QStringLiteral("the serial transmitter could not be created"));
    TTransmitter &T = *FEngine->Transmitter;
    T.OnTransmit = [this](TTransmitter *, const QByteArray &Sent, bool, const QByteArray &) { FLastSent = Sent; };
    if (Options.Baud > 0) {
        TPortSettings S = T.GetSettings();
        const QString Text = QString::number(Options.Baud);
        if (TPortSettings::BaudRateTexts().contains(Text)) {
            S.BaudRate = Text;
        } else {
            S.BaudRate = QStringLiteral("Custom");
            S.CustomBaudRate = Options.Baud;
        }
        if (!T.SetSettings(S))
            throw ECtlFailure(QStringLiteral("port ") + T.GetPort() + QStringLiteral(" refuses ") + Text +
                              QStringLiteral(" baud"));
    }
    if (!T.IsOpen())
        throw ECtlFailure(QStringLiteral("cannot open port ") + T.GetPort());
}

TCtlSession::~TCtlSession() {
    RequestDevices = nullptr;
    FEngine.reset();
}

bool TCtlSession::Execute(std::uint8_t Kind, const QString &Hint) {
    FLastSent.clear();
    if (ExecuteWithRetries(Kind, FAttempts)) {
        FRefused << Lanx1->RefusedValues();
        if ((Kind == rkReadAll || Kind == rkReadControlRegister) && Lanx1->NoFrequencySignal())
            FNoSignal = true;
        return true;
    }
    if (FFailure.isEmpty())
        FFailure = ExchangeFailure(QStringLiteral("request ") + QString::number(Kind) + QStringLiteral(" \"") + Hint +
                                   u'"');
    return false;
}

TExecute TCtlSession::Executor() {
    return [this](std::uint8_t Kind, const QString &Hint) { return Execute(Kind, Hint); };
}

void TCtlSession::ThrowIfFailed() const {
    if (Failed())
        throw ECtlFailure(FFailure);
}

QString TCtlSession::BlockFailureText(const QString &Block) const {
    return ExchangeFailure(QStringLiteral("table block \"") + Block + u'"');
}

QString TCtlSession::ExchangeFailure(const QString &Request) const {
    QString Text = Request;
    if (!FLastSent.isEmpty())
        Text += QStringLiteral(" [") + StringToHex(FLastSent) + u']';
    Text += QStringLiteral(" failed after ") + QString::number(FAttempts) +
            (FAttempts == 1 ? QStringLiteral(" attempt: ") : QStringLiteral(" attempts: "));
    const QString Error = FEngine->LastFailureText();
    return Text + (Error.isEmpty() ? QStringLiteral("no valid reply") : Error);
}
