#pragma once
// The calibration-table editor: the text of one table file edited as free
// text, its tables in a list, the chosen table as a grid and a chart, a level
// converted into a volume, and the table moved to and from the transducer.
#include "Tara.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>

class QAction;
class QCPGraph;
class QComboBox;
class QCustomPlot;
class QKeyEvent;
class QLabel;
class QMouseEvent;
class QPlainTextEdit;
class QTableWidget;
class QToolBar;
class TEditNum;

// What a file dialog of the editor asks for.
struct TTaraFileDialog {
    bool Save = false;   // a save dialog ("Сохранить как..."), else an open dialog
    bool MustExist = false; // only existing files may be chosen ("Открыть...")
    QString Title;
    QString Filter;      // Qt filter text
    QString Folder;      // initial folder
    QString FileName;    // proposed name
};

class TFormTaraEditor : public QMainWindow {
    Q_OBJECT
public:
    static const QString kPlaceholder; // "Не определено"

    explicit TFormTaraEditor(QWidget *Parent = nullptr);
    ~TFormTaraEditor() override;

    // Shows the dialog and returns the chosen path, empty when cancelled.
    // Replaceable so that tests never block on a dialog.
    static std::function<QString(const TTaraFileDialog &)> FileDialogHook;
    // The table folder beside the program.
    static QString TableFolder();
    // Name unchanged when it ends with ".txt" (letter case counts), else Name + ".txt".
    static QString AddTxtExt(const QString &Name);

    QString FileName() const { return FFileName; }
    bool Modified() const { return FModified; }
    // Whether the table chosen in the list loaded from the current text.
    bool TableLoaded() const { return FTableLoaded; }
    const TTara &Tara() const { return FTara; }
    // The text field as lines, as they would be saved.
    QStringList MemoLines() const;
    QLabel *StatusPanel() const { return FStatusPanel; }

    // ---- controls (names of the window definition)
    QPlainTextEdit *mTaraFile = nullptr;
    QComboBox *cbTables = nullptr;
    QLabel *lblLevel = nullptr;
    QLabel *lblVolume = nullptr;
    TEditNum *enLevel = nullptr;
    TEditNum *enVolume = nullptr;
    QTableWidget *sgTaraValues = nullptr;
    QCustomPlot *ChartTara = nullptr;
    QCPGraph *Series1 = nullptr;
    QCPGraph *Series2 = nullptr;
    QToolBar *ToolBar = nullptr;

    QAction *actCreateTaraFile, *actCreateTypicalTaraFile, *actLoadTaraFile, *actCloseTaraFile;
    QAction *actSaveTaraFile, *actSaveAsTaraFile, *actExit, *actGraphPoints, *actGraphMarks;
    QAction *actSyncMemo, *actOnSelect, *actLoadFromKelm, *actSaveToKelm;
    QAction *actImportCertificate, *actExportCsv;

public slots:
    void actCreateTaraFileExecute();
    void actCreateTypicalTaraFileExecute();
    void actLoadTaraFileExecute();
    void actCloseTaraFileExecute();
    void actSaveTaraFileExecute();
    void actSaveAsTaraFileExecute();
    void actExitExecute();
    void actGraphPointsExecute();
    void actGraphMarksExecute();
    void actSyncMemoExecute();
    void actOnSelectExecute();
    void actLoadFromKelmExecute();
    void actSaveToKelmExecute();
    // A calibration certificate (CSV or text) reduced to a new table of the file.
    void actImportCertificateExecute();
    // The selected table as a CSV file.
    void actExportCsvExecute();

    // The user chose table Index in cbTables.
    void cbTablesSelect(int Index);
    // The text field was edited.
    void mTaraFileChange();
    // The level field changed: convert it.
    void enLevelChange();
    // The pointer moved over the chart (plot coordinates of the widget).
    void ChartTaraMouseMove(QMouseEvent *Event);

protected:
    void closeEvent(QCloseEvent *Event) override;
    void keyPressEvent(QKeyEvent *Event) override;

private:
    enum class TCreateKind { Empty, Typical };

    QAction *MakeAction(const char *Name, const QString &Caption, const QString &Hint);
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateControls();
    void CreateChart();
    // Turns each value mark to the side of its point where the text stays
    // inside the chart: left of the last points, below the top ones.
    void KeepMarksInside();

    void SetFileName(const QString &Name);
    void ClearEditor();
    void ResetGrid();
    void ClearLevelFields();
    void RebuildTableList();
    bool TableListChanged() const;
    bool SaveDeviceTableFile();
    // Replaces the text field without counting it as an edit.
    void SetMemoLines(const QStringList &Lines);
    // Loads a file into the text field; false when it cannot be read.
    bool LoadMemoFromFile(const QString &Path);
    void CreateFile(TCreateKind Kind);
    // "Сохранить файл <name> ?" with Yes / No / Cancel; the answer.
    int AskSave();
    // Asks to replace an existing file; true when it may be written.
    bool MayReplace(const QString &Name);
    // Filter empty: the table files.
    QString ChooseFile(const QString &Title, bool Save, bool MustExist, QString &LastName,
                       const QString &Filter = QString());
    void UpdateCaption();
    void AddEcho(const QString &Line);
    void RefreshMain();
    void ShowPoint(double Level, double Volume);

    QString FFileName;
    bool FModified = false;
    TTara FTara;
    bool FTableLoaded = false;
    bool FInternalChange = false; // the text field is being replaced by the program
    QString FOpenDialogName;
    QString FSaveDialogName;
    QString FImportDialogName;
    QString FExportDialogName;
    QLabel *FStatusPanel = nullptr;
};

// The editor while it is open, else nullptr.
extern TFormTaraEditor *FormTaraEditor;

// Opens the editor (one at a time) without blocking: 0, or -1 when the window
// could not be created ("Ошибка создания формы").
int ShowTaraEditor();

// Makes the main window's "Редактор тарировочной таблицы" open this editor.
void RegisterTaraEditor();
