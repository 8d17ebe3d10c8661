#pragma once

#include "Files.h"

#include "platform/CdDevice.h"
#include "platform/Clock.h"
#include "platform/Keyboard.h"
#include "platform/ProgramInstance.h"
#include "platform/ProgramStarter.h"
#include "platform/Secrets.h"
#include "platform/Services.h"
#include "platform/db/Connection.h"
#include "platform/ui/FileDialog.h"
#include "platform/ui/InputBox.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Progress.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>

class QWidget;

#include <deque>
#include <functional>
#include <vector>

namespace test {

// Answers message boxes from a script; anything not scripted is recorded as
// a failure instead of blocking the test on a modal dialog.
class ScriptedMessageBox final : public ui::MessageBoxService {
public:
    void expect(const QString& text, const QString& title, ui::Answer answer = ui::Answer::Ok);
    // A database failure, whose text names the file: matched by a fragment.
    void expectError(const QString& fragment);
    // Empty when every box came as scripted and every scripted box came.
    QStringList problems() const;
    QList<ui::Message> shown;
    // Runs as each box comes up, to see what is on screen at that moment.
    std::function<void(const ui::Message&)> onShow;

protected:
    ui::Answer present(const ui::Message& message) override;

private:
    struct Expected {
        QString text;
        QString title;
        ui::Answer answer;
        bool fragment = false;
    };
    std::deque<Expected> script_;
    QStringList problems_;
};

class ScriptedInputBox final : public ui::InputBoxService {
public:
    std::optional<QString> ask(const QString& prompt, const QString& title,
                               const QString& initial) override;
    std::deque<std::optional<QString>> answers;
    QStringList prompts;
};

// Answers file dialogs from a list; an empty list cancels. Keeps what each
// offered and where it started.
class ScriptedFileDialog final : public ui::FileDialogService {
public:
    std::optional<ui::FileChoice> saveFileName(const QString&, const QString& suggested,
                                               const QStringList& filters) override {
        offered = filters;
        startedAt = suggested;
        return next();
    }
    std::optional<QString> openFileName(const QString&, const QString& folder,
                                        const QStringList& filters) override {
        offered = filters;
        startedAt = folder;
        const auto choice = next();
        return choice ? std::optional<QString>(choice->path) : std::nullopt;
    }
    std::deque<ui::FileChoice> answers;
    QStringList offered;
    QString startedAt; // the file offered, or the folder opened

private:
    std::optional<ui::FileChoice> next() {
        if (answers.empty()) {
            return std::nullopt;
        }
        const ui::FileChoice choice = answers.front();
        answers.pop_front();
        return choice;
    }
};

// Counts the steps of long work and cancels it at the one asked for.
class ScriptedProgress final : public ui::ProgressService {
public:
    void start(const QString& text) override {
        texts << text;
        running = true;
    }
    bool advance(qint64, qint64) override { return ++steps != cancelAtStep; }
    void finish() override { running = false; }
    QStringList texts;
    int steps = 0;
    int cancelAtStep = -1; // never
    bool running = false;
};

class FixedClock final : public platform::Clock {
public:
    QDateTime now() const override { return time; }
    QDateTime time{QDate(2026, 12, 7), QTime(9, 30, 0)};
};

class FakeInstance final : public platform::ProgramInstance {
public:
    bool previousInstance() override { return previous; }
    bool previous = false;
};

// Starts nothing: records what was asked for and answers as told.
class FakeProgramStarter final : public platform::ProgramStarter {
public:
    platform::ProgramStart start(platform::DesktopProgram program) override {
        requested.push_back(program);
        return answer;
    }
    std::vector<platform::DesktopProgram> requested;
    platform::ProgramStart answer{true, QStringLiteral("xcalc"), {QStringLiteral("xcalc")}};
};

// A drive that answers each command from a table, and remembers the commands.
class FakeCdDevice final : public platform::CdDevice {
public:
    platform::DeviceReply sendString(const QString& command) override {
        commands << command;
        return replies.value(command, {platform::mci::invalidDeviceName, {}});
    }
    QMap<QString, platform::DeviceReply> replies;
    QStringList commands;
};

class FakeKeyboard final : public platform::Keyboard {
public:
    platform::LockKeys lockKeys() override { return keys; }
    platform::LockKeys keys;
};

// The system's password store, in memory.
class MemorySecrets final : public platform::Secrets {
public:
    std::optional<QString> read(const QString& key) override {
        return kept.contains(key) ? std::optional(kept.value(key)) : std::nullopt;
    }
    bool write(const QString& key, const QString& secret) override {
        kept.insert(key, secret);
        return true;
    }
    void remove(const QString& key) override { kept.remove(key); }

    QHash<QString, QString> kept;
};

// A program folder whose path holds Chinese characters and blanks, with a
// fresh MY.mdb made by the same schema code as yanshubu-db.
class ProgramFolder {
public:
    ProgramFolder();
    QString path() const { return dir_.path(); }
    QString databasePath() const { return dir_.filePath(QStringLiteral("MY.mdb")); }

private:
    QTemporaryDir dir_;
};

// Every service a window needs, as doubles.
struct TestServices {
    ScriptedMessageBox messageBox;
    ScriptedInputBox inputBox;
    ScriptedFileDialog fileDialog;
    ScriptedProgress progress;
    FixedClock clock;
    FakeInstance instance;
    FakeProgramStarter programs;
    FakeCdDevice cdrom;
    FakeKeyboard keyboard;
    MemorySecrets secrets;
    ProgramFolder folder;
    platform::Services services{
        messageBox, inputBox, fileDialog,           progress, clock, instance, programs, cdrom,
        keyboard,   secrets,  folder.databasePath()};
};

// Another program holding the database file locked until released.
class FileLock {
public:
    explicit FileLock(const QString& databaseFile);
    void release();

private:
    db::Connection connection_;
};

// How many open files of the process (0: this one) are the file at path.
int openHandles(const QString& path, qint64 pid = 0);

// SQL run on the book as a writer that is no Book runs it (another copy
// of the program, say): the tables up to date, the triggers' functions
// there, nothing reserved.
void writeBook(const QString& databaseFile, const QString& sql);

// Fails the test unless this process has the file open exactly count
// times. Windows lists no process's open files, so there it checks nothing.
void expectOpenHandles(const QString& path, int count);

// The names of the controls that Tab stops at, starting with first, in
// the window of first; count names at most.
QStringList tabOrder(QWidget* first, int count);

// The labels of a window's design whose caption does not show whole in
// its font, or that reach into a box or button beside them.
QStringList labelsCut(QWidget* form);

// Text typed into a box as an input method commits it, the way Chinese arrives.
void commitText(QWidget* box, const QString& text);

} // namespace test
