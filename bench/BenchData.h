#pragma once

#include "platform/CdDevice.h"
#include "platform/Clock.h"
#include "platform/Keyboard.h"
#include "platform/ProgramInstance.h"
#include "platform/ProgramStarter.h"
#include "platform/Secrets.h"
#include "platform/Services.h"
#include "platform/ui/FileDialog.h"
#include "platform/ui/InputBox.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Progress.h"

#include <QList>
#include <QString>

namespace db {
class Connection;
}

namespace bench {

// Says yes to every question, so that the actions run to their end.
class YesToAll final : public ui::MessageBoxService {
protected:
    ui::Answer present(const ui::Message& message) override {
        return message.buttons == ui::Buttons::Ok ? ui::Answer::Ok : ui::Answer::Yes;
    }
};

class NoInput final : public ui::InputBoxService {
public:
    std::optional<QString> ask(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
};

class NoFile final : public ui::FileDialogService {
public:
    std::optional<ui::FileChoice> saveFileName(const QString&, const QString&,
                                               const QStringList&) override {
        return std::nullopt;
    }
    std::optional<QString> openFileName(const QString&, const QString&,
                                        const QStringList&) override {
        return std::nullopt;
    }
};

class FirstCopy final : public platform::ProgramInstance {
public:
    bool previousInstance() override { return false; }
};

// Nothing to start, no drive and no key locked: the benchmarks measure the program.
class NoPrograms final : public platform::ProgramStarter {
public:
    platform::ProgramStart start(platform::DesktopProgram) override { return {}; }
};

class NoDrive final : public platform::CdDevice {
public:
    platform::DeviceReply sendString(const QString&) override {
        return {platform::mci::invalidDeviceName, {}};
    }
};

class KeysUp final : public platform::Keyboard {
public:
    platform::LockKeys lockKeys() override { return {}; }
};

class NoSecrets final : public platform::Secrets {
public:
    std::optional<QString> read(const QString&) override { return std::nullopt; }
    bool write(const QString&, const QString&) override { return false; }
    void remove(const QString&) override {}
};

// Every service a window needs, answering as a user who says yes to all.
struct BenchServices {
    // The book is folder/MY.mdb, as makeDatabase makes it.
    explicit BenchServices(const QString& folder)
        : services{messageBox,
                   inputBox,
                   fileDialog,
                   progress,
                   clock,
                   instance,
                   programs,
                   cdrom,
                   keyboard,
                   secrets,
                   folder + QStringLiteral("/MY.mdb")} {}
    YesToAll messageBox;
    NoInput inputBox;
    NoFile fileDialog;
    ui::QtProgress progress;
    platform::SystemClock clock;
    FirstCopy instance;
    NoPrograms programs;
    NoDrive cdrom;
    KeysUp keyboard;
    NoSecrets secrets;
    platform::Services services;
};

// The book sizes given on the command line, or those of `otherwise`.
QList<int> countsFrom(int argc, char* argv[], const QList<int>& otherwise);

// Makes folder/MY.mdb holding that many generated contacts and the user
// admin with password 123456.
void makeDatabase(const QString& folder, int count);

// Fills yanshu with generated contacts of card-like size, in one transaction,
// named as contactName gives.
void generateContacts(db::Connection& connection, int count);

// The name of contact i of count: a common surname with one or two given
// characters, as real books have them, many names shared; the last three
// are all 重名.
QString contactName(int i, int count);

// What a plain program does: steps through SELECT * and reads every column
// as text, on a connection of its own. Returns the bytes of text read.
qint64 bareRead(const QString& path);

// This process's memory in KiB: resident now, and the most resident since it
// started or since resetPeak (Linux only; Windows keeps the first).
long residentKb();
long peakKb();
void resetPeak();

} // namespace bench
