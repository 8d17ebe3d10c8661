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

class Converter {
public:
    Converter(const char* to, const char* from)
        : handle_(iconv_open(to, from)) {}
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
            const std::size_t n = iconv(handle_, &in, &inLeft, &out, &outLeft);
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
    iconv_t handle_;
};

} // namespace

// Checked byte by byte, without decoding: a file may be large.
bool isUtf8(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
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
            return false;
        }
        if (end - p < more) {
            return false;
        }
        for (int i = 0; i < more; ++i, ++p) {
            if ((*p & 0xC0) != 0x80) {
                return false;
            }
            code = code << 6 | (*p & 0x3F);
        }
        const char32_t least = more == 1 ? 0x80 : more == 2 ? 0x800 : 0x10000;
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false; // too long a form, beyond Unicode, or a surrogate
        }
    }
    return true;
}

std::optional<QString> decode(QByteArrayView bytes, QByteArrayView charset) {
    const QByteArray name = systemName(charset);
    if (isUtf8Name(name)) {
        return QString::fromUtf8(bytes);
    }
    Converter converter("UTF-8", name.constData());
    if (!converter.valid()) {
        return std::nullopt;
    }
    const QByteArray utf8 =
        converter.run(bytes, [](QByteArray& output, char*& in, std::size_t& inLeft) {
            output.append("\xEF\xBF\xBD"); // U+FFFD for the byte, then go on after it
            ++in;
            --inLeft;
        });
    return QString::fromUtf8(utf8);
}

std::optional<QByteArray> encode(QStringView text, QByteArrayView charset) {
    const QByteArray name = systemName(charset);
    const QByteArray utf8 = text.toUtf8();
    if (isUtf8Name(name)) {
        return utf8;
    }
    Converter converter(name.constData(), "UTF-8");
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

} // namespace text
