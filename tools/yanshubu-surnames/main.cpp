// Makes the table of how surnames are read:
//
//   yanshubu-surnames CORRECTIONS OUTPUT
//
// The surnames and their readings are those of ICU's Han-Latin/Names
// transform (单 shan, 曾 zeng, 尉迟 yu chi); CORRECTIONS
// (resources/data/surname-readings.csv) adds or replaces the ones it gets
// wrong, each with its source. OUTPUT receives the array
// src/platform/text/Surnames.cpp includes; the same ICU and corrections
// always give the same bytes, so the output is committed.

#include "GeneratedFile.h"
#include "Toneless.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <unicode/translit.h>
#include <unicode/uversion.h>

#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>

namespace {

using Readings = std::map<QString, QString>; // surname → its syllables, blank-separated

icu::UnicodeString toIcu(const QString& text) {
    return icu::UnicodeString(reinterpret_cast<const char16_t*>(text.utf16()), int(text.size()));
}

QString fromIcu(const icu::UnicodeString& text) {
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

// The surnames the transform's own rules name: a character read apart at
// the start of a name ("﷑{单} > shàn;"), or everywhere ("曾 > zēng;"), and
// the first of two that make one surname ("{令}' '?狐 > líng;").
Readings fromIcu() {
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::Transliterator> names(
        icu::Transliterator::createInstance("Han-Latin/Names", UTRANS_FORWARD, status));
    if (U_FAILURE(status)) {
        throw std::runtime_error(std::string("no Han-Latin/Names transform: ") +
                                 u_errorName(status));
    }
    icu::UnicodeString rules;
    names->toRules(rules, false);
    static const QRegularExpression rule(
        QStringLiteral("^\\x{FDD1}?\\{?(\\p{Han})\\}?(?:' '\\?(\\p{Han}))?\\s*>"));
    Readings readings;
    for (const QString& line : fromIcu(rules).split(u'\n')) {
        const QRegularExpressionMatch match = rule.match(line);
        if (!match.hasMatch()) {
            continue;
        }
        const QString surname = match.captured(1) + match.captured(2);
        icu::UnicodeString read = toIcu(surname);
        names->transliterate(read);
        readings[surname] = tools::toneless(fromIcu(read));
    }
    if (readings.empty()) {
        throw std::runtime_error("no surnames in the Han-Latin/Names rules");
    }
    return readings;
}

// surname,reading,source: each row replaces the transform's reading.
void correct(Readings& readings, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read " + path.toStdString());
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : lines.sliced(1)) {
        const QStringList columns = line.split(u',');
        if (columns.size() < 3 || columns[2].trimmed().isEmpty()) {
            throw std::runtime_error("a correction without its source: " + line.toStdString());
        }
        readings[columns[0]] = tools::toneless(columns[1]);
    }
}

QString table(const Readings& readings) {
    QString text =
        QStringLiteral("// Made by yanshubu-surnames from ICU %1's Han-Latin/Names transform and\n"
                       "// resources/data/surname-readings.csv. Do not edit.\n\n"
                       "// Surnames in code-point order, each with its syllables.\n"
                       "constexpr SurnameReading surnames[] = {\n")
            .arg(QString::fromLatin1(U_ICU_VERSION));
    for (const auto& [surname, reading] : readings) {
        text += QStringLiteral("    {u\"%1\", \"%2\"},\n").arg(surname, reading);
    }
    return text + QStringLiteral("};\n");
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: yanshubu-surnames CORRECTIONS OUTPUT\n");
        return 2;
    }
    try {
        Readings readings = fromIcu();
        correct(readings, args[1]);
        tools::writeGenerated(args[2], table(readings));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "yanshubu-surnames: %s\n", e.what());
        return 1;
    }
    return 0;
}
