// SPDX-License-Identifier: LicenseRef-proprietary
#include "TextDecoding.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <optional>

namespace platform {

namespace {

// Windows-1252 at 0x80..0x9F; the five unassigned bytes map to the C1 controls of the same
// number, as Windows itself maps them.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Hand-written only for a Qt built without ICU, whose decoder knows no Windows-1252.
QString decodeCp1252ByTable(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
    return text;
}

QString decodeCp1252(QByteArrayView bytes)
{
    QStringDecoder decoder("windows-1252", QStringConverter::Flag::Stateless);
    return decoder.isValid() ? decoder.decode(bytes) : decodeCp1252ByTable(bytes);
}

// The bytes as UTF-8, or nothing when they are not UTF-8 (overlong forms, surrogates and
// values past U+10FFFF included). When `truncated`, a sequence cut off by the end of the
// bytes is left out instead of counting as invalid: a stateful decoder holds it back.
std::optional<QString> decodeUtf8(QByteArrayView bytes, bool truncated)
{
    QStringDecoder decoder(QStringConverter::Utf8,
                           truncated ? QStringConverter::Flag::Default : QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// When `truncated`, a sequence cut off by the end of the bytes is held back, not replaced.
QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes, bool truncated = false)
{
    QStringDecoder decoder(encoding, truncated ? QStringConverter::Flag::Default : QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

// The invisible format characters: the bidirectional marks, embeddings, overrides and
// isolates that reorder the text around them (a file could make "open=exe.txt" of what runs
// "txt.exe"), and the zero-width ones that hide inside a name ("go\u200Bod.exe").
bool isHidden(char32_t c)
{
    return QChar::category(c) == QChar::Other_Format;
}

// Control characters made visible; line ends unified; tabs kept; broken pairs replaced.
bool needsNoChange(const QString &raw)
{
    return std::all_of(raw.cbegin(), raw.cend(), [](QChar ch) {
        const char16_t c = ch.unicode();
        return (c >= 0x20 && c < 0x7F) || c == u'\n' || c == u'\t'
            || (c >= 0xA0 && c < 0xD800 && c != 0x2028 && c != 0x2029 && !isHidden(c)) || (c >= 0xE000 && !isHidden(c));
    });
}

// `oneLine`: line ends and tabs are shown as their symbols too.
QString makeShowable(const QString &raw, bool oneLine)
{
    if (!oneLine && needsNoChange(raw))
        return raw; // the usual case: a plain text file with Unix line ends
    QString text;
    text.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char16_t c = raw.at(i).unicode();
        if (c == u'\r' && !oneLine) {
            text += u'\n';
            if (i + 1 < raw.size() && raw.at(i + 1) == u'\n')
                ++i;
        } else if (c < 0x20 && (oneLine || (c != u'\n' && c != u'\t'))) {
            text += QChar(char16_t(0x2400 + c)); // U+2400.. control pictures
        } else if (c == 0x7F) {
            text += QChar(char16_t(0x2421));
        } else if (QChar::isHighSurrogate(c) && i + 1 < raw.size() && raw.at(i + 1).isLowSurrogate()) {
            const char32_t pair = QChar::surrogateToUcs4(c, raw.at(i + 1).unicode());
            if (isHidden(pair)) {
                text += QChar(QChar::ReplacementCharacter); // the tag characters
            } else {
                text += QChar(c);
                text += raw.at(i + 1);
            }
            ++i;
        } else if ((c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029 || isHidden(c) || QChar::isSurrogate(c)) {
            // C1 controls, line separators and format characters the pane would act on, and
            // halves of a surrogate pair that UTF-16 files may hold alone.
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
        raw = decodeWith(QStringConverter::Utf8, bytes.sliced(3), truncated);
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
    } else if (std::optional<QString> utf8 = decodeUtf8(bytes, truncated)) {
        raw = std::move(*utf8);
    } else {
        raw = decodeCp1252(bytes);
    }
    return makeShowable(raw, false);
}

QString showableLine(const QString &raw)
{
    return makeShowable(raw, true);
}

} // namespace platform
