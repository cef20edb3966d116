#include "fTaraEditor.h"
#include "fTaraEditorShared.h"

#include "EditNum.h"
#include "fMain.h"
#include "uEscapeKey.h"
#include "uFormat.h"
#include "uLanx1Instance.h"
#include "uMessages.h"
#include "uSysUtils.h"
#include "uTextFile.h"
#include "uWindowPosition.h"
#include "uWindows.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QTextBlock>
#include <QToolBar>
#include <QVBoxLayout>
#include <qcustomplot.h>

Q_LOGGING_CATEGORY(lcTaraEditor, "lanx1.taraeditor")

using namespace TaraEditorShared;

TFormTaraEditor *FormTaraEditor = nullptr;
const QString TFormTaraEditor::kPlaceholder = QStringLiteral("Не определено");
std::function<QString(const TTaraFileDialog &)> TFormTaraEditor::FileDialogHook;

namespace {

const QString kCaption = QStringLiteral("Редактор тарировочной таблицы");
const QString kError = QStringLiteral("Ошибка");

// The descriptions of the device's level and volume, which name and format
// the editor's numbers; plain defaults while no device object exists.
const TDescriptionOfDouble &Description(bool Volume) {
    if (Lanx1)
        return Volume ? Lanx1->Volume.Description : Lanx1->Level.Description;
    static const std::array<TDescriptionOfDouble, 2> Fallback = [] {
        std::array<TDescriptionOfDouble, 2> D;
        D[0].Title = QStringLiteral("Уровень");
        D[1].Title = QStringLiteral("Объем");
        for (auto &Item : D) {
            Item.Dimension = QStringLiteral("%");
            Item.Digits = 1;
        }
        return D;
    }();
    return Fallback[Volume ? 1 : 0];
}

// "Уровень, %"
QString TitleWithDimension(bool Volume) {
    const TDescriptionOfDouble &D = Description(Volume);
    return (D.Title + QStringLiteral(", ") + D.Dimension).trimmed();
}

// A level or volume as the grid and the status panel show it.
QString FormatPoint(double Value, bool Volume) {
    return FormatNumber(Value, 9, Description(Volume).Digits, DefaultFormatSettings());
}

// The table name of a header line ("Name=Count", no '*'), else an empty text.
QString HeaderName(const QString &Line) {
    if (Line.contains(u'*'))
        return {};
    const qsizetype Eq = Line.indexOf(u'=');
    return Eq > 0 ? Line.left(Eq) : QString();
}

} // namespace

void TaraEditorShared::ShowError(const QString &Text) {
    ShowMessageBox(kError, Text, TMsgIcon::Error, mbOK, mbOK);
}

// ---- construction

