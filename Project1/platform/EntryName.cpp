#include "EntryName.h"

namespace platform {

namespace {
char foldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
} // namespace

bool entryNameMatches(QByteArrayView entry, QByteArrayView wanted)
{
    if (entry.size() != wanted.size())
        return false;
    for (qsizetype i = 0; i < entry.size(); ++i) {
        if (foldAscii(entry[i]) != foldAscii(wanted[i]))
            return false;
    }
    return true;
}

} // namespace platform
