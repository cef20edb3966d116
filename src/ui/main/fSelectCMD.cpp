#include "fSelectCMD.h"

#include "uEscapeKey.h"
#include "uIniFile.h"
#include "uLanx1Instance.h"
#include "uWindowPosition.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcSelectCmd, "lanx1.selectcmd")

TFormSelectCMD *FormSelectCMD = nullptr;

TFormSelectCMD::TFormSelectCMD(QWidget *Parent)
    : QWidget(Parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("FormSelectCMD"));
    setWindowTitle(QStringLiteral("Команды ЛАНКС1хх"));
    setAttribute(Qt::WA_DeleteOnClose);

    chbAll = new QCheckBox(QStringLiteral("Выделить все"), this);
    chbAll->setObjectName(QStringLiteral("chbAll"));
    chbAll->setToolTip(QStringLiteral("Выделить все команды"));
    connect(chbAll, &QCheckBox::clicked, this, &TFormSelectCMD::SelectAll);
    auto *Separator = new QFrame(this);
    Separator->setObjectName(QStringLiteral("Bevel"));
    Separator->setFrameShape(QFrame::HLine);
    Separator->setFrameShadow(QFrame::Sunken);
    chbLevel = NewCommandBox(QStringLiteral("chbLevel"), QStringLiteral("Уровень"), rkReadLevel);
    chbVolume = NewCommandBox(QStringLiteral("chbVolume"), QStringLiteral("Объем"), rkReadVolume);
    chbFreq = NewCommandBox(QStringLiteral("chbFreq"), QStringLiteral("Частота"), rkReadFrequency);
    chbReadAll = NewCommandBox(QStringLiteral("chbReadAll"), QStringLiteral("Все показания"), rkReadAll);

    auto *Layout = new QVBoxLayout(this);
    for (QWidget *W : {static_cast<QWidget *>(chbAll), static_cast<QWidget *>(Separator),
                       static_cast<QWidget *>(chbLevel), static_cast<QWidget *>(chbVolume),
                       static_cast<QWidget *>(chbFreq), static_cast<QWidget *>(chbReadAll)})
        Layout->addWidget(W);
    setMinimumWidth(220);
    setFixedSize(sizeHint().expandedTo(minimumSize()));

    LoadWindowPosition(this);
    // Polling starts with the one request that reads everything; the other
    // boxes start unchecked whatever the poll set already holds.
    chbReadAll->setChecked(true);
}

TFormSelectCMD::~TFormSelectCMD() {
    if (FormSelectCMD == this)
        FormSelectCMD = nullptr;
}

QCheckBox *TFormSelectCMD::NewCommandBox(const QString &Name, const QString &Text, int Kind) {
    auto *Box = new QCheckBox(Text, this);
    Box->setObjectName(Name);
    // Every change of the box, by the user or by "Выделить все", updates the poll set.
    connect(Box, &QCheckBox::toggled, this, [Kind](bool Checked) {
        if (Checked)
            PollSet.Include(Kind);
        else
            PollSet.Exclude(Kind);
    });
    return Box;
}

void TFormSelectCMD::SelectAll(bool Checked) {
    for (QCheckBox *Box : {chbLevel, chbVolume, chbFreq, chbReadAll})
        Box->setChecked(Checked);
}

void TFormSelectCMD::keyPressEvent(QKeyEvent *Event) {
    if (CloseOnEscape(this, Event))
        return;
    QWidget::keyPressEvent(Event);
}

void TFormSelectCMD::closeEvent(QCloseEvent *Event) {
    try {
        SaveWindowPosition(this);
    } catch (const EIniFileError &E) {
        qCWarning(lcSelectCmd) << "window position not saved:" << E.what();
    }
    if (FormSelectCMD == this)
        FormSelectCMD = nullptr;
    QWidget::closeEvent(Event);
}

void ShowSelectCMD() {
    if (!FormSelectCMD)
        FormSelectCMD = new TFormSelectCMD;
    FormSelectCMD->show();
    FormSelectCMD->raise();
    FormSelectCMD->activateWindow();
}

void RefreshSelectCMD() {}