TFormTaraEditor::TFormTaraEditor(QWidget *Parent) : QMainWindow(Parent) {
    setObjectName(QStringLiteral("FormTaraEditor"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(1024, 740);
    FOpenDialogName = QStringLiteral("ttDefault.txt");

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateControls();
    CreateChart();
    FStatusPanel = new QLabel(this);
    FStatusPanel->setObjectName(QStringLiteral("StatusPanel0"));
    statusBar()->addWidget(FStatusPanel, 1);

    try {
        LoadWindowPosition(this);
    } catch (const std::exception &E) {
        qCInfo(lcTaraEditor) << "window position not restored:" << E.what();
    }
    ClearLevelFields();
    ResetGrid();
    SetFileName(QString());
    lblLevel->setText(TitleWithDimension(false));
    lblVolume->setText(TitleWithDimension(true));
    RebuildTableList();
}

TFormTaraEditor::~TFormTaraEditor() {
    if (FormTaraEditor == this)
        FormTaraEditor = nullptr;
}

QAction *TFormTaraEditor::MakeAction(const char *Name, const QString &Caption, const QString &Hint) {
    auto *Action = new QAction(Caption, this);
    Action->setObjectName(QString::fromLatin1(Name));
    Action->setStatusTip(Hint);
    Action->setToolTip(Hint.isEmpty() ? Caption : Hint);
    return Action;
}

void TFormTaraEditor::CreateActions() {
#define ACTION(Name, Caption, HintText)                                                                               \
    Name = MakeAction(#Name, QStringLiteral(Caption), QStringLiteral(HintText));                                     \
    connect(Name, &QAction::triggered, this, &TFormTaraEditor::Name##Execute)

    ACTION(actCreateTaraFile, "Создать", "Создать файл с тарировочными таблицами");
    ACTION(actCreateTypicalTaraFile, "Создать типовую таблицу", "Создать файл с типовой тарировочной таблицой");
    ACTION(actLoadTaraFile, "Открыть...", "Открыть файл с тарировочными таблицами");
    ACTION(actCloseTaraFile, "Закрыть", "Закрыть файл с тарировочными таблицами");
    ACTION(actSaveTaraFile, "Сохранить", "Сохранить файл с тарировочными таблицами");
    ACTION(actSaveAsTaraFile, "Сохранить как...", "Сохранить как");
    ACTION(actExit, "Выход", "Выйти из программы");
    ACTION(actGraphPoints, "Точки", "Скрыть/показать узловые точки");
    ACTION(actGraphMarks, "Маркеры", "Скрыть/показать маркеры");
    ACTION(actSyncMemo, "", "Показать в редакторе");
    ACTION(actOnSelect, "", "");
    ACTION(actLoadFromKelm, "Считать из прибора", "Считать тарировочную таблицу из прибора");
    ACTION(actSaveToKelm, "Записать в прибор", "Записать тарировочную таблицу в прибор");
    ACTION(actImportCertificate, "Импорт градуировочной таблицы…",
           "Добавить таблицу из градуировочной таблицы резервуара (CSV, текст)");
    ACTION(actExportCsv, "Экспорт в CSV…", "Записать выбранную таблицу в файл CSV");
#undef ACTION

    actCreateTaraFile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    actLoadTaraFile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    actSaveTaraFile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    actImportCertificate->setIconText(QStringLiteral("Импорт"));
    actGraphPoints->setCheckable(true);
    actGraphPoints->setChecked(true);
    actGraphMarks->setCheckable(true);
    actGraphMarks->setChecked(false);
    // The two internal actions are in no menu; their short-cut-less triggers
    // still need a window to belong to.
    addAction(actSyncMemo);
    addAction(actOnSelect);
}

void TFormTaraEditor::CreateMenus() {
    QMenu *Work = menuBar()->addMenu(QStringLiteral("Работа"));
    Work->addAction(actCreateTaraFile);
    Work->addAction(actCreateTypicalTaraFile);
    Work->addAction(actLoadTaraFile);
    Work->addAction(actCloseTaraFile);
    Work->addSeparator();
    Work->addAction(actSaveTaraFile);
    Work->addAction(actSaveAsTaraFile);
    Work->addSeparator();
    Work->addAction(actImportCertificate);
    Work->addAction(actExportCsv);
    Work->addSeparator();
    Work->addAction(actExit);
    QMenu *Graph = menuBar()->addMenu(QStringLiteral("График"));
    Graph->addAction(actGraphPoints);
    Graph->addAction(actGraphMarks);
    QMenu *Device = menuBar()->addMenu(QStringLiteral("ЛАНКС"));
    Device->addAction(actLoadFromKelm);
    Device->addAction(actSaveToKelm);
}

void TFormTaraEditor::CreateToolBar() {
    ToolBar = addToolBar(QStringLiteral("ToolBar"));
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setMovable(false);
    for (QAction *A : {actCreateTaraFile, actLoadTaraFile, actSaveTaraFile, actCloseTaraFile})
        ToolBar->addAction(A);
    ToolBar->addAction(actImportCertificate);
    ToolBar->addSeparator();
    ToolBar->addAction(actGraphPoints);
    ToolBar->addAction(actGraphMarks);
    ToolBar->addSeparator();
    ToolBar->addAction(actLoadFromKelm);
    ToolBar->addAction(actSaveToKelm);
    ToolBar->addSeparator();
    ToolBar->addAction(actExit);
}

void TFormTaraEditor::CreateControls() {
    auto *Splitter = new QSplitter(Qt::Horizontal, this);

    auto *TextPanel = new QWidget(Splitter);
    auto *TextLayout = new QVBoxLayout(TextPanel);
    TextLayout->addWidget(new QLabel(QStringLiteral("Список таблиц"), TextPanel));
    mTaraFile = new QPlainTextEdit(TextPanel);
    mTaraFile->setObjectName(QStringLiteral("mTaraFile"));
    QFont Fixed(QStringLiteral("Courier New"));
    Fixed.setStyleHint(QFont::TypeWriter);
    Fixed.setFixedPitch(true);
    mTaraFile->setFont(Fixed);
    mTaraFile->setLineWrapMode(QPlainTextEdit::NoWrap);
    mTaraFile->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mTaraFile->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mTaraFile->setTabChangesFocus(false); // TAB separates level and volume in the point lines
    TextLayout->addWidget(mTaraFile);
    connect(mTaraFile, &QPlainTextEdit::textChanged, this, &TFormTaraEditor::mTaraFileChange);

    auto *TablePanel = new QWidget(Splitter);
    auto *TableLayout = new QVBoxLayout(TablePanel);
    TableLayout->addWidget(new QLabel(QStringLiteral("Таблица"), TablePanel));
    cbTables = new QComboBox(TablePanel);
    cbTables->setObjectName(QStringLiteral("cbTables"));
    cbTables->setEditable(false);
    // A name may be as long as a line: keep the window's layout from following it.
    cbTables->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbTables->setMinimumContentsLength(16);
    TableLayout->addWidget(cbTables);
    connect(cbTables, &QComboBox::activated, this, &TFormTaraEditor::cbTablesSelect);

    lblLevel = new QLabel(TablePanel);
    lblLevel->setObjectName(QStringLiteral("lblLevel"));
    enLevel = new TEditNum(TablePanel);
    enLevel->setObjectName(QStringLiteral("enLevel"));
    enLevel->SetFormat(TFloatFormat::ffNumber);
    enLevel->SetDigits(0);
    connect(enLevel, &QLineEdit::textChanged, this, &TFormTaraEditor::enLevelChange);
    lblVolume = new QLabel(TablePanel);
    lblVolume->setObjectName(QStringLiteral("lblVolume"));
    enVolume = new TEditNum(TablePanel);
    enVolume->setObjectName(QStringLiteral("enVolume"));
    enVolume->SetFormat(TFloatFormat::ffNumber);
    enVolume->SetDigits(2);
    enVolume->setReadOnly(true);
    enVolume->setEnabled(false);
    for (QWidget *W : std::initializer_list<QWidget *>{lblLevel, enLevel, lblVolume, enVolume})
        TableLayout->addWidget(W);

    sgTaraValues = new QTableWidget(TablePanel);
    sgTaraValues->setObjectName(QStringLiteral("sgTaraValues"));
    sgTaraValues->setColumnCount(3);
    sgTaraValues->setColumnWidth(0, 20);
    sgTaraValues->setColumnWidth(1, 89);
    sgTaraValues->setColumnWidth(2, 100);
    sgTaraValues->verticalHeader()->hide(); // column 0 numbers the points
    sgTaraValues->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TableLayout->addWidget(sgTaraValues, 1);

    ChartTara = new QCustomPlot(Splitter);
    ChartTara->setObjectName(QStringLiteral("ChartTara"));
    Splitter->addWidget(TextPanel);
    Splitter->addWidget(TablePanel);
    Splitter->addWidget(ChartTara);
    Splitter->setStretchFactor(0, 2);
    Splitter->setStretchFactor(1, 1);
    Splitter->setStretchFactor(2, 3);
    setCentralWidget(Splitter);
}

void TFormTaraEditor::CreateChart() {
    ChartTara->legend->setVisible(false);
    ChartTara->xAxis->setLabel(Description(false).Title);
    ChartTara->yAxis->setLabel(Description(true).Title);
    Series1 = ChartTara->addGraph();
    Series1->setName(QStringLiteral("Series1"));
    Series1->setPen(QPen(Qt::red));
    Series1->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, Qt::red, Qt::red, 1));
    Series2 = ChartTara->addGraph();
    Series2->setName(QStringLiteral("Series2"));
    Series2->setLineStyle(QCPGraph::lsNone);
    Series2->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, Qt::red, Qt::red, 3));
    ChartTara->setMouseTracking(true);
    connect(ChartTara, &QCustomPlot::mouseMove, this, &TFormTaraEditor::ChartTaraMouseMove);
    // Pixel positions are known once the chart is laid out, before it draws.
    connect(ChartTara, &QCustomPlot::afterLayout, this, &TFormTaraEditor::KeepMarksInside);
}

