#include "Http.h"

namespace net {

QByteArray Response::header(QByteArrayView name) const {
    const QList<QByteArray> values = headerValues(name);
    return values.isEmpty() ? QByteArray() : values.front();
}

QList<QByteArray> Response::headerValues(QByteArrayView name) const {
    QList<QByteArray> values;
    for (const auto& [key, value] : headers) {
        if (QByteArrayView(key).compare(name, Qt::CaseInsensitive) == 0) {
            values << value;
        }
    }
    return values;
}

QString failureText(Failure failure, const QString& host, const QString& detail) {
    switch (failure) {
    case Failure::Refused:
        return QStringLiteral("无法连接服务器“%1”。").arg(host);
    case Failure::HostNotFound:
        return QStringLiteral("找不到服务器“%1”。").arg(host);
    case Failure::NoAnswer:
        return QStringLiteral("服务器“%1”没有回答。").arg(host);
    case Failure::Reset:
        return QStringLiteral("服务器“%1”断开了连接。").arg(host);
    case Failure::Insecure:
        return QStringLiteral("无法与服务器“%1”建立安全连接：它的证书不受信任或已过期。").arg(host);
    case Failure::TooLarge:
        return QStringLiteral("服务器“%1”的回答太大。").arg(host);
    case Failure::Cancelled:
        return QStringLiteral("已取消。");
    case Failure::Other:
        break;
    }
    return QStringLiteral("与服务器“%1”通信时出错：%2").arg(host, detail);
}

} // namespace net
