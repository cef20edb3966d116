#pragma once
// The message service of the program with windows: every ShowMessageBox call
// becomes a modal QMessageBox. Windows never open message boxes themselves, so
// that tests can answer every question through a recording service instead.
#include "uMessages.h"

class TMessageBoxes : public TMessageService {
public:
    // Installs itself as the program's message service; the destructor removes it.
    TMessageBoxes();
    ~TMessageBoxes() override;
    TMessageBoxes(const TMessageBoxes &) = delete;
    TMessageBoxes &operator=(const TMessageBoxes &) = delete;

    // From any thread: a call from another thread is carried out in the
    // user-interface thread and waited for.
    TMsgButton Show(const QString &Caption, const QString &Text, TMsgIcon Icon, int Buttons,
                    TMsgButton Default) override;

    // The text as a message box shows it: a carriage return, alone or before a
    // line feed, starts a new line.
    static QString DisplayText(const QString &Text);
};
