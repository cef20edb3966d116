#include "fDeviceScan.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSpinBox>
#include <QTableWidget>
#include <algorithm>

namespace {

// What is no device's (a garbled signal, a port that does not open) goes
// into the last column, not under the plant number.
enum TColumn { colPort, colBaud, colAddress, colPlant, colModification, colNote, colCount };
// The index of a found device in a result row's first item; garbled and
// failed ports have none.
constexpr int DeviceRole = Qt::UserRole + 1;

QStringList DefaultSystemPorts() {
    QStringList Ports;
    for (const QSerialPortInfo &Info : QSerialPortInfo::availablePorts())
        Ports << Info.portName();
    return Ports;
}

// "1:05" for 65 s.
QString Duration(qint64 Ms) {
    const qint64 S = (Ms + 500) / 1000;
    return QStringLiteral("%1:%2").arg(S / 60).arg(S % 60, 2, 10, QLatin1Char('0'));
}

QListWidgetItem *CheckItem(QListWidget *List, const QString &Text, bool Checked) {
    auto *Item = new QListWidgetItem(Text, List);
    Item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    Item->setCheckState(Checked ? Qt::Checked : Qt::Unchecked);
    return Item;
}

} // namespace

std::function<QStringList()> TFormDeviceScan::SystemPorts = DefaultSystemPorts;

TFormDeviceScan::TFormDeviceScan(const TScanOptions &Defaults, QWidget *Parent)
    : QDialog(Parent), FDefaults(Defaults) {
    setObjectName(QStringLiteral("FormDeviceScan"));
    setWindowTitle(QStringLiteral("Поиск прибора"));

    FPorts = new QListWidget(this);
    FPorts->setObjectName(QStringLiteral("Ports"));
    for (const QString &Port : SystemPorts ? SystemPorts() : QStringList())
        CheckItem(FPorts, Port, true);
    FBauds = new QListWidget(this);
    FBauds->setObjectName(QStringLiteral("BaudRates"));
    for (int Baud : TScanOptions::DefaultBaudRates())
        CheckItem(FBauds, QString::number(Baud), Defaults.BaudRates.contains(Baud));
    for (QListWidget *List : {FPorts, FBauds})
        List->setMaximumHeight(150);

    FFirst = new QSpinBox(this);
    FFirst->setObjectName(QStringLiteral("FirstAddress"));
    FLast = new QSpinBox(this);
    FLast->setObjectName(QStringLiteral("LastAddress"));
    for (QSpinBox *Box : {FFirst, FLast})
        Box->setRange(1, 247);
    FFirst->setValue(Defaults.FirstAddress);
    FLast->setValue(Defaults.LastAddress);
    FFindAll = new QCheckBox(QStringLiteral("Искать все"), this);
    FFindAll->setObjectName(QStringLiteral("FindAll"));
    FFindAll->setChecked(Defaults.FindAll);

    auto *PortBox = new QGroupBox(QStringLiteral("Порты"), this);
    (new QVBoxLayout(PortBox))->addWidget(FPorts);
    auto *BaudBox = new QGroupBox(QStringLiteral("Скорости, бод"), this);
    (new QVBoxLayout(BaudBox))->addWidget(FBauds);
    auto *AddressBox = new QGroupBox(QStringLiteral("Адреса"), this);
    auto *AddressLayout = new QFormLayout(AddressBox);
    AddressLayout->addRow(QStringLiteral("с"), FFirst);
    AddressLayout->addRow(QStringLiteral("по"), FLast);
    AddressLayout->addRow(FFindAll);
    auto *Choice = new QHBoxLayout;
    Choice->addWidget(PortBox, 2);
    Choice->addWidget(BaudBox, 1);
    Choice->addWidget(AddressBox, 1);

    FProgress = new QProgressBar(this);
    FProgress->setObjectName(QStringLiteral("Progress"));
    FProgress->setRange(0, 1000);
    FProgress->setValue(0);
    FProgress->setTextVisible(false);
    FProgressText = new QLabel(QStringLiteral(" "), this);
    FProgressText->setObjectName(QStringLiteral("ProgressText"));

    FResults = new QTableWidget(0, colCount, this);
    FResults->setObjectName(QStringLiteral("Results"));
    FResults->setHorizontalHeaderLabels({QStringLiteral("Порт"), QStringLiteral("Скорость"), QStringLiteral("Адрес"),
                                         QStringLiteral("Заводской номер"), QStringLiteral("Модификация"),
                                         QStringLiteral("Примечание")});
    FResults->verticalHeader()->hide();
    FResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FResults->setSelectionBehavior(QAbstractItemView::SelectRows);
    FResults->setSelectionMode(QAbstractItemView::SingleSelection);
    FResults->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    FResults->horizontalHeader()->setStretchLastSection(true);
    connect(FResults, &QTableWidget::itemSelectionChanged, this, &TFormDeviceScan::UpdateButtons);
    connect(FResults, &QTableWidget::cellDoubleClicked, this, [this] {
        if (FApply->isEnabled())
            Apply();
    });

    FStart = new QPushButton(QStringLiteral("Начать"), this);
    FStart->setObjectName(QStringLiteral("Start"));
    FStop = new QPushButton(QStringLiteral("Остановить"), this);
    FStop->setObjectName(QStringLiteral("Stop"));
    FApply = new QPushButton(QStringLiteral("Применить"), this);
    FApply->setObjectName(QStringLiteral("Apply"));
    FClose = new QPushButton(QStringLiteral("Закрыть"), this);
    FClose->setObjectName(QStringLiteral("Close"));
    for (QPushButton *B : {FStart, FStop, FApply, FClose})
        B->setAutoDefault(false);
    connect(FStart, &QPushButton::clicked, this, &TFormDeviceScan::StartScan);
    connect(FStop, &QPushButton::clicked, this, &TFormDeviceScan::StopScan);
    connect(FApply, &QPushButton::clicked, this, &TFormDeviceScan::Apply);
    connect(FClose, &QPushButton::clicked, this, &QDialog::reject);
    auto *Buttons = new QHBoxLayout;
    Buttons->addWidget(FStart);
    Buttons->addWidget(FStop);
    Buttons->addStretch(1);
    Buttons->addWidget(FApply);
    Buttons->addWidget(FClose);

    auto *Layout = new QVBoxLayout(this);
    Layout->addLayout(Choice);
    Layout->addWidget(FProgress);
    Layout->addWidget(FProgressText);
    Layout->addWidget(FResults, 1);
    Layout->addLayout(Buttons);
    resize(640, 520);
    UpdateButtons();
}

