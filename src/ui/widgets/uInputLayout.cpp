#include "uInputLayout.h"

#include <QBoxLayout>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

namespace {
constexpr int kMinButtonWidth = 75;
constexpr int kMinFieldWidth = 80;
constexpr int kMargin = 5;
constexpr int kRowTop = 10;
constexpr int kRowGap = 10;
constexpr int kFrame = 8; // the width the dialog adds around the two rows
} // namespace

void LayoutInputDialog(QDialog *Dialog, QLabel *Prompt, QWidget *Field, QPushButton *Ok, QPushButton *Cancel) {
    Prompt->adjustSize();
    const int PromptWidth = Prompt->width();
    const int FieldWidth = std::max(Field->sizeHint().width(), kMinFieldWidth);
    const int FieldHeight = Field->sizeHint().height();
    const int OkWidth = std::max(Ok->sizeHint().width(), kMinButtonWidth);
    const int CancelWidth = std::max(Cancel->sizeHint().width(), kMinButtonWidth);
    const int ButtonHeight = std::max(Ok->sizeHint().height(), Cancel->sizeHint().height());

    const int a = PromptWidth + FieldWidth + 15;
    const int b = OkWidth + CancelWidth + 15;
    const int w = std::max(a, b);

    const int RowHeight = std::max(FieldHeight, Prompt->height());
    Prompt->move(kMargin, kRowTop + (RowHeight - Prompt->height()) / 2);
    const int FieldX = b < a ? PromptWidth + 10 : w - FieldWidth - kMargin;
    Field->setGeometry(FieldX, kRowTop + (RowHeight - FieldHeight) / 2, FieldWidth, FieldHeight);

    const int ButtonTop = kRowTop + RowHeight + kRowGap;
    Cancel->setGeometry(w - CancelWidth - kMargin, ButtonTop, CancelWidth, ButtonHeight);
    Ok->setGeometry(w - CancelWidth - kMargin - OkWidth - kMargin, ButtonTop, OkWidth, ButtonHeight);

    Dialog->setFixedSize(w + kFrame, ButtonTop + ButtonHeight + kRowGap);
}

void CreateDialogButtons(QDialog *Dialog, QPushButton *&Ok, QPushButton *&Cancel) {
    Ok = new QPushButton(QStringLiteral("OK"), Dialog);
    Ok->setObjectName(QStringLiteral("btnOK"));
    Ok->setDefault(true);
    Cancel = new QPushButton(QStringLiteral("Отменить"), Dialog);
    Cancel->setObjectName(QStringLiteral("btnCancel"));
    QObject::connect(Cancel, &QPushButton::clicked, Dialog, &QDialog::reject);
}

QBoxLayout *DialogButtonRow(QDialog *Dialog, QPushButton *&Ok, QPushButton *&Cancel, bool AcceptOnOk) {
    CreateDialogButtons(Dialog, Ok, Cancel);
    if (AcceptOnOk)
        QObject::connect(Ok, &QPushButton::clicked, Dialog, &QDialog::accept);
    auto *Row = new QHBoxLayout;
    Row->addStretch();
    Row->addWidget(Ok);
    Row->addWidget(Cancel);
    return Row;
}
