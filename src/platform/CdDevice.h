#pragma once

#include <QString>

namespace platform {

// A multimedia command's answer: code 0 on success, and the reply text.
struct DeviceReply {
    int code = 0;
    QString text;
};

// The CD drive, driven by multimedia command strings such as
// "status cdaudio media present", "set cdaudio door open" and
// "set cdaudio door closed".
class CdDevice {
public:
    virtual ~CdDevice() = default;
    virtual DeviceReply sendString(const QString& command) = 0;
};

// Error codes of the multimedia command interface.
namespace mci {
constexpr int unrecognisedCommand = 261;
constexpr int hardware = 262;
constexpr int invalidDeviceName = 263;
constexpr int deviceNotReady = 276;
} // namespace mci

// The first optical drive of this machine. The drive is opened afresh for
// each command and without waiting, so that a missing, empty or busy drive
// answers at once.
class SystemCdDevice final : public CdDevice {
public:
    // The device file of the first optical drive, or the one given.
    explicit SystemCdDevice(QString devicePath = firstOpticalDrive());
    DeviceReply sendString(const QString& command) override;

    static QString firstOpticalDrive();

private:
    QString devicePath_;
};

} // namespace platform