TFormDeviceScan::~TFormDeviceScan() {
    if (FScan)
        FScan->Stop();
    Join();
}

TScanOptions TFormDeviceScan::Options() const {
    TScanOptions O = FDefaults;
    O.Ports.clear();
    for (int i = 0; i < FPorts->count(); ++i)
        if (FPorts->item(i)->checkState() == Qt::Checked)
            O.Ports << FPorts->item(i)->text();
    O.BaudRates.clear();
    for (int i = 0; i < FBauds->count(); ++i)
        if (FBauds->item(i)->checkState() == Qt::Checked)
            O.BaudRates << FBauds->item(i)->text().toInt();
    O.FirstAddress = std::min(FFirst->value(), FLast->value());
    O.LastAddress = std::max(FFirst->value(), FLast->value());
    O.FindAll = FFindAll->isChecked();
    return O;
}

void TFormDeviceScan::StartScan() {
    if (FRunning)
        return;
    Join();
    const TScanOptions O = Options();
    if (O.Ports.isEmpty() || O.BaudRates.isEmpty()) {
        FProgressText->setText(QStringLiteral("Отметьте хотя бы один порт и одну скорость"));
        return;
    }
    FDevices.clear();
    FResults->setRowCount(0);
    FProgress->setValue(0);
    FScan = std::make_unique<TDeviceScan>(O);
    // The events come in the worker thread; each is queued to the dialog
    // (and dropped by Qt should the dialog be gone).
    FScan->OnProgress = [this](const TScanProgress &P) {
        QMetaObject::invokeMethod(this, [this, P] { ShowProgress(P); }, Qt::QueuedConnection);
    };
    FScan->OnFound = [this](const TScanDevice &D) {
        QMetaObject::invokeMethod(this, [this, D] { AddFound(D); }, Qt::QueuedConnection);
    };
    FScan->OnGarbled = [this](const TScanGarbled &G) {
        QMetaObject::invokeMethod(
            this, [this, G] { AddLine(G.Port, G.BaudRate, G.Address, QStringLiteral("сигнал есть, но искажён")); },
            Qt::QueuedConnection);
    };
    FScan->OnPortFailure = [this](const TScanPortFailure &F) {
        QMetaObject::invokeMethod(
            this, [this, F] { AddLine(F.Port, 0, 0, QStringLiteral("порт не открывается: ") + F.Reason); },
            Qt::QueuedConnection);
    };
    FRunning = true;
    TDeviceScan *Scan = FScan.get();
    FWorker = std::thread([this, Scan] {
        Scan->Run();
        QMetaObject::invokeMethod(this, [this] { Finished(); }, Qt::QueuedConnection);
    });
    UpdateButtons();
}

