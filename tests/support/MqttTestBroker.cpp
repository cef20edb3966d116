#include "MqttTestBroker.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>

#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

extern char **environ;

namespace {

int FreePort() {
    const int S = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in A{};
    A.sin_family = AF_INET;
    A.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    A.sin_port = 0;
    socklen_t Len = sizeof A;
    int Port = 0;
    if (::bind(S, reinterpret_cast<sockaddr *>(&A), sizeof A) == 0 &&
        ::getsockname(S, reinterpret_cast<sockaddr *>(&A), &Len) == 0)
        Port = ntohs(A.sin_port);
    ::close(S);
    return Port;
}

bool Accepts(int Port) {
    const int S = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in A{};
    A.sin_family = AF_INET;
    A.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    A.sin_port = htons(static_cast<uint16_t>(Port));
    const bool Ok = ::connect(S, reinterpret_cast<sockaddr *>(&A), sizeof A) == 0;
    ::close(S);
    return Ok;
}

// Starts Program with Args in Dir; its process id, 0 on failure.
int Spawn(const QString &Program, const QStringList &Args, const QString &Dir, const QString &Output) {
    std::vector<QByteArray> Bytes{QFile::encodeName(Program)};
    for (const QString &A : Args)
        Bytes.push_back(A.toLocal8Bit());
    std::vector<char *> Argv;
    for (QByteArray &B : Bytes)
        Argv.push_back(B.data());
    Argv.push_back(nullptr);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    const QByteArray Out = QFile::encodeName(Output);
    posix_spawn_file_actions_addopen(&Actions, 1, Out.constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&Actions, 1, 2);
    const QByteArray Work = QFile::encodeName(Dir);
    posix_spawn_file_actions_addchdir_np(&Actions, Work.constData());
    pid_t Pid = 0;
    const int Rc = posix_spawn(&Pid, Argv[0], &Actions, nullptr, Argv.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    return Rc == 0 ? Pid : 0;
}

bool Run(const QString &Program, const QStringList &Args, const QString &Dir, QString *Error) {
    const QString Output = Dir + QStringLiteral("/tool-output.txt");
    const int Pid = Spawn(Program, Args, Dir, Output);
    int Status = 0;
    if (Pid == 0 || ::waitpid(Pid, &Status, 0) != Pid || !WIFEXITED(Status) || WEXITSTATUS(Status) != 0) {
        if (Error) {
            QFile F(Output);
            F.open(QIODevice::ReadOnly);
            *Error = Program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(F.readAll());
        }
        return false;
    }
    return true;
}

void InitLibrary() {
    static std::once_flag Once;
    std::call_once(Once, [] { mosquitto_lib_init(); });
}

} // namespace

bool WaitUntilTrue(const std::function<bool()> &Condition, int TimeoutMs) {
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    while (!Condition()) {
        if (std::chrono::steady_clock::now() > Deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

QString TTestBroker::Program() {
    for (const QString &P : {QStringLiteral("/usr/sbin/mosquitto"), QStringLiteral("/usr/bin/mosquitto")})
        if (QFile::exists(P))
            return P;
    return QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
}

TTestBroker::TTestBroker() : FPort(FreePort()) {}

TTestBroker::~TTestBroker() {
    Stop();
}

QString TTestBroker::Url() const {
    return (FTls ? QStringLiteral("mqtts://localhost:") : QStringLiteral("mqtt://127.0.0.1:")) + QString::number(FPort);
}

QString TTestBroker::Log() const {
    QFile F(FDir.filePath(QStringLiteral("mosquitto.log")));
    return F.open(QIODevice::ReadOnly) ? QString::fromUtf8(F.readAll()) : QString();
}

bool TTestBroker::MakeTls(QString *Error) {
    const QString OpenSsl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (OpenSsl.isEmpty()) {
        if (Error)
            *Error = QStringLiteral("openssl is not installed");
        return false;
    }
    QFile Ext(FDir.filePath(QStringLiteral("server.ext")));
    if (!Ext.open(QIODevice::WriteOnly))
        return false;
    Ext.write("subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n");
    Ext.close();
    const QString D = FDir.path();
    FTls = Run(OpenSsl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=lanx1 test CA",
                         "-keyout", "ca.key", "-out", "ca.crt"}, D, Error) &&
           Run(OpenSsl, {"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost", "-keyout", "server.key",
                         "-out", "server.csr"}, D, Error) &&
           Run(OpenSsl, {"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key", "-CAcreateserial",
                         "-days", "2", "-extfile", "server.ext", "-out", "server.crt"}, D, Error);
    return FTls;
}

bool TTestBroker::RequirePassword(const QString &User, const QString &Password, QString *Error) {
    FPasswordFile = FDir.filePath(QStringLiteral("passwd"));
    QString Tool = QStandardPaths::findExecutable(QStringLiteral("mosquitto_passwd"));
    if (Tool.isEmpty())
        Tool = QStringLiteral("/usr/bin/mosquitto_passwd");
    if (!Run(Tool, {"-c", "-b", FPasswordFile, User, Password}, FDir.path(), Error))
        return false;
    QFile::setPermissions(FPasswordFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

void TTestBroker::SetAcl(const QByteArray &Lines) {
    FAclFile = FDir.filePath(QStringLiteral("acl"));
    QFile F(FAclFile);
    if (F.open(QIODevice::WriteOnly))
        F.write(Lines);
}

void TTestBroker::MakeQuiet(int Messages) {
    FQuiet = true;
    FQueuedMessages = Messages;
}

bool TTestBroker::Start(QString *Error) {
    QFile Conf(FDir.filePath(QStringLiteral("mosquitto.conf")));
    if (!Conf.open(QIODevice::WriteOnly)) {
        if (Error)
            *Error = QStringLiteral("cannot write ") + Conf.fileName();
        return false;
    }
    QByteArray C = "listener " + QByteArray::number(FPort) + " 127.0.0.1\n";
    if (::geteuid() == 0)
        C += "user root\n"; // the files of the test folder stay readable
    C += "persistence true\npersistence_location " + QFile::encodeName(FDir.path()) + "/\n";
    C += "log_dest file " + QFile::encodeName(FDir.filePath(QStringLiteral("mosquitto.log"))) + "\n";
    C += FQuiet ? "log_type error\nlog_type warning\n" : "log_type all\n";
    if (FQueuedMessages > 0)
        C += "max_queued_messages " + QByteArray::number(FQueuedMessages) + "\n";
    if (FPasswordFile.isEmpty())
        C += "allow_anonymous true\n";
    else
        C += "allow_anonymous false\npassword_file " + QFile::encodeName(FPasswordFile) + "\n";
    if (!FAclFile.isEmpty())
        C += "acl_file " + QFile::encodeName(FAclFile) + "\n";
    if (FTls)
        C += "cafile " + QFile::encodeName(CaFile()) + "\ncertfile " +
             QFile::encodeName(FDir.filePath(QStringLiteral("server.crt"))) + "\nkeyfile " +
             QFile::encodeName(FDir.filePath(QStringLiteral("server.key"))) + "\n";
    Conf.write(C);
    Conf.close();
    FPid = Spawn(Program(), {QStringLiteral("-c"), Conf.fileName()}, FDir.path(),
                 FDir.filePath(QStringLiteral("mosquitto.out")));
    if (FPid == 0) {
        if (Error)
            *Error = QStringLiteral("mosquitto did not start");
        return false;
    }
    const bool Up = WaitUntilTrue([&] { return !Running() || Accepts(FPort); }, 20000) && Running();
    if (!Up && Error) {
        QFile Out(FDir.filePath(QStringLiteral("mosquitto.out")));
        Out.open(QIODevice::ReadOnly);
        *Error = QStringLiteral("mosquitto did not listen on ") + QString::number(FPort) + QStringLiteral(": ") +
                 QString::fromLocal8Bit(Out.readAll()) + Log();
    }
    return Up;
}

bool TTestBroker::Running() {
    if (FPid == 0)
        return false;
    int Status = 0;
    if (::waitpid(FPid, &Status, WNOHANG) == FPid) {
        FPid = 0;
        return false;
    }
    return true;
}

void TTestBroker::Stop() {
    if (!Running())
        return;
    ::kill(FPid, SIGTERM);
    if (!WaitUntilTrue([&] { return !Running(); }, 20000)) {
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
        FPid = 0;
    }
}

TTestSubscriber::TTestSubscriber(int Port, const QString &Filter, const TTestSubscriberOptions &Options)
    : FFilter(Filter.toUtf8()) {
    InitLibrary();
    static std::atomic<int> Serial{0};
    const QByteArray Id = "lanx1-test-subscriber-" + QByteArray::number(::getpid()) + "-" + QByteArray::number(++Serial);
    FMosq = mosquitto_new(Id.constData(), false, this);
    mosquitto_connect_callback_set(FMosq, &TTestSubscriber::OnConnect);
    mosquitto_subscribe_callback_set(FMosq, &TTestSubscriber::OnSubscribe);
    mosquitto_message_callback_set(FMosq, &TTestSubscriber::OnMessage);
    if (!Options.User.isEmpty())
        mosquitto_username_pw_set(FMosq, Options.User.toUtf8().constData(), Options.Password.toUtf8().constData());
    QByteArray Host = "127.0.0.1";
    if (!Options.CaFile.isEmpty()) {
        mosquitto_tls_set(FMosq, QFile::encodeName(Options.CaFile).constData(), nullptr, nullptr, nullptr, nullptr);
        Host = "localhost";
    }
    mosquitto_connect_async(FMosq, Host.constData(), Port, 30);
    FThread = std::thread([this] { Loop(); });
}

TTestSubscriber::~TTestSubscriber() {
    FStop = true;
    FThread.join();
    mosquitto_disconnect(FMosq);
    mosquitto_destroy(FMosq);
}

void TTestSubscriber::Loop() {
    while (!FStop) {
        if (mosquitto_loop(FMosq, 20, 1) != MOSQ_ERR_SUCCESS) {
            // The broker is away: try again a little later.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            mosquitto_reconnect(FMosq);
        }
    }
}

void TTestSubscriber::OnConnect(mosquitto *M, void *Self, int Rc) {
    auto *S = static_cast<TTestSubscriber *>(Self);
    if (Rc == 0)
        mosquitto_subscribe(M, nullptr, S->FFilter.constData(), 1);
}

void TTestSubscriber::OnSubscribe(mosquitto *, void *Self, int, int, const int *) {
    auto *S = static_cast<TTestSubscriber *>(Self);
    std::lock_guard Guard(S->FLock);
    S->FSubscribed = true;
    S->FChanged.notify_all();
}

void TTestSubscriber::OnMessage(mosquitto *, void *Self, const mosquitto_message *Message) {
    auto *S = static_cast<TTestSubscriber *>(Self);
    std::lock_guard Guard(S->FLock);
    S->FMessages.push_back({QString::fromUtf8(Message->topic),
                            QByteArray(static_cast<const char *>(Message->payload), Message->payloadlen),
                            Message->retain});
    S->FChanged.notify_all();
}

bool TTestSubscriber::Publish(const QString &Topic, const QByteArray &Payload, bool Retain) {
    return mosquitto_publish(FMosq, nullptr, Topic.toUtf8().constData(), static_cast<int>(Payload.size()),
                             Payload.constData(), 1, Retain) == MOSQ_ERR_SUCCESS;
}

bool TTestSubscriber::WaitSubscribed(int TimeoutMs) {
    std::unique_lock Guard(FLock);
    return FChanged.wait_for(Guard, std::chrono::milliseconds(TimeoutMs), [this] { return FSubscribed; });
}

bool TTestSubscriber::WaitFor(const std::function<bool(const std::vector<TTestMessage> &)> &Condition, int TimeoutMs) {
    std::unique_lock Guard(FLock);
    return FChanged.wait_for(Guard, std::chrono::milliseconds(TimeoutMs), [&] { return Condition(FMessages); });
}

std::vector<TTestMessage> TTestSubscriber::Messages() const {
    std::lock_guard Guard(FLock);
    return FMessages;
}

std::vector<TTestMessage> TTestSubscriber::On(const QString &Topic) const {
    std::vector<TTestMessage> R;
    for (const TTestMessage &M : Messages())
        if (M.Topic == Topic)
            R.push_back(M);
    return R;
}
