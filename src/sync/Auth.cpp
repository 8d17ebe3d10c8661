#include "Auth.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

#include <optional>

namespace carddav {

bool isLoopback(const QUrl& url) {
    const QString host = url.host().toLower();
    if (host == QLatin1String("localhost") || host == QLatin1String("::1")) {
        return true;
    }
    // 127.0.0.0/8, written out in full as a URL's host is.
    const QStringList parts = host.split(u'.');
    bool numbers = parts.size() == 4;
    for (const QString& part : parts) {
        bool ok = false;
        numbers = numbers && part.toUInt(&ok) <= 255 && ok;
    }
    return numbers && parts.front() == QLatin1String("127");
}

namespace {

struct Challenge {
    QByteArray scheme;
    QList<std::pair<QByteArray, QByteArray>> params; // names in lower case

    QByteArray param(QByteArrayView name) const {
        for (const auto& [key, value] : params) {
            if (key == name) {
                return value;
            }
        }
        return {};
    }
};

// The challenges of WWW-Authenticate values, which may hold several each
// ("Basic realm="a", Digest realm="b", nonce="c"").
class ChallengeParser {
public:
    explicit ChallengeParser(const QByteArray& text)
        : text_(text) {}

    QList<Challenge> all() {
        QList<Challenge> challenges;
        while (skipSpaceAndCommas()) {
            const QByteArray word = token();
            if (word.isEmpty()) {
                ++at_; // not a token: pass over it
                continue;
            }
            skipSpace();
            if (at_ < text_.size() && text_[at_] == '=' && !challenges.isEmpty()) {
                ++at_;
                skipSpace();
                challenges.back().params.append({word.toLower(), value()});
            } else {
                challenges.append({word, {}});
            }
        }
        return challenges;
    }

private:
    bool skipSpaceAndCommas() {
        while (at_ < text_.size() && (text_[at_] == ',' || text_[at_] == ' ' ||
                                      text_[at_] == '\t' || text_[at_] == '\n')) {
            ++at_;
        }
        return at_ < text_.size();
    }
    void skipSpace() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) {
            ++at_;
        }
    }
    QByteArray token() {
        const qsizetype start = at_;
        while (at_ < text_.size() && text_[at_] != '=' && text_[at_] != ',' && text_[at_] != ' ' &&
               text_[at_] != '\t' && text_[at_] != '"' && text_[at_] != '\n') {
            ++at_;
        }
        // token68 (Basic's answer form) ends in '='s: not used in challenges.
        return text_.mid(start, at_ - start);
    }
    QByteArray value() {
        if (at_ < text_.size() && text_[at_] == '"') {
            QByteArray quoted;
            for (++at_; at_ < text_.size() && text_[at_] != '"'; ++at_) {
                if (text_[at_] == '\\' && at_ + 1 < text_.size()) {
                    ++at_;
                }
                quoted += text_[at_];
            }
            ++at_;
            return quoted;
        }
        return token();
    }

    QByteArray text_;
    qsizetype at_ = 0;
};

std::optional<QCryptographicHash::Algorithm> hashOf(const QByteArray& algorithm) {
    const QByteArray name = algorithm.toUpper();
    if (name.isEmpty() || name == "MD5" || name == "MD5-SESS") {
        return QCryptographicHash::Md5;
    }
    if (name == "SHA-256" || name == "SHA-256-SESS") {
        return QCryptographicHash::Sha256;
    }
    return std::nullopt;
}

QByteArray quoted(const QByteArray& text) {
    QByteArray escaped = text;
    escaped.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + escaped + '"';
}

} // namespace

Authorizer::Authorizer(Credentials credentials, std::function<QByteArray()> clientNonce)
    : credentials_(std::move(credentials))
    , clientNonce_(clientNonce ? std::move(clientNonce) : [] {
        return QByteArray::number(QRandomGenerator::system()->generate64(), 16);
    }) {}

