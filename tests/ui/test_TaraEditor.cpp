// The calibration-table editor against the polling engine and the simulated
// transducer: table files, the table list, grid, chart and conversion, the
// transfer of the table to and from the device, and damaged table files.
#include "EditNum.h"
#include "EngineRig.h"
#include "TaraEditorFixture.h"
#include "FileSizeLimit.h"
#include "Lanx1.h"
#include "RecordingMessages.h"
#include "UiTestSupport.h"
#include "TLanx1DeviceModel.h"
#include "fMain.h"
#include "fProgressBar.h"
#include "fTaraEditor.h"
#include "uLanx1Instance.h"
#include "uTextFile.h"
#include "uWin1251.h"
#include "uWindows.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <qcustomplot.h>

void PrintTo(const QString &Text, std::ostream *Out) {
    *Out << '"' << Text.toStdString() << '"';
}

namespace {

using TModel = TLanx1DeviceModel;

const QString kTitle = QStringLiteral("Редактор тарировочной таблицы");
const QChar kNbsp(0x00A0);


// A table "T" of Count points: level i*10, volume i*2,5.
QStringList TableLines(const QString &Name, int Count) {
    QStringList Lines{QStringLiteral("* test"), Name + u'=' + QString::number(Count)};
    for (int i = 1; i <= Count; ++i)
        Lines << QString::number(i * 10) + u' ' + QString::number(i * 2.5).replace(u'.', u',');
    return Lines;
}


// Records, with each message, the caption of the progress window open meanwhile.
class TProgressAwareMessages : public TRecordingMessages {
public:
    TMsgButton Show(const QString &Caption, const QString &Text, TMsgIcon Icon, int Buttons,
                    TMsgButton Default) override {
        Progress << (ProgressWindow() ? ProgressWindow()->windowTitle() : QString());
        return TRecordingMessages::Show(Caption, Text, Icon, Buttons, Default);
    }
    QStringList Progress;
};

class TaraEditor : public TTaraEditorFixture {
protected:
    QStringList Items() const {
        QStringList L;
        for (int i = 0; i < Form->cbTables->count(); ++i)
            L << Form->cbTables->itemText(i);
        return L;
    }
    QString Cell(int Row, int Column) const {
        const QTableWidgetItem *Item = Form->sgTaraValues->item(Row, Column);
        return Item ? Item->text() : QString();
    }
    int PointRows() const {
        int n = 0;
        while (n < Form->sgTaraValues->rowCount() && !Cell(n, 0).isEmpty())
            ++n;
        return n;
    }
    void Select(int Index) {
        Form->cbTables->setCurrentIndex(Index);
        Form->cbTablesSelect(Index);
    }
    // Types text at the end of the text field, one key at a time.
    void TypeAtEnd(const QString &Text) {
        QTextCursor Cursor = Form->mTaraFile->textCursor();
        Cursor.movePosition(QTextCursor::End);
        Form->mTaraFile->setTextCursor(Cursor);
        Form->mTaraFile->setFocus();
        for (QChar C : Text) {
            const int Key = C == u'\n' ? int(Qt::Key_Return) : C == u'\t' ? int(Qt::Key_Tab) : int(C.unicode());
            QKeyEvent Press(QEvent::KeyPress, Key, Qt::NoModifier, C == u'\n' ? QString() : QString(C));
            QApplication::sendEvent(Form->mTaraFile, &Press);
        }
    }
    void TypeLevel(const QString &Text) {
        Form->enLevel->clear();
        for (QChar C : Text) {
            QKeyEvent Press(QEvent::KeyPress, C.unicode(), Qt::NoModifier, QString(C));
            QApplication::sendEvent(Form->enLevel, &Press);
        }
    }
    QList<TRecordingMessages::TMessage> MessagesWith(const QString &Caption) const {
        QList<TRecordingMessages::TMessage> L;
        for (const auto &M : Messages.Messages())
            if (M.Caption == Caption)
                L << M;
        return L;
    }
    // The echo without the frames, newest first.
    QStringList EchoBodies() const {
        QStringList L;
        for (const QString &Line : Main->EchoLines()) {
            const QString B = EchoBody(Line);
            if (!B.startsWith(QStringLiteral(" -> ")) && !B.startsWith(QStringLiteral(" <- ")))
                L << B;
        }
        return L;
    }

    TProgressAwareMessages Messages;
};

} // namespace

