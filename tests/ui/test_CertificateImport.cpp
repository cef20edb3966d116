// The table editor's exchange with spreadsheets and its write of a long
// table: a calibration certificate imported as a new table through the import
// dialog, a table exported as CSV, and a table of more points than the device
// holds sent as its best 32 points once the user agrees.
#include "EditNum.h"
#include "EngineRig.h"
#include "TaraEditorFixture.h"
#include "Lanx1.h"
#include "RecordingMessages.h"
#include "TLanx1DeviceModel.h"
#include "UiTestSupport.h"
#include "fCertificateImport.h"
#include "fInputText.h"
#include "fMain.h"
#include "fTaraEditor.h"
#include "uLanx1Instance.h"
#include "uTableFile.h"
#include "uTableReduction.h"
#include "uTextFile.h"
#include "uWindows.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>
#include <qcustomplot.h>

namespace {

using TModel = TLanx1DeviceModel;


// Runs Action on the modal window named Name as soon as it is the active one;
// the action must close it. A window that never appears fails the test.
void WhenModal(const QString &Name, std::function<void(QWidget *)> Action, int AttemptsLeft = 500) {
    QTimer::singleShot(AttemptsLeft == 500 ? 0 : 10, [Name, Action, AttemptsLeft] {
        QWidget *W = QApplication::activeModalWidget();
        if (W && W->isVisible() && W->objectName() == Name) {
            Action(W);
            return;
        }
        if (AttemptsLeft > 0)
            WhenModal(Name, Action, AttemptsLeft - 1);
        else
            ADD_FAILURE() << "no window " << Name.toStdString() << " appeared";
    });
}

template <class T> T *Child(QWidget *W, const char *Name) {
    T *C = W->findChild<T *>(QString::fromLatin1(Name));
    EXPECT_NE(C, nullptr) << Name;
    return C;
}

// Volume in litres of a horizontal cylinder of diameter 2000 mm and length
// 5000 mm filled to Level mm.
double CylinderVolume(double Level) {
    const double R = 1000, Length = 5000;
    const double Area = R * R * std::acos((R - Level) / R) - (R - Level) * std::sqrt(2 * R * Level - Level * Level);
    return Area * Length / 1e6;
}

void WriteBytes(const QString &Path, const QByteArray &Bytes) {
    QFile F(Path);
    ASSERT_TRUE(F.open(QIODevice::WriteOnly));
    F.write(Bytes);
}

// A certificate of 201 rows, one per 10 mm, in mm and litres with a decimal comma.
QByteArray CylinderCertificate() {
    QString Text = QStringLiteral("Уровень, мм;Объем, л\r\n");
    for (int i = 0; i <= 200; ++i)
        Text += QString::number(i * 10) + u';' + QString::number(CylinderVolume(i * 10.0), 'f', 3).replace(u'.', u',') +
                QStringLiteral("\r\n");
    return Text.toUtf8();
}

// A table of Count points, level i * 100 / Count, volume growing with its square.
QStringList CurvedTable(const QString &Name, int Count) {
    QStringList Lines{Name + u'=' + QString::number(Count)};
    for (int i = 1; i <= Count; ++i) {
        const double L = i * 100.0 / Count;
        Lines << QString::number(L).replace(u'.', u',') + u' ' + QString::number(L * L / 100).replace(u'.', u',');
    }
    return Lines;
}

class CertificateImport : public TTaraEditorFixture {
protected:
    TRecordingMessages Messages;
};

} // namespace

