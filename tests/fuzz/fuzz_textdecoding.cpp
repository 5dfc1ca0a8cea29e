// SPDX-License-Identifier: LicenseRef-proprietary
// Any bytes an autorun.inf may hold must decode to text that is safe to show.
#include "TextDecoding.h"

#include <QString>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const bool truncated = data[0] & 1; // the first byte chooses how the read ended
    const QByteArrayView bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString text = platform::decodeDiskText(bytes, truncated);

    // Never more characters than bytes, never a line end other than '\n', never a control
    // character but tab and newline, no invisible format character (nothing that reorders
    // the text or hides in it), never a broken surrogate pair.
    if (text.size() > bytes.size())
        std::abort();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if ((c < 0x20 && c != u'\n' && c != u'\t') || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029
            || QChar::category(c) == QChar::Other_Format)
            std::abort();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()
            && QChar::category(QChar::surrogateToUcs4(c, text.at(i + 1).unicode())) == QChar::Other_Format)
            std::abort();
        if (QChar::isHighSurrogate(c) && (i + 1 == text.size() || !text.at(i + 1).isLowSurrogate()))
            std::abort();
        if (QChar::isLowSurrogate(c) && (i == 0 || !text.at(i - 1).isHighSurrogate()))
            std::abort();
    }
    // Plain ASCII text without controls comes through unchanged.
    bool plain = !truncated;
    for (const char b : bytes)
        plain = plain && ((b >= 0x20 && b < 0x7F) || b == '\n' || b == '\t');
    if (plain && !bytes.startsWith("\xFF\xFE") && !bytes.startsWith("\xFE\xFF") && text != QString::fromLatin1(bytes))
        std::abort();
    return 0;
}
