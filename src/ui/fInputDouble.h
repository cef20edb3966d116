#pragma once
#include <QString>

// Asks for a real number shown with Digits decimals; returns it, or Value when
// the user cancels. No range check: the callers' setters apply their own.
double InputDouble(const QString &Caption, const QString &Prompt, int Digits, double Value, bool *Ok = nullptr);
