#pragma once

#include <QRegularExpression>
#include <QString>

#include <stdexcept>

namespace tools {

// "lǚ" → "lv", "ḿ" → "m", "ê̄" → "e", "zhǎng sūn" → "zhang sun": the letters
// without their marks, in lower case, except that u with a diaeresis is v,
// as in the pinyin table. Throws for anything that is not syllables so read.
inline QString toneless(const QString& reading) {
    QString plain;
    for (const QChar c : reading.normalized(QString::NormalizationForm_D)) {
        if (c == QChar(0x0308) && plain.endsWith(u'u')) {
            plain.back() = u'v';
        } else if (c.category() != QChar::Mark_NonSpacing) {
            plain += c.toLower();
        }
    }
    static const QRegularExpression syllables(QStringLiteral("^[a-z]+( [a-z]+)*$"));
    if (!syllables.match(plain).hasMatch()) {
        throw std::runtime_error("unexpected reading " + reading.toStdString());
    }
    return plain;
}

} // namespace tools
