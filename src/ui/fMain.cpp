#include "fMain.h"

TFormMain::TFormMain(QWidget *Parent) : QMainWindow(Parent) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("ЛАНКС1хх - Одноэлементный"));
    resize(800, 600);
}
