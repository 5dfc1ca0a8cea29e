// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "FileFunctions.h"

#include <QString>

namespace platform {

// The hidden loader `r`: it loads a text file from the disk and gives back its plain text.
// It is never shown, so it needs no widget.
class TextFileLoader
{
public:
    // Enough for any real autorun.inf; a huge or endless file is cut here.
    static constexpr qsizetype kLoadLimit = qsizetype(64) * 1024;

    explicit TextFileLoader(FileFunctions &files) : m_files(files) {}

    // Replaces the content with the file's; on failure the content stays as it was.
    Status loadFile(const VolumeEntry &file);
    [[nodiscard]] const QString &text() const { return m_text; }

private:
    FileFunctions &m_files;
    QString m_text;
};

} // namespace platform
