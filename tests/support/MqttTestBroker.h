#pragma once
// A real mosquitto broker on a free local port for one test (or benchmark),
// and a subscriber that collects what arrives, made with the same client
// library as the publisher.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct mosquitto;

class TTestBroker {
public:
    // The mosquitto program; empty when it is not installed.
    static QString Program();

    TTestBroker();
    ~TTestBroker(); // stops the broker
    TTestBroker(const TTestBroker &) = delete;
    TTestBroker &operator=(const TTestBroker &) = delete;

    // Before the first start: a TLS listener with a certificate made here
    // (a test authority and a server certificate for localhost and 127.0.0.1).
    bool MakeTls(QString *Error = nullptr);
    // Before the first start: only this user with this password is let in.
    bool RequirePassword(const QString &User, const QString &Password, QString *Error = nullptr);
    // Before the first start: no log but errors and warnings, and a queue per
    // client of Messages messages (a benchmark's broker: the log of every
    // packet would slow it down, and the catch-up outruns the default queue).
    void MakeQuiet(int Messages);
    // Before the first start: the access control list of the broker (mosquitto's
    // acl_file lines); what it does not grant is denied.
    void SetAcl(const QByteArray &Lines);

    // Starts the broker (again) on its port and waits until it takes connections.
    bool Start(QString *Error = nullptr);
    // Stops it (its state is saved and restored by the next start).
    void Stop();
    bool Running();

    int Port() const { return FPort; }
    QString Url() const; // mqtt://127.0.0.1:PORT or mqtts://localhost:PORT
    QString CaFile() const { return FDir.filePath(QStringLiteral("ca.crt")); }
    QString Folder() const { return FDir.path(); }
    QString Log() const;

private:
    QTemporaryDir FDir;
    int FPid = 0; // the broker's process (spawned directly, as ThreadSanitizer has it)
    int FPort = 0;
    bool FTls = false;
    QString FPasswordFile;
    QString FAclFile;
    bool FQuiet = false;
    int FQueuedMessages = 0;
};

struct TTestMessage {
    QString Topic;
    QByteArray Payload;
    bool Retained = false;
};

struct TTestSubscriberOptions {
    QString CaFile; // TLS to localhost when set
    QString User;
    QString Password;
};

class TTestSubscriber {
public:
    // Connects with a persistent session (the broker keeps its messages while it
    // is away) and subscribes to Filter with QoS 1.
    TTestSubscriber(int Port, const QString &Filter, const TTestSubscriberOptions &Options = {});
    ~TTestSubscriber();
    TTestSubscriber(const TTestSubscriber &) = delete;
    TTestSubscriber &operator=(const TTestSubscriber &) = delete;

    // Waits until the subscription is in place.
    bool WaitSubscribed(int TimeoutMs = 20000);
    // Waits until Condition holds for the messages received so far.
    bool WaitFor(const std::function<bool(const std::vector<TTestMessage> &)> &Condition, int TimeoutMs = 60000);
    std::vector<TTestMessage> Messages() const;
    // The messages of one topic.
    std::vector<TTestMessage> On(const QString &Topic) const;
    // Publishes as any other client would (QoS 1); false when the library refused.
    bool Publish(const QString &Topic, const QByteArray &Payload, bool Retain);

private:
    static void OnConnect(mosquitto *, void *Self, int Rc);
    static void OnSubscribe(mosquitto *, void *Self, int Mid, int Count, const int *Granted);
    static void OnMessage(mosquitto *, void *Self, const struct mosquitto_message *Message);

    void Loop();

    mosquitto *FMosq = nullptr;
    QByteArray FFilter;
    std::atomic<bool> FStop{false};
    std::thread FThread; // drives the client (a thread of our own, as ThreadSanitizer sees it)
    mutable std::mutex FLock;
    std::condition_variable FChanged;
    bool FSubscribed = false;
    std::vector<TTestMessage> FMessages;
};

// Waits until Condition holds, looking every few milliseconds; false at the time-out.
bool WaitUntilTrue(const std::function<bool()> &Condition, int TimeoutMs = 60000);
