// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "Controls.h"
#include "VolumeList.h"

#include <QComboBox>

#include <sys/types.h>

#include <functional>
#include <optional>

namespace platform {

class MountWatcher;

// The drop-down list of mounted volumes. It starts on the head of the list (the most
// recently mounted removable volume, if any) and follows volumes as they are mounted and
// unmounted. The volume chosen stays chosen: while it is away nothing is selected, and
// the list never moves to another volume by itself; when it comes back (the same source
// at the same mount point, or the same file-system UUID) it is selected again.
class DriveListBox : public QComboBox
{
    Q_OBJECT

public:
    // `volumes` gives the volumes to list; the machine's mounted volumes by default.
    explicit DriveListBox(QWidget *parent = nullptr, std::function<QList<Volume>()> volumes = mountedVolumes);

    // The chosen volume: its root, and the file system mounted there when it was listed.
    // While it is away, the root and device it had: that root no longer holds that device,
    // so a call on it finds the volume unavailable.
    [[nodiscard]] std::optional<Drive> selection() const;

public Q_SLOTS:
    void refresh();

protected:
    void childEvent(QChildEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // What tells the chosen volume when it comes back.
    struct Identity {
        QString root;
        dev_t device = 0;
        QString source;
        QString uuid;
    };

    void remember(int index);
    [[nodiscard]] int indexOf(const Identity &volume) const;
    void watchAssistiveSelection();

    std::function<QList<Volume>()> m_volumes;
    std::optional<Identity> m_chosen; // none until a volume was first listed
    MountWatcher *m_mounts = nullptr;
    bool m_popupMade = false; // the popup list is made only when first needed
};

} // namespace platform