Authorizer::Outcome Authorizer::challenged(const QList<QByteArray>& challenges, const QUrl& url) {
    QList<Challenge> offered;
    for (const QByteArray& header : challenges) {
        offered << ChallengeParser(header).all();
    }
    const Challenge* digest = nullptr;
    const Challenge* basic = nullptr;
    for (const Challenge& challenge : offered) {
        const QByteArray scheme = challenge.scheme.toLower();
        // SHA-256 before MD5 where a server offers both.
        if (scheme == "digest" && hashOf(challenge.param("algorithm")) &&
            (!digest || hashOf(challenge.param("algorithm")) == QCryptographicHash::Sha256)) {
            digest = &challenge;
        } else if (scheme == "basic") {
            basic = &challenge;
        }
    }
    if (digest) {
        // A fresh nonce (stale=true) is no refusal of the password.
        const bool stale = digest->param("stale").toLower() == "true";
        if (answered_ && scheme_ == "Digest" && !stale) {
            return Outcome::Refused;
        }
        scheme_ = "Digest";
        realm_ = digest->param("realm");
        nonce_ = digest->param("nonce");
        opaque_ = digest->param("opaque");
        algorithm_ = digest->param("algorithm");
        qopAuth_ = false;
        for (const QByteArray& qop : digest->param("qop").split(',')) {
            qopAuth_ = qopAuth_ || qop.trimmed() == "auth";
        }
        sessionKey_ = algorithm_.toLower().endsWith("-sess");
        count_ = 0;
        answered_ = false;
        return Outcome::Answered;
    }
    if (basic) {
        if (url.scheme() != QLatin1String("https") && !isLoopback(url)) {
            return Outcome::Insecure;
        }
        if (answered_ && scheme_ == "Basic") {
            return Outcome::Refused;
        }
        scheme_ = "Basic";
        answered_ = false;
        return Outcome::Answered;
    }
    return Outcome::Unsupported;
}

QByteArray Authorizer::authorization(const QByteArray& method, const QUrl& url) {
    if (scheme_.isEmpty()) {
        // Sent before any challenge where it may be: most servers ask for
        // it, and a first request refused can cost its connection.
        if (url.scheme() != QLatin1String("https") && !isLoopback(url)) {
            return {};
        }
        scheme_ = "Basic";
    }
    answered_ = true;
    const QByteArray user = credentials_.user.toUtf8();
    const QByteArray password = credentials_.password.toUtf8();
    if (scheme_ == "Basic") {
        return "Basic " + (user + ':' + password).toBase64();
    }
    const QCryptographicHash::Algorithm algorithm = *hashOf(algorithm_);
    const auto hash = [algorithm](const QByteArray& text) {
        return QCryptographicHash::hash(text, algorithm).toHex();
    };
    const QByteArray uri = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority);
    const QByteArray cnonce = clientNonce_();
    const QByteArray count = QByteArray::number(++count_, 16).rightJustified(8, '0');
    QByteArray ha1 = hash(user + ':' + realm_ + ':' + password);
    if (sessionKey_) {
        ha1 = hash(ha1 + ':' + nonce_ + ':' + cnonce);
    }
    const QByteArray ha2 = hash(method + ':' + uri);
    const QByteArray response =
        qopAuth_ ? hash(ha1 + ':' + nonce_ + ':' + count + ':' + cnonce + ":auth:" + ha2)
                 : hash(ha1 + ':' + nonce_ + ':' + ha2);
    QByteArray header = "Digest username=" + quoted(user) + ", realm=" + quoted(realm_) +
                        ", nonce=" + quoted(nonce_) + ", uri=" + quoted(uri) +
                        ", response=" + quoted(response);
    if (!algorithm_.isEmpty()) {
        header += ", algorithm=" + algorithm_;
    }
    if (!opaque_.isEmpty()) {
        header += ", opaque=" + quoted(opaque_);
    }
    if (qopAuth_) {
        header += ", qop=auth, nc=" + count + ", cnonce=" + quoted(cnonce);
    }
    return header;
}

} // namespace carddav
