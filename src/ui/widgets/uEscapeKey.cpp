#include "uEscapeKey.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

bool CloseOnEscape(QWidget *Window, const QKeyEvent *Event) {
    if (!Event || Event->key() != Qt::Key_Escape || Event->modifiers() != Qt::NoModifier)
        return false;
    // The open list or menu is the topmost popup; a submenu closes before
    // its parent menu, as Esc does inside the menu itself.
    if (QWidget *Popup = QApplication::activePopupWidget()) {
        Popup->close();
        return true;
    }
    if (Window)
        Window->close();
    return true;
}
