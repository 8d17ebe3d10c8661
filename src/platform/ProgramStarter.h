#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// The desktop programs the pop-up menu offers to start.
enum class DesktopProgram { MediaPlayer, Calculator, TextEditor, SystemInformation };

struct ProgramStart {
    bool started = false;
    // The program started, or the one found that would not start; empty
    // when none of those tried is installed.
    QString program;
    QStringList tried;
};

// Starts a desktop program without waiting for it.
class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    virtual ProgramStart start(DesktopProgram program) = 0;
};

// Starts the first installed one of the usual programs of its kind, found
// on the search path, detached from this process.
class SystemProgramStarter final : public ProgramStarter {
public:
    ProgramStart start(DesktopProgram program) override;
    // The programs tried for each kind, in order.
    static QStringList candidates(DesktopProgram program);
};

} // namespace platform
