#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace text {

// Text in the character sets other programs write (UTF-8, and for Chinese
// GB2312, GBK, GB18030, Big5), through the system's converters. GB2312 and
// GBK are read and written as GB18030, their superset, so that nothing is
// lost: text GBK cannot hold still comes through in its four-byte form.

// Whether the bytes are well-formed UTF-8.
bool isUtf8(QByteArrayView bytes);

// Decodes bytes of the named set; a malformed byte becomes U+FFFD. Nothing
// when the set is unknown.
std::optional<QString> decode(QByteArrayView bytes, QByteArrayView charset);

// Encodes text in the named set; nothing when the set is unknown.
std::optional<QByteArray> encode(QStringView text, QByteArrayView charset);

} // namespace text
