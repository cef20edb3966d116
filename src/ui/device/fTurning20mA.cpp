#include "fTurning20mA.h"

#include "fMain.h"

#include <QPointer>

TFormTurning20mA *FormTurning20mA = nullptr;

namespace {
TTurningEnd End20mA() {
    TTurningEnd End;
    End.Top = true;
    End.ObjectName = QStringLiteral("FormTurning20mA");
    End.Caption = QStringLiteral("Подстройка токового сигнала 20mA");
    End.Group = QStringLiteral("20 mA (диапазон от 3500 до 4096)");
    End.LabelName = QStringLiteral("lblTurning20mA");
    End.Lower = TFormTurning20mA::Lower;
    End.Upper = TFormTurning20mA::Upper;
    End.Typical = TFormTurning20mA::Typical;
    return End;
}
} // namespace

TFormTurning20mA::TFormTurning20mA(QWidget *Parent) : TFormTurning(End20mA(), Parent) {}

TFormTurning20mA::~TFormTurning20mA() {
    if (FormTurning20mA == this)
        FormTurning20mA = nullptr;
}

void ShowTurning20mA() {
    if (!FormTurning20mA)
        FormTurning20mA = new TFormTurning20mA(FormMain);
    QPointer<TFormTurning20mA> Dialog = FormTurning20mA;
    Dialog->exec();
    delete Dialog.data(); // every opening builds the dialog anew
}
