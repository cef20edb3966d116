#include "fMain.h"

#include "fInputInteger.h"
#include "fProgressBar.h"
#include "fSelectCMD.h"
#include "fTransmitterSetup.h"
#include "uEscapeKey.h"
#include "uFormat.h"
#include "uGuiSync.h"
#include "uLanx1Instance.h"
#include "uMessages.h"
#include "uParamStr.h"
#include "uRequestDevices.h"
#include "uString.h"
#include "uWindowPosition.h"
#include "uWindows.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextBlock>
#include <QPointer>
#include <QTextCursor>
#include <QStyle>
#include <QToolBar>
#include <mutex>

Q_LOGGING_CATEGORY(lcMain, "lanx1.main")

TFormMain *FormMain = nullptr;
bool Terminating = false;
std::atomic<int> RequestCount{0};
std::atomic<int> AnswerCount{0};

namespace {

const QString kAttention = QStringLiteral("Внимание");

// Adds Items to a menu or tool bar, a null item standing for a separator.
template <class TTarget>
void Fill(TTarget *Target, std::initializer_list<QAction *> Items) {
    for (QAction *Item : Items)
        if (Item)
            Target->addAction(Item);
        else
            Target->addSeparator();
}

// The frame as it went over the wire, in the echo's radix.
QString FrameText(const QByteArray &Frame, int Radix) {
    return Radix == 10 ? StringToDec(Frame, false) : StringToHex(Frame);
}

} // namespace

TFormMain::TFormMain(QWidget *Parent) : QMainWindow(Parent) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("ЛАНКС1хх - Одноэлементный"));
    resize(800, 600);
    FormMain = this;
    Terminating = false;
    RequestCount = 0;
    AnswerCount = 0;

    mEcho = new QPlainTextEdit(this);
    mEcho->setObjectName(QStringLiteral("mEcho"));
    mEcho->setReadOnly(true);
    mEcho->setLineWrapMode(QPlainTextEdit::NoWrap);
    mEcho->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mEcho->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mEcho->setStyleSheet(QStringLiteral("QPlainTextEdit { background-color: black; color: lime; }"));
    setCentralWidget(mEcho);

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();

    AttachObserver(true);
    try {
        LoadWindowPosition(this);
    } catch (const std::exception &E) {
        qCInfo(lcMain) << "window position not restored:" << E.what();
    }
    act16->trigger();
    FullModeControlRefresh();
    qApp->installEventFilter(this);
    if (RequestDevices && RequestDevices->ReqDevicesTimer)
        connect(RequestDevices->ReqDevicesTimer.get(), &TCustomTimer::Tick, this, &TFormMain::ReqDevicesTimerTick);
    actOprosStop->trigger(); // polling is off after every start, whatever the timer's settings say
    actLanx1Show->trigger();
    actLanx1ParShow->trigger();
    actSelectCmdShow->trigger();
    RefreshAll();
}

TFormMain::~TFormMain() {
    qApp->removeEventFilter(this);
    AttachObserver(false);
    if (FormMain == this)
        FormMain = nullptr;
}

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

    // The desktop's icon theme when there is one, else Qt's own pictures, so
    // that the tool bar shows recognisable icons on any machine.
    struct TIcon {
        QAction *Action;
        const char *ThemeName;
        QStyle::StandardPixmap Fallback;
    };
    const TIcon Icons[] = {
        {actLanx1Load, "document-open", QStyle::SP_DialogOpenButton},
        {actLanx1Save, "document-save", QStyle::SP_DialogSaveButton},
        {actOprosStart, "media-playback-start", QStyle::SP_MediaPlay},
        {actOprosStop, "media-playback-stop", QStyle::SP_MediaStop},
        {actSelectCmdShow, "view-list-details", QStyle::SP_FileDialogDetailedView},
        {actLanx1Show, "utilities-system-monitor", QStyle::SP_ComputerIcon},
        {actLanx1ParShow, "document-properties", QStyle::SP_FileDialogInfoView},
        {actTurning20mAShow, "go-top", QStyle::SP_ArrowUp},
        {actTurning4mAShow, "go-bottom", QStyle::SP_ArrowDown},
        {actTaraEditor, "accessories-text-editor", QStyle::SP_FileDialogContentsView},
        {actReadAll, "view-refresh", QStyle::SP_BrowserReload},
        {actAllParamRead, "go-down", QStyle::SP_ArrowDown},
        {actAllParamWrite, "go-up", QStyle::SP_ArrowUp},
        {actClose, "application-exit", QStyle::SP_DialogCloseButton}};
    for (const TIcon &I : Icons)
        I.Action->setIcon(QIcon::fromTheme(QString::fromLatin1(I.ThemeName), style()->standardIcon(I.Fallback)));
}

