#pragma once
// Qt's own texts (the buttons of standard dialogs, the file, print and colour
// dialogs, the context menus of text fields) in Russian, like the rest of the
// program, whatever the user's locale.

class QCoreApplication;

// Loads Qt's Russian catalogue from Qt's translations folder, else from a
// "translations" folder beside the program, and installs it. False when
// neither has it: Qt's texts then stay English, and the message boxes still
// name their buttons themselves.
bool InstallQtTranslations(QCoreApplication &App);
