#pragma once
// The trimming dialog of the 4 mA end of the current output (control-register bit 3).
#include "fTurning.h"

class TFormTurning4mA : public TFormTurning {
    Q_OBJECT
public:
    static constexpr int Lower = 500;
    static constexpr int Upper = 1000;
    static constexpr int Typical = 810;

    explicit TFormTurning4mA(QWidget *Parent = nullptr);
    ~TFormTurning4mA() override;
};

// The dialog while it is open, else nullptr.
extern TFormTurning4mA *FormTurning4mA;

// Creates the dialog when none exists and shows it modally; it is destroyed
// when it closes.
void ShowTurning4mA();
