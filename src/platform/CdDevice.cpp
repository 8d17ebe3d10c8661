#include "CdDevice.h"

#include <QEventLoop>
#include <QFile>
#include <QStringList>

#include <functional>
#include <iterator>
#include <optional>
#include <thread>

#ifdef Q_OS_WIN
#include <windows.h>
// after windows.h, whose types it needs
#include <mmsystem.h>
#else
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace platform {

SystemCdDevice::SystemCdDevice(QString devicePath)
    : devicePath_(std::move(devicePath)) {}

#ifdef Q_OS_WIN

QString SystemCdDevice::firstOpticalDrive() {
    return {};
}

DeviceReply SystemCdDevice::sendString(const QString& command) {
    wchar_t reply[50] = {};
    const MCIERROR code = mciSendStringW(reinterpret_cast<LPCWSTR>(command.utf16()), reply,
                                         static_cast<UINT>(std::size(reply)), nullptr);
    return {static_cast<int>(code), QString::fromWCharArray(reply)};
}

#else

namespace {

enum class Request { MediaPresent, DoorOpen, DoorClosed };

// Reads one of the three commands the program sends; the words may be in
// any case and separated by any blanks.
std::optional<Request> parse(const QString& command, int& error) {
    const QStringList words = command.toLower().split(u' ', Qt::SkipEmptyParts);
    error = mci::unrecognisedCommand;
    if (words.size() != 4) {
        return std::nullopt;
    }
    if (words[1] != u"cdaudio") {
        error = mci::invalidDeviceName;
        return std::nullopt;
    }
    if (words[0] == u"status" && words[2] == u"media" && words[3] == u"present") {
        return Request::MediaPresent;
    }
    if (words[0] == u"set" && words[2] == u"door" && words[3] == u"open") {
        return Request::DoorOpen;
    }
    if (words[0] == u"set" && words[2] == u"door" && words[3] == u"closed") {
        return Request::DoorClosed;
    }
    return std::nullopt;
}

DeviceReply carryOut(int fd, Request request) {
    switch (request) {
    case Request::MediaPresent: {
        const int status = ::ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
        if (status < 0 || status == CDS_NO_INFO) {
            return {mci::hardware, {}};
        }
        return {0, status == CDS_DISC_OK ? QStringLiteral("true") : QStringLiteral("false")};
    }
    case Request::DoorOpen:
        return {::ioctl(fd, CDROMEJECT) == 0 ? 0 : mci::hardware, {}};
    case Request::DoorClosed:
        return {::ioctl(fd, CDROMCLOSETRAY) == 0 ? 0 : mci::hardware, {}};
    }
    return {mci::unrecognisedCommand, {}};
}

// A drive may take seconds to move its tray or spin up. The windows go on
// painting meanwhile; what the user does waits until the drive has answered.
DeviceReply withoutFreezing(const std::function<DeviceReply()>& work) {
    DeviceReply reply;
    QEventLoop loop;
    std::thread worker([&] {
        reply = work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    return reply;
}

} // namespace

// The kernel lists its drives newest first, so the first one is the last named.
QString SystemCdDevice::firstOpticalDrive() {
    QFile info(QStringLiteral("/proc/sys/dev/cdrom/info"));
    if (info.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (const QByteArray& line : info.readAll().split('\n')) {
            if (line.startsWith("drive name:")) {
                const QList<QByteArray> names = line.mid(11).simplified().split(' ');
                if (!names.last().isEmpty()) {
                    return QStringLiteral("/dev/") + QString::fromLatin1(names.last());
                }
            }
        }
    }
    return QStringLiteral("/dev/cdrom");
}

DeviceReply SystemCdDevice::sendString(const QString& command) {
    int error = 0;
    const std::optional<Request> request = parse(command, error);
    if (!request) {
        return {error, {}};
    }
    const QByteArray path = QFile::encodeName(devicePath_);
    return withoutFreezing([&path, request] {
        const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK);
        if (fd < 0) {
            return DeviceReply{mci::deviceNotReady, {}};
        }
        const DeviceReply reply = carryOut(fd, *request);
        ::close(fd);
        return reply;
    });
}

#endif

} // namespace platform
