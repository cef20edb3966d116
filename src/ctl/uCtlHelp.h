#pragma once
// The help texts of lanx1ctl.
#include <QString>

QString GeneralHelp();
// The help of one command; empty for an unknown command.
QString CommandHelp(const QString &Command);
