// The table editor's transfers of the 32-point table to and from the device.
#include "fTaraEditor.h"
#include "fTaraEditorShared.h"

#include "fMain.h"
#include "fProgressBar.h"
#include "uFormat.h"
#include "uLanx1Commands.h"
#include "uLanx1Instance.h"
#include "uMakeFolder.h"
#include "uMessages.h"
#include "uSysUtils.h"
#include "uTableReduction.h"
#include "uTextFile.h"

#include <QLabel>

using namespace TaraEditorShared;

// ---- the table in the device

void TFormTaraEditor::AddEcho(const QString &Line) {
    if (FormMain)
        FormMain->AddEchoLine(Line);
}

void TFormTaraEditor::RefreshMain() {
    if (FormMain)
        FormMain->RefreshAll();
}

namespace {
// The progress window and the echo lines of a table transfer.
TTableProgress TransferProgress(const std::function<void(const QString &)> &Echo) {
    return [Echo](const QString &Phase, const QString &EchoLine, int Block) {
        if (Block == 0) {
            CloseProgress();
            return;
        }
        ShowProgress(Phase, Block, 2);
        Echo(EchoLine);
    };
}
} // namespace

bool TFormTaraEditor::SaveDeviceTableFile() {
    const QString Path = JoinPath(TableFolder(), kDeviceTableFile);
    const QStringList Lines = DeviceTableLines(Lanx1->Table());
    try {
        if (!MakeFolderOf(Path)) // told once, with the reason
            throw ETextFileError("no folder for " + Path.toStdString());
        WriteTextLines(Path, Lines);
    } catch (const std::exception &E) {
        qCWarning(lcTaraEditor) << E.what();
        // An older file of that name must not pass for what was just read.
        ClearEditor();
        ShowError(QStringLiteral("Не удалось создать файл\r") + Path);
        return false;
    }
    if (!LoadMemoFromFile(Path))
        SetMemoLines(Lines); // the same lines that were written
    SetFileName(Path);
    RebuildTableList();
    return true;
}

void TFormTaraEditor::actLoadFromKelmExecute() {
    if (!FFileName.isEmpty() || !Lanx1)
        return;
    AddEcho(ReadDeviceTableHint());
    const TTableTransferResult Result =
        ReadDeviceTable(*Lanx1, TransferProgress([this](const QString &L) { AddEcho(L); }));
    RefreshMain();
    if (!SaveDeviceTableFile())
        return;
    mTaraFileChange(); // what was read is not saved by the user yet
    // The empty slots of a shorter table are written "NAN", so the table does
    // not load and the grid stays empty: say how many points the device has.
    // A read that failed has told the user already, and its count would not
    // be the device's.
    if (Result.Ok()) {
        const int Count = DeviceTablePointCount(Lanx1->Table());
        if (Count < TLanx1::TablePoints)
            FStatusPanel->setText(QStringLiteral("В приборе %1 точек").arg(Count));
    }
}

void TFormTaraEditor::actSaveToKelmExecute() {
    if (FFileName.isEmpty() || !Lanx1)
        return;
    // The device holds TablePoints points: a longer table goes as its best
    // subset of that many, once the user has seen the error it leaves.
    TTara Sent = FTara;
    if (FTableLoaded && static_cast<int>(FTara.Table.size()) > TLanx1::TablePoints) {
        const TTableReduction Reduction = ReduceTable(FTara.Table, TLanx1::TablePoints);
        if (!Reduction.Ok()) {
            ShowError(Reduction.Error + QStringLiteral("\rЗапись в прибор не выполнена"));
            return;
        }
        const QString Question =
            QStringLiteral("Таблица содержит %1 точек, в прибор записывается не более %2.\r"
                           "Записать наилучшие %2 точки?\rНаибольшая погрешность: %3 % объема")
                .arg(FTara.Table.size())
                .arg(TLanx1::TablePoints)
                .arg(FloatToStrF(Reduction.MaxError, TFloatFormat::ffFixed, 15, 3, DefaultFormatSettings()));
        if (ShowMessageBox(kAttention, Question, TMsgIcon::Warning, mbYes | mbNo, mbYes) != mbYes)
            return;
        Sent.Table = ReducedTable(FTara.Table, Reduction.Rows);
    }
    AddEcho(WriteDeviceTableHint());
    const TTableTransferResult Result =
        WriteDeviceTable(*Lanx1, Sent, FTableLoaded, TransferProgress([this](const QString &L) { AddEcho(L); }));
    if (Result.Refused) {
        // Its points would be zeros or a fragment and replace the device's table.
        ShowMessageBox(kAttention,
                       QStringLiteral("Таблица не выбрана или содержит ошибки.\rЗапись в прибор не выполнена"),
                       TMsgIcon::Warning, mbOK, mbOK);
        return;
    }
    RefreshMain();
}
