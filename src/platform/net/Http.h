#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <atomic>
#include <memory>
#include <utility>

namespace net {

using Headers = QList<std::pair<QByteArray, QByteArray>>;

// One HTTP exchange. The system's HTTP stack follows no redirect and sends
// no credentials of its own: the caller decides both, and what a server
// may be told.
struct Request {
    QByteArray method = "GET";
    QUrl url;
    Headers headers;
    QByteArray body;
};

// Why no answer came, as the user is told it. Reset: the server closed the
// connection before answering, as some do when they refuse a request
// before reading its body; the request may be sent again.
enum class Failure { Refused, HostNotFound, NoAnswer, Reset, Insecure, TooLarge, Cancelled, Other };
QString failureText(Failure failure, const QString& host, const QString& detail = {});

struct Response {
    int status = 0; // 0: no answer; `failure` and `error` say why
    Headers headers;
    QByteArray body;
    Failure failure = Failure::Other;
    QString error; // a Chinese sentence for the user

    // The first header of that name, whatever its case; empty without it.
    QByteArray header(QByteArrayView name) const;
    // Every header of that name, in order (WWW-Authenticate comes again).
    QList<QByteArray> headerValues(QByteArrayView name) const;
};

// Sends requests one at a time, each waiting for its answer: for a thread
// that does nothing else (a sync runs on its own).
class Http {
public:
    virtual ~Http() = default;
    // Fails (status 0) on a network error, on no answer within the time
    // out, on an answer larger than `maxBody`, or once `cancelled` is set.
    virtual Response send(const Request& request) = 0;

    static constexpr qint64 maxBody = 64 << 20;
};

// The system's: Qt Network on Linux, WinHTTP on Windows, with the system's
// certificates and proxy. Used from the thread that made it.
std::unique_ptr<Http> systemHttp(const std::atomic_bool* cancelled = nullptr,
                                 int timeoutMs = 60000);

} // namespace net
