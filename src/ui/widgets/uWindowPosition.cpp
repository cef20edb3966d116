#include "uWindowPosition.h"

#include "uIniFile.h"
#include "uSysUtils.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace {

QWidget *AsWindow(QObject *AObject) {
    auto *Widget = qobject_cast<QWidget *>(AObject);
    return Widget && Widget->isWindow() ? Widget : nullptr;
}

QString SectionOf(const QWidget *Window) {
    const QString Name = Window->objectName();
    return Name.isEmpty() ? QString::fromLatin1(Window->metaObject()->className()) : Name;
}

// A damaged file must not ask for a window larger than all screens together:
// its backing store alone could exhaust the memory.
QSize SaneSize(int Width, int Height) {
    QSize Limit(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (const QScreen *Screen = QGuiApplication::primaryScreen())
        Limit = Screen->virtualSize();
    return {std::clamp(Width, 0, Limit.width()), std::clamp(Height, 0, Limit.height())};
}

int StateCode(Qt::WindowStates State) {
    if (State & Qt::WindowMinimized)
        return 1;
    if (State & Qt::WindowMaximized)
        return 2;
    return 0;
}

} // namespace

QString WindowPositionFile() {
    return IniPath(QStringLiteral("WndPos.ini"));
}

void LoadWindowPosition(QObject *AObject) {
    QWidget *Window = AsWindow(AObject);
    if (!Window)
        return;
    const TIniFile Ini(WindowPositionFile());
    const QString Section = SectionOf(Window);
    if (!Ini.SectionExists(Section))
        return;
    const int Left = Ini.ReadInteger(Section, QStringLiteral("Left"), Window->x());
    const int Top = Ini.ReadInteger(Section, QStringLiteral("Top"), Window->y());
    Window->move(Left, Top);
    const QSize Size = SaneSize(Ini.ReadInteger(Section, QStringLiteral("Width"), Window->width()),
                                Ini.ReadInteger(Section, QStringLiteral("Height"), Window->height()));
    Window->resize(Size);
    switch (Ini.ReadInteger(Section, QStringLiteral("WindowState"), StateCode(Window->windowState()))) {
    case 1:
        Window->setWindowState(Qt::WindowMinimized);
        break;
    case 2:
        Window->setWindowState(Qt::WindowMaximized);
        break;
    case 0:
        Window->setWindowState(Qt::WindowNoState);
        break;
    default: // unknown codes leave the state alone
        break;
    }
}

bool HasSavedWindowPosition(QObject *AObject) {
    const QWidget *Window = AsWindow(AObject);
    return Window && TIniFile(WindowPositionFile()).SectionExists(SectionOf(Window));
}

void SaveWindowPosition(QObject *AObject) {
    QWidget *Window = AsWindow(AObject);
    if (!Window)
        return;
    const QString Path = WindowPositionFile();
    TIniFile::CreateEmpty(Path); // with the INI folder when it is missing
    TIniFile Ini(Path);
    const QString Section = SectionOf(Window);
    Ini.WriteString(Section, QStringLiteral("Name"), Section);
    Ini.WriteInteger(Section, QStringLiteral("Left"), Window->x());
    Ini.WriteInteger(Section, QStringLiteral("Top"), Window->y());
    Ini.WriteInteger(Section, QStringLiteral("Width"), Window->width());
    Ini.WriteInteger(Section, QStringLiteral("Height"), Window->height());
    Ini.WriteInteger(Section, QStringLiteral("WindowState"), StateCode(Window->windowState()));
}
