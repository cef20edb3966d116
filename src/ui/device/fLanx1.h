#pragma once
// The readings window "Показания ЛАНКС1хх": the live level on a gauge and as
// text, the volume and the frequency, and the outcome of the last exchange.
// The window shows the device object and changes nothing in it.
#include <QWidget>
#include <memory>

class QGroupBox;
class QLabel;
class TIODoubleLabel;
class TIODoubleStaticText;
class TIODoubleVHistogram;
class TIOIntegerLabel;
class TVHistogram;

class TFormLanx1 : public QWidget {
    Q_OBJECT
public:
    explicit TFormLanx1(QWidget *Parent = nullptr);
    ~TFormLanx1() override;

    // Redraws the window from the device object; never throws.
    void RefreshView();

    // ---- controls (names of the window definition)
    TVHistogram *vhLevel = nullptr;
    QLabel *stxLevel = nullptr;
    QGroupBox *gbReadings = nullptr;
    QLabel *lblLevelDescription = nullptr;
    QLabel *lblLevel = nullptr;
    QLabel *lblVolumeDescription = nullptr;
    QLabel *lblVolume = nullptr;
    QLabel *lblFreqDescription = nullptr;
    QLabel *lblFreq = nullptr;
    QGroupBox *gbErrors = nullptr;
    QLabel *lblErrorByte = nullptr;
    QLabel *lblErrorMessage = nullptr;

protected:
    void showEvent(QShowEvent *Event) override;
    void keyPressEvent(QKeyEvent *Event) override;
    void closeEvent(QCloseEvent *Event) override;

private:
    void CreateControls();
    void SetUpGauge();
    void CreateBindings();
    // Detaches every binding from its source and frees it.
    void FreeBindings();
    void AssignDescriptions();
    void SetErrorsColor(bool Error);

    // Bindings to the device object's readings; empty once the window closed.
    std::unique_ptr<TIODoubleVHistogram> FLevelGauge;
    std::unique_ptr<TIODoubleStaticText> FLevelText;
    std::unique_ptr<TIODoubleLabel> FLevelLabel;
    std::unique_ptr<TIODoubleLabel> FVolumeLabel;
    std::unique_ptr<TIOIntegerLabel> FFreqLabel;
};

// The window while it is open, else nullptr.
extern TFormLanx1 *FormLanx1;

// Creates the window when it is closed, then shows it (not modal).
void ShowLanx1();
// RefreshView of the open window; nothing when it is closed.
void RefreshLanx1();
