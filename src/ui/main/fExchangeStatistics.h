#pragma once
// "Статистика обмена": how the exchanges with the device went, by outcome,
// with the quality of the latest exchanges, the response times and their
// histogram; refreshed while it is shown. One window for the program.
// Also the status-bar panel of the main window that sums it up.
#include "uExchangeStatistics.h"

#include <QWidget>

class QCPBars;
class QCustomPlot;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

// "98,7 % · 47 мс": answered per cent of the latest exchanges and the mean
// response time; "—" before any exchange.
QString QualityPanelText(const TExchangeCounts &Counts);
// Under this answered per cent the quality shows in red.
constexpr double QualityWarningPercent = 90;
bool QualityWarning(const TExchangeCounts &Counts);
// Puts the text and the colour of the summary into Panel.
void ShowQualityPanel(QLabel *Panel, const TExchangeCounts &Counts);

class TFormExchangeStatistics : public QWidget {
    Q_OBJECT
public:
    static constexpr int RefreshMs = 500;

    // Opens the window (or brings the open one to the front).
    static TFormExchangeStatistics *ShowWindow(QWidget *Parent);
    // The open window, else nullptr.
    static TFormExchangeStatistics *Instance();
    ~TFormExchangeStatistics() override;

    // Reads the engine's counters and shows them.
    void RefreshStatistics();
    // "Сбросить": every counter to zero.
    void ResetStatistics();

    QTableWidget *Counts() const { return FCounts; }
    QLabel *Quality() const { return FQuality; }
    QLabel *Response() const { return FResponse; }
    QCPBars *Bars() const { return FBars; }
    QCustomPlot *Chart() const { return FChart; }
    QPushButton *ResetButton() const { return FReset; }

protected:
    void showEvent(QShowEvent *Event) override;
    void hideEvent(QHideEvent *Event) override;
    // Esc closes the window, wherever the focus is in it.
    void keyPressEvent(QKeyEvent *Event) override;

private:
    explicit TFormExchangeStatistics(QWidget *Parent);
    void Show(const TExchangeCounts &C);

    QTableWidget *FCounts = nullptr;
    QLabel *FQuality = nullptr;
    QLabel *FResponse = nullptr;
    QCustomPlot *FChart = nullptr;
    QCPBars *FBars = nullptr;
    QPushButton *FReset = nullptr;
    QTimer *FTimer = nullptr;
};
