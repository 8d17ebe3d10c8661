#include "CodePage.h"

#include <cerrno>
#include <iconv.h>

namespace text {

namespace {

// The converter's name for a set as files label it.
QByteArray systemName(QByteArrayView charset) {
    const QByteArray name = charset.toByteArray().trimmed().toUpper();
    if (name == "GB2312" || name == "GBK" || name == "CP936" || name == "EUC-CN" ||
        name == "X-GBK" || name == "GB_2312-80" || name == "GB18030") {
        return QByteArrayLiteral("GB18030");
    }
    if (name == "BIG5" || name == "BIG-5" || name == "CP950" || name == "X-X-BIG5") {
        return QByteArrayLiteral("BIG5-HKSCS");
    }
    return name;
}

bool isUtf8Name(const QByteArray& name) {
    return name == "UTF-8" || name == "UTF8";
}

// The set to use where the system's converters lack the first: GB18030
// and Big5-HKSCS hold all of GBK and Big5, which every system has (Wine has
// neither of the larger ones).
QByteArray fallback(const QByteArray& name) {
    if (name == "GB18030") {
        return QByteArrayLiteral("CP936");
    }
    if (name == "BIG5-HKSCS") {
        return QByteArrayLiteral("CP950");
    }
    return {};
}

iconv_t openConverter(const QByteArray& to, const QByteArray& from) {
    iconv_t handle = iconv_open(to.constData(), from.constData());
    const auto none = reinterpret_cast<iconv_t>(-1);
    if (handle == none && !fallback(to).isEmpty()) {
        handle = iconv_open(fallback(to).constData(), from.constData());
    }
    if (handle == none && !fallback(from).isEmpty()) {
        handle = iconv_open(to.constData(), fallback(from).constData());
    }
    return handle;
}

class Converter {
public:
    Converter(const QByteArray& to, const QByteArray& from)
        : handle_(openConverter(to, from)) {}
    ~Converter() {
        if (valid()) {
            iconv_close(handle_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of the input; each byte the converter refuses is passed
    // to `refused`, which may append a stand-in to the output.
    template <class Refused> QByteArray run(QByteArrayView input, Refused&& refused) {
        QByteArray output;
        char buffer[4096];
        auto* in = const_cast<char*>(input.data());
        std::size_t inLeft = std::size_t(input.size());
        while (inLeft > 0) {
            char* out = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t n = iconv(handle_, Input{&in}, &inLeft, &out, &outLeft);
            output.append(buffer, out - buffer);
            if (n == std::size_t(-1) && errno != E2BIG) {
                refused(output, in, inLeft); // EILSEQ or EINVAL: a bad or cut-off sequence
            }
        }
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        iconv(handle_, nullptr, nullptr, &out, &outLeft); // the shift state's end
        output.append(buffer, out - buffer);
        return output;
    }

private:
    // glibc's iconv takes its input as char**, win-iconv's as const char**.
    struct Input {
        char** in;
        operator char**() const { return in; }
        operator const char**() const { return const_cast<const char**>(in); }
    };

    iconv_t handle_;
};

enum class Utf8Kind {
    Ascii,
    Narrow, // well-formed, its non-ASCII characters all of two bytes
    Wide,   // well-formed, with a character of three or four bytes
    Malformed,
};

// Checked byte by byte, without decoding: a file may be large.
Utf8Kind utf8Kind(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    Utf8Kind kind = Utf8Kind::Ascii;
    while (p < end) {
        const unsigned char c = *p++;
        if (c < 0x80) {
            continue;
        }
        int more = 0;
        char32_t code = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            code = c & 0x07;
        } else {
            return Utf8Kind::Malformed;
        }
        if (end - p < more) {
            return Utf8Kind::Malformed;
        }
        for (int i = 0; i < more; ++i, ++p) {
            if ((*p & 0xC0) != 0x80) {
                return Utf8Kind::Malformed;
            }
            code = code << 6 | (*p & 0x3F);
        }
        const char32_t least = more == 1 ? 0x80 : more == 2 ? 0x800 : 0x10000;
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return Utf8Kind::Malformed; // too long a form, beyond Unicode, or a surrogate
        }
        kind = more == 1 && kind != Utf8Kind::Wide ? Utf8Kind::Narrow : Utf8Kind::Wide;
    }
    return kind;
}

struct Converted {
    QString text;
    bool refused = false; // some byte was not of the set
};

// Through the system's converter, each byte it refuses as U+FFFD; nothing
// when the set is unknown.
std::optional<Converted> converted(QByteArrayView bytes, const QByteArray& name) {
    Converter converter("UTF-8", name);
    if (!converter.valid()) {
        return std::nullopt;
    }
    bool refused = false;
    const QByteArray utf8 =
        converter.run(bytes, [&refused](QByteArray& output, char*& in, std::size_t& inLeft) {
            output.append("\xEF\xBF\xBD"); // U+FFFD for the byte, then go on after it
            ++in;
            --inLeft;
            refused = true;
        });
    return Converted{QString::fromUtf8(utf8), refused};
}

} // namespace

bool isUtf8(QByteArrayView bytes) {
    return utf8Kind(bytes) != Utf8Kind::Malformed;
}

std::optional<QString> decode(QByteArrayView bytes, QByteArrayView charset) {
    const QByteArray name = systemName(charset);
    if (isUtf8Name(name)) {
        return QString::fromUtf8(bytes);
    }
    std::optional<Converted> text = converted(bytes, name);
    return text ? std::optional(std::move(text->text)) : std::nullopt;
}

std::optional<QByteArray> encode(QStringView text, QByteArrayView charset) {
    const QByteArray name = systemName(charset);
    const QByteArray utf8 = text.toUtf8();
    if (isUtf8Name(name)) {
        return utf8;
    }
    Converter converter(name, "UTF-8");
    if (!converter.valid()) {
        return std::nullopt;
    }
    return converter.run(utf8, [](QByteArray& output, char*& in, std::size_t& inLeft) {
        // A character the set cannot hold becomes '?', as the system's own
        // converters do; the whole UTF-8 sequence goes.
        output.append('?');
        do {
            ++in;
            --inLeft;
        } while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80);
    });
}

// The pieces between ASCII separators, which no byte of a GBK or UTF-8
// character is: a CSV row or a vCard line may mix cells of both sets.
void MixedText::add(QByteArrayView file) {
    const auto separates = [](char c) {
        return c == '\n' || c == '\r' || c == ',' || c == ';' || c == ':' || c == '"';
    };
    qsizetype start = 0;
    for (qsizetype i = 0; i <= file.size(); ++i) {
        if (i < file.size() && !separates(file[i])) {
            continue;
        }
        switch (utf8Kind(file.sliced(start, i - start))) {
        case Utf8Kind::Ascii:
            break;
        case Utf8Kind::Narrow:
            ++narrow_;
            break;
        case Utf8Kind::Wide:
            ++wide_;
            break;
        case Utf8Kind::Malformed:
            ++other_;
            break;
        }
        start = i + 1;
    }
}

MixedText::Decoded MixedText::decode(QByteArrayView bytes, QByteArrayView named) const {
    const Utf8Kind kind = utf8Kind(bytes);
    if (kind == Utf8Kind::Ascii) {
        return {QString::fromLatin1(bytes)};
    }
    const QByteArray name = systemName(named);
    const QByteArray gbk = systemName("GBK");
    const bool saysUtf8 = isUtf8Name(name);
    std::optional<Converted> own;
    if (!name.isEmpty() && !saysUtf8) {
        own = converted(bytes, name);
        if (own && !own->refused) {
            return {own->text};
        }
    }
    const auto utf8 = [&] {
        return Decoded{QString::fromUtf8(bytes), false, kind == Utf8Kind::Malformed};
    };
    if (kind == Utf8Kind::Wide || (kind == Utf8Kind::Narrow && (saysUtf8 || leansUtf8()))) {
        return utf8();
    }
    const Converted asGbk =
        name == gbk && own ? *own : converted(bytes, gbk).value_or(Converted{utf8().text, true});
    const bool unexpected = name != gbk && (saysUtf8 || holdsUtf8());
    if (!asGbk.refused) {
        return {asGbk.text, unexpected};
    }
    if (kind == Utf8Kind::Narrow) {
        return utf8(); // well-formed UTF-8 after all
    }
    // Nothing reads all of it: the set named, else the one most lines are in.
    if (own) {
        return {own->text, false, true};
    }
    if (saysUtf8 || leansUtf8()) {
        return utf8();
    }
    return {asGbk.text, unexpected, true};
}

} // namespace text
