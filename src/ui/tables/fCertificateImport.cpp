#include "fCertificateImport.h"

#include "EditNum.h"
#include "uFormat.h"
#include "uInputLayout.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <cmath>
#include <qcustomplot.h>

namespace {

constexpr int kMaxPoints = 32;

QString SeparatorName(QChar Separator) {
    switch (Separator.unicode()) {
    case u'\t':
        return QStringLiteral("табуляция");
    case u' ':
        return QStringLiteral("пробелы");
    default:
        return QStringLiteral("«") + Separator + QStringLiteral("»");
    }
}

// A number of the file as the user typed it: shortest exact form, decimal comma.
QString FileNumber(double Value) {
    return FloatToStrF(Value, TFloatFormat::ffGeneral, 15, 0, DefaultFormatSettings());
}

QString Fixed(double Value, int Digits) {
    return FloatToStrF(Value, TFloatFormat::ffFixed, 15, Digits, DefaultFormatSettings());
}

bool ReadNumber(const TEditNum *Edit, double &Value) {
    return TryStrToFloat(Edit->text().trimmed(), Value, DefaultFormatSettings());
}

// "2: Объем, л" or "2" for a column without a title.
QString ColumnCaption(const TCertificate &Certificate, int Column) {
    QString Caption = QString::number(Column + 1);
    const QString Title =
        Column < Certificate.ColumnTitles.size() ? Certificate.ColumnTitles[Column].trimmed() : QString();
    if (!Title.isEmpty())
        Caption += QStringLiteral(": ") + Title;
    return Caption;
}

template <class T> void SelectUnit(QComboBox *Box, T Unit) {
    Box->setCurrentIndex(Box->findData(static_cast<int>(Unit)));
}

} // namespace

TFormCertificateImport::TFormCertificateImport(const QString &Path, QWidget *Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("FormCertificateImport"));
    setWindowTitle(QStringLiteral("Импорт градуировочной таблицы"));
    FDefaultName = QFileInfo(Path).completeBaseName();
    CreateControls();
    CreateChart();
    resize(820, 620);

    const TCertificateProblem Read = ReadCertificateFile(Path, FCertificate);
    FRead = !Read.Failed();
    FUpdating = true;
    if (FRead) {
        lblFormat->setText(QStringLiteral("Файл: %1\nКодировка: %2, разделитель: %3")
                               .arg(QFileInfo(Path).fileName(), FCertificate.Encoding,
                                    SeparatorName(FCertificate.Separator)));
        for (int c = 0; c < FCertificate.ColumnCount; ++c) {
            cbLevelColumn->addItem(ColumnCaption(FCertificate, c), c);
            cbVolumeColumn->addItem(ColumnCaption(FCertificate, c), c);
        }
        cbLevelColumn->setCurrentIndex(FCertificate.LevelColumn);
        cbVolumeColumn->setCurrentIndex(FCertificate.VolumeColumn);
        // Two columns leave nothing to choose.
        const bool Choice = FCertificate.ColumnCount > 2;
        cbLevelColumn->setEnabled(Choice);
        cbVolumeColumn->setEnabled(Choice);
    } else {
        lblFormat->setText(QStringLiteral("Файл: ") + QFileInfo(Path).fileName());
        for (QWidget *W : std::initializer_list<QWidget *>{cbLevelColumn, cbVolumeColumn, cbLevelUnit, cbVolumeUnit,
                                                           enHeight, enCapacity, sePoints})
            W->setEnabled(false);
    }
    FUpdating = false;
    if (FRead)
        ColumnsChanged();
    else
        ShowProblem(Read.Message());
}

