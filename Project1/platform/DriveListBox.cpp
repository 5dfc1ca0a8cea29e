#include "DriveListBox.h"

#include "VolumeList.h"

#include <QAbstractItemView>
#include <QFile>
#include <QItemSelectionModel>
#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform {

namespace {
// The role that keeps the "major:minor" of the file system mounted at an entry's root.
constexpr int kDeviceRole = Qt::UserRole + 1;

// Whether `root` is still the root of the file system `device` names: once a volume is
// unmounted, its mount point is a plain directory of another file system.
bool stillMounted(const QString &root, const QByteArray &device)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(root).constData(), &info) != 0)
        return false;
    const QList<QByteArray> numbers = device.split(':');
    return numbers.size() == 2 && major(info.st_dev) == numbers[0].toUInt()
        && minor(info.st_dev) == numbers[1].toUInt();
}
} // namespace

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
    }
}

DriveListBox::~DriveListBox()
{
    delete m_mountWatch; // before the descriptor it watches goes
    if (m_mountTable >= 0)
        ::close(m_mountTable);
}

Result<QString> DriveListBox::drive() const
{
    if (currentIndex() < 0)
        return Result<QString>::failure(Status::ControlFailed);
    const QString root = currentData().toString();
    const QByteArray device = currentData(kDeviceRole).toByteArray();
    if (!device.isEmpty() && !stillMounted(root, device))
        return Result<QString>::failure(Status::VolumeUnavailable);
    return {root};
}

void DriveListBox::refresh()
{
    const QString selected = currentData().toString();
    const QList<Volume> volumes = mountedVolumes();
    QSignalBlocker quiet(this);
    clear();
    for (const Volume &v : volumes) {
        addItem(v.entryText, v.driveSpecification);
        setItemData(count() - 1, v.device, kDeviceRole);
    }
    // A volume that went away leaves no selection rather than quietly another volume;
    // with nothing selected, the head of the list (the newest removable volume) is taken.
    if (selected.isEmpty())
        setCurrentIndex(count() > 0 ? 0 : -1);
    else
        setCurrentIndex(findData(selected));
}

} // namespace platform
