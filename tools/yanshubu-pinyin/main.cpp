// Makes the table of the Mandarin readings of Han characters:
//
//   yanshubu-pinyin UNIHAN_READINGS OUTPUT
//
// UNIHAN_READINGS is the Unicode Han database's Unihan_Readings.txt, or
// Debian's Unihan_Readings.txt.bz2 (package unicode-data), unpacked through
// bzip2. OUTPUT receives the arrays src/platform/text/Pinyin.cpp includes;
// the same input always gives the same bytes, so the output is committed.

#include "GeneratedFile.h"
#include "Toneless.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <vector>

namespace {

// The fields with Mandarin readings, in the order their readings are kept:
// the preferred reading first, then the modern dictionaries, which alone
// have many common readings of simplified characters (长 chang, 单 shan),
// then the corpus counts, and last the Hanyu Da Zidian with its many
// archaic readings. A reading found in the Hanyu Da Zidian alone is rare
// (方 wǎng, 英 yāng): the contact list ranks it after the common ones.
const char* const fields[] = {"kMandarin", "kXHC1983", "kTGHZ2013", "kHanyuPinlu", "kHanyuPinyin"};
constexpr int fieldCount = std::size(fields);
constexpr int firstRareField = fieldCount - 1;

// Missing code points up to this many inside a run cost less than a new run.
constexpr char32_t maxHole = 8;

constexpr qsizetype lineWidth = 100;

QByteArray readAll(const QString& path) {
    if (path.endsWith(QStringLiteral(".bz2"))) {
        QProcess bzip2;
        bzip2.start(QStringLiteral("bzip2"), {QStringLiteral("-dc"), path});
        if (!bzip2.waitForFinished(-1) || bzip2.exitStatus() != QProcess::NormalExit ||
            bzip2.exitCode() != 0) {
            throw std::runtime_error("cannot unpack " + path.toStdString() + ": " +
                                     bzip2.readAllStandardError().trimmed().toStdString());
        }
        return bzip2.readAllStandardOutput();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read " + path.toStdString());
    }
    return file.readAll();
}

// The readings in a value of any of the fields: "céng", "gèng gēng",
// "21521.030:zēng,céng 10093.130:xī", "0117.100*,0117.101:chán" or
// "xíng(2943) háng(218)".
QStringList readingsOf(const QString& value) {
    QStringList result;
    for (QString entry : value.split(u' ', Qt::SkipEmptyParts)) {
        entry = entry.mid(entry.lastIndexOf(u':') + 1);
        if (const qsizetype count = entry.indexOf(u'('); count >= 0) {
            entry.truncate(count);
        }
        for (const QString& reading : entry.split(u',', Qt::SkipEmptyParts)) {
            result << tools::toneless(reading);
        }
    }
    return result;
}

// A character's readings, the common ones first.
struct Readings {
    QStringList all;
    int common = 0;
    auto operator<=>(const Readings&) const = default;
};

struct Database {
    QString version;
    std::map<char32_t, Readings> readings;
};

Database parse(const QByteArray& bytes) {
    Database database;
    std::map<char32_t, std::vector<QStringList>> byField;
    for (const QString& line : QString::fromUtf8(bytes).split(u'\n')) {
        if (line.startsWith(QStringLiteral("# Unicode version:"))) {
            database.version = line.mid(18).trimmed();
        }
        const QStringList columns = line.split(u'\t');
        if (line.startsWith(u'#') || columns.size() != 3) {
            continue;
        }
        const auto field = std::find(std::begin(fields), std::end(fields), columns[1]);
        if (field == std::end(fields)) {
            continue;
        }
        bool ok = false;
        const char32_t codePoint = columns[0].mid(2).toUInt(&ok, 16);
        if (!columns[0].startsWith(QStringLiteral("U+")) || !ok) {
            throw std::runtime_error("unexpected line " + line.toStdString());
        }
        std::vector<QStringList>& found = byField[codePoint];
        found.resize(fieldCount);
        found[field - std::begin(fields)] << readingsOf(columns[2]);
    }
    for (const auto& [codePoint, found] : byField) {
        Readings& readings = database.readings[codePoint];
        for (int field = 0; field < fieldCount; ++field) {
            if (field == firstRareField) {
                readings.common = int(readings.all.size());
            }
            for (const QString& reading : found[std::size_t(field)]) {
                // The corpus counts list the suffix of 哪儿 as 儿's "r", no
                // syllable anyone types for the character.
                if (reading != u"r" && !readings.all.contains(reading)) {
                    readings.all << reading;
                }
            }
        }
        // A character known to the old dictionary alone still has a usual reading.
        readings.common = std::max(readings.common, int(!readings.all.isEmpty()));
    }
    return database;
}

// The items separated by bare commas, which keeps the committed table
// small, in lines no wider than the page.
QString wrapped(const QStringList& items) {
    const QString indent = QStringLiteral("    ");
    QString text;
    QString line = indent;
    for (const QString& item : items) {
        if (line.size() > indent.size() && line.size() + item.size() + 1 > lineWidth) {
            text += line + u'\n';
            line = indent;
        }
        line += item + u',';
    }
    return text + line + u'\n';
}

template <typename Number> QStringList numbers(const std::vector<Number>& values) {
    QStringList items;
    for (const Number value : values) {
        items << QString::number(value);
    }
    return items;
}

void checkFits(std::size_t value, const char* what) {
    if (value > UINT16_MAX) {
        throw std::runtime_error(std::string("too many ") + what + " for 16 bits");
    }
}

QString table(const Database& database) {
    std::set<QString> syllableSet;
    for (const auto& entry : database.readings) {
        syllableSet.insert(entry.second.all.begin(), entry.second.all.end());
    }
    const std::vector<QString> syllables(syllableSet.begin(), syllableSet.end());
    checkFits(syllables.size(), "syllables");

    // Characters share sets of readings (yi alone is the most common); the common
    // sets come first, so that their numbers are short. Set 0 is empty.
    // A set is its syllables and how many of them are common.
    using Set = std::pair<std::vector<std::uint16_t>, int>;
    std::map<Set, int> useCount;
    std::map<char32_t, Set> characterReadings;
    for (const auto& [codePoint, readings] : database.readings) {
        Set& set = characterReadings[codePoint];
        for (const QString& reading : readings.all) {
            set.first.push_back(std::lower_bound(syllables.begin(), syllables.end(), reading) -
                                syllables.begin());
        }
        set.second = readings.common;
        ++useCount[set];
    }
    std::vector<Set> sets;
    for (const auto& entry : useCount) {
        sets.push_back(entry.first);
    }
    std::stable_sort(sets.begin(), sets.end(),
                     [&](const auto& a, const auto& b) { return useCount.at(a) > useCount.at(b); });
    sets.insert(sets.begin(), Set());
    checkFits(sets.size(), "sets of readings");
    std::map<Set, std::uint16_t> setNumber;
    std::vector<std::uint16_t> readingStarts{0};
    std::vector<std::uint16_t> readingSyllables;
    std::vector<int> commonReadings;
    for (const auto& set : sets) {
        setNumber[set] = readingStarts.size() - 1;
        readingSyllables.insert(readingSyllables.end(), set.first.begin(), set.first.end());
        checkFits(readingSyllables.size(), "readings");
        readingStarts.push_back(readingSyllables.size());
        commonReadings.push_back(set.second);
    }

    std::vector<char32_t> runFirst;
    std::vector<std::uint32_t> runStart;
    std::vector<std::uint16_t> characterSets;
    char32_t previous = 0;
    for (const auto& [codePoint, set] : characterReadings) {
        if (!runFirst.empty() && codePoint - previous - 1 <= maxHole) {
            characterSets.insert(characterSets.end(), codePoint - previous - 1, 0);
        } else {
            runFirst.push_back(codePoint);
            runStart.push_back(characterSets.size());
        }
        characterSets.push_back(setNumber.at(set));
        previous = codePoint;
    }
    runStart.push_back(characterSets.size());

    QStringList quoted;
    for (const QString& syllable : syllables) {
        quoted << u'"' + syllable + u'"';
    }
    QStringList hex;
    for (const char32_t first : runFirst) {
        hex << QStringLiteral("0x") + QString::number(first, 16).toUpper();
    }

    QString text;
    text += QStringLiteral("// Made by yanshubu-pinyin from the Unicode Han database's "
                           "Unihan_Readings.txt,\n// Unicode %1. Do not edit.\n")
                .arg(database.version);
    text += QStringLiteral("//\n// %1 code points with %2 toneless syllables.\n")
                .arg(characterReadings.size())
                .arg(syllables.size());
    text += QStringLiteral(
        "\n// The syllables in ASCII order.\nconstexpr const char* syllables[] = {\n");
    text += wrapped(quoted) + QStringLiteral("};\n");
    text += QStringLiteral("\n// Set n of readings is readingSyllables[readingStarts[n]] up to\n"
                           "// readingSyllables[readingStarts[n + 1]], the character's preferred "
                           "reading first.\n"
                           "constexpr std::uint16_t readingStarts[] = {\n");
    text += wrapped(numbers(readingStarts)) + QStringLiteral("};\n");
    text += QStringLiteral("constexpr std::uint16_t readingSyllables[] = {\n");
    text += wrapped(numbers(readingSyllables)) + QStringLiteral("};\n");
    text +=
        QStringLiteral("\n// The first commonReadings[n] readings of set n are common ones; the\n"
                       "// rest are found in the Hanyu Da Zidian alone.\n"
                       "constexpr std::uint8_t commonReadings_[] = {\n");
    text += wrapped(numbers(commonReadings)) + QStringLiteral("};\n");
    text += QStringLiteral(
        "\n// Run i begins at code point runFirst[i]; characterSets[runStart[i]] up to\n"
        "// characterSets[runStart[i + 1]] are the sets of readings of its code points.\n"
        "constexpr char32_t runFirst[] = {\n");
    text += wrapped(hex) + QStringLiteral("};\n");
    text += QStringLiteral("constexpr std::uint32_t runStart[] = {\n");
    text += wrapped(numbers(runStart)) + QStringLiteral("};\n");
    text += QStringLiteral("constexpr std::uint16_t characterSets[] = {\n");
    text += wrapped(numbers(characterSets)) + QStringLiteral("};\n");
    return text;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: yanshubu-pinyin UNIHAN_READINGS OUTPUT\n");
        return 2;
    }
    try {
        const Database database = parse(readAll(args[1]));
        if (database.readings.empty()) {
            throw std::runtime_error("no readings in " + args[1].toStdString());
        }
        tools::writeGenerated(args[2], table(database));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "yanshubu-pinyin: %s\n", e.what());
        return 1;
    }
    return 0;
}
