#pragma once
// The layout the one-value input dialogs share: the prompt and the value field
// on one row, OK and Cancel under them, the dialog as narrow as the wider row.
class QBoxLayout;
class QDialog;
class QLabel;
class QPushButton;
class QWidget;

void LayoutInputDialog(QDialog *Dialog, QLabel *Prompt, QWidget *Field, QPushButton *Ok, QPushButton *Cancel);

// The "OK" (default) and "Отменить" buttons every dialog of the program ends
// with, named btnOK and btnCancel for tests.
void CreateDialogButtons(QDialog *Dialog, QPushButton *&Ok, QPushButton *&Cancel);
// A row with the two buttons at its right end; Cancel rejects the dialog, and
// OK accepts it unless AcceptOnOk is false (the dialog checks first).
QBoxLayout *DialogButtonRow(QDialog *Dialog, QPushButton *&Ok, QPushButton *&Cancel, bool AcceptOnOk = true);
