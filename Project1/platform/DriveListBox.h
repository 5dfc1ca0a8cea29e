#pragma once

#include "Status.h"

#include <QComboBox>

class QSocketNotifier;

namespace platform {

// The drop-down list of mounted volumes. It starts on the most recently mounted removable
// volume, if any, and follows volumes as they are mounted and unmounted, keeping the
// selection on the same volume while it exists. The kernel tells of mount changes, so the
// disks are never polled.
class DriveListBox : public QComboBox
{
    Q_OBJECT

public:
    explicit DriveListBox(QWidget *parent = nullptr);
    ~DriveListBox() override;

    // The selected volume's root; fails when there is nothing to select.
    [[nodiscard]] Result<QString> drive() const;

public Q_SLOTS:
    void refresh();

private:
    QSocketNotifier *m_mountWatch = nullptr;
    int m_mountTable = -1;
};

} // namespace platform
