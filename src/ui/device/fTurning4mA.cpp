#include "fTurning4mA.h"

#include "fMain.h"

#include <QPointer>

TFormTurning4mA *FormTurning4mA = nullptr;

namespace {
TTurningEnd End4mA() {
    TTurningEnd End;
    End.Top = false;
    End.ObjectName = QStringLiteral("FormTurning4mA");
    End.Caption = QStringLiteral("Подстройка токового сигнала 4mA");
    End.Group = QStringLiteral("4 mA (диапазон от 500 до 1000)");
    End.LabelName = QStringLiteral("lblTurning4mA");
    End.Lower = TFormTurning4mA::Lower;
    End.Upper = TFormTurning4mA::Upper;
    End.Typical = TFormTurning4mA::Typical;
    return End;
}
} // namespace

TFormTurning4mA::TFormTurning4mA(QWidget *Parent) : TFormTurning(End4mA(), Parent) {}

TFormTurning4mA::~TFormTurning4mA() {
    if (FormTurning4mA == this)
        FormTurning4mA = nullptr;
}

void ShowTurning4mA() {
    if (!FormTurning4mA)
        FormTurning4mA = new TFormTurning4mA(FormMain);
    QPointer<TFormTurning4mA> Dialog = FormTurning4mA;
    Dialog->exec();
    delete Dialog.data(); // every opening builds the dialog anew
}
