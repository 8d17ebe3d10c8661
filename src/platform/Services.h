#pragma once

#include <QString>

namespace ui {
class MessageBoxService;
class InputBoxService;
class FileDialogService;
class ProgressService;
} // namespace ui

namespace platform {

class CdDevice;
class Clock;
class Keyboard;
class ProgramInstance;
class ProgramStarter;
class Secrets;

// What the windows ask of the world outside the program; tests hand in
// doubles for each.
struct Services {
    ui::MessageBoxService& messageBox;
    ui::InputBoxService& inputBox;
    ui::FileDialogService& fileDialog;
    ui::ProgressService& progress;
    Clock& clock;
    ProgramInstance& instance;
    ProgramStarter& programs;
    CdDevice& cdrom;
    Keyboard& keyboard;
    Secrets& secrets;
    // The book file the program works on: MY.mdb beside the program, in the
    // user's data folder, or where the command line says.
    QString databaseFile;
};

} // namespace platform