void TFormTaraEditor::KeepMarksInside() {
    const QRect Area = ChartTara->rect();
    for (int i = 0; i < ChartTara->itemCount(); ++i) {
        auto *Mark = qobject_cast<QCPItemText *>(ChartTara->item(i));
        if (!Mark)
            continue;
        const QPointF At = Mark->position->pixelPosition();
        const QMargins Pad = Mark->padding();
        const QRect Text = QFontMetrics(Mark->font()).boundingRect(Mark->text());
        const double W = Text.width() + Pad.left() + Pad.right();
        const double H = Text.height() + Pad.top() + Pad.bottom();
        Qt::Alignment Horizontal = Qt::AlignHCenter;
        if (At.x() + W / 2 > Area.right())
            Horizontal = Qt::AlignRight;
        else if (At.x() - W / 2 < Area.left())
            Horizontal = Qt::AlignLeft;
        const Qt::Alignment Vertical = At.y() - H < Area.top() ? Qt::AlignTop : Qt::AlignBottom;
        Mark->setPositionAlignment(Horizontal | Vertical);
    }
}

// ---- state of the window

void TFormTaraEditor::UpdateCaption() {
    QString Caption = kCaption;
    if (!FFileName.isEmpty())
        Caption += QStringLiteral(" - ") + FFileName;
    if (FModified)
        Caption += QStringLiteral(" *");
    setWindowTitle(Caption);
}

