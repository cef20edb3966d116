// The graph window's "Экспорт в CSV…": the dialog and the progress; the file
// itself is written by uArchiveCsv.
#include "fGraph.h"

#include "fProgressBar.h"
#include "uArchiveCsv.h"
#include "uFormat.h"
#include "uGraphAxes.h"
#include "uGraphData.h"
#include "uMessages.h"
#include "uSysUtils.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>
#include <qcustomplot.h>

std::function<TGraphCsvRequest(QWidget *Parent, const QString &Folder)> TFormGraph::CsvDialogHook;

namespace {

TGraphCsvRequest AskCsvExport(QWidget *Parent, const QString &Folder) {
    QDialog Dialog(Parent);
    Dialog.setWindowTitle(QStringLiteral("Экспорт в CSV"));
    auto *Visible = new QRadioButton(QStringLiteral("Видимый интервал времени"), &Dialog);
    auto *Whole = new QRadioButton(QStringLiteral("Весь загруженный диапазон"), &Dialog);
    Visible->setChecked(true);
    auto *Path = new QLineEdit(QDir(Folder).filePath(QStringLiteral("график.csv")), &Dialog);
    Path->setMinimumWidth(360);
    auto *Browse = new QPushButton(QStringLiteral("Обзор…"), &Dialog);
    QObject::connect(Browse, &QPushButton::clicked, &Dialog, [&] {
        const QString Chosen = QFileDialog::getSaveFileName(&Dialog, QStringLiteral("Экспорт в CSV"), Path->text(),
                                                            QStringLiteral("Файлы CSV (*.csv);;Все файлы (*)"));
        if (!Chosen.isEmpty())
            Path->setText(Chosen);
    });
    auto *Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &Dialog);
    Buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Записать"));
    Buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    QObject::connect(Buttons, &QDialogButtonBox::accepted, &Dialog, &QDialog::accept);
    QObject::connect(Buttons, &QDialogButtonBox::rejected, &Dialog, &QDialog::reject);
    auto *FileRow = new QHBoxLayout;
    FileRow->addWidget(Path, 1);
    FileRow->addWidget(Browse);
    auto *Layout = new QVBoxLayout(&Dialog);
    Layout->addWidget(Visible);
    Layout->addWidget(Whole);
    Layout->addLayout(FileRow);
    Layout->addWidget(Buttons);
    if (Dialog.exec() != QDialog::Accepted)
        return {};
    return {Path->text().trimmed(), Whole->isChecked()};
}

} // namespace

void TFormGraph::ExportCsv() {
    if (FLoading)
        return;
    if (FData->isEmpty()) {
        ShowMessageBox(QStringLiteral("Внимание"), QStringLiteral("Отсутствуют данные"), TMsgIcon::Warning);
        return;
    }
    const QString Folder = QDir::homePath();
    const TGraphCsvRequest Request = CsvDialogHook ? CsvDialogHook(this, Folder) : AskCsvExport(this, Folder);
    if (Request.Path.isEmpty())
        return;
    ExportCsvTo(Request.Path, Request.WholeRange);
}

bool TFormGraph::ExportCsvTo(const QString &Path, bool WholeRange) {
    // The points stay where the chart holds them; loading is kept out meanwhile.
    const QScopedValueRollback Guard(FLoading, true);
    const QSharedPointer<TGraphData> Data = FData;
    auto Begin = Data->constBegin();
    auto End = Data->constEnd();
    if (!WholeRange) {
        const QCPRange Visible = FChart->xAxis->range();
        Begin = Data->findBegin(Visible.lower, false);
        End = Data->findEnd(Visible.upper, false);
    }
    // By index: live points arriving while the progress window lets input
    // through are appended and may move the points, never renumber them.
    const int First = static_cast<int>(Begin - Data->constBegin());
    TCsvRows Rows;
    Rows.Count = static_cast<std::size_t>(std::max<qsizetype>(0, End - Begin));
    Rows.Row = [Data, First](std::size_t i) {
        const QCPGraphData &P = *Data->at(First + static_cast<int>(i));
        return std::pair{DateTimeFromKey(P.key), P.value};
    };
    const TDescriptionOfDouble &D = Description();
    const QString Title = D.Dimension.isEmpty() ? D.Title : D.Title + QStringLiteral(", ") + D.Dimension;
    const TCsvFormat Format = SpreadsheetCsvFormat(DefaultFormatSettings().DecimalSeparator, Title);
    QString Error;
    const TCsvResult R = WriteCsvFile(Path, Format, Rows, [this](std::size_t Done, std::size_t Total) {
        if (Total >= 100000)
            ShowProgress(QStringLiteral("Экспорт в CSV"), static_cast<int>(Done * 100 / Total), 100);
        return !FClosed;
    }, &Error);
    CloseProgress();
    if (R == TCsvResult::Failed)
        ShowMessageBox(QStringLiteral("Ошибка"), QStringLiteral("Не удалось записать файл ") + Path + u'\n' + Error,
                       TMsgIcon::Error);
    return R == TCsvResult::Written;
}
