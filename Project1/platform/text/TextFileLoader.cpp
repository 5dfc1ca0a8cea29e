// SPDX-License-Identifier: LicenseRef-proprietary
#include "TextFileLoader.h"

#include "TextDecoding.h"

namespace platform {

Status TextFileLoader::loadFile(const VolumeEntry &file)
{
    // One byte past the limit tells a file that ends there from one that goes on.
    Result<QByteArray> bytes = m_files.readPrefix(file, kLoadLimit + 1);
    if (!bytes.ok())
        return bytes.status;
    const bool truncated = bytes.value.size() > kLoadLimit;
    if (truncated)
        bytes.value.truncate(kLoadLimit);
    m_text = decodeDiskText(bytes.value, truncated);
    return Status::Ok;
}

} // namespace platform
