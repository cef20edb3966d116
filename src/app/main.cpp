#include "fMain.h"
#include "uFormat.h"
#include "uSysUtils.h"

#include <QApplication>

int main(int argc, char **argv) {
    AppDir(); // the INI folder is the one current at start, whatever happens later
    QApplication App(argc, argv);
    SetDefaultFormatSettings(TFormatSettings::FromLocale(QLocale::system()));
    TFormMain Main;
    Main.show();
    return App.exec();
}
