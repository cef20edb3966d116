#pragma once
// "Поиск прибора": the search for a transducer of unknown settings over the
// ports, baud rates and addresses the user ticks. The search runs in a worker
// thread of its own; the dialog shows its progress and what it found, and
// hands the device the user picks to OnApply. It changes no setting itself.
#include "uDeviceScan.h"

#include <QDialog>
#include <QElapsedTimer>
#include <functional>
#include <memory>
#include <thread>

class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

class TFormDeviceScan : public QDialog {
    Q_OBJECT
public:
    // Defaults: the line settings of the program's port, the address in use
    // (CurrentAddress), the default baud rates.
    explicit TFormDeviceScan(const TScanOptions &Defaults, QWidget *Parent = nullptr);
    ~TFormDeviceScan() override; // stops the search and waits for it

    // The ports offered: the system's serial ports. Replaceable for tests.
    static std::function<QStringList()> SystemPorts;
    // "Применить" with the device the user chose; the dialog then closes.
    std::function<void(const TScanDevice &)> OnApply;

    // The options the check boxes and fields stand for.
    TScanOptions Options() const;
    void StartScan();
    // Asks the search to end; it does within a try.
    void StopScan();
    bool Scanning() const { return FRunning; }
    // The devices found so far.
    QList<TScanDevice> Devices() const { return FDevices; }

    QListWidget *PortList() const { return FPorts; }
    QListWidget *BaudList() const { return FBauds; }
    QSpinBox *FirstAddress() const { return FFirst; }
    QSpinBox *LastAddress() const { return FLast; }
    QCheckBox *FindAll() const { return FFindAll; }
    QTableWidget *Results() const { return FResults; }
    QProgressBar *Progress() const { return FProgress; }
    QLabel *ProgressText() const { return FProgressText; }
    QPushButton *StartButton() const { return FStart; }
    QPushButton *StopButton() const { return FStop; }
    QPushButton *ApplyButton() const { return FApply; }

protected:
    void closeEvent(QCloseEvent *Event) override;
    void reject() override;

private:
    void Apply();
    // Waits for the worker thread once it is over (or told to stop).
    void Join();
    void ShowProgress(const TScanProgress &P);
    void AddFound(const TScanDevice &D);
    void AddLine(const QString &Port, int Baud, int Address, const QString &Note);
    void Finished();
    void UpdateButtons();

    TScanOptions FDefaults;
    std::unique_ptr<TDeviceScan> FScan;
    std::thread FWorker;
    bool FRunning = false;
    QList<TScanDevice> FDevices;

    QListWidget *FPorts = nullptr;
    QListWidget *FBauds = nullptr;
    QSpinBox *FFirst = nullptr;
    QSpinBox *FLast = nullptr;
    QCheckBox *FFindAll = nullptr;
    QTableWidget *FResults = nullptr;
    QProgressBar *FProgress = nullptr;
    QLabel *FProgressText = nullptr;
    QPushButton *FStart = nullptr;
    QPushButton *FStop = nullptr;
    QPushButton *FApply = nullptr;
    QPushButton *FClose = nullptr;
};