// Reading from the device is offered only while no file is open, writing
// only while one is.
void TFormTaraEditor::SetFileName(const QString &Name) {
    FFileName = Name;
    FTara.FileName = Name;
    FModified = false;
    const bool Open = !Name.isEmpty();
    for (QAction *A :
         {actCloseTaraFile, actSaveTaraFile, actSaveAsTaraFile, actSaveToKelm, actImportCertificate, actExportCsv})
        A->setEnabled(Open);
    actLoadFromKelm->setEnabled(!Open);
    mTaraFile->setEnabled(Open);
    cbTables->setEnabled(Open);
    UpdateCaption();
}

void TFormTaraEditor::ClearEditor() {
    FStatusPanel->clear(); // a note on the device's table goes with its file
    SetFileName(QString());
    SetMemoLines({});
    cbTables->setEnabled(false);
    RebuildTableList();
    ResetGrid();
}

void TFormTaraEditor::ResetGrid() {
    sgTaraValues->clearContents();
    sgTaraValues->setRowCount(1);
    sgTaraValues->setHorizontalHeaderLabels(
        {QStringLiteral("N"), TitleWithDimension(false), TitleWithDimension(true)});
}

void TFormTaraEditor::ClearLevelFields() {
    enLevel->setEnabled(false);
    enLevel->clear();
    enVolume->clear();
}

QStringList TFormTaraEditor::MemoLines() const {
    // The raw text keeps what the plain text would change (a no-break space
    // would become a blank); blocks are separated by paragraph separators.
    QString Text = mTaraFile->document()->toRawText();
    Text.replace(QChar::ParagraphSeparator, u'\n');
    Text.replace(QChar::LineSeparator, u'\n');
    return SplitTextLines(Text);
}

// Each line ends with a line break, as in the file, so that saving gives back
// the same lines, a last empty one included.
void TFormTaraEditor::SetMemoLines(const QStringList &Lines) {
    QString Text = Lines.join(u'\n');
    if (!Lines.isEmpty())
        Text += u'\n';
    FInternalChange = true;
    mTaraFile->setPlainText(Text);
    FInternalChange = false;
}

