#include "fMqttSettings.h"

#include "uInputLayout.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

std::function<QString(QWidget *, const QString &)> TFormMqttSettings::ChooseCaFile =
    [](QWidget *Parent, const QString &Current) {
        return QFileDialog::getOpenFileName(Parent, QStringLiteral("Файл сертификата центра"),
                                            Current.isEmpty() ? QString() : QFileInfo(Current).absolutePath(),
                                            QStringLiteral("Сертификаты (*.crt *.pem *.cer);;Все файлы (*)"));
    };

namespace {

QLineEdit *NewField(QWidget *Parent, const char *Name, const QString &Text) {
    auto *Field = new QLineEdit(Text, Parent);
    Field->setObjectName(QLatin1String(Name));
    return Field;
}

bool IsTls(const QString &Url) {
    return Url.trimmed().startsWith(QStringLiteral("mqtts://"), Qt::CaseInsensitive);
}

} // namespace

TFormMqttSettings::TFormMqttSettings(const TMqttSettings &Settings, QWidget *Parent)
    : QDialog(Parent), FSettings(Settings) {
    setObjectName(QStringLiteral("FormMqttSettings"));
    setWindowTitle(QStringLiteral("Публикация MQTT"));

    chkEnabled = new QCheckBox(QStringLiteral("Публиковать показания в брокер MQTT"), this);
    chkEnabled->setObjectName(QStringLiteral("chkEnabled"));
    chkEnabled->setChecked(Settings.Enabled);
    edtUrl = NewField(this, "edtUrl", Settings.Url);
    edtUrl->setPlaceholderText(QStringLiteral("mqtt://узел:1883 или mqtts://узел:8883"));
    edtUser = NewField(this, "edtUser", Settings.User);
    edtUser->setPlaceholderText(QStringLiteral("без имени"));
    edtPassword = NewField(this, "edtPassword", Settings.Password);
    edtPassword->setEchoMode(QLineEdit::Password);
    edtCaFile = NewField(this, "edtCaFile", Settings.CaFile);
    edtCaFile->setPlaceholderText(QStringLiteral("системные сертификаты"));
    btnCaFile = new QPushButton(QStringLiteral("Обзор…"), this);
    btnCaFile->setObjectName(QStringLiteral("btnCaFile"));
    edtTopicPrefix = NewField(this, "edtTopicPrefix", Settings.TopicPrefix);
    chkDiscovery = new QCheckBox(QStringLiteral("Сообщать Home Assistant о датчиках (обнаружение MQTT)"), this);
    chkDiscovery->setObjectName(QStringLiteral("chkDiscovery"));
    chkDiscovery->setChecked(!Settings.DiscoveryPrefix.isEmpty());
    lblTopics = new QLabel(this);
    lblTopics->setObjectName(QStringLiteral("lblTopics"));
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setStyleSheet(QStringLiteral("color: red"));
    lblProblem->setWordWrap(true);

    auto *CaRow = new QHBoxLayout;
    CaRow->addWidget(edtCaFile, 1);
    CaRow->addWidget(btnCaFile);

    auto *Form = new QFormLayout;
    Form->addRow(chkEnabled);
    Form->addRow(QStringLiteral("Адрес брокера:"), edtUrl);
    Form->addRow(QStringLiteral("Пользователь:"), edtUser);
    Form->addRow(QStringLiteral("Пароль:"), edtPassword);
    Form->addRow(QStringLiteral("Сертификат центра (mqtts):"), CaRow);
    Form->addRow(QStringLiteral("Префикс тем:"), edtTopicPrefix);
    Form->addRow(lblTopics);
    Form->addRow(chkDiscovery);

    QBoxLayout *Buttons = DialogButtonRow(this, btnOK, btnCancel);
    auto *Layout = new QVBoxLayout(this);
    Layout->addLayout(Form);
    Layout->addWidget(lblProblem);
    Layout->addStretch();
    Layout->addLayout(Buttons);
    // Wide enough for an address with a port and a certificate path.
    const int FieldWidth = fontMetrics().horizontalAdvance(QStringLiteral("mqtts://broker.example.org:8883")) + 24;
    edtUrl->setMinimumWidth(FieldWidth);
    edtCaFile->setMinimumWidth(FieldWidth);
    // The red line appears and goes without the dialog jumping.
    lblProblem->setMinimumHeight(fontMetrics().lineSpacing() * 2);

    connect(btnCaFile, &QPushButton::clicked, this, [this] {
        const QString File = ChooseCaFile(this, edtCaFile->text());
        if (!File.isEmpty())
            edtCaFile->setText(File);
    });
    connect(chkEnabled, &QCheckBox::toggled, this, &TFormMqttSettings::Check);
    connect(chkDiscovery, &QCheckBox::toggled, this, &TFormMqttSettings::Check);
    for (QLineEdit *Field : {edtUrl, edtUser, edtPassword, edtCaFile, edtTopicPrefix})
        connect(Field, &QLineEdit::textChanged, this, &TFormMqttSettings::Check);
    Check();
}

TMqttSettings TFormMqttSettings::Settings() const {
    TMqttSettings S = FSettings;
    S.Enabled = chkEnabled->isChecked();
    S.Url = edtUrl->text().trimmed();
    S.User = edtUser->text();
    S.Password = edtPassword->text();
    S.CaFile = edtCaFile->text().trimmed();
    S.TopicPrefix = edtTopicPrefix->text().trimmed();
    // A prefix of its own in the file stays; switched on, the usual one.
    if (!chkDiscovery->isChecked())
        S.DiscoveryPrefix.clear();
    else if (S.DiscoveryPrefix.isEmpty())
        S.DiscoveryPrefix = QStringLiteral("homeassistant");
    return S;
}

QString TFormMqttSettings::Problem() const {
    const TMqttSettings S = Settings();
    // Switched off, the settings are only kept for later: anything the file
    // can keep goes.
    QString Problem = CheckMqttSettingsKeepable(S);
    if (!S.Enabled && Problem.isEmpty())
        return {};
    if (Problem.isEmpty())
        Problem = CheckMqttSettings(S);
    if (Problem.isEmpty() && !S.Password.isEmpty() && S.User.isEmpty())
        Problem = QStringLiteral("пароль задан без имени пользователя");
    if (Problem.isEmpty() && !S.CaFile.isEmpty() && !IsTls(S.Url))
        Problem = QStringLiteral("сертификат центра нужен только для адреса mqtts://");
    if (Problem.isEmpty())
        return {};
    Problem[0] = Problem[0].toUpper();
    return Problem;
}

void TFormMqttSettings::Check() {
    const bool On = chkEnabled->isChecked();
    for (QWidget *W : std::initializer_list<QWidget *>{edtUrl, edtUser, edtPassword, edtTopicPrefix, chkDiscovery})
        W->setEnabled(On);
    const bool Tls = IsTls(edtUrl->text());
    edtCaFile->setEnabled(On && (Tls || !edtCaFile->text().isEmpty()));
    btnCaFile->setEnabled(On && Tls);
    const QString Prefix = edtTopicPrefix->text().trimmed();
    lblTopics->setText(QStringLiteral("Темы: %1/<номер установки>/state и …/status")
                           .arg(Prefix.isEmpty() ? QStringLiteral("…") : Prefix));
    lblTopics->setEnabled(On);
    const QString Text = Problem();
    lblProblem->setText(Text);
    btnOK->setEnabled(Text.isEmpty());
}
