#include "DriveListBox.h"

#include "VolumeList.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

DriveListBox::DriveListBox(QWidget *parent) : QComboBox(parent)
{
    refresh();
    // An assistive tool chooses an entry by selecting it in the closed list; take that as
    // the user's choice. While the list is open, hovering selects too, and only a click
    // or Enter decides.
    connect(view()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected) {
                if (!view()->isVisible() && !selected.indexes().isEmpty())
                    setCurrentIndex(selected.indexes().constFirst().row());
            });
    // The mount table signals a change as an exceptional condition on its descriptor.
    m_mountTable = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_mountTable >= 0) {
        m_mountWatch = new QSocketNotifier(m_mountTable, QSocketNotifier::Exception, this);
        connect(m_mountWatch, &QSocketNotifier::activated, this, &DriveListBox::refresh);
        connect(this, &QObject::destroyed, this, [fd = m_mountTable] { ::close(fd); });
    }
}

Result<QString> DriveListBox::drive() const
{
    if (currentIndex() < 0)
        return Result<QString>::failure(Status::ControlFailed);
    return {currentData().toString()};
}

void DriveListBox::refresh()
{
    const QString selected = currentData().toString();
    const QList<Volume> volumes = mountedVolumes();
    QSignalBlocker quiet(this);
    clear();
    for (const Volume &v : volumes)
        addItem(v.entryText, v.specification);
    const int kept = findData(selected);
    setCurrentIndex(kept >= 0 ? kept : (count() > 0 ? 0 : -1));
}

} // namespace platform
