// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include <QComboBox>

#include <sys/types.h>

#include <optional>

namespace platform {

class MountWatcher;

// The drop-down list of mounted volumes. It starts on the most recently mounted removable
// volume, if any, and follows volumes as they are mounted and unmounted, keeping the
// selection on the same volume while it exists.
class DriveListBox : public QComboBox
{
    Q_OBJECT

public:
    struct Selection {
        QString root;
        dev_t device = 0; // the file system mounted at `root` when it was listed
    };

    explicit DriveListBox(QWidget *parent = nullptr);

    // The selected volume, if any.
    [[nodiscard]] std::optional<Selection> selection() const;

public Q_SLOTS:
    void refresh();

protected:
    void childEvent(QChildEvent *event) override;

private:
    void watchAssistiveSelection();

    MountWatcher *m_mounts = nullptr;
    bool m_watchingSelection = false;
};

} // namespace platform
