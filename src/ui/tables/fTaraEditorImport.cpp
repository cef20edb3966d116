// The table editor's exchange with spreadsheets: a calibration certificate
// imported as a new table, a table exported as CSV.
#include "fTaraEditor.h"
#include "fTaraEditorShared.h"

#include "fCertificateImport.h"
#include "fInputText.h"
#include "Tara.h"
#include "uMessages.h"
#include "uTableFile.h"

#include <QComboBox>
#include <QFileInfo>

using namespace TaraEditorShared;

namespace {
const QString kCertificateFilter = QStringLiteral("Градуировочные таблицы (*.csv *.txt *.tsv);;Все файлы (*)");
const QString kCsvFilter = QStringLiteral("Файлы CSV (*.csv)");
} // namespace

void TFormTaraEditor::actImportCertificateExecute() {
    if (FFileName.isEmpty())
        return;
    const QString Path =
        ChooseFile(QStringLiteral("Импорт градуировочной таблицы"), false, true, FImportDialogName, kCertificateFilter);
    if (Path.isEmpty())
        return;
    TTaraTable Points;
    QString DefaultName;
    {
        TFormCertificateImport Dialog(Path, this);
        if (Dialog.exec() != QDialog::Accepted || Dialog.Points().empty())
            return;
        Points = Dialog.Points();
        DefaultName = Dialog.DefaultName();
    }
    // A name the text already has replaces that table only when the user says so.
    QString Name = DefaultName;
    for (;;) {
        bool Ok = false;
        Name = InputText(QStringLiteral("Импорт градуировочной таблицы"), QStringLiteral("Имя таблицы:"), Name,
                         [](const QString &Text) { return TableNameProblem(Text); }, &Ok, this);
        if (!Ok)
            return;
        if (FindTableHeader(MemoLines(), Name) < 0)
            break;
        const int Answer = ShowMessageBox(kAttention,
                                          QStringLiteral("Таблица ") + Name +
                                              QStringLiteral(" уже есть в файле. Заменить её?"),
                                          TMsgIcon::Warning, mbYes | mbNo | mbCancel, mbNo);
        if (Answer == mbYes)
            break;
        if (Answer == mbCancel)
            return;
    }
    // The text changes as one edit: marked modified, the list rebuilt once.
    SetMemoLines(PutTable(MemoLines(), Name, Points));
    if (!FModified) {
        FModified = true;
        UpdateCaption();
    }
    RebuildTableList();
    const int Index = cbTables->findText(Name, Qt::MatchFixedString);
    if (Index > 0) {
        cbTables->setCurrentIndex(Index);
        cbTablesSelect(Index);
    }
}

void TFormTaraEditor::actExportCsvExecute() {
    if (FFileName.isEmpty())
        return;
    if (!FTableLoaded || FTara.Table.empty()) {
        ShowError(QStringLiteral("Таблица не выбрана или содержит ошибки"));
        return;
    }
    if (FExportDialogName.isEmpty())
        FExportDialogName = FTara.TableName + QStringLiteral(".csv");
    const QString Path = ChooseFile(QStringLiteral("Экспорт в CSV"), true, false, FExportDialogName, kCsvFilter);
    if (Path.isEmpty() || !MayReplace(Path))
        return;
    const QString Problem = WriteTableCsv(Path, FTara.Table);
    if (!Problem.isEmpty())
        ShowError(QStringLiteral("Не удалось записать файл\r") + Path + u'\r' + Problem);
}
