#include "TextDecoding.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace platform {

namespace {

// Windows-1252 at 0x80..0x9F; the five unassigned bytes map to the C1 controls of the same
// number, as Windows itself maps them.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString decodeCp1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
    return text;
}

// Length of the complete UTF-8 text at the start of `bytes`, or -1 when it is not UTF-8.
// When `truncated`, a sequence cut off by the end of the bytes is left out instead of
// counting as invalid.
qsizetype validUtf8Length(QByteArrayView bytes, bool truncated)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        qsizetype length = 0;
        unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            if (b == 0xE0)
                low = 0xA0; // overlong
            else if (b == 0xED)
                high = 0x9F; // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            if (b == 0xF0)
                low = 0x90; // overlong
            else if (b == 0xF4)
                high = 0x8F; // beyond U+10FFFF
        } else {
            return -1;
        }
        for (qsizetype k = 1; k < length; ++k) {
            if (i + k >= n)
                return truncated ? i : -1;
            const unsigned char c = p[i + k];
            if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF))
                return -1;
        }
        i += length;
    }
    return n;
}

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

// Control characters made visible; line ends unified; tabs kept; broken pairs replaced.
bool needsNoChange(const QString &raw)
{
    return std::all_of(raw.cbegin(), raw.cend(), [](QChar ch) {
        const char16_t c = ch.unicode();
        return (c >= 0x20 && c < 0x7F) || c == u'\n' || c == u'\t' || (c >= 0xA0 && c < 0x2028)
            || (c > 0x2029 && c < 0xD800) || c >= 0xE000;
    });
}

QString makeShowable(const QString &raw)
{
    if (needsNoChange(raw))
        return raw; // the usual case: a plain text file with Unix line ends
    QString text;
    text.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char16_t c = raw.at(i).unicode();
        if (c == u'\r') {
            text += u'\n';
            if (i + 1 < raw.size() && raw.at(i + 1) == u'\n')
                ++i;
        } else if (c == u'\n' || c == u'\t') {
            text += QChar(c);
        } else if (c < 0x20) {
            text += QChar(char16_t(0x2400 + c)); // U+2400.. control pictures
        } else if (c == 0x7F) {
            text += QChar(char16_t(0x2421));
        } else if (QChar::isHighSurrogate(c) && i + 1 < raw.size() && raw.at(i + 1).isLowSurrogate()) {
            text += QChar(c);
            text += raw.at(++i);
        } else if ((c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029 || QChar::isSurrogate(c)) {
            // C1 controls, line separators the pane would act on, and halves of a
            // surrogate pair that UTF-16 files may hold alone.
            text += QChar(QChar::ReplacementCharacter);
        } else {
            text += QChar(c);
        }
    }
    return text;
}

} // namespace

QString decodeDiskText(QByteArrayView bytes, bool truncated)
{
    QString raw;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        raw = decodeWith(QStringConverter::Utf8, bytes.sliced(3));
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const bool littleEndian = bytes[0] == '\xFF';
        QByteArrayView units = bytes.sliced(2);
        if (units.size() % 2 != 0)
            units.chop(1);
        if (truncated && units.size() >= 2) {
            // A surrogate pair cut at the end of the read is not part of the text.
            const auto hi = static_cast<unsigned char>(units[units.size() - (littleEndian ? 1 : 2)]);
            if (hi >= 0xD8 && hi <= 0xDB)
                units.chop(2);
        }
        raw = decodeWith(littleEndian ? QStringConverter::Utf16LE : QStringConverter::Utf16BE, units);
    } else if (const qsizetype valid = validUtf8Length(bytes, truncated); valid >= 0) {
        raw = decodeWith(QStringConverter::Utf8, bytes.first(valid));
    } else {
        raw = decodeCp1252(bytes);
    }
    return makeShowable(raw);
}

} // namespace platform
