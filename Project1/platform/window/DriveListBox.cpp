// SPDX-License-Identifier: LicenseRef-proprietary
#include "DriveListBox.h"

#include "platform/files/MountWatcher.h"
#include "platform/files/VolumeList.h"

#include <QAbstractItemView>
#include <QChildEvent>
#include <QItemSelectionModel>

namespace platform {

namespace {
// The role that keeps the device of the file system mounted at an entry's root.
constexpr int kDeviceRole = Qt::UserRole + 1;
} // namespace

DriveListBox::DriveListBox(QWidget *parent) : QComboBox(parent), m_mounts(new MountWatcher(this))
{
    refresh();
    connect(m_mounts, &MountWatcher::changed, this, &DriveListBox::refresh);
}

std::optional<DriveListBox::Selection> DriveListBox::selection() const
{
    if (currentIndex() < 0)
        return std::nullopt;
    return Selection{currentData().toString(), currentData(kDeviceRole).value<dev_t>()};
}

void DriveListBox::refresh()
{
    const QString selected = currentData().toString();
    const QList<Volume> volumes = mountedVolumes();
    QSignalBlocker quiet(this);
    clear();
    for (const Volume &v : volumes) {
        addItem(v.entryText, v.driveSpecification);
        setItemData(count() - 1, QVariant::fromValue(v.device), kDeviceRole);
    }
    // A volume that went away leaves no selection rather than quietly another volume;
    // with nothing selected, the head of the list (the newest removable volume) is taken.
    if (selected.isEmpty())
        setCurrentIndex(count() > 0 ? 0 : -1);
    else
        setCurrentIndex(findData(selected));
}

void DriveListBox::childEvent(QChildEvent *event)
{
    QComboBox::childEvent(event);
    // The popup list is made only when something first needs it; the watch follows it,
    // once the popup is fully made.
    if (event->added() && event->child()->isWidgetType() && !m_watchingSelection)
        QMetaObject::invokeMethod(this, &DriveListBox::watchAssistiveSelection, Qt::QueuedConnection);
}

void DriveListBox::watchAssistiveSelection()
{
    if (m_watchingSelection)
        return;
    m_watchingSelection = true;
    // An assistive tool chooses an entry by selecting it in the closed list; take that as
    // the user's choice. While the list is open, hovering selects too, and only a click
    // or Enter decides.
    connect(view()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected) {
                if (!view()->isVisible() && !selected.indexes().isEmpty())
                    setCurrentIndex(selected.indexes().constFirst().row());
            });
}

} // namespace platform
