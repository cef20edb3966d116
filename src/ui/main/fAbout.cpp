#include "fAbout.h"

#include "uFolders.h"
#include "uMessages.h"
#include "uVersion.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

TFormAbout::TFormAbout(QWidget *Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("FormAbout"));
    setWindowTitle(QStringLiteral("О программе"));
    QString Html = QStringLiteral("<h3>ЛАНКС1хх — сервисная программа датчика уровня</h3>"
                                  "<p>Версия %1<br>Qt %2<br>Размещение файлов: %3</p><table>")
                       .arg(QStringLiteral(LANX1_VERSION), QString::fromLatin1(qVersion()), FolderModeText());
    FText = QStringLiteral("Версия ") + QStringLiteral(LANX1_VERSION) + u'\n' + QStringLiteral("Qt ") +
            QString::fromLatin1(qVersion()) + u'\n' + FolderModeText() + u'\n';
    for (const TFolderEntry &F : FoldersInUse()) {
        const QString Url = QUrl::fromLocalFile(F.Path).toString(QUrl::FullyEncoded);
        Html += QStringLiteral("<tr><td>%1:&nbsp;</td><td><a href=\"%2\">%3</a></td></tr>")
                    .arg(F.Title.toHtmlEscaped(), Url.toHtmlEscaped(), F.Path.toHtmlEscaped());
        FText += F.Title + QStringLiteral(": ") + F.Path + u'\n';
    }
    Html += QStringLiteral("</table>");
    auto *Label = new QLabel(Html, this);
    Label->setObjectName(QStringLiteral("lblAbout"));
    Label->setTextFormat(Qt::RichText);
    Label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    Label->setOpenExternalLinks(false);
    connect(Label, &QLabel::linkActivated, this, [](const QString &Link) {
        // Without a file manager nothing would happen: the folder is named instead.
        const QUrl Url(Link);
        if (!QDesktopServices::openUrl(Url))
            ShowMessageBox(QStringLiteral("О программе"),
                           QStringLiteral("Папка не открывается: не найдена программа для просмотра папок.\r") +
                               Url.toLocalFile(),
                           TMsgIcon::Information);
    });
    auto *Buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    Buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *Layout = new QVBoxLayout(this);
    Layout->addWidget(Label);
    Layout->addWidget(Buttons);
}

QString TFormAbout::Text() const {
    return FText;
}

void ShowAbout(QWidget *Parent) {
    TFormAbout About(Parent);
    About.exec();
}