bool TFormTaraEditor::LoadMemoFromFile(const QString &Path) {
    bool Ok = false;
    const QStringList Lines = ReadTextLines(Path, &Ok);
    if (Ok)
        SetMemoLines(Lines);
    return Ok;
}

void TFormTaraEditor::RebuildTableList() {
    try {
        cbTables->clear();
        cbTables->addItem(kPlaceholder);
        for (const QString &Line : MemoLines()) {
            const QString Name = HeaderName(Line);
            if (!Name.isEmpty())
                cbTables->addItem(Name);
        }
        cbTables->setCurrentIndex(cbTables->count() > 1 ? 1 : 0);
        // Also without any table: the grid and chart must not keep a table
        // whose header is gone from the text.
        actOnSelectExecute();
    } catch (const std::exception &E) {
        qCWarning(lcTaraEditor) << "table list:" << E.what();
        ShowError(QStringLiteral("Неверный формат файла\rНе удалось создать список таблиц"));
    }
}

bool TFormTaraEditor::TableListChanged() const {
    try {
        int k = 1;
        for (const QString &Line : MemoLines()) {
            const QString Name = HeaderName(Line);
            if (Name.isEmpty())
                continue;
            if (k >= cbTables->count() || cbTables->itemText(k) != Name)
                return true;
            ++k;
        }
        return k != cbTables->count();
    } catch (...) {
        return true;
    }
}

void TFormTaraEditor::keyPressEvent(QKeyEvent *Event) {
    if (!CloseOnEscape(this, Event))
        QMainWindow::keyPressEvent(Event);
}

void TFormTaraEditor::closeEvent(QCloseEvent *Event) {
    if (FModified) {
        const int Answer = AskSave();
        if (Answer == mbCancel) {
            Event->ignore();
            return;
        }
        if (Answer == mbYes)
            actSaveTaraFileExecute(); // the window closes also when saving failed
    }
    try {
        SaveWindowPosition(this);
    } catch (const std::exception &E) {
        qCInfo(lcTaraEditor) << "window position not saved:" << E.what();
    }
    if (FormTaraEditor == this)
        FormTaraEditor = nullptr;
    Event->accept();
}

// ---- the selected table

void TFormTaraEditor::ShowPoint(double Level, double Volume) {
    Series2->data()->clear();
    Series2->addData(Level, Volume);
    ChartTara->replot();
}

void TFormTaraEditor::actOnSelectExecute() {
    try {
        ClearLevelFields();
        for (int c = 0; c < sgTaraValues->columnCount(); ++c)
            delete sgTaraValues->takeItem(0, c);
        Series1->data()->clear();
        Series2->data()->clear();
        ChartTara->clearItems();

        FTara.TableName = cbTables->currentIndex() >= 0 ? cbTables->currentText() : kPlaceholder;
        FTableLoaded = FTara.LoadFromStrings(MemoLines());
        if (!FTableLoaded) {
            ResetGrid();
            ChartTara->replot();
            return;
        }
        const int Count = static_cast<int>(FTara.Table.size());
        sgTaraValues->setRowCount(std::max(Count, 1));
        enLevel->setEnabled(true);
        for (int i = 0; i < Count; ++i) {
            const TTaraPoint &P = FTara.Table[static_cast<size_t>(i)];
            sgTaraValues->setItem(i, 0, new QTableWidgetItem(QString::number(i + 1)));
            sgTaraValues->setItem(i, 1, new QTableWidgetItem(FormatPoint(P.Level, false)));
            sgTaraValues->setItem(i, 2, new QTableWidgetItem(FormatPoint(P.Volume, true)));
            Series1->addData(P.Level, P.Volume); // the series keeps its points in level order
        }
        actGraphMarksExecute(); // the marks follow the new points when shown
        ChartTara->rescaleAxes();
        ChartTara->replot();
    } catch (const std::exception &E) {
        qCInfo(lcTaraEditor) << "table not shown:" << E.what();
    }
}

