#include "uMessages.h"

#include <QLoggingCategory>
#include <atomic>

Q_LOGGING_CATEGORY(lcMessages, "lanx1.messages")

namespace {
std::atomic<TMessageService *> GService{nullptr};
}

void InstallMessageService(TMessageService *Service) {
    GService.store(Service);
}

TMessageService *MessageService() {
    return GService.load();
}

TMsgButton ShowMessageBox(const QString &Caption, const QString &Text, TMsgIcon Icon, int Buttons,
                          TMsgButton Default) {
    if (TMessageService *Service = GService.load())
        return Service->Show(Caption, Text, Icon, Buttons, Default);
    qCInfo(lcMessages).noquote() << Caption << ":" << Text;
    return Default;
}