void TFormDeviceScan::StopScan() {
    if (FScan)
        FScan->Stop();
}

void TFormDeviceScan::Join() {
    if (FWorker.joinable())
        FWorker.join();
}

void TFormDeviceScan::ShowProgress(const TScanProgress &P) {
    FProgress->setValue(int(P.TimeFraction() * 1000 + 0.5));
    QString Text = P.Finished ? QStringLiteral("Поиск окончен") : QStringLiteral("Порт %1, %2 бод, адрес %3")
                                                                        .arg(P.Port)
                                                                        .arg(P.BaudRate)
                                                                        .arg(P.Address);
    Text += QStringLiteral(" · прошло %1").arg(Duration(P.ElapsedMs));
    if (!P.Finished)
        Text += QStringLiteral(", осталось около %1").arg(Duration(P.LeftMs));
    Text += QStringLiteral(" · найдено: %1").arg(P.Found);
    FProgressText->setText(Text);
}

void TFormDeviceScan::AddFound(const TScanDevice &D) {
    FDevices << D;
    const int Row = FResults->rowCount();
    AddLine(D.Port, D.BaudRate, D.Address, QString());
    FResults->setItem(Row, colPlant, new QTableWidgetItem(QString::number(D.PlantNumber)));
    FResults->setItem(Row, colModification, new QTableWidgetItem(QString::number(D.Modification)));
    FResults->item(Row, colPort)->setData(DeviceRole, int(FDevices.size() - 1));
    if (FResults->selectedItems().isEmpty())
        FResults->selectRow(Row);
}

void TFormDeviceScan::AddLine(const QString &Port, int Baud, int Address, const QString &Note) {
    const int Row = FResults->rowCount();
    FResults->insertRow(Row);
    FResults->setItem(Row, colPort, new QTableWidgetItem(Port));
    FResults->setItem(Row, colBaud, new QTableWidgetItem(Baud ? QString::number(Baud) : QString()));
    FResults->setItem(Row, colAddress, new QTableWidgetItem(Address ? QString::number(Address) : QString()));
    FResults->setItem(Row, colNote, new QTableWidgetItem(Note));
    FResults->item(Row, colPort)->setData(DeviceRole, -1);
}

void TFormDeviceScan::Finished() {
    Join();
    FRunning = false;
    if (FScan)
        ShowProgress(FScan->Progress());
    if (FScan && FScan->StopRequested())
        FProgressText->setText(FProgressText->text().replace(QStringLiteral("Поиск окончен"),
                                                             QStringLiteral("Поиск остановлен")));
    UpdateButtons();
}

void TFormDeviceScan::UpdateButtons() {
    FStart->setEnabled(!FRunning);
    FStop->setEnabled(FRunning);
    for (QWidget *W : std::initializer_list<QWidget *>{FPorts, FBauds, FFirst, FLast, FFindAll})
        W->setEnabled(!FRunning);
    const QList<QTableWidgetItem *> Selected = FResults->selectedItems();
    bool Device = false;
    if (!Selected.isEmpty()) {
        const QTableWidgetItem *First = FResults->item(Selected.first()->row(), colPort);
        Device = First && First->data(DeviceRole).toInt() >= 0;
    }
    FApply->setEnabled(Device);
}

void TFormDeviceScan::Apply() {
    const QList<QTableWidgetItem *> Selected = FResults->selectedItems();
    if (Selected.isEmpty())
        return;
    const int Index = FResults->item(Selected.first()->row(), colPort)->data(DeviceRole).toInt();
    if (Index < 0 || Index >= FDevices.size())
        return;
    const TScanDevice Device = FDevices[Index];
    // The port must be free before the program takes it again.
    StopScan();
    Join();
    FRunning = false;
    FScan.reset();
    if (OnApply)
        OnApply(Device);
    accept();
}

void TFormDeviceScan::closeEvent(QCloseEvent *Event) {
    StopScan();
    Join();
    FRunning = false;
    QDialog::closeEvent(Event);
}

void TFormDeviceScan::reject() {
    StopScan();
    Join();
    FRunning = false;
    QDialog::reject();
}
