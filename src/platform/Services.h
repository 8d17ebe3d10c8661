#pragma once

#include <QString>

namespace ui {
class MessageBoxService;
class InputBoxService;
class FileDialogService;
} // namespace ui

namespace platform {

class Clock;
class ProgramInstance;

// What the windows ask of the world outside the program; tests hand in
// doubles for each.
struct Services {
    ui::MessageBoxService& messageBox;
    ui::InputBoxService& inputBox;
    ui::FileDialogService& fileDialog;
    Clock& clock;
    ProgramInstance& instance;
    // The folder that holds the program and its MY.mdb.
    QString programFolder;
};

} // namespace platform