TEST_F(CertificateImport, CertificateBecomesASelected32PointTableOfTheFile) {
    OpenLines(QStringLiteral("tanks.txt"), CurvedTable(QStringLiteral("T"), 5));
    const QString Csv = Rig->Folder().File(QStringLiteral("Бак 7.csv"));
    WriteBytes(Csv, CylinderCertificate());
    Chosen << Csv;

    bool Shown = false, NameAsked = false;
    WhenModal(QStringLiteral("FormCertificateImport"), [&](QWidget *W) {
        Shown = true;
        EXPECT_TRUE(Child<QLabel>(W, "lblFormat")->text().contains(QStringLiteral("UTF-8")));
        EXPECT_TRUE(Child<QLabel>(W, "lblFormat")->text().contains(QStringLiteral("«;»")));
        EXPECT_EQ(Child<QComboBox>(W, "cbLevelUnit")->currentText(), QStringLiteral("мм"));
        EXPECT_EQ(Child<QComboBox>(W, "cbVolumeUnit")->currentText(), QStringLiteral("л"));
        EXPECT_FALSE(Child<QComboBox>(W, "cbLevelColumn")->isEnabled()); // two columns: nothing to choose
        EXPECT_EQ(Child<QLineEdit>(W, "enHeight")->text(), QStringLiteral("2000"));
        EXPECT_EQ(Child<QSpinBox>(W, "sePoints")->value(), 32);
        EXPECT_TRUE(Child<QLabel>(W, "lblResult")->text().contains(QStringLiteral("Наибольшая погрешность")));
        EXPECT_TRUE(Child<QLabel>(W, "lblResult")->text().contains(QStringLiteral(" л)")));
        auto *Chart = Child<QCustomPlot>(W, "ChartImport");
        EXPECT_EQ(Chart->graph(0)->dataCount(), 201);
        EXPECT_EQ(Chart->graph(1)->dataCount(), 32);
        EXPECT_EQ(Chart->graph(2)->valueAxis(), Chart->yAxis2);
        // The legend lies over no curve: outside the axes.
        Chart->replot();
        EXPECT_FALSE(Chart->legend->outerRect().intersects(Chart->axisRect()->rect()))
            << Chart->legend->outerRect().y() << " " << Chart->axisRect()->rect().y();
        EXPECT_TRUE(Child<QPushButton>(W, "btnOK")->isEnabled());

        WhenModal(QStringLiteral("FormInputText"), [&](QWidget *N) {
            NameAsked = true;
            auto *Edit = Child<QLineEdit>(N, "edValue");
            EXPECT_EQ(Edit->text(), QStringLiteral("Бак 7"));
            Edit->setText(QStringLiteral("a=b")); // refused: asked again
            Child<QPushButton>(N, "btnOK")->click();
            EXPECT_TRUE(N->isVisible());
            EXPECT_FALSE(Child<QLabel>(N, "lblProblem")->text().isEmpty());
            Edit->setText(QStringLiteral("Бак"));
            Child<QPushButton>(N, "btnOK")->click();
        });
        Child<QPushButton>(W, "btnOK")->click();
    });
    Form->actImportCertificate->trigger();

    ASSERT_TRUE(Shown);
    ASSERT_TRUE(NameAsked);
    EXPECT_TRUE(Form->MemoLines().contains(QStringLiteral("Бак=32")));
    EXPECT_EQ(Form->cbTables->currentText(), QStringLiteral("Бак"));
    ASSERT_TRUE(Form->TableLoaded());
    ASSERT_EQ(Form->Tara().Table.size(), 32u);
    EXPECT_DOUBLE_EQ(Form->Tara().Table.front().Level, 0);
    EXPECT_DOUBLE_EQ(Form->Tara().Table.front().Volume, 0);
    EXPECT_DOUBLE_EQ(Form->Tara().Table.back().Level, 100);
    EXPECT_DOUBLE_EQ(Form->Tara().Table.back().Volume, 100);
    EXPECT_TRUE(Form->Modified());
    EXPECT_TRUE(Dialogs.last().Filter.contains(QStringLiteral("*.csv *.txt *.tsv")));
    EXPECT_TRUE(Dialogs.last().MustExist);
}

TEST_F(CertificateImport, BadCertificateNamesItsLineAndCannotBeTaken) {
    OpenLines(QStringLiteral("tanks.txt"), CurvedTable(QStringLiteral("T"), 5));
    const QStringList Before = Form->MemoLines();
    const QString Csv = Rig->Folder().File(QStringLiteral("bad.csv"));
    WriteBytes(Csv, QByteArray("Level mm;Volume l\n0;0\n10;5\n5;7\n20;9\n"));
    Chosen << Csv;

    bool Shown = false;
    WhenModal(QStringLiteral("FormCertificateImport"), [&](QWidget *W) {
        Shown = true;
        auto *Problem = Child<QLabel>(W, "lblProblem");
        EXPECT_TRUE(Problem->text().contains(QStringLiteral("Строка 4"))) << Problem->text().toStdString();
        EXPECT_FALSE(Problem->isHidden());
        EXPECT_FALSE(Child<QPushButton>(W, "btnOK")->isEnabled());
        Child<QPushButton>(W, "btnCancel")->click();
    });
    Form->actImportCertificate->trigger();
    ASSERT_TRUE(Shown);
    EXPECT_EQ(Form->MemoLines(), Before);
    EXPECT_FALSE(Form->Modified());
}

