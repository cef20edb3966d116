#pragma once
// The pictures of the tool-bar buttons, drawn in code: no icon theme and no
// picture files are needed, so every machine shows the same buttons. Each
// picture is vector drawing on a 24-unit grid, sharp at any size; the
// disabled picture is the same drawing in grey.
#include <QIcon>

enum class TToolIcon {
    // Main window.
    OpenFile,       // folder
    SaveFile,       // diskette
    PollStart,      // green triangle
    PollStop,       // red square
    CommandList,    // list with ticked boxes
    Readings,       // dial
    Parameters,     // sliders
    Trimming20mA,   // current loop marked 20
    Trimming4mA,    // current loop marked 4
    TableEditor,    // table with a curve
    ReadAll,        // circular arrows
    ReadLevel,      // tank with a level line
    ReadVolume,     // filled tank
    ReadFrequency,  // sine wave
    ReadFromDevice, // device to computer
    WriteToDevice,  // computer to device
    Exit,           // door with an arrow out
    // Graph window.
    UndoZoom,       // magnifier with a back arrow
    ZoomOut,        // magnifier with minus
    ZoomIn,         // magnifier with plus
    ShowAllX,       // horizontal arrow between two bars
    ShowAllY,       // vertical arrow between two bars
    SetYRange,      // Y axis with a marked band
    ShowAll,        // curve in four corners
    PointsShow,     // line with markers
    PointsHide,     // line with a struck-out marker
    FollowOn,       // arrow running to the end
    FollowOff,      // arrow to the end, struck out
    PrintPreview,   // printer
    CloseWindow,    // window with a red cross
    Count           // not a picture: the number of pictures
};

// The picture of Kind; a null icon for Count.
QIcon ToolIcon(TToolIcon Kind);
