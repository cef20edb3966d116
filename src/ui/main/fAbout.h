#pragma once
// "О программе": the version, Qt's version and every folder the program uses,
// each a link that opens it in the file manager.
#include <QDialog>

class TFormAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget *Parent = nullptr);
    // The text shown (for tests).
    QString Text() const;

private:
    QString FText;
};

// Shows the window modally.
void ShowAbout(QWidget *Parent);
