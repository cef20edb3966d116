#pragma once
// The windows that the main window opens but other units build. A unit that
// provides one of them sets its hook when the program starts (src/app/main.cpp)
// and adds its refresh to RefreshHooks; a hook that is not set does nothing, so
// the main window works before and without those windows (tests).
#include "uDateTime.h"

#include <QString>
#include <functional>
#include <vector>

class TIODouble;

struct TWindowHooks {
    std::function<void()> ShowLanx1;        // readings window
    std::function<void()> ShowLanx1Par;     // parameters window
    std::function<void()> ShowTurning20mA;  // 20 mA trimming dialog (modal)
    std::function<void()> ShowTurning4mA;   // 4 mA trimming dialog (modal)
    std::function<void()> ShowTaraEditor;   // calibration-table editor
    // Graph window of the archive series Name (e.g. "aLevel") for the live value Value.
    std::function<void(const QString &Name, TIODouble &Value, const QString &Caption, TDateTime Start,
                       TDateTime Stop)>
        ShowGraph;
    // Redraws of the open windows that show device data, called in order by
    // the main window's RefreshAll after the command-selection window.
    std::vector<std::function<void()>> Refresh;
};

TWindowHooks &WindowHooks();
