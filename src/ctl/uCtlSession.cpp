#include "uCtlSession.h"

#include "uBDE.h"
#include "uLanx1Instance.h"
#include "uString.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcCtl, "lanx1.ctl")

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
    if (!T.IsOpen()) {
        const QString Why = T.LastOpenFailure().EnglishText();
        throw ECtlFailure(QStringLiteral("cannot open port ") + T.GetPort() +
                          (Why.isEmpty() ? QString() : QStringLiteral(": ") + Why));
    }
}

namespace {
QString GRequestLogFailure;
} // namespace

QString RequestLogFailureOfRun() {
    return GRequestLogFailure;
}

TCtlSession::~TCtlSession() {
    if (FEngine && GRequestLogFailure.isEmpty())
        GRequestLogFailure = FEngine->RequestLogError();
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
    // Taken before a read-back sends frames of its own.
    QString Failure =
        ExchangeFailure(QStringLiteral("request ") + QString::number(Kind) + QStringLiteral(" \"") + Hint + u'"');
    if (IsParameterWrite(Kind) && FAttempts > 0) {
        switch (CheckWrite(*Lanx1, Kind, FAttempts)) {
        case TCommandOutcome::Done:
            qCInfo(lcCtl).noquote() << "the write of request" << Kind << "got no reply; the read-back shows it done";
            return true;
        case TCommandOutcome::NotDone:
            Failure += QStringLiteral("; not done: the read-back shows the device kept its value");
            break;
        case TCommandOutcome::Unknown:
            Failure += QStringLiteral("; не подтверждено (not confirmed): the read-back got no reply either, "
                                      "whether the device took the value is not known");
            break;
        }
    }
    if (FFailure.isEmpty())
        FFailure = Failure;
    return false;
}

TExecute TCtlSession::Executor() {
    return [this](std::uint8_t Kind, const QString &Hint) { return Execute(Kind, Hint); };
}

void TCtlSession::ThrowIfFailed() const {
    if (Failed())
        throw ECtlFailure(FFailure);
}

QString TCtlSession::BlockFailureText(const TTableBlockFailure &Block) {
    QString Text = QStringLiteral("table block \"") + Block.EchoLine + u'"';
    if (!Block.Frame.isEmpty())
        Text += QStringLiteral(" [") + StringToHex(Block.Frame) + u']';
    Text += QStringLiteral(" failed after ") + QString::number(Block.Attempts) +
            (Block.Attempts == 1 ? QStringLiteral(" attempt: ") : QStringLiteral(" attempts: "));
    return Text + (Block.Error.isEmpty() ? QStringLiteral("no valid reply") : Block.Error);
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
