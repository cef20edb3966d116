#pragma once
#include <QMainWindow>

// The main window of the program.
class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMain(QWidget *Parent = nullptr);
};
