#pragma once
// The logic never opens a window. Where it has something to tell the user (a
// port that will not open, the volumes of a table block about to be written),
// it goes through the one message service that the windows install at start.
// Without windows (tests, command-line tools) nothing is shown: the call logs
// the text and answers with the default button, and the work goes on.
#include <QString>

enum class TMsgIcon { None, Information, Warning, Error, Question };

enum TMsgButton : int { mbNone = 0, mbOK = 1, mbYes = 2, mbNo = 4, mbCancel = 8 };

class TMessageService {
public:
    virtual ~TMessageService() = default;
    // Shows a modal message and returns the button pressed. May be called from
    // any thread; an implementation that shows windows hands the call over to
    // the user-interface thread and waits.
    virtual TMsgButton Show(const QString &Caption, const QString &Text, TMsgIcon Icon, int Buttons,
                            TMsgButton Default) = 0;
};

// Installs the service (nullptr removes it); the caller keeps ownership.
void InstallMessageService(TMessageService *Service);
TMessageService *MessageService();

TMsgButton ShowMessageBox(const QString &Caption, const QString &Text, TMsgIcon Icon, int Buttons = mbOK,
                          TMsgButton Default = mbOK);