TEST_F(CertificateImport, ColumnsAreChosenWhenThereAreMore) {
    const QString Csv = Rig->Folder().File(QStringLiteral("three.csv"));
    QString Text = QStringLiteral("N;Уровень, см;Объем, м3\n");
    for (int i = 0; i <= 50; ++i)
        Text += QString::number(i + 1) + u';' + QString::number(i * 4) + u';' +
                QString::number(CylinderVolume(i * 40.0) / 1000, 'f', 4).replace(u'.', u',') + u'\n';
    WriteBytes(Csv, Text.toUtf8());
    TFormCertificateImport Dialog(Csv);
    EXPECT_TRUE(Dialog.cbLevelColumn->isEnabled());
    EXPECT_EQ(Dialog.cbLevelColumn->count(), 3);
    EXPECT_TRUE(Dialog.cbVolumeColumn->itemText(2).contains(QStringLiteral("Объем")));
    // The first two numeric columns come first: the row number and the level.
    Dialog.cbLevelColumn->setCurrentIndex(1);
    Dialog.cbVolumeColumn->setCurrentIndex(2);
    EXPECT_TRUE(Dialog.Problem().isEmpty()) << Dialog.Problem().toStdString();
    EXPECT_EQ(Dialog.cbLevelUnit->currentText(), QStringLiteral("см"));
    EXPECT_EQ(Dialog.cbVolumeUnit->currentText(), QStringLiteral("м³"));
    EXPECT_EQ(Dialog.enHeight->text(), QStringLiteral("200"));
    ASSERT_EQ(Dialog.Points().size(), 32u);

    // A lower height leaves the rows above it out and says so.
    Dialog.enHeight->setText(QStringLiteral("100"));
    EXPECT_TRUE(Dialog.lblResult->text().contains(QStringLiteral("Рядов выше высоты: 25")))
        << Dialog.lblResult->text().toStdString();
    Dialog.sePoints->setValue(5);
    EXPECT_EQ(Dialog.Points().size(), 5u);
    EXPECT_DOUBLE_EQ(Dialog.Points().back().Level, 100);
}

// A certificate of many rows is reduced on a thread of its own: the dialog
// answers meanwhile, OK waits for the result, only the latest choice counts,
// and closing the dialog while it runs ends it.
TEST_F(CertificateImport, ManyRowsAreReducedBesideTheDialog) {
    const QString Csv = Rig->Folder().File(QStringLiteral("big.csv"));
    const int Rows = static_cast<int>(TFormCertificateImport::ForegroundRows) * 3;
    QString Text = QStringLiteral("Уровень, мм;Объем, л\n");
    for (int i = 0; i <= Rows; ++i)
        Text += QString::number(i) + u';' +
                QString::number(CylinderVolume(2000.0 * i / Rows), 'f', 3).replace(u'.', u',') + u'\n';
    WriteBytes(Csv, Text.toUtf8());
    {
        TFormCertificateImport Dialog(Csv);
        ASSERT_TRUE(Dialog.Computing());
        EXPECT_FALSE(Dialog.btnOK->isEnabled());
        EXPECT_TRUE(Dialog.Points().empty());
        EXPECT_EQ(Dialog.lblResult->text(), QStringLiteral("Поиск наилучших точек…"));
        // Changed before the first result: only the second one is shown.
        Dialog.sePoints->setValue(7);
        ASSERT_TRUE(WaitFor([&] { return !Dialog.Computing(); }, 60000));
        EXPECT_TRUE(Dialog.btnOK->isEnabled());
        ASSERT_EQ(Dialog.Points().size(), 7u);
        EXPECT_TRUE(Dialog.lblResult->text().startsWith(QStringLiteral("Точек: 7."))) << Dialog.lblResult->text().toStdString();
        QCoreApplication::processEvents(); // nothing older arrives afterwards
        EXPECT_EQ(Dialog.Points().size(), 7u);
        // A problem found meanwhile is not overwritten by the running reduction.
        Dialog.sePoints->setValue(9);
        Dialog.enCapacity->setText(QStringLiteral("x"));
        EXPECT_FALSE(Dialog.Computing());
        QCoreApplication::processEvents();
        EXPECT_FALSE(Dialog.Problem().isEmpty());
        EXPECT_FALSE(Dialog.btnOK->isEnabled());
        Dialog.enCapacity->setText(QStringLiteral("12566,4"));
        EXPECT_TRUE(Dialog.Computing());
    } // closed while computing
}

