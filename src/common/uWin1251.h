#pragma once
// Every text the system keeps in files is single-byte Windows-1251; inside the
// program text is Unicode. These two functions are the only bridge between them.
#include <QByteArray>
#include <QString>

// Unicode -> Windows-1251; a character the code page lacks becomes '?'.
QByteArray ToWin1251(QStringView Text);
// Windows-1251 -> Unicode; every byte has a character, so nothing is lost.
QString FromWin1251(const QByteArray &Bytes);
QString FromWin1251(const char *Bytes, qsizetype Length);