void TFormTaraEditor::actSyncMemoExecute() {
    const QString Prefix = cbTables->currentText() + u'=';
    const QStringList Lines = MemoLines();
    for (int i = 0; i < Lines.size(); ++i) {
        if (!Lines[i].startsWith(Prefix))
            continue;
        // Through the end first, so that the header line scrolls into view.
        QTextCursor Cursor = mTaraFile->textCursor();
        Cursor.movePosition(QTextCursor::End);
        mTaraFile->setTextCursor(Cursor);
        Cursor.setPosition(mTaraFile->document()->findBlockByNumber(i).position());
        mTaraFile->setTextCursor(Cursor);
        mTaraFile->ensureCursorVisible();
        mTaraFile->setFocus();
        return;
    }
}

void TFormTaraEditor::cbTablesSelect(int) {
    actOnSelectExecute();
    actSyncMemoExecute();
}

void TFormTaraEditor::mTaraFileChange() {
    if (FInternalChange)
        return;
    if (!FModified) {
        FModified = true;
        UpdateCaption();
    }
    if (TableListChanged())
        RebuildTableList();
    else
        actOnSelectExecute();
}

void TFormTaraEditor::enLevelChange() {
    if (!FTableLoaded || FTara.FileName.isEmpty() || FTara.TableName == kPlaceholder)
        return;
    double Level = 0, Volume = 0;
    if (!TryStrToFloat(enLevel->text(), Level, DefaultFormatSettings()))
        return;
    if (!FTara.LevelToVolume(Level, Volume))
        return;
    enVolume->SetValue(Volume);
    ShowPoint(Level, Volume);
}

void TFormTaraEditor::ChartTaraMouseMove(QMouseEvent *Event) {
    if (!FTableLoaded || FTara.FileName.isEmpty() || FTara.TableName == kPlaceholder)
        return;
    const QPointF Pos = Event->position();
    double Volume = 0;
    if (!ChartTara->axisRect()->rect().contains(Pos.toPoint())) {
        FStatusPanel->clear();
        return;
    }
    const double Level = ChartTara->xAxis->pixelToCoord(Pos.x());
    if (!FTara.LevelToVolume(Level, Volume)) {
        FStatusPanel->clear();
        return;
    }
    const TDescriptionOfDouble &L = Description(false), &V = Description(true);
    FStatusPanel->setText(L.Title + QStringLiteral(", ") + L.Dimension + FormatPoint(Level, false) + u' ' + V.Title +
                          QStringLiteral(", ") + V.Dimension + FormatPoint(Volume, true));
}

void TFormTaraEditor::actGraphPointsExecute() {
    const bool Shown = actGraphPoints->isChecked();
    Series1->setScatterStyle(QCPScatterStyle(Shown ? QCPScatterStyle::ssSquare : QCPScatterStyle::ssNone, Qt::red,
                                             Qt::red, 1));
    ChartTara->replot();
}

// Value marks are made only while shown: a long table would otherwise carry
// one text item per point for nothing.
void TFormTaraEditor::actGraphMarksExecute() {
    ChartTara->clearItems();
    if (actGraphMarks->isChecked())
        for (auto It = Series1->data()->constBegin(); It != Series1->data()->constEnd(); ++It) {
            auto *Mark = new QCPItemText(ChartTara);
            Mark->position->setType(QCPItemPosition::ptPlotCoords);
            Mark->position->setCoords(It->key, It->value);
            Mark->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
            Mark->setText(FormatPoint(It->key, false));
            Mark->setClipToAxisRect(false);
        }
    ChartTara->replot();
}

// ---- opening

int ShowTaraEditor() {
    try {
        if (!FormTaraEditor)
            FormTaraEditor = new TFormTaraEditor;
        FormTaraEditor->show();
        FormTaraEditor->raise();
        FormTaraEditor->activateWindow();
        return 0;
    } catch (const std::exception &E) {
        qCWarning(lcTaraEditor) << "editor not created:" << E.what();
        ShowError(QStringLiteral("Ошибка создания формы"));
        return -1;
    }
}

void RegisterTaraEditor() {
    WindowHooks().ShowTaraEditor = [] { ShowTaraEditor(); };
}
