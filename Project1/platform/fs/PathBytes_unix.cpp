// SPDX-License-Identifier: LicenseRef-proprietary
#include "PathBytes_unix.h"

namespace platform {

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // U+DC80..U+DCFF stand for the bytes 0x80..0xFF

// A low surrogate in that range after a high one is half of a character, not a byte.
bool isEscapedByte(QStringView path, qsizetype i)
{
    const char16_t c = path[i].unicode();
    return c >= 0xDC80 && c <= 0xDCFF && (i == 0 || !path[i - 1].isHighSurrogate());
}

// The length of the well-formed UTF-8 sequence at the start of `bytes` and its code point,
// or 0: overlong forms, surrogates and values past U+10FFFF are not UTF-8.
qsizetype utf8Sequence(QByteArrayView bytes, char32_t &codePoint)
{
    const auto lead = static_cast<unsigned char>(bytes[0]);
    qsizetype length = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (bytes.size() < length)
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if ((b & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (b & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

// Hand-written: Qt's UTF-8 codec replaces what it cannot decode, and the path would never
// name its directory again.
QString pathFromBytes(QByteArrayView bytes)
{
    QString path;
    path.reserve(bytes.size());
    while (!bytes.isEmpty()) {
        const auto b = static_cast<unsigned char>(bytes[0]);
        char32_t codePoint = b;
        qsizetype length = b < 0x80 ? 1 : utf8Sequence(bytes, codePoint);
        if (length == 0) {
            codePoint = kEscapeBase + b;
            length = 1;
        }
        if (QChar::requiresSurrogates(codePoint)) {
            path += QChar(QChar::highSurrogate(codePoint));
            path += QChar(QChar::lowSurrogate(codePoint));
        } else {
            path += QChar(char16_t(codePoint));
        }
        bytes = bytes.sliced(length);
    }
    return path;
}

QByteArray bytesFromPath(QStringView path)
{
    QByteArray bytes;
    bytes.reserve(path.size());
    qsizetype plain = 0; // the start of the run of text not yet written
    const auto flush = [&](qsizetype end) { bytes += path.sliced(plain, end - plain).toUtf8(); };
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (isEscapedByte(path, i)) {
            flush(i);
            bytes += char(path[i].unicode() - kEscapeBase);
            plain = i + 1;
        }
    }
    flush(path.size());
    return bytes;
}

QString displayedPath(QStringView path)
{
    QString shown = path.toString();
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (isEscapedByte(path, i))
            shown[i] = QChar::ReplacementCharacter;
    }
    return shown;
}

} // namespace platform
