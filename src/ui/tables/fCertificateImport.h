#pragma once
// The import of a calibration certificate (a tank's strapping table): how the
// file is written, which columns and units it holds, the height and capacity
// that make per cent of them, and the best table of a few points with the
// error it leaves, drawn over the certificate's rows.
#include "Tara.h"
#include "uCertificate.h"
#include "uTableReduction.h"

#include <QDialog>
#include <QString>
#include <atomic>
#include <thread>
#include <vector>

class QComboBox;
class QCPGraph;
class QCustomPlot;
class QLabel;
class QPushButton;
class QSpinBox;
class TEditNum;

class TFormCertificateImport : public QDialog {
    Q_OBJECT
public:
    // Reads the file Path; a file that cannot be used is named in the dialog
    // and OK stays disabled.
    explicit TFormCertificateImport(const QString &Path, QWidget *Parent = nullptr);
    ~TFormCertificateImport() override; // ends a reduction still running

    // Certificates of more rows are reduced on a thread of their own, so that
    // the dialog answers while the best points are sought.
    static constexpr std::size_t ForegroundRows = 5000;
    // A reduction is running on its thread.
    bool Computing() const { return FComputing; }

    // The chosen points, level and volume in per cent (empty while there is a problem).
    const TTaraTable &Points() const { return FPoints; }
    // The name proposed for the table: the file's base name.
    QString DefaultName() const { return FDefaultName; }
    // What stops the import, for the user; empty when nothing does.
    QString Problem() const { return FProblem; }

    // ---- controls (named for tests)
    QLabel *lblFormat = nullptr;
    QComboBox *cbLevelColumn = nullptr;
    QComboBox *cbVolumeColumn = nullptr;
    QComboBox *cbLevelUnit = nullptr;
    QComboBox *cbVolumeUnit = nullptr;
    TEditNum *enHeight = nullptr;
    TEditNum *enCapacity = nullptr;
    QSpinBox *sePoints = nullptr;
    QCustomPlot *ChartImport = nullptr;
    QLabel *lblResult = nullptr;
    QLabel *lblProblem = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    void CreateControls();
    void CreateChart();
    // The rows of the chosen columns; the units guessed over them and the
    // height and capacity of their last row.
    void ColumnsChanged();
    // The per cent table and its reduction, here or on the thread.
    void Recompute();
    // The chart and the error of a reduction of Table.
    void ShowReduction(const TPerCentTable &Table, const TTableReduction &Reduction, double Capacity);
    // Ends the reduction running on the thread, if any, and waits for it.
    void StopWorker();
    void ShowProblem(const QString &Text);
    void ClearChart();

    TCertificate FCertificate;
    bool FRead = false;
    std::vector<TCertificateRow> FRows;
    TTaraTable FPoints;
    QString FDefaultName;
    QString FProblem;
    bool FUpdating = false;
    QCPGraph *FRowsGraph = nullptr;
    QCPGraph *FPointsGraph = nullptr;
    QCPGraph *FErrorGraph = nullptr;
    // Each Recompute starts a generation; a reduction of an older one stops
    // and its result is dropped.
    std::atomic<int> FGeneration{0};
    std::thread FWorker;
    bool FComputing = false;
};
