#include "Http.h"

#include <windows.h>
#include <winhttp.h>

#include <memory>

namespace net {

namespace {

struct HandleCloser {
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

std::wstring wide(const QString& text) {
    return text.toStdWString();
}

Failure failureOf(DWORD error) {
    switch (error) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return Failure::Refused;
    case ERROR_WINHTTP_CONNECTION_ERROR:
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
    case WSAECONNRESET:
    case WSAECONNABORTED:
        return Failure::Reset;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return Failure::HostNotFound;
    case ERROR_WINHTTP_TIMEOUT:
        return Failure::NoAnswer;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        return Failure::Insecure;
    default:
        return Failure::Other;
    }
}

// The response's headers, from its raw lines after the status line.
Headers headersOf(HINTERNET request) {
    DWORD bytes = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                        WINHTTP_NO_OUTPUT_BUFFER, &bytes, WINHTTP_NO_HEADER_INDEX);
    std::wstring raw(bytes / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                             raw.data(), &bytes, WINHTTP_NO_HEADER_INDEX)) {
        return {};
    }
    Headers headers;
    const QStringList lines =
        QString::fromWCharArray(raw.c_str(), qsizetype(bytes / sizeof(wchar_t)))
            .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (const QString& line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(u':');
        if (colon > 0) {
            headers.append({line.first(colon).trimmed().toLatin1(),
                            line.sliced(colon + 1).trimmed().toUtf8()});
        }
    }
    return headers;
}

class WinHttp final : public Http {
public:
    WinHttp(const std::atomic_bool* cancelled, int timeoutMs)
        : cancelled_(cancelled)
        , session_(WinHttpOpen(L"yanshubu", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                               WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0)) {
        if (session_) {
            WinHttpSetTimeouts(session_.get(), timeoutMs, timeoutMs, timeoutMs, timeoutMs);
        }
    }

    Response send(const Request& request) override {
        Response response;
        const QString host = request.url.host();
        const auto fail = [&](Failure failure, DWORD error) {
            response.failure = failure;
            response.error = failureText(failure, host, QStringLiteral("WinHTTP %1").arg(error));
            return response;
        };
        if (cancelled()) {
            return fail(Failure::Cancelled, 0);
        }
        if (!session_) {
            return fail(Failure::Other, GetLastError());
        }
        const bool secure = request.url.scheme() == QLatin1String("https");
        const Handle connection(WinHttpConnect(session_.get(), wide(host).c_str(),
                                               INTERNET_PORT(request.url.port(secure ? 443 : 80)),
                                               0));
        if (!connection) {
            return fail(failureOf(GetLastError()), GetLastError());
        }
        const std::wstring method = wide(QString::fromLatin1(request.method));
        const std::wstring path = wide(
            request.url.toString(QUrl::FullyEncoded | QUrl::RemoveScheme | QUrl::RemoveAuthority));
        const Handle handle(WinHttpOpenRequest(
            connection.get(), method.c_str(), path.empty() ? L"/" : path.c_str(), nullptr,
            WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0));
        if (!handle) {
            return fail(failureOf(GetLastError()), GetLastError());
        }
        // Redirects and credentials are the caller's to decide.
        DWORD disabled = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES;
        WinHttpSetOption(handle.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof disabled);
        DWORD logon = WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH;
        WinHttpSetOption(handle.get(), WINHTTP_OPTION_AUTOLOGON_POLICY, &logon, sizeof logon);
        QString headers;
        for (const auto& [name, value] : request.headers) {
            headers += QString::fromLatin1(name) + QStringLiteral(": ") + QString::fromUtf8(value) +
                       QStringLiteral("\r\n");
        }
        const std::wstring headerText = wide(headers);
        if (!WinHttpSendRequest(
                handle.get(),
                headerText.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headerText.c_str(),
                DWORD(headerText.size()), const_cast<char*>(request.body.constData()),
                DWORD(request.body.size()), DWORD(request.body.size()), 0) ||
            !WinHttpReceiveResponse(handle.get(), nullptr)) {
            return fail(failureOf(GetLastError()), GetLastError());
        }
        DWORD status = 0;
        DWORD size = sizeof status;
        WinHttpQueryHeaders(handle.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
        QByteArray body;
        for (;;) {
            if (cancelled()) {
                return fail(Failure::Cancelled, 0);
            }
            DWORD available = 0;
            if (!WinHttpQueryDataAvailable(handle.get(), &available)) {
                return fail(failureOf(GetLastError()), GetLastError());
            }
            if (available == 0) {
                break;
            }
            if (body.size() + qint64(available) > maxBody) {
                return fail(Failure::TooLarge, 0);
            }
            const qsizetype at = body.size();
            body.resize(at + qsizetype(available));
            DWORD read = 0;
            if (!WinHttpReadData(handle.get(), body.data() + at, available, &read)) {
                return fail(failureOf(GetLastError()), GetLastError());
            }
            body.resize(at + qsizetype(read));
        }
        response.status = int(status);
        response.headers = headersOf(handle.get());
        response.body = std::move(body);
        return response;
    }

private:
    bool cancelled() const { return cancelled_ && cancelled_->load(); }

    const std::atomic_bool* cancelled_;
    Handle session_;
};

} // namespace

std::unique_ptr<Http> systemHttp(const std::atomic_bool* cancelled, int timeoutMs) {
    return std::make_unique<WinHttp>(cancelled, timeoutMs);
}

} // namespace net
