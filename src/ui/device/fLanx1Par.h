#pragma once
// The parameters window "Параметры ЛАНКС1хх": every parameter of the device
// object, grouped. Clicking a value starts its edit through the main window's
// action (which does nothing while the action is disabled); the descriptions
// of the level and the volume are edited here directly.
#include <QWidget>
#include <functional>
#include <map>

class QAction;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QToolButton;
class TDescriptionOfDouble;
class TFormMain;

class TFormLanx1Par : public QWidget {
    Q_OBJECT
public:
    static const QString kUndefined; // "Значение не определено"

    explicit TFormLanx1Par(QWidget *Parent = nullptr);
    ~TFormLanx1Par() override;

    // Redraws the window from the device object; never throws.
    void RefreshView();

    // ---- controls (names of the window definition)
    QLabel *lblPlantNumber = nullptr;
    QLabel *lblSystemAddress = nullptr;
    QLabel *lblModification = nullptr;
    // The level's (1) and the volume's (2) description.
    QLabel *lblTitle1 = nullptr, *lblHint1 = nullptr, *lblDimension1 = nullptr, *lblDigits1 = nullptr;
    QLabel *lblMaximum1 = nullptr, *lblMinimum1 = nullptr, *lblMaximumTitle1 = nullptr, *lblMinimumTitle1 = nullptr;
    QLabel *lblTitle2 = nullptr, *lblHint2 = nullptr, *lblDimension2 = nullptr, *lblDigits2 = nullptr;
    QLabel *lblMaximum2 = nullptr, *lblMinimum2 = nullptr, *lblMaximumTitle2 = nullptr, *lblMinimumTitle2 = nullptr;
    QGroupBox *gbCalibration = nullptr;
    QLabel *lblCalibrationValueTitle = nullptr;
    QLabel *lblFreq2 = nullptr, *lblValue2 = nullptr, *lblFreq1 = nullptr, *lblValue1 = nullptr;
    QToolButton *btnFreq2Auto = nullptr;
    QToolButton *btnFreq1Auto = nullptr;
    QComboBox *cmbModeCurrentOutput = nullptr;
    QLabel *lblModeCurrentOutput = nullptr; // hidden
    QLabel *lblValue20mATitle = nullptr;
    QLabel *lblValue20mA = nullptr;
    QLabel *lblTurning4mA = nullptr;
    QLabel *lblTurning20mA = nullptr;
    QLabel *lblKKalman = nullptr;

protected:
    bool eventFilter(QObject *Watched, QEvent *Event) override;
    void showEvent(QShowEvent *Event) override;
    void keyPressEvent(QKeyEvent *Event) override;
    void closeEvent(QCloseEvent *Event) override;

private:
    using TMainAction = QAction *TFormMain::*;

    void CreateControls();
    QGroupBox *CreateSignatureGroup();
    QGroupBox *CreateDescriptionGroup(const QString &Caption, int N);
    QGroupBox *CreateCalibrationGroup();
    QGroupBox *CreateCurrentOutputGroup();
    QGroupBox *CreateParametersGroup();
    // A value label; Click (when given) runs on a left click, and such a label
    // looks like a link.
    QLabel *NewValue(QWidget *Parent, const QString &Name, std::function<void()> Click, bool Link = true);
    // The click of a value label that executes a main-window action.
    std::function<void()> RunAction(TMainAction Action) const;
    // The description edit of the level (1) or the volume (2).
    std::function<void()> EditDescription(int N) const;
    void RefreshDescription(const TDescriptionOfDouble &D, int N);
    void ModeSelected(int Index);
    void ShowCalibrationMenu(const QPoint &Position);

    std::map<QObject *, std::function<void()>> FClicks;
};

// The window while it is open, else nullptr.
extern TFormLanx1Par *FormLanx1Par;

// Creates the window when it is closed, then shows it (not modal).
void ShowLanx1Par();
// RefreshView of the open window; nothing when it is closed.
void RefreshLanx1Par();
