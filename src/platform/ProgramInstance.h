#pragma once

#include <QString>

#include <functional>

namespace platform {

// Whether another copy of this same program is already running.
class ProgramInstance {
public:
    virtual ~ProgramInstance() = default;
    virtual bool previousInstance() = 0;
};

// Holds a name that stands for the program's executable, for this user, as
// long as the process lives: on Linux a socket name in the abstract
// namespace, on Windows a named mutex. The system drops either when the
// process ends, however it ends, so a crashed copy never blocks the next
// start; neither leaves a file behind, and neither depends on environment
// variables, so every copy started by the same user finds the same name.
class SystemProgramInstance final : public ProgramInstance {
public:
    explicit SystemProgramInstance(const QString& executablePath);
    ~SystemProgramInstance() override;
    SystemProgramInstance(const SystemProgramInstance&) = delete;
    SystemProgramInstance& operator=(const SystemProgramInstance&) = delete;

    // The first call takes the name if it is free; later calls repeat the answer.
    bool previousInstance() override;

    // The name that stands for the program at this path.
    static QString lockName(const QString& executablePath);

private:
    QString name_;
    std::function<void()> release_;
    bool asked_ = false;
    bool previous_ = false;
};

} // namespace platform