void TFormCertificateImport::CreateControls() {
    lblFormat = new QLabel(this);
    lblFormat->setObjectName(QStringLiteral("lblFormat"));
    lblFormat->setTextInteractionFlags(Qt::TextSelectableByMouse);

    cbLevelColumn = new QComboBox(this);
    cbLevelColumn->setObjectName(QStringLiteral("cbLevelColumn"));
    cbVolumeColumn = new QComboBox(this);
    cbVolumeColumn->setObjectName(QStringLiteral("cbVolumeColumn"));
    for (QComboBox *Box : {cbLevelColumn, cbVolumeColumn}) {
        Box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        Box->setMinimumContentsLength(18);
        connect(Box, &QComboBox::currentIndexChanged, this, [this] { ColumnsChanged(); });
    }

    cbLevelUnit = new QComboBox(this);
    cbLevelUnit->setObjectName(QStringLiteral("cbLevelUnit"));
    for (TLevelUnit U : {TLevelUnit::Millimetre, TLevelUnit::Centimetre, TLevelUnit::Metre})
        cbLevelUnit->addItem(UnitName(U), static_cast<int>(U));
    cbVolumeUnit = new QComboBox(this);
    cbVolumeUnit->setObjectName(QStringLiteral("cbVolumeUnit"));
    for (TVolumeUnit U : {TVolumeUnit::Litre, TVolumeUnit::CubicMetre, TVolumeUnit::Decalitre})
        cbVolumeUnit->addItem(UnitName(U), static_cast<int>(U));
    // The units name the numbers only; the per cent do not depend on them.
    for (QComboBox *Box : {cbLevelUnit, cbVolumeUnit})
        connect(Box, &QComboBox::currentIndexChanged, this, [this] { Recompute(); });

    enHeight = new TEditNum(this);
    enHeight->setObjectName(QStringLiteral("enHeight"));
    enCapacity = new TEditNum(this);
    enCapacity->setObjectName(QStringLiteral("enCapacity"));
    for (TEditNum *Edit : {enHeight, enCapacity}) {
        Edit->SetFormat(TFloatFormat::ffGeneral);
        Edit->SetPrecision(15);
        connect(Edit, &QLineEdit::textChanged, this, [this] { Recompute(); });
    }

    sePoints = new QSpinBox(this);
    sePoints->setObjectName(QStringLiteral("sePoints"));
    sePoints->setRange(2, kMaxPoints);
    sePoints->setValue(kMaxPoints);
    connect(sePoints, &QSpinBox::valueChanged, this, [this] { Recompute(); });

    auto *Level = new QHBoxLayout;
    Level->addWidget(cbLevelColumn, 1);
    Level->addWidget(cbLevelUnit);
    auto *Volume = new QHBoxLayout;
    Volume->addWidget(cbVolumeColumn, 1);
    Volume->addWidget(cbVolumeUnit);
    auto *Form = new QFormLayout;
    Form->addRow(QStringLiteral("Уровень:"), Level);
    Form->addRow(QStringLiteral("Объем:"), Volume);
    Form->addRow(QStringLiteral("Высота H:"), enHeight);
    Form->addRow(QStringLiteral("Вместимость V:"), enCapacity);
    Form->addRow(QStringLiteral("Точек в таблице:"), sePoints);

    ChartImport = new QCustomPlot(this);
    ChartImport->setObjectName(QStringLiteral("ChartImport"));
    ChartImport->setMinimumSize(360, 260);

    lblResult = new QLabel(this);
    lblResult->setObjectName(QStringLiteral("lblResult"));
    lblResult->setWordWrap(true);
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setWordWrap(true);
    lblProblem->setStyleSheet(QStringLiteral("color: red"));
    lblProblem->hide();

    auto *Left = new QVBoxLayout;
    Left->addWidget(lblFormat);
    Left->addLayout(Form);
    Left->addStretch();
    auto *Top = new QHBoxLayout;
    Top->addLayout(Left);
    Top->addWidget(ChartImport, 1);
    auto *Layout = new QVBoxLayout(this);
    Layout->addLayout(Top, 1);
    Layout->addWidget(lblResult);
    Layout->addWidget(lblProblem);
    Layout->addLayout(DialogButtonRow(this, btnOK, btnCancel));
}