void TFormMain::CreateMenus() {
    QMenuBar *Bar = menuBar();
    QMenu *mmWork = Bar->addMenu(QStringLiteral("Работа"));
    Fill(mmWork, {actOprosStart, actOprosStop, nullptr, act10, act16, nullptr, actSelectCmdShow, actLanx1Show,
                  actLanx1ParShow, actTurning20mAShow, actTurning4mAShow, actTaraEditor, nullptr, actClose});

    mmPar = Bar->addMenu(QStringLiteral("Параметры"));
    mmPar->setObjectName(QStringLiteral("mmPar"));
    Fill(mmPar, {actTransmitterChange, actTimerParametersChange, nullptr, actSystemAddressChange,
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
    Fill(mmReadings, {actReadAll, nullptr, actLevelRead, actVolumeRead, actFreqRead});

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
    // Buttons whose icon the desktop theme lacks show their caption instead.
    Fill(ToolBar, {actLanx1Load, actLanx1Save, nullptr, actOprosStart, actOprosStop, nullptr, act10, act16, nullptr,
                   actSelectCmdShow, actLanx1Show, actLanx1ParShow, actTurning20mAShow, actTurning4mAShow,
                   actTaraEditor, nullptr, actReadAll, actLevelRead, actVolumeRead, actFreqRead, nullptr,
                   actAllParamRead, actAllParamWrite, nullptr, actClose});
}

void TFormMain::CreateStatusBar() {
    QStatusBar *Bar = statusBar();
    Bar->setObjectName(QStringLiteral("StatusBar"));
    const struct {
        const char *Text;
        int Width;
        Qt::Alignment Align;
    } Panels[4] = {{"СОМ порт", 400, Qt::AlignLeft | Qt::AlignVCenter},
                   {"Запросов: ХХХХХ", 100, Qt::AlignCenter},
                   {"Ответов: ХХХХХ", 100, Qt::AlignCenter},
                   {"", 50, Qt::AlignLeft | Qt::AlignVCenter}};
    for (int i = 0; i < 4; ++i) {
        FPanels[i] = new QLabel(QString::fromUtf8(Panels[i].Text), Bar);
        FPanels[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
        FPanels[i]->setAlignment(Panels[i].Align);
        FPanels[i]->setFixedWidth(Panels[i].Width);
        Bar->addWidget(FPanels[i]);
    }
}

// ---- refresh

void TFormMain::RefreshAll() {
    try {
        RefreshSelectCMD();
        for (const auto &Refresh : WindowHooks().Refresh)
            if (Refresh)
                Refresh();
        ModeCurrentOutputControlRefresh();
        PortStatusRefresh();
        StatisticsRefresh();
    } catch (const std::exception &E) {
        qCInfo(lcMain) << "refresh failed:" << E.what();
    } catch (...) {
        qCInfo(lcMain) << "refresh failed";
    }
}

void TFormMain::ModeCurrentOutputControlRefresh() {
    const int Mode = Lanx1 ? Lanx1->ModeCurrentOutput() : 0;
    actModeCurrentOutput1->setChecked(Mode == 1);
    actModeCurrentOutput2->setChecked(Mode == 2);
}

void TFormMain::UpdateActionsEnabled() {
    const bool E = actOprosStart->isEnabled();
    for (QAction *Action :
         {actTaraEditor, mmPar->menuAction(), actTransmitterChange, actTimerParametersChange, actSystemAddressChange,
          actKKalmanChange, mmModeCurrentOutputChange->menuAction(), actModeCurrentOutputChange,
          actModeCurrentOutput1, actModeCurrentOutput2, actLanx1Load, actLanx1Save, actTurning20mAShow,
          actTurning4mAShow, mmRead->menuAction(), actPlantNumberRead, actModeCurrentOutputRead, actAllParamRead,
          mmWrite->menuAction(), actSystemAddressWrite, actPlantNumberWrite, actModeCurrentOutputWrite,
          actAllParamWrite})
        Action->setEnabled(E);
}

void TFormMain::FullModeControlRefresh() {
    const bool Full = FullMode();
    actPlantNumberChange->setVisible(Full);
    actPlantNumberChange->setEnabled(Full);
    actPlantNumberWrite->setVisible(Full);
}

void TFormMain::StatisticsRefresh() {
    FPanels[1]->setText(QStringLiteral("Запросов: ") + QString::number(RequestCount.load()));
    FPanels[2]->setText(QStringLiteral("Ответов: ") + QString::number(AnswerCount.load()));
}

void TFormMain::PortStatusRefresh() {
    if (!RequestDevices || !RequestDevices->Transmitter)
        return;
    const TPortSettings S = RequestDevices->Transmitter->GetSettings();
    const QString Text = !FLostPort.isEmpty() ? QStringLiteral("Порт недоступен: ") + FLostPort : S.Port + QStringLiteral(", BoudRate:") + S.BaudRate + QStringLiteral(", DataBits:") +
                         S.DataBits + QStringLiteral(", StopBits:") + S.StopBits + QStringLiteral(", Parity:") +
                         S.Parity + QStringLiteral(", FlowControl:") + S.FlowControl;
    FPanels[0]->setText(Text);
    FPanels[0]->setFixedWidth(statusBar()->fontMetrics().horizontalAdvance(Text) + 14);
}

// ---- echo

void TFormMain::AddEchoLine(const QString &Text) {
    try {
        const QString Line = DateTimeToStr(Now(), DefaultFormatSettings()) + u' ' + Text;
        QTextDocument *Doc = mEcho->document();
        QTextCursor Cursor(Doc);
        if (Doc->isEmpty()) {
            Cursor.insertText(Line);
            return;
        }
        Cursor.movePosition(QTextCursor::Start);
        Cursor.insertText(Line + u'\n');
        if (Doc->blockCount() > EchoLinesMax) {
            Cursor.setPosition(Doc->findBlockByNumber(EchoLinesMax - 1).position());
            Cursor.movePosition(QTextCursor::EndOfBlock);
            Cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            Cursor.removeSelectedText();
        }
    } catch (const std::exception &E) {
        qCInfo(lcMain) << "echo line not written:" << E.what();
    }
}

QStringList TFormMain::EchoLines() const {
    const QString Text = mEcho->toPlainText();
    return Text.isEmpty() ? QStringList() : Text.split(u'\n');
}

void TFormMain::AttachObserver(bool Attach) {
    if (!RequestDevices || !RequestDevices->Transmitter)
        return;
    // The polling thread calls the observer during its exchanges: change it only
    // while no exchange runs.
    if (Attach == FAttached)
        return;
    TExchangeGuard Guard(*RequestDevices);
    FAttached = Attach;
    TTransmitter &T = *RequestDevices->Transmitter;
    if (!Attach) {
        T.OnTransmit = nullptr;
        T.OnPortState = nullptr;
        return;
    }
    T.OnTransmit = [this](TTransmitter *Sender, const QByteArray &Sent, bool Answered, const QByteArray &Reply) {
        TransmitterTransmit(Sender, Sent, Answered, Reply);
    };
    T.OnPortState = [this](TTransmitter *, bool Available, const QString &Port) {
        if (TGuiSync::Instance().InGuiThread())
            TransmitterPortState(Available, Port);
        else
            TGuiSync::Instance().Post([Self = QPointer<TFormMain>(this), Available, Port] {
                if (Self)
                    Self->TransmitterPortState(Available, Port);
            });
    };
}

void TFormMain::TransmitterPortState(bool Available, const QString &Port) {
    FLostPort = Available ? QString() : Port;
    AddEchoLine((Available ? QStringLiteral("Порт снова доступен: ") : QStringLiteral("Порт недоступен: ")) + Port);
    PortStatusRefresh();
}

void TFormMain::TransmitterTransmit(TTransmitter *, const QByteArray &Sent, bool Answered, const QByteArray &Reply) {
    ++RequestCount;
    if (Answered)
        ++AnswerCount;
    const int Radix = RequestDevices ? RequestDevices->EchoRadix.load() : 16;
    if (TGuiSync::Instance().InGuiThread()) {
        ShowExchange(Sent, Reply, Radix);
        return;
    }
    // The polling thread never waits for the screen: the texts travel with the call.
    TGuiSync::Instance().Post([Self = QPointer<TFormMain>(this), Sent, Reply, Radix] {
        if (Self)
            Self->ShowExchange(Sent, Reply, Radix);
    });
}

void TFormMain::ShowExchange(const QByteArray &Sent, const QByteArray &Reply, int Radix) {
    AddEchoLine(QStringLiteral(" -> ") + FrameText(Sent, Radix));
    AddEchoLine(QStringLiteral(" <- ") + (Reply.isEmpty() ? QStringLiteral("Нет ответа") : FrameText(Reply, Radix)));
    RefreshAll();
}

// ---- commands

bool TFormMain::ExecuteCommand(std::uint8_t Kind, const QString &Hint, std::uint8_t Attempts) {
    if (Attempts == 0)
        return false;
    bool Done = false;
    for (int n = 1; n <= Attempts && !Done; ++n) {
        ShowProgress(QStringLiteral("Повтор команды ") + Hint, n, Attempts);
        // The progress window let the user close the program meanwhile: no more tries then.
        if (Terminating && n > 1)
            break;
        Done = ExecuteRequest(Kind, n) == 0;
    }
    CloseProgress();
    return Done;
}

bool TFormMain::RunStandardCommand(std::uint8_t Kind, const QString &Hint) {
    AddEchoLine(Hint);
    if (ExecuteCommand(Kind, Hint, 5)) {
        RefreshAll();
        return true;
    }
    if (!Terminating)
        ShowMessageBox(kAttention, QStringLiteral("Не выполнена команда\r") + Hint, TMsgIcon::Warning, mbOK, mbOK);
    return false;
}

// ---- polling

void TFormMain::actOprosStartExecute() {
    AddEchoLine(QStringLiteral("Старт"));
    TCustomTimer *Timer = RequestDevices ? RequestDevices->ReqDevicesTimer.get() : nullptr;
    if (Timer)
        Timer->Start();
    const bool Polling = Timer && Timer->Enabled();
    actOprosStart->setEnabled(!Polling);
    actOprosStop->setEnabled(Polling);
    UpdateActionsEnabled();
}

void TFormMain::actOprosStopExecute() {
    AddEchoLine(QStringLiteral("Стоп"));
    TCustomTimer *Timer = RequestDevices ? RequestDevices->ReqDevicesTimer.get() : nullptr;
    if (Timer)
        Timer->Stop();
    const bool Polling = Timer && Timer->Enabled();
    actOprosStart->setEnabled(!Polling);
    actOprosStop->setEnabled(Polling);
    UpdateActionsEnabled();
    RefreshAll();
}

void TFormMain::ReqDevicesTimerTick() {
    if (!RequestDevices || !RequestDevices->ReqDevicesTimer)
        return;
    TCustomTimer &Timer = *RequestDevices->ReqDevicesTimer;
    Timer.SetPaused(true);
    if (!RequestDevices->AnyDeviceEnabled()) {
        actOprosStop->trigger();
        return;
    }
    if (RequestDevices->RequestThread) {
        std::lock_guard Lock(RequestDevices->RequestLock);
        RequestDevices->RequestThread->Resume(); // one poll step; a tick into a running one is dropped
    }
    RefreshAll();
    Timer.SetPaused(false);
}

void TFormMain::actTimerParametersChangeExecute() {
    if (!RequestDevices || !RequestDevices->ReqDevicesTimer)
        return;
    TCustomTimer &Timer = *RequestDevices->ReqDevicesTimer;
    Timer.SetInterval(InputInteger(QStringLiteral("Введите"), QStringLiteral("Период опроса, мс [100, 60000]"),
                                   Timer.Interval(), 100, 60000));
    try {
        Timer.SaveToIni(); // also after Cancel
    } catch (const std::exception &E) {
        qCWarning(lcMain) << "poll timer settings not saved:" << E.what();
        ShowMessageBox(QStringLiteral("Ошибка"), QStringLiteral("Не удалось сохранить файл\r") + Timer.IniFile(),
                       TMsgIcon::Error, mbOK, mbOK);
    }
}

void TFormMain::actTransmitterChangeExecute() {
    if (!RequestDevices || !RequestDevices->Transmitter)
        return;
    TTransmitter &T = *RequestDevices->Transmitter;
    T.Close();
    FLostPort.clear(); // a new start: the next exchange tells again if the port is missing
    QString FilePort;
    try {
        T.LoadSettings();
        FilePort = T.GetPort();
    } catch (const std::exception &E) {
        qCWarning(lcMain) << "serial settings not loaded:" << E.what();
    }
    if (!FPortOverride.isEmpty())
        T.SetPort(FPortOverride);
    try {
        ShowTransmitterSetup(T, this);
    } catch (const std::exception &E) {
        qCWarning(lcMain) << "serial settings dialog failed:" << E.what();
    }
    // A port of this run only (demo mode) never reaches the settings file; a
    // port the user picked replaces it.
    const bool KeepOverride = !FPortOverride.isEmpty() && T.GetPort() == FPortOverride;
    if (!FPortOverride.isEmpty() && !KeepOverride)
        FPortOverride.clear();
    try {
        if (KeepOverride)
            T.SetPort(FilePort);
        T.SaveSettings();
    } catch (const std::exception &E) {
        qCWarning(lcMain) << "serial settings not saved:" << E.what();
        ShowMessageBox(QStringLiteral("Ошибка"), QStringLiteral("Не удалось сохранить файл\r") + T.IniFileName(),
                       TMsgIcon::Error, mbOK, mbOK);
    }
    if (KeepOverride)
        T.SetPort(FPortOverride);
    T.Open(); // tells the user itself when the port will not open
    RefreshAll();
}

void TFormMain::act10Execute() {
    if (RequestDevices)
        RequestDevices->EchoRadix = 10;
    act10->setChecked(true);
    act16->setChecked(false);
}

void TFormMain::act16Execute() {
    if (RequestDevices)
        RequestDevices->EchoRadix = 16;
    act16->setChecked(true);
    act10->setChecked(false);
}

// ---- windows

namespace {
void CallHook(const std::function<void()> &Hook) {
    try {
        if (Hook)
            Hook();
    } catch (const std::exception &E) {
        qCWarning(lcMain) << "window not opened:" << E.what();
    }
}
} // namespace

void TFormMain::actSelectCmdShowExecute() {
    ShowSelectCMD();
}

void TFormMain::actLanx1ShowExecute() {
    CallHook(WindowHooks().ShowLanx1);
}

void TFormMain::actLanx1ParShowExecute() {
    CallHook(WindowHooks().ShowLanx1Par);
}

void TFormMain::actTurning20mAShowExecute() {
    CallHook(WindowHooks().ShowTurning20mA);
}

void TFormMain::actTurning4mAShowExecute() {
    CallHook(WindowHooks().ShowTurning4mA);
}

void TFormMain::actTaraEditorExecute() {
    CallHook(WindowHooks().ShowTaraEditor);
}

void TFormMain::actGraphLevelExecute() {
    if (Lanx1 && WindowHooks().ShowGraph)
        CallHook([] { WindowHooks().ShowGraph(QStringLiteral("aLevel"), Lanx1->Level, QStringLiteral("График"),
                                               Now() - 1.0, Now()); });
}

void TFormMain::actGraphVolumeExecute() {
    if (Lanx1 && WindowHooks().ShowGraph)
        CallHook([] { WindowHooks().ShowGraph(QStringLiteral("aVolume"), Lanx1->Volume, QStringLiteral("График"),
                                               Now() - 1.0, Now()); });
}

void TFormMain::actCloseExecute() {
    close();
}

// ---- keyboard and closing

void TFormMain::keyPressEvent(QKeyEvent *Event) {
    if (CloseOnEscape(this, Event))
        return;
    QMainWindow::keyPressEvent(Event);
}

bool TFormMain::eventFilter(QObject *Watched, QEvent *Event) {
    // A key press reaches the application's filter once at its window and again
    // at each widget it is passed on to: only the window's delivery counts.
    if (Event->type() != QEvent::KeyPress || !Watched->isWindowType())
        return QMainWindow::eventFilter(Watched, Event);
    const auto *Key = static_cast<QKeyEvent *>(Event);
    const Qt::KeyboardModifiers Mods = Key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    if (Key->key() == Qt::Key_F && Mods == Qt::ControlModifier) {
        SetFullMode(!FullMode());
        FullModeControlRefresh();
        RefreshAll();
    } else if (Key->key() == Qt::Key_F12) {
        show();
        raise();
        activateWindow();
    }
    return false; // the window still gets its key
}

void TFormMain::closeEvent(QCloseEvent *Event) {
    if (!FClosed) {
        const TMsgButton Answer = ShowMessageBox(kAttention, QStringLiteral("Завершить работу?"), TMsgIcon::Question,
                                                 mbYes | mbNo, mbNo);
        if (Answer != mbYes) {
            Event->ignore();
            return;
        }
        Terminating = true;
        FormClose();
    }
    Event->accept();
}

void TFormMain::FormClose() {
    FClosed = true;
    try {
        SaveWindowPosition(this);
    } catch (const std::exception &E) {
        qCWarning(lcMain) << "window position not saved:" << E.what();
    }
    AttachObserver(false);
    actOprosStop->trigger();
    if (FormMain == this)
        FormMain = nullptr;
    emit Closed();
}
