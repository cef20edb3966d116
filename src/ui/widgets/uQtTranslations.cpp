#include "uQtTranslations.h"

#include "uSysUtils.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>

Q_LOGGING_CATEGORY(lcTranslations, "lanx1.translations")

bool InstallQtTranslations(QCoreApplication &App) {
    const QStringList Folders = {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                 JoinPath(ProgramDir(), QStringLiteral("translations"))};
    for (const QString &Folder : Folders) {
        auto *Translator = new QTranslator(&App);
        if (Translator->load(QStringLiteral("qtbase_ru"), Folder) && App.installTranslator(Translator)) {
            qCInfo(lcTranslations) << "Qt texts from" << Translator->filePath();
            return true;
        }
        delete Translator;
    }
    qCWarning(lcTranslations) << "no Russian catalogue of Qt's texts in" << Folders;
    return false;
}
