// The table editor's file commands: create, open, close, save.
#include "fTaraEditor.h"
#include "fTaraEditorShared.h"

#include "uMakeFolder.h"
#include "uMessages.h"
#include "uSysUtils.h"
#include "uTextFile.h"

#include <QFileDialog>
#include <QFileInfo>

using namespace TaraEditorShared;

// ---- files

QString TFormTaraEditor::TableFolder() {
    return JoinPath(ProgramDir(), QStringLiteral("TarTabl"));
}

QString TFormTaraEditor::AddTxtExt(const QString &Name) {
    return Name.endsWith(QStringLiteral(".txt")) ? Name : Name + QStringLiteral(".txt");
}

int TFormTaraEditor::AskSave() {
    return ShowMessageBox(kAttention, QStringLiteral("Сохранить файл ") + FFileName + QStringLiteral(" ?"),
                          TMsgIcon::Warning, mbYes | mbNo | mbCancel, mbNo);
}

bool TFormTaraEditor::MayReplace(const QString &Name) {
    if (!QFileInfo::exists(Name))
        return true;
    return ShowMessageBox(kAttention, QStringLiteral("Заменить существующий файл ") + Name + QStringLiteral(" ?"),
                          TMsgIcon::Warning, mbYes | mbNo, mbYes) == mbYes;
}

QString TFormTaraEditor::ChooseFile(const QString &Title, bool Save, bool MustExist, QString &LastName,
                                    const QString &Filter) {
    MakeFolderOf(JoinPath(TableFolder(), QStringLiteral("*"))); // the dialog opens there
    TTaraFileDialog Request{Save, MustExist, Title, Filter.isEmpty() ? kFilter : Filter, TableFolder(), LastName};
    QString Chosen;
    if (FileDialogHook) {
        Chosen = FileDialogHook(Request);
    } else {
        QFileDialog Dialog(this, Title, Request.Folder, Request.Filter);
        Dialog.setAcceptMode(Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        Dialog.setFileMode(MustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        Dialog.setOption(QFileDialog::DontConfirmOverwrite); // the editor asks itself
        if (!LastName.isEmpty())
            Dialog.selectFile(LastName);
        if (Dialog.exec() == QDialog::Accepted && !Dialog.selectedFiles().isEmpty())
            Chosen = Dialog.selectedFiles().constFirst();
    }
    if (!Chosen.isEmpty())
        LastName = Chosen;
    return Chosen;
}

void TFormTaraEditor::CreateFile(TCreateKind Kind) {
    if (FModified) {
        const int Answer = AskSave();
        if (Answer == mbCancel)
            return;
        if (Answer == mbYes)
            actSaveTaraFileExecute();
    }
    const QString Title = Kind == TCreateKind::Typical ? QStringLiteral("Сохранить") : QStringLiteral("Создать");
    QString Name = ChooseFile(Title, false, false, FOpenDialogName);
    if (Name.isEmpty())
        return;
    Name = AddTxtExt(Name);
    FOpenDialogName = Name;
    // An existing file is replaced only once the new one is written whole.
    if (!MayReplace(Name))
        return;
    try {
        ClearEditor();
        if (Kind == TCreateKind::Typical) {
            WriteTextLines(Name, TypicalTableLines());
            if (!LoadMemoFromFile(Name))
                throw ETextFileError("cannot read back " + Name.toStdString());
        } else {
            WriteTextLines(Name, {});
        }
        SetFileName(Name);
        RebuildTableList();
    } catch (const std::exception &E) {
        qCWarning(lcTaraEditor) << E.what();
        ClearEditor();
        ShowError(QStringLiteral("Не удалось создать файл\r") + Name);
    }
}

void TFormTaraEditor::actCreateTaraFileExecute() {
    CreateFile(TCreateKind::Empty);
}

void TFormTaraEditor::actCreateTypicalTaraFileExecute() {
    CreateFile(TCreateKind::Typical);
}

void TFormTaraEditor::actLoadTaraFileExecute() {
    if (FModified) {
        const int Answer = AskSave();
        if (Answer == mbCancel)
            return;
        if (Answer == mbYes)
            actSaveTaraFileExecute();
    } else {
        ClearEditor();
    }
    const QString Name = ChooseFile(QStringLiteral("Открыть"), false, true, FOpenDialogName);
    if (Name.isEmpty())
        return;
    if (!LoadMemoFromFile(Name)) {
        ClearEditor();
        ShowError(QStringLiteral("Не удалось загрузить файл\r") + Name);
        return;
    }
    SetFileName(Name);
    RebuildTableList();
}

void TFormTaraEditor::actCloseTaraFileExecute() {
    if (FModified) {
        const int Answer = AskSave();
        if (Answer == mbCancel)
            return;
        if (Answer == mbYes)
            actSaveTaraFileExecute();
    }
    ClearEditor();
}

void TFormTaraEditor::actSaveTaraFileExecute() {
    if (FFileName.isEmpty())
        return;
    try {
        WriteTextLines(FFileName, MemoLines());
    } catch (const std::exception &E) {
        qCWarning(lcTaraEditor) << E.what();
        ShowError(QStringLiteral("Не удалось сохранить файл\r") + FFileName);
        return;
    }
    FModified = false;
    UpdateCaption();
}

void TFormTaraEditor::actSaveAsTaraFileExecute() {
    if (FFileName.isEmpty())
        return;
    // The name is taken as typed: no extension is added here.
    const QString Name = ChooseFile(QStringLiteral("Сохранить как"), true, false, FSaveDialogName);
    if (Name.isEmpty() || !MayReplace(Name))
        return;
    try {
        WriteTextLines(Name, MemoLines());
    } catch (const std::exception &E) {
        qCWarning(lcTaraEditor) << E.what();
        ShowError(QStringLiteral("Не удалось сохранить файл\r") + Name);
        return;
    }
    SetFileName(Name);
    RebuildTableList();
}

void TFormTaraEditor::actExitExecute() {
    close();
}
