#pragma once
#include <QString>

// Asks for an integer within [MinValue, MaxValue]; returns it, or Value when
// the user cancels (Ok, when given, tells which).
int InputInteger(const QString &Caption, const QString &Prompt, int Value, int MinValue, int MaxValue,
                 bool *Ok = nullptr);