TEST_F(TaraEditor, StartsWithoutFileOfferingOnlyCreationAndReading) {
    EXPECT_EQ(Form->windowTitle(), kTitle);
    EXPECT_EQ(Items(), QStringList{QStringLiteral("Не определено")});
    EXPECT_FALSE(Form->mTaraFile->isEnabled());
    EXPECT_FALSE(Form->cbTables->isEnabled());
    EXPECT_FALSE(Form->enLevel->isEnabled());
    EXPECT_FALSE(Form->enVolume->isEnabled());
    EXPECT_TRUE(Form->actLoadFromKelm->isEnabled());
    for (QAction *A : {Form->actSaveToKelm, Form->actCloseTaraFile, Form->actSaveTaraFile, Form->actSaveAsTaraFile})
        EXPECT_FALSE(A->isEnabled()) << A->objectName().toStdString();
    EXPECT_EQ(Form->sgTaraValues->horizontalHeaderItem(1)->text(), QStringLiteral("Уровень, %"));
    EXPECT_EQ(Form->sgTaraValues->horizontalHeaderItem(2)->text(), QStringLiteral("Объем, %"));
    EXPECT_EQ(Form->lblLevel->text(), QStringLiteral("Уровень, %"));
    EXPECT_EQ(Form->ChartTara->xAxis->label(), QStringLiteral("Уровень"));
    EXPECT_EQ(Form->ChartTara->yAxis->label(), QStringLiteral("Объем"));
    EXPECT_TRUE(Form->actGraphPoints->isChecked());
    EXPECT_FALSE(Form->actGraphMarks->isChecked());
    EXPECT_EQ(Form->actCreateTaraFile->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(Form->actSaveTaraFile->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
}

TEST_F(TaraEditor, TypicalTableIsWrittenListedAndConverts) {
    Chosen << TarTabl(QStringLiteral("typical"));
    Form->actCreateTypicalTaraFile->trigger();

    const QString Path = TarTabl(QStringLiteral("typical.txt"));
    ASSERT_EQ(Dialogs.size(), 1);
    EXPECT_EQ(Dialogs[0].Title, QStringLiteral("Сохранить"));
    EXPECT_EQ(Dialogs[0].FileName, QStringLiteral("ttDefault.txt"));
    EXPECT_EQ(QDir(Dialogs[0].Folder), QDir(Rig->Folder().File(QStringLiteral("TarTabl"))));
    EXPECT_EQ(ReadTextLines(Path), TypicalTableLines());
    EXPECT_EQ(Form->MemoLines(), TypicalTableLines());
    EXPECT_EQ(Form->windowTitle(), kTitle + QStringLiteral(" - ") + Path);
    EXPECT_FALSE(Form->Modified());
    EXPECT_FALSE(Form->actLoadFromKelm->isEnabled());
    EXPECT_TRUE(Form->actSaveToKelm->isEnabled());

    EXPECT_EQ(Items(), (QStringList{QStringLiteral("Не определено"), QStringLiteral("ttDefault1"),
                                    QStringLiteral("ttDefault2")}));
    EXPECT_EQ(Form->cbTables->currentText(), QStringLiteral("ttDefault1"));
    EXPECT_EQ(PointRows(), 2);
    EXPECT_EQ(Cell(1, 0), QStringLiteral("2"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("10") + kNbsp + QStringLiteral("000,0"));
    EXPECT_EQ(Cell(1, 2), QStringLiteral("100,0"));
    EXPECT_EQ(Form->Series1->dataCount(), 2);
    EXPECT_TRUE(Form->enLevel->isEnabled());

    TypeLevel(QStringLiteral("5000"));
    EXPECT_EQ(Form->enVolume->text(), QStringLiteral("50,00"));
    ASSERT_EQ(Form->Series2->dataCount(), 1);
    EXPECT_DOUBLE_EQ(Form->Series2->data()->begin()->key, 5000);
    EXPECT_DOUBLE_EQ(Form->Series2->data()->begin()->value, 50);
    TypeLevel(QStringLiteral("-100"));
    EXPECT_EQ(Form->enVolume->text(), QStringLiteral("-1,00")); // extrapolated, not clamped

    // The second table: its 32 points, the chart in level order, the header in view.
    Select(2);
    EXPECT_EQ(PointRows(), 32);
    EXPECT_EQ(Cell(4, 1), QStringLiteral("12,6"));
    EXPECT_EQ(Cell(4, 2), QStringLiteral("7,3"));
    EXPECT_EQ(Form->Series1->dataCount(), 32);
    EXPECT_EQ(Form->mTaraFile->textCursor().blockNumber(), 14);
    EXPECT_EQ(Form->mTaraFile->textCursor().positionInBlock(), 0);
    EXPECT_FALSE(Form->mTaraFile->textCursor().hasSelection());
}

TEST_F(TaraEditor, ChartShowsPointsInLevelOrderMarksAndValuesUnderThePointer) {
    OpenLines(QStringLiteral("unsorted.txt"),
              {QStringLiteral("U=3"), QStringLiteral("50 5"), QStringLiteral("10 1"), QStringLiteral("100 10")});
    ASSERT_EQ(Form->Series1->dataCount(), 3);
    EXPECT_EQ(Cell(0, 1), QStringLiteral("50,0")); // the grid keeps the file's order
    QList<double> Keys;
    for (auto It = Form->Series1->data()->constBegin(); It != Form->Series1->data()->constEnd(); ++It)
        Keys << It->key;
    EXPECT_EQ(Keys, (QList<double>{10, 50, 100}));

    EXPECT_EQ(Form->ChartTara->itemCount(), 0);
    Form->actGraphMarks->trigger();
    EXPECT_EQ(Form->ChartTara->itemCount(), 3);
    Form->actGraphMarks->trigger();
    EXPECT_EQ(Form->ChartTara->itemCount(), 0);
    Form->actGraphPoints->trigger();
    EXPECT_EQ(Form->Series1->scatterStyle().shape(), QCPScatterStyle::ssNone);
    Form->actGraphPoints->trigger();
    EXPECT_EQ(Form->Series1->scatterStyle().shape(), QCPScatterStyle::ssSquare);

    Form->resize(1024, 740);
    Form->ChartTara->replot();
    const QRect Plot = Form->ChartTara->axisRect()->rect();
    ASSERT_FALSE(Plot.isEmpty());
    Form->ChartTara->xAxis->setRange(0, 100);
    const QPointF Inside(Form->ChartTara->xAxis->coordToPixel(30), Plot.center().y());
    QMouseEvent Move(QEvent::MouseMove, Inside, Form->ChartTara->mapToGlobal(Inside), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(Form->ChartTara, &Move);
    EXPECT_EQ(Form->StatusPanel()->text(), QStringLiteral("Уровень, %30,0 Объем, %3,0"));
    const QPointF Outside(Plot.left() - 5, Plot.top() - 5);
    QMouseEvent Away(QEvent::MouseMove, Outside, Form->ChartTara->mapToGlobal(Outside), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(Form->ChartTara, &Away);
    EXPECT_EQ(Form->StatusPanel()->text(), QString());
}

TEST_F(TaraEditor, EditingReparsesListAndSelectedTable) {
    OpenLines(QStringLiteral("edit.txt"), TableLines(QStringLiteral("A"), 2) + TableLines(QStringLiteral("B"), 3));
    Select(2);
    ASSERT_EQ(Form->cbTables->currentText(), QStringLiteral("B"));
    EXPECT_FALSE(Form->Modified());

    // Editing a point of the selected table keeps the selection and re-parses it.
    QTextCursor Cursor(Form->mTaraFile->document()->findBlockByNumber(8)); // "30 7,5", the third point of B
    Cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    Cursor.insertText(QStringLiteral("31 99,5"));
    EXPECT_EQ(Form->cbTables->currentText(), QStringLiteral("B"));
    EXPECT_EQ(Cell(2, 1), QStringLiteral("31,0"));
    EXPECT_EQ(Cell(2, 2), QStringLiteral("99,5"));
    EXPECT_TRUE(Form->Modified());
    EXPECT_TRUE(Form->windowTitle().endsWith(QStringLiteral(".txt *")));

    // A new header line joins the list, and the first table is selected again.
    TypeAtEnd(QStringLiteral("t=1\n5\t 7"));
    EXPECT_EQ(Items(), (QStringList{QStringLiteral("Не определено"), QStringLiteral("A"), QStringLiteral("B"),
                                    QStringLiteral("t")}));
    EXPECT_EQ(Form->cbTables->currentText(), QStringLiteral("A"));
    EXPECT_EQ(Form->MemoLines().constLast(), QStringLiteral("5\t 7")); // TAB typed into the text
    Select(3);
    EXPECT_EQ(PointRows(), 1);
    EXPECT_EQ(Cell(0, 2), QStringLiteral("7,0"));
    EXPECT_EQ(Form->windowTitle().count(QStringLiteral(" *")), 1);

    // A table whose count exceeds its lines: no grid, no chart, no conversion.
    TypeAtEnd(QStringLiteral("\nshort=3\n1 1\n2 2"));
    Select(4);
    ASSERT_EQ(Form->cbTables->currentText(), QStringLiteral("short"));
    EXPECT_FALSE(Form->TableLoaded());
    EXPECT_EQ(PointRows(), 0);
    EXPECT_EQ(Form->Series1->dataCount(), 0);
    EXPECT_FALSE(Form->enLevel->isEnabled());

    // Without any header left, nothing of the old table stays on screen.
    Select(1);
    ASSERT_EQ(PointRows(), 2);
    Form->mTaraFile->setPlainText(QStringLiteral("no tables here\n"));
    EXPECT_EQ(Items(), QStringList{QStringLiteral("Не определено")});
    EXPECT_EQ(PointRows(), 0);
    EXPECT_EQ(Form->Series1->dataCount(), 0);
    EXPECT_FALSE(Form->enLevel->isEnabled());
}

TEST_F(TaraEditor, FailedSaveReportsThePathKeepsTheMarkAndTheFile) {
    OpenLines(QStringLiteral("ro.txt"), TableLines(QStringLiteral("T"), 2));
    const QString Path = TarTabl(QStringLiteral("ro.txt"));
    const QByteArray Before = ReadAll(Path);
    TypeAtEnd(QStringLiteral("x"));
    ASSERT_TRUE(Form->Modified());

    // Read-only on disk; the tests run as root, for whom that is no obstacle,
    // so the process may not write files beyond 8 bytes either.
    QFile::setPermissions(Path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    {
        TFileSizeLimit Limit(8);
        Form->actSaveTaraFile->trigger();
    }
    QFile::setPermissions(Path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const auto Errors = MessagesWith(QStringLiteral("Ошибка"));
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_EQ(Errors[0].Text, QStringLiteral("Не удалось сохранить файл\r") + Path);
    EXPECT_EQ(Errors[0].Icon, TMsgIcon::Error);
    EXPECT_TRUE(Form->windowTitle().endsWith(QStringLiteral(" *")));
    EXPECT_TRUE(Form->Modified());
    EXPECT_EQ(ReadAll(Path), Before);
    EXPECT_EQ(QDir(TarTabl(QString())).entryList(QDir::Files), QStringList{QStringLiteral("ro.txt")});

    // Once the file can be written the same command saves the edit.
    Form->actSaveTaraFile->trigger();
    EXPECT_EQ(Form->windowTitle(), kTitle + QStringLiteral(" - ") + Path);
    EXPECT_EQ(ReadTextLines(Path).constLast(), QStringLiteral("x"));
}

TEST_F(TaraEditor, FileCommandsAskBeforeLosingEditsAndReplacingFiles) {
    OpenLines(QStringLiteral("a.txt"), TableLines(QStringLiteral("A"), 2));
    TypeAtEnd(QStringLiteral("q"));

    // Closing a modified file: Cancel keeps it, Yes saves and closes.
    Messages.Answer(mbCancel);
    Form->actCloseTaraFile->trigger();
    EXPECT_EQ(Form->FileName(), TarTabl(QStringLiteral("a.txt")));
    ASSERT_EQ(MessagesWith(QStringLiteral("Внимание")).size(), 1);
    EXPECT_EQ(Messages.Messages()[0].Text, QStringLiteral("Сохранить файл ") + TarTabl(QStringLiteral("a.txt")) +
                                               QStringLiteral(" ?"));
    EXPECT_EQ(Messages.Messages()[0].Buttons, mbYes | mbNo | mbCancel);
    Messages.Answer(mbYes);
    Form->actCloseTaraFile->trigger();
    EXPECT_TRUE(Form->FileName().isEmpty());
    EXPECT_EQ(Form->windowTitle(), kTitle);
    EXPECT_EQ(ReadTextLines(TarTabl(QStringLiteral("a.txt"))).constLast(), QStringLiteral("q"));
    EXPECT_TRUE(Form->MemoLines().isEmpty());

    // "Создать" adds ".txt"; an existing file is replaced only on Yes.
    Messages.Clear();
    Chosen << TarTabl(QStringLiteral("a"));
    Messages.Answer(mbNo);
    Form->actCreateTaraFile->trigger();
    EXPECT_TRUE(Form->FileName().isEmpty());
    EXPECT_EQ(Messages.Messages().constLast().Text,
              QStringLiteral("Заменить существующий файл ") + TarTabl(QStringLiteral("a.txt")) + QStringLiteral(" ?"));
    EXPECT_EQ(Messages.Messages().constLast().Default, mbYes);
    Chosen << TarTabl(QStringLiteral("a"));
    Form->actCreateTaraFile->trigger(); // default answer: Yes
    EXPECT_EQ(Form->FileName(), TarTabl(QStringLiteral("a.txt")));
    EXPECT_EQ(ReadAll(TarTabl(QStringLiteral("a.txt"))), QByteArray());
    EXPECT_EQ(Dialogs.constLast().Title, QStringLiteral("Создать"));

    // "Сохранить как..." keeps the name as typed.
    TypeAtEnd(QStringLiteral("Z=0"));
    Chosen << TarTabl(QStringLiteral("plain"));
    Form->actSaveAsTaraFile->trigger();
    EXPECT_TRUE(Dialogs.constLast().Save);
    EXPECT_EQ(Form->FileName(), TarTabl(QStringLiteral("plain")));
    EXPECT_EQ(ReadAll(TarTabl(QStringLiteral("plain"))), QByteArray("Z=0\r\n"));
    EXPECT_FALSE(Form->Modified());

    // A file that cannot be read leaves the editor without a file.
    Messages.Clear();
    Open(TarTabl(QStringLiteral("missing.txt")));
    EXPECT_TRUE(Form->FileName().isEmpty());
    ASSERT_EQ(Messages.Messages().size(), 1);
    EXPECT_EQ(Messages.Messages()[0].Text,
              QStringLiteral("Не удалось загрузить файл\r") + TarTabl(QStringLiteral("missing.txt")));

    // A file that cannot be created: the folder named is a file.
    Messages.Clear();
    Chosen << TarTabl(QStringLiteral("plain/new"));
    Form->actCreateTaraFile->trigger();
    EXPECT_TRUE(Form->FileName().isEmpty());
    ASSERT_EQ(Messages.Messages().size(), 1);
    EXPECT_EQ(Messages.Messages()[0].Text,
              QStringLiteral("Не удалось создать файл\r") + TarTabl(QStringLiteral("plain/new.txt")));

    // Closing the window with an edit asks; Cancel keeps it open.
    OpenLines(QStringLiteral("b.txt"), TableLines(QStringLiteral("B"), 2));
    TypeAtEnd(QStringLiteral("w"));
    Messages.Answer(mbCancel);
    EXPECT_FALSE(Form->close());
    EXPECT_TRUE(Form->isVisible());
}

TEST_F(TaraEditor, ReadingFromTheDeviceWritesTheFileAndShowsItModified) {
    Main = std::make_unique<TFormMain>();
    Form->actLoadFromKelm->trigger();

    const QString Path = TarTabl(QStringLiteral("ttFromLanx1.txt"));
    const QStringList Lines = ReadTextLines(Path);
    ASSERT_EQ(Lines.size(), 39);
    EXPECT_EQ(Lines.mid(0, 6), (QStringList{QStringLiteral("*******************************"),
                                            QStringLiteral("* Формат таблицы               "),
                                            QStringLiteral("* <Название>=<Количество точек>"),
                                            QStringLiteral("* Уровень -> Объем             "),
                                            QStringLiteral("*******************************"),
                                            QStringLiteral("ttFromLanx1=32")}));
    EXPECT_EQ(Lines[6], QStringLiteral("0 0"));
    EXPECT_EQ(Lines[7], QStringLiteral("3,20000005 1"));
    EXPECT_EQ(Lines[37], QStringLiteral("100 100"));
    EXPECT_EQ(Lines[38], QString());
    for (int i = 1; i <= 32; ++i) {
        EXPECT_FLOAT_EQ(Lanx1->TablePoint(i).Level, Rig->Sim().FloatAt(TModel::rgTableLevels + 2 * (i - 1)));
        EXPECT_FLOAT_EQ(Lanx1->TablePoint(i).Volume, Rig->Sim().FloatAt(TModel::rgTableVolumes + 2 * (i - 1)));
    }

    EXPECT_EQ(Form->FileName(), Path);
    EXPECT_TRUE(Form->Modified());
    EXPECT_EQ(Form->windowTitle(), kTitle + QStringLiteral(" - ") + Path + QStringLiteral(" *"));
    EXPECT_EQ(Items(), (QStringList{QStringLiteral("Не определено"), QStringLiteral("ttFromLanx1")}));
    EXPECT_EQ(PointRows(), 32);
    EXPECT_FALSE(Form->actLoadFromKelm->isEnabled());
    EXPECT_TRUE(Form->actSaveToKelm->isEnabled());
    EXPECT_TRUE(Messages.Messages().isEmpty());

    const QStringList Echo = EchoBodies(); // newest first
    EXPECT_EQ(Echo.mid(0, 5), (QStringList{QStringLiteral("Чтение значений объема: 2 блок"),
                                           QStringLiteral("Чтение значений объема: 1 блок"),
                                           QStringLiteral("Чтение значений уровня: 2 блок"),
                                           QStringLiteral("Чтение значений уровня: 1 блок"),
                                           QStringLiteral("Считать тарировочную таблицу из прибора")}));
}

TEST_F(TaraEditor, ReadingIntoAMissingFolderMakesIt) {
    QDir(TarTabl(QString())).removeRecursively();
    Form->actLoadFromKelm->trigger();
    EXPECT_EQ(Form->FileName(), TarTabl(QStringLiteral("ttFromLanx1.txt")));
    EXPECT_EQ(ReadTextLines(Form->FileName()).size(), 39);
    EXPECT_TRUE(Messages.Messages().isEmpty());
}

TEST_F(TaraEditor, ReadingIntoAFolderThatCannotBeMadeLeavesNoFileOpen) {
    // An older file must not pass for the one just read: the folder is a file.
    const QString Folder = Rig->Folder().File(QStringLiteral("TarTabl"));
    QDir(Folder).removeRecursively();
    WriteAll(Folder, "a file");
    Form->actLoadFromKelm->trigger();
    EXPECT_TRUE(Form->FileName().isEmpty());
    EXPECT_FALSE(Form->Modified());
    const auto Errors = MessagesWith(QStringLiteral("Ошибка"));
    ASSERT_EQ(Errors.size(), 2);
    EXPECT_EQ(Errors[0].Text, QStringLiteral("Не удалось создать папку\r") + Folder +
                                  QStringLiteral("\rна этом месте файл, а не папка"));
    EXPECT_EQ(Errors[1].Text, QStringLiteral("Не удалось создать файл\r") + TarTabl(QStringLiteral("ttFromLanx1.txt")));
}

TEST_F(TaraEditor, WritingSendsTheTableWithNotANumberBeyondIt) {
    Main = std::make_unique<TFormMain>();
    OpenLines(QStringLiteral("ten.txt"), TableLines(QStringLiteral("T"), 10));
    ASSERT_TRUE(Form->TableLoaded());
    Form->actSaveToKelm->trigger();

    for (int i = 0; i < 32; ++i) {
        const float L = Rig->Sim().FloatAt(TModel::rgTableLevels + 2 * i);
        const float V = Rig->Sim().FloatAt(TModel::rgTableVolumes + 2 * i);
        if (i < 10) {
            EXPECT_FLOAT_EQ(L, (i + 1) * 10.0f) << i;
            EXPECT_FLOAT_EQ(V, (i + 1) * 2.5f) << i;
        } else {
            EXPECT_TRUE(std::isnan(L)) << i;
            EXPECT_TRUE(std::isnan(V)) << i;
        }
    }
    // The volumes of each block are shown before it is sent.
    const auto Shown = MessagesWith(QStringLiteral("Внимание"));
    ASSERT_EQ(Shown.size(), 2);
    EXPECT_TRUE(Shown[0].Text.startsWith(QStringLiteral("1)2,500\r"))) << Shown[0].Text.toStdString();
    EXPECT_TRUE(Shown[0].Text.contains(QStringLiteral("10)25,000\r")));
    EXPECT_EQ(Messages.Progress, (QStringList{QStringLiteral("Запись значений объема 50%"),
                                              QStringLiteral("Запись значений объема 100%")}));
    EXPECT_EQ(ProgressWindow(), nullptr);
    const QStringList Echo = EchoBodies();
    EXPECT_EQ(Echo.mid(0, 5), (QStringList{QStringLiteral("Запись значений объема: 2 блок"),
                                           QStringLiteral("Запись значений объема: 1 блок"),
                                           QStringLiteral("Запись значений уровня: 2 блок"),
                                           QStringLiteral("Запись значений уровня: 1 блок"),
                                           QStringLiteral("Записать тарировочную таблицу в прибор")}));
}

TEST_F(TaraEditor, TableThatDidNotLoadIsNotSent) {
    OpenLines(QStringLiteral("bad.txt"), {QStringLiteral("T=3"), QStringLiteral("1 1"), QStringLiteral("2 2")});
    ASSERT_FALSE(Form->TableLoaded());
    const int Before = Rig->Sim().RequestCount();
    const float Level1 = Rig->Sim().FloatAt(TModel::rgTableLevels + 2);
    Form->actSaveToKelm->trigger();
    EXPECT_EQ(Rig->Sim().RequestCount(), Before);
    EXPECT_FLOAT_EQ(Rig->Sim().FloatAt(TModel::rgTableLevels + 2), Level1);
    const auto Warnings = MessagesWith(QStringLiteral("Внимание"));
    ASSERT_EQ(Warnings.size(), 1);
    EXPECT_EQ(Warnings[0].Icon, TMsgIcon::Warning);
    EXPECT_TRUE(Warnings[0].Text.contains(QStringLiteral("Запись в прибор не выполнена")));

    // Nor is the placeholder, which names no table.
    Select(0);
    Form->actSaveToKelm->trigger();
    EXPECT_EQ(Rig->Sim().RequestCount(), Before);
    EXPECT_EQ(MessagesWith(QStringLiteral("Внимание")).size(), 2);
}

TEST_F(TaraEditor, SilentDeviceGetsFiveAttemptsPerBlockAndTheVolumesEachTime) {
    OpenLines(QStringLiteral("two.txt"), TableLines(QStringLiteral("T"), 2));
    Rig->Sim().SetFault(TSimFault::Silence);
    const int Before = Rig->Sim().RequestCount();
    Form->actSaveToKelm->trigger();
    EXPECT_EQ(Rig->Sim().RequestCount() - Before, 4 * 5);
    EXPECT_EQ(MessagesWith(QStringLiteral("Внимание")).size(), 2 * 5);
    EXPECT_EQ(Form->FileName(), TarTabl(QStringLiteral("two.txt"))); // the editor goes on as before
}

TEST_F(TaraEditor, DamagedFilesShowWhatParses) {
    QByteArray Data;
    Data += QByteArray("\x00\x01\x02\x98\xff garbage\xa0\xa0\t\x7f\r\n", 19);
    Data += QByteArray("bin\0" "ary=1\r\n", 12) + "\x01 3\x02 4\xff\r\n";
    Data += "huge=2000000000\r\n1 1\r\n";
    Data += "neg=-5\r\n";
    Data += "long=1\r\n5 " + QByteArray(200000, 'x') + " 7\r\n";
    Data += "=5\r\n";                 // no name: no header
    Data += "* comment=2\r\n";        // a comment: no header
    Data += "word=abc\r\n";           // no number: an empty table
    Data += QByteArray(100000, '=') + "\r\n";
    Data += "good=2\r\n0 0\r\n10 100\r\n";
    const QString Path = TarTabl(QStringLiteral("damaged.txt"));
    WriteAll(Path, Data);
    Open(Path);

    ASSERT_EQ(Form->FileName(), Path);
    EXPECT_EQ(Items(), (QStringList{QStringLiteral("Не определено"), QString::fromUtf8("bin\0ary", 7),
                                    QStringLiteral("huge"), QStringLiteral("neg"), QStringLiteral("long"),
                                    QStringLiteral("word"), QStringLiteral("good")}));
    const auto Expect = [&](int Index, bool Loaded, int Rows) {
        Select(Index);
        EXPECT_EQ(Form->TableLoaded(), Loaded) << Index;
        EXPECT_EQ(PointRows(), Rows) << Index;
        EXPECT_EQ(Form->Series1->dataCount(), Rows) << Index;
    };
    Expect(1, true, 1);
    EXPECT_EQ(Cell(0, 1), QStringLiteral("3,0"));
    EXPECT_EQ(Cell(0, 2), QStringLiteral("4,0"));
    Expect(2, false, 0);
    Expect(3, false, 0);
    Expect(4, true, 1);
    EXPECT_EQ(Cell(0, 2), QStringLiteral("7,0"));
    Expect(5, true, 0);
    Expect(6, true, 2);
    EXPECT_TRUE(Messages.Messages().isEmpty());

    // Every byte survives the way through the editor.
    Chosen << TarTabl(QStringLiteral("copy.txt"));
    Form->actSaveAsTaraFile->trigger();
    EXPECT_EQ(ReadAll(TarTabl(QStringLiteral("copy.txt"))), Data);
}

TEST_F(TaraEditor, MainWindowOpensOneEditor) {
    delete Form.data();
    RegisterTaraEditor();
    Main = std::make_unique<TFormMain>();
    Main->actTaraEditor->trigger();
    ASSERT_NE(FormTaraEditor, nullptr);
    TFormTaraEditor *First = FormTaraEditor;
    EXPECT_TRUE(First->isVisible());
    Main->actTaraEditor->trigger();
    EXPECT_EQ(FormTaraEditor, First);
    First->actExit->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(FormTaraEditor, nullptr);
    WindowHooks() = TWindowHooks();
}


// Esc closes the innermost thing open: the table list's drop-down first, the
// editor only when nothing is open over it.
TEST_F(TaraEditor, EscClosesTheOpenDropDownBeforeTheEditor) {
    Form->activateWindow();
    ASSERT_TRUE(WaitFor([this] { return QGuiApplication::focusWindow() == Form->windowHandle(); }));
    Form->cbTables->setFocus();
    Form->cbTables->showPopup();
    QAbstractItemView *List = Form->cbTables->view();
    ASSERT_TRUE(List->isVisible());
    ASSERT_NE(QApplication::activePopupWidget(), nullptr);

    // The open list has the keyboard.
    QTest::keyClick(List, Qt::Key_Escape);
    EXPECT_TRUE(WaitFor([List] { return !List->isVisible(); }));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    ASSERT_FALSE(Form.isNull());
    EXPECT_TRUE(Form->isVisible());

    // A menu closes first as well.
    QMenu *Work = Form->menuBar()->actions().constFirst()->menu();
    ASSERT_NE(Work, nullptr);
    Work->popup(Form->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(WaitFor([Work] { return Work->isVisible(); }));
    QTest::keyClick(Work, Qt::Key_Escape);
    EXPECT_TRUE(WaitFor([Work] { return !Work->isVisible(); }));
    EXPECT_TRUE(Form->isVisible());

    // Nothing open any more: Esc closes the editor.
    QTest::keyClick(Form->cbTables, Qt::Key_Escape);
    EXPECT_FALSE(Form->isVisible());
    // The editor frees itself once closed.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(Form.isNull());

    // Also from the text field, which leaves Esc to the window.
    Form = new TFormTaraEditor;
    Form->show();
    Form->mTaraFile->setFocus();
    QTest::keyClick(Form->mTaraFile, Qt::Key_Escape);
    EXPECT_FALSE(Form->isVisible());
}

// A table of fewer than 32 points in the device: its empty slots read as NaN,
// the table does not load, and the status bar says how many points there are.
TEST_F(TaraEditor, ReadingAShorterTableTellsHowManyPointsTheDeviceHas) {
    std::vector<float> Levels, Volumes;
    for (int i = 0; i < 32; ++i) {
        Levels.push_back(Rig->Sim().FloatAt(TModel::rgTableLevels + 2 * i));
        Volumes.push_back(Rig->Sim().FloatAt(TModel::rgTableVolumes + 2 * i));
    }
    for (int i = 10; i < 32; ++i) {
        Rig->Sim().SetFloat(TModel::rgTableLevels + 2 * i, std::nanf(""));
        Rig->Sim().SetFloat(TModel::rgTableVolumes + 2 * i, std::nanf(""));
    }
    Form->actLoadFromKelm->trigger();
    EXPECT_EQ(Form->FileName(), TarTabl(QStringLiteral("ttFromLanx1.txt")));
    EXPECT_FALSE(Form->TableLoaded());
    EXPECT_EQ(Form->StatusPanel()->text(), QStringLiteral("В приборе 10 точек"));
    EXPECT_TRUE(MessagesWith(QStringLiteral("Ошибка")).isEmpty());

    // The note goes with the file; a whole table needs none.
    Messages.Answer(mbNo);
    Form->actCloseTaraFile->trigger();
    EXPECT_TRUE(Form->StatusPanel()->text().isEmpty());
    for (int i = 0; i < 32; ++i) {
        Rig->Sim().SetFloat(TModel::rgTableLevels + 2 * i, Levels[static_cast<size_t>(i)]);
        Rig->Sim().SetFloat(TModel::rgTableVolumes + 2 * i, Volumes[static_cast<size_t>(i)]);
    }
    Form->actLoadFromKelm->trigger();
    EXPECT_TRUE(Form->TableLoaded());
    EXPECT_EQ(PointRows(), 32);
    EXPECT_TRUE(Form->StatusPanel()->text().isEmpty());
}

TEST_F(TaraEditor, ValueMarksStayInsideTheChart) {
    // Points at both ends and at the top: centred above its point, a mark
    // would run over the chart's right and top edges.
    OpenLines(QStringLiteral("edges.txt"), {QStringLiteral("E=4"), QStringLiteral("0 0"), QStringLiteral("33,3 40"),
                                            QStringLiteral("66,6 70"), QStringLiteral("10000 100")});
    Form->actGraphMarks->trigger();
    ASSERT_EQ(Form->ChartTara->itemCount(), 4);
    Form->ChartTara->replot();
    const QRect Chart = Form->ChartTara->rect();
    for (int i = 0; i < Form->ChartTara->itemCount(); ++i) {
        auto *Mark = qobject_cast<QCPItemText *>(Form->ChartTara->item(i));
        ASSERT_NE(Mark, nullptr);
        const QPointF At = Mark->position->pixelPosition();
        const QRect Text = QFontMetrics(Mark->font()).boundingRect(Mark->text());
        const double W = Text.width() + Mark->padding().left() + Mark->padding().right();
        const double H = Text.height() + Mark->padding().top() + Mark->padding().bottom();
        const Qt::Alignment A = Mark->positionAlignment();
        const double Left = (A & Qt::AlignLeft) ? At.x() : (A & Qt::AlignRight) ? At.x() - W : At.x() - W / 2;
        const double Top = (A & Qt::AlignTop) ? At.y() : At.y() - H;
        SCOPED_TRACE(Mark->text().toStdString());
        EXPECT_GE(Left, Chart.left());
        EXPECT_LE(Left + W, Chart.right() + 1);
        EXPECT_GE(Top, Chart.top());
        EXPECT_LE(Top + H, Chart.bottom() + 1);
    }
}
