#pragma once
// The trimming dialog of the 20 mA end of the current output (control-register bit 2).
#include "fTurning.h"

class TFormTurning20mA : public TFormTurning {
    Q_OBJECT
public:
    static constexpr int Lower = 3500;
    static constexpr int Upper = 4096;
    static constexpr int Typical = 4000;

    explicit TFormTurning20mA(QWidget *Parent = nullptr);
    ~TFormTurning20mA() override;
};

// The dialog while it is open, else nullptr.
extern TFormTurning20mA *FormTurning20mA;

// Creates the dialog when none exists and shows it modally; it is destroyed
// when it closes.
void ShowTurning20mA();
