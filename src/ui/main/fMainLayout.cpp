// The main window's actions, menus, tool bar and status bar.
#include "fMain.h"
#include "fAbout.h"

#include "TElidedLabel.h"
#include "uTextFit.h"
#include "uToolIcons.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <utility>

namespace {

// Adds Items to a menu or tool bar, a null item standing for a separator.
template <class TTarget>
void Fill(TTarget *Target, std::initializer_list<QAction *> Items) {
    for (QAction *Item : Items)
        if (Item)
            Target->addAction(Item);
        else
            Target->addSeparator();
}

} // namespace

// ---- construction

QAction *TFormMain::MakeAction(const char *Name, const QString &Caption, const QString &Hint) {
    auto *Action = new QAction(Caption, this);
    Action->setObjectName(QString::fromLatin1(Name));
    Action->setStatusTip(Hint);
    Action->setToolTip(Hint.isEmpty() ? Caption : Hint);
    return Action;
}

void TFormMain::CreateActions() {
    // Caption, then the hint: shown as tool tip and status text, written to the
    // echo by the device commands and the tail of their failure message.
#define ACTION(Name, Caption, HintText)                                                                               \
    Name = MakeAction(#Name, QStringLiteral(Caption), QStringLiteral(HintText));                                     \
    connect(Name, &QAction::triggered, this, &TFormMain::Name##Execute)
#define ACTION1(Name, Caption) ACTION(Name, Caption, Caption)

    ACTION(actOprosStart, "Начать опрос", "Начать опрос прибора");
    ACTION(actOprosStop, "Остановить опрос", "Остановить опрос прибора");
    ACTION(actTimerParametersChange, "Период опроса", "Изменить период опроса прибора");
    ACTION(actTransmitterChange, "СОМ-порт", "Изменить параметры СОМ-порта");
    ACTION(actDeviceScan, "Поиск прибора…", "Найти прибор: порт, скорость и адрес");
    ACTION(actExchangeStatistics, "Статистика обмена", "Статистика обмена с прибором");
    ACTION(actMqttSettings, "Публикация MQTT…", "Публикация показаний в брокер MQTT");
    ACTION1(act10, "Dec");
    ACTION(act16, "Hex", "Шестнадцатиричная");
    ACTION1(actSelectCmdShow, "Команды ЛАНКС1хх");
    ACTION1(actLanx1Show, "Показания ЛАНКС1хх");
    ACTION1(actLanx1ParShow, "Параметры ЛАНКС1хх");
    ACTION1(actTurning20mAShow, "Подстройка токового сигнала 20mA");
    ACTION1(actTurning4mAShow, "Подстройка токового сигнала 4mA");
    ACTION1(actTaraEditor, "Редактор тарировочной таблицы");
    ACTION(actGraphLevel, "Уровень", "График уровня");
    ACTION(actGraphVolume, "Объем", "График объема");
    ACTION(actClose, "Выход", "Выход из программы");

    ACTION(actSystemAddressChange, "Системный адрес", "Изменить системный адрес");
    ACTION(actSystemAddressWrite, "Записать системный адрес", "Записать системный адрес в прибор");
    ACTION(actPlantNumberChange, "Заводской номер", "Изменить заводской номер");
    ACTION(actPlantNumberRead, "Считать заводской номер", "Считать заводской номер из прибора");
    ACTION(actPlantNumberWrite, "Записать заводской номер", "Записать заводской номер в прибор");
    ACTION1(actModificationRead, "Считать исполнение прибора");
    ACTION(actKKalmanChange, "Ку - Коэффициент усреднения", "Изменить коэффициент сглаживания");
    ACTION(actKKalmanRead, "Считать Ку - коэффициент усреднения", "Считать Ку - коэффициент усреднения из прибора");
    ACTION(actKKalmanWrite, "Записать Ку - коэффициент усреднения", "Записать Ку - коэффициент усреднения в прибор");
    ACTION(actModeCurrentOutput1, "4... 20 mA", "4... 20 mA - Режим работы токового выхода");
    ACTION(actModeCurrentOutput2, "0...20 mA", "0...20 mA - Режим работы токового выхода");
    ACTION1(actModeCurrentOutputWrite, "Записать режим работы токового выхода");
    ACTION1(actModeCurrentOutputRead, "Считать режим работы токового выхода");
    ACTION1(actControlRegisterRead, "Считать регистр управления");
    ACTION1(actControlRegisterWrite, "Записать регистр управления");
    ACTION1(actReadAll, "Считать все показания");
    ACTION1(actLevelRead, "Считать уровень");
    ACTION1(actVolumeRead, "Считать объем");
    ACTION1(actFreqRead, "Считать частоту");
    ACTION(actAllParamRead, "Считать все параметры", "Считать все параметры из прибора");
    ACTION(actAllParamWrite, "Записать все параметры ", "Записать все параметры в прибор");

    ACTION1(actFreq1Change, "Частота калибровочной точки С1");
    ACTION1(actFreq1Read, "Считать частоту калибровочной точки С1");
    ACTION1(actFreq1Write, "Записать частоту калибровочной точки С1");
    ACTION1(actFreq1Auto, "Автокалибровка C1");
    ACTION1(actFreq2Change, "Частота калибровочной точки С2");
    ACTION1(actFreq2Read, "Считать частоту калибровочной точки С2");
    ACTION1(actFreq2Write, "Записать частоту калибровочной точки С2");
    ACTION1(actFreq2Auto, "Автокалибровка C2");
    ACTION1(actValue1Change, "Значение калибровочной точки С1");
    ACTION1(actValue1Read, "Считать значение калибровочной точки С1");
    ACTION1(actValue1Write, "Записать значение калибровочной точки С1");
    ACTION1(actValue2Change, "Значение калибровочной точки С2");
    ACTION1(actValue2Read, "Считать значение калибровочной точки С2");
    ACTION1(actValue2Write, "Записать значение калибровочной точки С2");
    ACTION(actValue20mAChange, "Значение для 20mA", "");
    ACTION1(actValue20mARead, "Считать значение для 20mA");
    ACTION1(actValue20mAWrite, "Записать значение для 20mA");

    ACTION1(actTurning4mAChange, "Подстройка токового сигнала 4mA");
    ACTION1(actTurning4mARead, "Считать подстройку токового сигнала 4mA");
    ACTION1(actTurning4mAWrite, "Записать подстройку токового сигнала 4mA");
    ACTION1(actTurning4mAStart, "Начать коррекцию");
    ACTION1(actTurning4mASave, "Сохранить");
    ACTION1(actTurning4mACancel, "Отменить");
    ACTION1(actTurning20mAChange, "Подстройка токового сигнала 20mA");
    ACTION1(actTurning20mARead, "Считать подстройку токового сигнала 20mA");
    ACTION1(actTurning20mAWrite, "Записать подстройку токового сигнала 20mA");
    ACTION1(actTurning20mAStart, "Начать коррекцию");
    ACTION1(actTurning20mASave, "Сохранить");
    ACTION1(actTurning20mACancel, "Отменить");

    ACTION(actLanx1Load, "Загрузить параметры", "Загрузить параметры прибора с диска");
    ACTION(actLanx1Save, "Сохранить параметры ", "Сохранить параметры прибора на диск");
#undef ACTION1
#undef ACTION

    act10->setCheckable(true);
    act16->setCheckable(true);
    FModeGroup = new QActionGroup(this);
    FModeGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction *Mode : {actModeCurrentOutput1, actModeCurrentOutput2}) {
        Mode->setCheckable(true);
        FModeGroup->addAction(Mode);
    }
    // No correction of the output is active at start.
    for (QAction *Action : {actTurning4mASave, actTurning4mACancel, actTurning20mASave, actTurning20mACancel})
        Action->setEnabled(false);
    // Started only from the parameters window, the trimming dialogs and the sequences.
    for (QAction *Action : {actTurning4mAChange, actTurning4mARead, actTurning4mAWrite, actTurning20mAChange,
                            actTurning20mARead, actTurning20mAWrite, actControlRegisterWrite, actAllParamWrite})
        Action->setVisible(false);

    // Pictures drawn by the program: the same on every machine, one per command.
    const std::pair<QAction *, TToolIcon> Icons[] = {
        {actLanx1Load, TToolIcon::OpenFile},
        {actLanx1Save, TToolIcon::SaveFile},
        {actOprosStart, TToolIcon::PollStart},
        {actOprosStop, TToolIcon::PollStop},
        {actSelectCmdShow, TToolIcon::CommandList},
        {actLanx1Show, TToolIcon::Readings},
        {actLanx1ParShow, TToolIcon::Parameters},
        {actTurning20mAShow, TToolIcon::Trimming20mA},
        {actTurning4mAShow, TToolIcon::Trimming4mA},
        {actTaraEditor, TToolIcon::TableEditor},
        {actReadAll, TToolIcon::ReadAll},
        {actLevelRead, TToolIcon::ReadLevel},
        {actVolumeRead, TToolIcon::ReadVolume},
        {actFreqRead, TToolIcon::ReadFrequency},
        {actAllParamRead, TToolIcon::ReadFromDevice},
        {actAllParamWrite, TToolIcon::WriteToDevice},
        {actClose, TToolIcon::Exit}};
    for (const auto &[Action, Kind] : Icons)
        Action->setIcon(ToolIcon(Kind));
}

void TFormMain::CreateMenus() {
    QMenuBar *Bar = menuBar();
    QMenu *mmWork = Bar->addMenu(QStringLiteral("Работа"));
    Fill(mmWork, {actOprosStart, actOprosStop, nullptr, act10, act16, nullptr, actSelectCmdShow, actLanx1Show,
                  actLanx1ParShow, actTurning20mAShow, actTurning4mAShow, actTaraEditor, nullptr, actClose});

    mmPar = Bar->addMenu(QStringLiteral("Параметры"));
    mmPar->setObjectName(QStringLiteral("mmPar"));
    Fill(mmPar, {actTransmitterChange, actDeviceScan, actTimerParametersChange, actMqttSettings, nullptr, actSystemAddressChange,
                 actPlantNumberChange, nullptr, actFreq2Change, actFreq1Change, nullptr, actValue2Change,
                 actValue1Change, nullptr, actKKalmanChange, nullptr});
    mmModeCurrentOutputChange = mmPar->addMenu(QStringLiteral("Режим работы токового сигнала"));
    mmModeCurrentOutputChange->setObjectName(QStringLiteral("mmModeCurrentOutputChange"));
    Fill(mmModeCurrentOutputChange, {actModeCurrentOutput1, actModeCurrentOutput2});
    // The submenu's own item is the mode-change command.
    actModeCurrentOutputChange = mmModeCurrentOutputChange->menuAction();
    actModeCurrentOutputChange->setObjectName(QStringLiteral("actModeCurrentOutputChange"));
    actModeCurrentOutputChange->setStatusTip(mmModeCurrentOutputChange->title());
    Fill(mmPar, {actValue20mAChange, actTurning20mAChange, actTurning4mAChange, nullptr, actLanx1Load, actLanx1Save});

    QMenu *mmReadings = Bar->addMenu(QStringLiteral("Показания"));
    Fill(mmReadings, {actReadAll, nullptr, actLevelRead, actVolumeRead, actFreqRead, nullptr, actExchangeStatistics});

    mmRead = Bar->addMenu(QStringLiteral("Считать"));
    mmRead->setObjectName(QStringLiteral("mmRead"));
    Fill(mmRead, {actModificationRead, actPlantNumberRead, nullptr, actFreq2Read, actFreq1Read, nullptr,
                  actValue2Read, actValue1Read, nullptr, actKKalmanRead, nullptr, actValue20mARead,
                  actControlRegisterRead, actTurning20mARead, actTurning4mARead, nullptr, actAllParamRead});

    mmWrite = Bar->addMenu(QStringLiteral("Записать"));
    mmWrite->setObjectName(QStringLiteral("mmWrite"));
    Fill(mmWrite, {actSystemAddressWrite, actTurning20mAWrite, actTurning4mAWrite, nullptr, actFreq2Write,
                   actFreq1Write, nullptr, actValue2Write, actValue1Write, nullptr, actFreq2Auto, actFreq1Auto,
                   nullptr, actKKalmanWrite, nullptr, actModeCurrentOutputWrite, actValue20mAWrite,
                   actControlRegisterWrite, nullptr, actAllParamWrite});

    QMenu *mmGraph = Bar->addMenu(QStringLiteral("График"));
    Fill(mmGraph, {actGraphLevel, actGraphVolume});

    QMenu *mmHelp = Bar->addMenu(QStringLiteral("Справка"));
    QAction *actAbout = mmHelp->addAction(QStringLiteral("О программе"));
    actAbout->setObjectName(QStringLiteral("actAbout"));
    actAbout->setStatusTip(QStringLiteral("Версия программы и папки её файлов"));
    connect(actAbout, &QAction::triggered, this, [this] { ShowAbout(this); });

    pmCalibration = new QMenu(this);
    pmCalibration->setObjectName(QStringLiteral("pmCalibration"));
    Fill(pmCalibration->addMenu(QStringLiteral("Изменить")),
         {actFreq2Change, actFreq1Change, nullptr, actValue2Change, actValue1Change});
    pmCalibration->addSeparator();
    Fill(pmCalibration->addMenu(QStringLiteral("Считать")),
         {actFreq2Read, actFreq1Read, nullptr, actValue2Read, actValue1Read});
}

void TFormMain::CreateToolBar() {
    ToolBar = addToolBar(QStringLiteral("ToolBar"));
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    // Pictures only, the caption in the tool tip; Dec and Hex keep their text.
    Fill(ToolBar, {actLanx1Load, actLanx1Save, nullptr, actOprosStart, actOprosStop, nullptr, act10, act16, nullptr,
                   actSelectCmdShow, actLanx1Show, actLanx1ParShow, actTurning20mAShow, actTurning4mAShow,
                   actTaraEditor, nullptr, actReadAll, actLevelRead, actVolumeRead, actFreqRead, nullptr,
                   actAllParamRead, actAllParamWrite, nullptr, actClose});
}

void TFormMain::CreateStatusBar() {
    QStatusBar *Bar = statusBar();
    Bar->setObjectName(QStringLiteral("StatusBar"));
    // Permanent panels: the hover hints of menus and buttons (shown as tool
    // tips too) must not blank the port and the counters while polling starts.
    // The counters are as wide as seven digits need.
    const struct {
        const char *Text;
        const char *Widest;
        Qt::Alignment Align;
    } Panels[7] = {{"СОМ порт", "СОМ порт", Qt::AlignLeft | Qt::AlignVCenter},
                   {"Запросов: 0", "Запросов: 9999999", Qt::AlignCenter},
                   {"Ответов: 0", "Ответов: 9999999", Qt::AlignCenter},
                   {"", "", Qt::AlignLeft | Qt::AlignVCenter},
                   {"—", "100,0 % · 9999 мс", Qt::AlignCenter},
                   {"", "MQTT: нет связи (9999999 в очереди)", Qt::AlignCenter},
                   {"Архив не записан", "Архив не записан", Qt::AlignCenter}};
    // The port panel takes the room the others leave and shortens a long port
    // name in the middle rather than pushing the counters out.
    for (int i = 0; i < 7; ++i) {
        const QString Text = QString::fromUtf8(Panels[i].Text);
        FPanels[i] = i == 0 ? new TElidedLabel(Text, Bar) : new QLabel(Text, Bar);
        FPanels[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
        FPanels[i]->setAlignment(Panels[i].Align);
        if (i > 0)
            FPanels[i]->setFixedWidth(i == 3 ? 50 : LabelWidthFor(FPanels[i], QString::fromUtf8(Panels[i].Widest)));
        Bar->addPermanentWidget(FPanels[i], i == 0 ? 1 : 0);
    }
    // Shown while publishing is on.
    FPanels[5]->hide();
    // Shown while the archive is not written.
    QPalette Red = FPanels[6]->palette();
    Red.setColor(QPalette::WindowText, Qt::red);
    FPanels[6]->setPalette(Red);
    FPanels[6]->hide();
    // The counters follow every exchange shown in the echo; the statistics
    // of an exchange are complete only once it is over, so they are read
    // again twice a second as well.
    auto *Refresh = new QTimer(this);
    connect(Refresh, &QTimer::timeout, this, &TFormMain::StatisticsRefresh);
    Refresh->start(500);
}
