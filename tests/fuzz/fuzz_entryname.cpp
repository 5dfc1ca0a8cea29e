// Root entry names come from the disk: matching them must agree with plain ASCII case
// folding, whatever bytes they hold.
#include "platform/EntryName.h"

#include <QByteArray>

#include <cstdlib>

namespace {
char fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

bool reference(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // "entry\0wanted", or the entry against the one name the program looks for.
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = input.indexOf('\0');
    const QByteArrayView entry = split < 0 ? input : input.first(split);
    const QByteArrayView wanted = split < 0 ? QByteArrayView("autorun.inf") : input.sliced(split + 1);

    const bool matches = platform::entryNameMatches(entry, wanted);
    if (matches != reference(entry, wanted) || matches != platform::entryNameMatches(wanted, entry))
        std::abort();
    return 0;
}
