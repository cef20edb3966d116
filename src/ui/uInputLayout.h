#pragma once
// The layout the one-value input dialogs share: the prompt and the value field
// on one row, OK and Cancel under them, the dialog as narrow as the wider row.
class QDialog;
class QLabel;
class QPushButton;
class QWidget;

void LayoutInputDialog(QDialog *Dialog, QLabel *Prompt, QWidget *Field, QPushButton *Ok, QPushButton *Cancel);