TEST_F(CertificateImport, LongTableGoesToTheDeviceAsItsBest32PointsOnlyAfterYes) {
    Main = std::make_unique<TFormMain>();
    OpenLines(QStringLiteral("forty.txt"), CurvedTable(QStringLiteral("F"), 40));
    ASSERT_TRUE(Form->TableLoaded());
    const int Before = Rig->Sim().RequestCount();

    Messages.Answer(mbNo);
    Form->actSaveToKelm->trigger();
    ASSERT_FALSE(Messages.Messages().isEmpty());
    const auto Question = Messages.Messages().constFirst();
    EXPECT_TRUE(Question.Text.startsWith(QStringLiteral("Таблица содержит 40 точек, в прибор записывается не более 32.")))
        << Question.Text.toStdString();
    EXPECT_TRUE(Question.Text.contains(QStringLiteral("Наибольшая погрешность: ")));
    EXPECT_EQ(Question.Buttons, mbYes | mbNo);
    EXPECT_EQ(Question.Icon, TMsgIcon::Warning);
    EXPECT_EQ(Rig->Sim().RequestCount(), Before); // nothing sent

    Messages.Clear();
    Messages.Answer(mbYes);
    Form->actSaveToKelm->trigger();
    const TTableReduction Reduction = ReduceTable(Form->Tara().Table, 32);
    const TTaraTable Expected = ReducedTable(Form->Tara().Table, Reduction.Rows);
    ASSERT_EQ(Expected.size(), 32u);
    for (int i = 0; i < 32; ++i) {
        EXPECT_FLOAT_EQ(Rig->Sim().FloatAt(TModel::rgTableLevels + 2 * i), float(Expected[size_t(i)].Level)) << i;
        EXPECT_FLOAT_EQ(Rig->Sim().FloatAt(TModel::rgTableVolumes + 2 * i), float(Expected[size_t(i)].Volume)) << i;
    }
    EXPECT_FLOAT_EQ(Rig->Sim().FloatAt(TModel::rgTableLevels + 2 * 31), 100.0f);
}

TEST_F(CertificateImport, ExportWritesTheSelectedTableAsCsv) {
    OpenLines(QStringLiteral("tanks.txt"), CurvedTable(QStringLiteral("T"), 5));
    ASSERT_TRUE(Form->TableLoaded());
    const QString Csv = Rig->Folder().File(QStringLiteral("t.csv"));
    Chosen << Csv;
    Form->actExportCsv->trigger();
    EXPECT_TRUE(Dialogs.last().Save);
    EXPECT_TRUE(Dialogs.last().Filter.contains(QStringLiteral("*.csv")));
    EXPECT_EQ(Dialogs.last().FileName, QStringLiteral("T.csv"));
    bool Ok = false;
    const QStringList Lines = ReadTextLines(Csv, &Ok);
    ASSERT_TRUE(Ok);
    EXPECT_EQ(Lines.mid(0, 6), TableCsvLines(Form->Tara().Table).mid(0, 6));
    EXPECT_EQ(Lines.value(0), QStringLiteral("Уровень, %;Объем, %"));
    EXPECT_TRUE(Messages.Messages().isEmpty());

    // A folder that does not exist: the error box names the file.
    const QString Missing = Rig->Folder().File(QStringLiteral("no/such/t.csv"));
    Chosen << Missing;
    Form->actExportCsv->trigger();
    ASSERT_EQ(Messages.Messages().size(), 1);
    EXPECT_EQ(Messages.Messages()[0].Caption, QStringLiteral("Ошибка"));
    EXPECT_TRUE(Messages.Messages()[0].Text.contains(Missing));
}

TEST_F(CertificateImport, ANameTheFileHasReplacesThatTableOnlyAfterYes) {
    OpenLines(QStringLiteral("tanks.txt"), CurvedTable(QStringLiteral("T"), 5));
    const QString Csv = Rig->Folder().File(QStringLiteral("t.csv"));
    WriteBytes(Csv, CylinderCertificate());
    const auto Import = [&](TMsgButton Answer) {
        Chosen << Csv;
        Messages.Answer(Answer);
        int Asked = 0;
        // The name is asked again after "Нет"; "Отмена" ends the import.
        std::function<void(QWidget *)> Name = [&](QWidget *N) {
            ++Asked;
            Child<QLineEdit>(N, "edValue")->setText(Asked == 1 ? QStringLiteral("t") : QStringLiteral("New"));
            if (Asked == 1 && Answer == mbNo)
                WhenModal(QStringLiteral("FormInputText"), Name);
            Child<QPushButton>(N, "btnOK")->click();
        };
        WhenModal(QStringLiteral("FormCertificateImport"), [&](QWidget *W) {
            WhenModal(QStringLiteral("FormInputText"), Name);
            Child<QPushButton>(W, "btnOK")->click();
        });
        Form->actImportCertificate->trigger();
        return Asked;
    };

    EXPECT_EQ(Import(mbCancel), 1);
    EXPECT_TRUE(Form->MemoLines().contains(QStringLiteral("T=5")));
    EXPECT_EQ(Messages.Messages().last().Text, QStringLiteral("Таблица t уже есть в файле. Заменить её?"));

    EXPECT_EQ(Import(mbNo), 2);
    EXPECT_TRUE(Form->MemoLines().contains(QStringLiteral("T=5")));
    EXPECT_TRUE(Form->MemoLines().contains(QStringLiteral("New=32")));

    EXPECT_EQ(Import(mbYes), 1);
    EXPECT_FALSE(Form->MemoLines().contains(QStringLiteral("T=5")));
    EXPECT_TRUE(Form->MemoLines().contains(QStringLiteral("t=32")));
}
