#pragma once
// Esc in the windows that close on it. Esc closes the innermost thing that is
// open: a drop-down list or a menu first, the window only when nothing is open
// over it. A window handles Esc in its key-press handler and calls this; a
// window-wide short-cut would take the key before an open list sees it and
// close the window under the list.
class QKeyEvent;
class QWidget;

// False, nothing done, when Event is not Esc without modifiers. Otherwise
// closes the open drop-down list or menu if there is one (the key reached the
// window past it), else Window, and returns true.
bool CloseOnEscape(QWidget *Window, const QKeyEvent *Event);
