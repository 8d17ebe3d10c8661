#include "Http.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace net {

namespace {

class QtHttp final : public Http {
public:
    QtHttp(const std::atomic_bool* cancelled, int timeoutMs)
        : cancelled_(cancelled)
        , timeoutMs_(timeoutMs) {
        // Credentials are the caller's: Qt's own would answer a challenge
        // over plain HTTP too, and remember them.
        manager_.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    }

    Response send(const Request& request) override {
        QNetworkRequest out(request.url);
        out.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
        out.setTransferTimeout(timeoutMs_);
        for (const auto& [name, value] : request.headers) {
            out.setRawHeader(name, value);
        }
        std::unique_ptr<QNetworkReply> reply(
            manager_.sendCustomRequest(out, request.method, request.body));
        Response response;
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(
            reply.get(), &QNetworkReply::downloadProgress, &loop, [&](qint64 received, qint64) {
                if (received > maxBody) {
                    response.failure = Failure::TooLarge;
                    response.error = failureText(Failure::TooLarge, request.url.host());
                    reply->abort();
                }
            });
        // Asked often, a cancel stops the exchange at once.
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
            if (cancelled_ && cancelled_->load()) {
                reply->abort();
            }
        });
        watch.start(20);
        if (!reply->isFinished()) {
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        }
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!response.error.isEmpty()) {
            return response;
        }
        if (cancelled_ && cancelled_->load()) {
            response.failure = Failure::Cancelled;
            response.error = failureText(Failure::Cancelled, {});
            return response;
        }
        if (!status.isValid()) {
            response.failure = failureOf(*reply);
            response.error =
                failureText(response.failure, request.url.host(), reply->errorString());
            return response;
        }
        response.status = status.toInt();
        for (const auto& [name, value] : reply->rawHeaderPairs()) {
            response.headers.append({name, value});
        }
        response.body = reply->readAll();
        return response;
    }

private:
    static Failure failureOf(const QNetworkReply& reply) {
        switch (reply.error()) {
        case QNetworkReply::ConnectionRefusedError:
            return Failure::Refused;
        case QNetworkReply::RemoteHostClosedError:
            return Failure::Reset;
        case QNetworkReply::HostNotFoundError:
            return Failure::HostNotFound;
        case QNetworkReply::TimeoutError:
        case QNetworkReply::OperationCanceledError: // the transfer timed out
            return Failure::NoAnswer;
        case QNetworkReply::SslHandshakeFailedError:
            return Failure::Insecure;
        default:
            return Failure::Other;
        }
    }

    const std::atomic_bool* cancelled_;
    int timeoutMs_;
    QNetworkAccessManager manager_;
};

} // namespace

std::unique_ptr<Http> systemHttp(const std::atomic_bool* cancelled, int timeoutMs) {
    return std::make_unique<QtHttp>(cancelled, timeoutMs);
}

} // namespace net