void TFormCertificateImport::CreateChart() {
    ChartImport->legend->setVisible(true);
    // Above the axes, in a row of its own: inside them it would lie over a
    // curve, whichever corner it took (the error runs anywhere).
    ChartImport->axisRect()->insetLayout()->take(ChartImport->legend);
    ChartImport->axisRect()->insetLayout()->simplify();
    ChartImport->plotLayout()->insertRow(0);
    ChartImport->plotLayout()->addElement(0, 0, ChartImport->legend);
    ChartImport->plotLayout()->setRowStretchFactor(0, 0.001);
    ChartImport->legend->setWrap(2); // two names a row: the chart is narrow
    ChartImport->legend->setFillOrder(QCPLegend::foColumnsFirst);
    ChartImport->legend->setBorderPen(Qt::NoPen);
    ChartImport->xAxis->setLabel(QStringLiteral("Уровень, %"));
    ChartImport->yAxis->setLabel(QStringLiteral("Объем, %"));
    ChartImport->yAxis2->setLabel(QStringLiteral("Погрешность, % объема"));
    ChartImport->yAxis2->setVisible(true);
    FRowsGraph = ChartImport->addGraph();
    FRowsGraph->setName(QStringLiteral("Градуировочная таблица"));
    FRowsGraph->setPen(QPen(Qt::gray));
    FPointsGraph = ChartImport->addGraph();
    FPointsGraph->setName(QStringLiteral("Выбранные точки"));
    FPointsGraph->setLineStyle(QCPGraph::lsNone);
    FPointsGraph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, Qt::red, Qt::red, 5));
    FErrorGraph = ChartImport->addGraph(ChartImport->xAxis, ChartImport->yAxis2);
    FErrorGraph->setName(QStringLiteral("Погрешность"));
    FErrorGraph->setPen(QPen(Qt::blue));
}

void TFormCertificateImport::ClearChart() {
    for (QCPGraph *G : {FRowsGraph, FPointsGraph, FErrorGraph})
        G->data()->clear();
    ChartImport->replot();
}

void TFormCertificateImport::ShowProblem(const QString &Text) {
    FProblem = Text;
    FPoints.clear();
    lblProblem->setText(Text);
    lblProblem->setVisible(!Text.isEmpty());
    btnOK->setEnabled(Text.isEmpty());
    if (!Text.isEmpty()) {
        lblResult->clear();
        ClearChart();
    }
}

void TFormCertificateImport::ColumnsChanged() {
    if (FUpdating || !FRead)
        return;
    StopWorker(); // its rows are no longer the chosen ones
    const int LevelColumn = cbLevelColumn->currentData().toInt();
    const int VolumeColumn = cbVolumeColumn->currentData().toInt();
    FUpdating = true;
    const TUnitGuess Units = GuessUnits(FCertificate, LevelColumn, VolumeColumn);
    SelectUnit(cbLevelUnit, Units.Level);
    SelectUnit(cbVolumeUnit, Units.Volume);
    FRows.clear();
    TCertificateProblem Problem;
    if (LevelColumn == VolumeColumn)
        Problem.Text = QStringLiteral("Уровень и объем должны быть в разных столбцах");
    else
        Problem = CertificateRows(FCertificate, LevelColumn, VolumeColumn, FRows);
    if (!Problem.Failed()) {
        enHeight->setText(FileNumber(FRows.back().Level));
        enCapacity->setText(FileNumber(FRows.back().Volume));
    }
    FUpdating = false;
    if (Problem.Failed())
        ShowProblem(Problem.Message());
    else
        Recompute();
}

TFormCertificateImport::~TFormCertificateImport() {
    StopWorker();
}

void TFormCertificateImport::StopWorker() {
    ++FGeneration;
    if (FWorker.joinable())
        FWorker.join();
    FComputing = false;
}

