#pragma once

#include <QString>

namespace platform {

// Whether another copy of this same program is already running.
class ProgramInstance {
public:
    virtual ~ProgramInstance() = default;
    virtual bool previousInstance() = 0;
};

// Holds an advisory lock on a file named after the program's executable for
// as long as the process lives. The kernel drops the lock when the process
// ends, however it ends, so a crashed copy never blocks the next start.
class LockFileInstance final : public ProgramInstance {
public:
    explicit LockFileInstance(const QString& executablePath);
    ~LockFileInstance() override;
    LockFileInstance(const LockFileInstance&) = delete;
    LockFileInstance& operator=(const LockFileInstance&) = delete;

    // The first call takes the lock if it is free; later calls repeat the answer.
    bool previousInstance() override;

    // Where the lock of the program at this path lives.
    static QString lockPath(const QString& executablePath);

private:
    QString path_;
    int fd_ = -1;
    bool asked_ = false;
    bool previous_ = false;
};

} // namespace platform
