#include "uMessageBoxes.h"

#include "uGuiSync.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

namespace {

QMessageBox::Icon ToIcon(TMsgIcon Icon) {
    switch (Icon) {
    case TMsgIcon::Information: return QMessageBox::Information;
    case TMsgIcon::Warning: return QMessageBox::Warning;
    case TMsgIcon::Error: return QMessageBox::Critical;
    case TMsgIcon::Question: return QMessageBox::Question;
    case TMsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

struct TButtonMap {
    TMsgButton Own;
    QMessageBox::StandardButton Qt;
    const char16_t *Caption; // named here, so that no English shows where Qt's catalogue is missing
};

constexpr TButtonMap kButtons[] = {{mbOK, QMessageBox::Ok, u"ОК"},
                                   {mbYes, QMessageBox::Yes, u"Да"},
                                   {mbNo, QMessageBox::No, u"Нет"},
                                   {mbCancel, QMessageBox::Cancel, u"Отмена"}};

QMessageBox::StandardButtons ToButtons(int Buttons) {
    QMessageBox::StandardButtons Result;
    for (const TButtonMap &B : kButtons)
        if (Buttons & B.Own)
            Result |= B.Qt;
    return Result ? Result : QMessageBox::StandardButtons(QMessageBox::Ok);
}

TMsgButton FromButton(QMessageBox::StandardButton Button, TMsgButton Fallback) {
    for (const TButtonMap &B : kButtons)
        if (B.Qt == Button)
            return B.Own;
    return Fallback;
}

TMsgButton ShowNow(const QString &Caption, const QString &Text, TMsgIcon Icon, int Buttons, TMsgButton Default) {
    QMessageBox Box(ToIcon(Icon), Caption, TMessageBoxes::DisplayText(Text), ToButtons(Buttons),
                    QApplication::activeWindow());
    for (const TButtonMap &B : kButtons) {
        if (QAbstractButton *Button = Box.button(B.Qt))
            Button->setText(QString::fromUtf16(B.Caption));
        if (B.Own == Default && (Box.standardButtons() & B.Qt))
            Box.setDefaultButton(B.Qt);
    }
    Box.exec();
    // Closed without a button (Esc, close box): the escape button Qt chose, else Cancel or No.
    const QMessageBox::StandardButton Clicked = Box.standardButton(Box.clickedButton());
    const TMsgButton Fallback = (Buttons & mbCancel) ? mbCancel : (Buttons & mbNo) ? mbNo : mbOK;
    return FromButton(Clicked, Fallback);
}

} // namespace

TMessageBoxes::TMessageBoxes() {
    InstallMessageService(this);
}

TMessageBoxes::~TMessageBoxes() {
    if (MessageService() == this)
        InstallMessageService(nullptr);
}

QString TMessageBoxes::DisplayText(const QString &Text) {
    QString Result = Text;
    Result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Result.replace(u'\r', u'\n');
    return Result;
}

TMsgButton TMessageBoxes::Show(const QString &Caption, const QString &Text, TMsgIcon Icon, int Buttons,
                               TMsgButton Default) {
    if (!QApplication::instance())
        return Default;
    TMsgButton Result = Default;
    TGuiSync::Instance().RunInGui([&] { Result = ShowNow(Caption, Text, Icon, Buttons, Default); });
    return Result;
}