void TFormCertificateImport::Recompute() {
    if (FUpdating || !FRead || FRows.empty())
        return;
    StopWorker();
    double Height = 0, Capacity = 0;
    if (!ReadNumber(enHeight, Height)) {
        ShowProblem(QStringLiteral("Высота H не является числом"));
        return;
    }
    if (!ReadNumber(enCapacity, Capacity)) {
        ShowProblem(QStringLiteral("Вместимость V не является числом"));
        return;
    }
    TPerCentTable Table;
    const TCertificateProblem Scaled = ScaleToPerCent(FRows, Height, Capacity, Table);
    if (Scaled.Failed()) {
        ShowProblem(Scaled.Message());
        return;
    }
    const int Points = sePoints->value();
    if (Table.Points.size() <= ForegroundRows) {
        ShowReduction(Table, ReduceTable(Table.Points, Points), Capacity);
        return;
    }
    // Nothing can be taken until the best points are known.
    ShowProblem(QString());
    btnOK->setEnabled(false);
    lblResult->setText(QStringLiteral("Поиск наилучших точек…"));
    FComputing = true;
    const int Generation = FGeneration.load();
    FWorker = std::thread([this, Generation, Points, Capacity, Table = std::move(Table)] {
        TTableReduction Reduction =
            ReduceTable(Table.Points, Points, [this, Generation] { return FGeneration.load() != Generation; });
        if (FGeneration.load() != Generation)
            return;
        // The dialog waits for this thread before it goes, so it is still there.
        QMetaObject::invokeMethod(
            this,
            [this, Generation, Capacity, Table, Reduction = std::move(Reduction)] {
                if (FGeneration.load() != Generation)
                    return;
                FWorker.join();
                FComputing = false;
                ShowReduction(Table, Reduction, Capacity);
            },
            Qt::QueuedConnection);
    });
}

void TFormCertificateImport::ShowReduction(const TPerCentTable &Table, const TTableReduction &Reduction,
                                           double Capacity) {
    if (!Reduction.Ok()) {
        ShowProblem(Reduction.Error);
        return;
    }
    ShowProblem(QString());
    FPoints = ReducedTable(Table.Points, Reduction.Rows);

    const std::vector<double> Errors = ReductionErrors(Table.Points, Reduction.Rows);
    QVector<double> Levels, Volumes, Deviations;
    Levels.reserve(static_cast<qsizetype>(Table.Points.size()));
    for (size_t i = 0; i < Table.Points.size(); ++i) {
        Levels << Table.Points[i].Level;
        Volumes << Table.Points[i].Volume;
        Deviations << (i < Errors.size() ? Errors[i] : 0.0);
    }
    FRowsGraph->setData(Levels, Volumes, true);
    FErrorGraph->setData(Levels, Deviations, true);
    QVector<double> PointLevels, PointVolumes;
    for (const TTaraPoint &P : FPoints) {
        PointLevels << P.Level;
        PointVolumes << P.Volume;
    }
    FPointsGraph->setData(PointLevels, PointVolumes, true);
    ChartImport->xAxis->setRange(0, 100);
    FRowsGraph->rescaleValueAxis();
    FPointsGraph->rescaleValueAxis(true);
    // The error axis is symmetric, so that zero is in its middle.
    const double Span = Reduction.MaxError > 0 ? Reduction.MaxError * 1.1 : 1.0;
    ChartImport->yAxis2->setRange(-Span, Span);
    ChartImport->replot();

    const QString VolumeUnit = cbVolumeUnit->currentText();
    const double At = Table.Points[static_cast<size_t>(Reduction.MaxErrorRow)].Level;
    QString Result = QStringLiteral("Точек: %1. Наибольшая погрешность: %2 % объема (%3 %4) при уровне %5 %")
                         .arg(FPoints.size())
                         .arg(Fixed(Reduction.MaxError, 4), Fixed(Reduction.MaxError * Capacity / 100, 4), VolumeUnit,
                              Fixed(At, 2));
    if (Table.LeftOut > 0)
        Result += QStringLiteral("\nРядов выше высоты: %1").arg(Table.LeftOut);
    lblResult->setText(Result);
}
