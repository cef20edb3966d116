#pragma once
// A message service for tests: records every message and answers with a
// chosen button (the default button when none is queued).
#include "uMessages.h"

#include <QList>
#include <QString>
#include <mutex>

class TRecordingMessages : public TMessageService {
public:
    struct TMessage {
        QString Caption;
        QString Text;
        TMsgIcon Icon;
        int Buttons;
        TMsgButton Default;
    };

    TRecordingMessages() { InstallMessageService(this); }
    ~TRecordingMessages() override { InstallMessageService(nullptr); }

    TMsgButton Show(const QString &Caption, const QString &Text, TMsgIcon Icon, int Buttons,
                    TMsgButton Default) override {
        std::lock_guard Lock(FLock);
        FMessages.append({Caption, Text, Icon, Buttons, Default});
        return FAnswers.isEmpty() ? Default : FAnswers.takeFirst();
    }
    void Answer(TMsgButton Button) {
        std::lock_guard Lock(FLock);
        FAnswers.append(Button);
    }
    QList<TMessage> Messages() const {
        std::lock_guard Lock(FLock);
        return FMessages;
    }
    void Clear() {
        std::lock_guard Lock(FLock);
        FMessages.clear();
    }

private:
    mutable std::mutex FLock;
    QList<TMessage> FMessages;
    QList<TMsgButton> FAnswers;
};
