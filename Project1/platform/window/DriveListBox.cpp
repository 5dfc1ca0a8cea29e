// SPDX-License-Identifier: LicenseRef-proprietary
#include "DriveListBox.h"

#include "MountWatcher.h"
#include "VolumeList.h"

#include <QAbstractItemView>
#include <QChildEvent>
#include <QItemSelectionModel>
#include <QStylePainter>

namespace platform {

namespace {
// The roles that keep what tells an entry's volume apart; Qt::UserRole is its root.
constexpr int kDeviceRole = Qt::UserRole + 1;
constexpr int kSourceRole = Qt::UserRole + 2;
constexpr int kUuidRole = Qt::UserRole + 3;
} // namespace

DriveListBox::DriveListBox(QWidget *parent, std::function<QList<Volume>()> volumes)
    : QComboBox(parent), m_volumes(std::move(volumes)), m_mounts(new MountWatcher(this))
{
    connect(this, &QComboBox::currentIndexChanged, this, &DriveListBox::remember);
    refresh();
    connect(m_mounts, &MountWatcher::changed, this, &DriveListBox::refresh);
}

std::optional<Drive> DriveListBox::selection() const
{
    if (currentIndex() >= 0)
        return Drive{currentData().toString(), quint64(currentData(kDeviceRole).value<dev_t>())};
    if (m_chosen && m_chosen->device != 0)
        return Drive{m_chosen->root, quint64(m_chosen->device)};
    return std::nullopt;
}

void DriveListBox::refresh()
{
    const QList<Volume> volumes = m_volumes();
    QSignalBlocker quiet(this);
    clear();
    for (const Volume &v : volumes) {
        addItem(v.entryText, v.driveSpecification);
        setItemData(count() - 1, QVariant::fromValue(v.device), kDeviceRole);
        setItemData(count() - 1, v.source, kSourceRole);
        setItemData(count() - 1, v.uuid, kUuidRole);
    }
    setPlaceholderText(count() > 0 ? QStringLiteral("No volume selected") : QStringLiteral("No volume mounted"));
    // Only at the start, with nothing chosen yet, is the head of the list taken.
    setCurrentIndex(m_chosen ? indexOf(*m_chosen) : (count() > 0 ? 0 : -1));
    remember(currentIndex());
    if (!m_popupMade || !view()->isVisible()) // asking for the view would make the popup
        return;
    if (count() > 0)
        showPopup(); // an open list fits its new rows
    else
        hidePopup();
}

void DriveListBox::remember(int index)
{
    if (index >= 0)
        m_chosen = Identity{itemData(index).toString(), itemData(index, kDeviceRole).value<dev_t>(),
                            itemData(index, kSourceRole).toString(), itemData(index, kUuidRole).toString()};
}

int DriveListBox::indexOf(const Identity &volume) const
{
    for (int i = 0; i < count(); ++i) {
        if ((itemData(i, kSourceRole).toString() == volume.source && itemData(i).toString() == volume.root)
            || (!volume.uuid.isEmpty() && itemData(i, kUuidRole).toString() == volume.uuid))
            return i;
    }
    return -1;
}

void DriveListBox::paintEvent(QPaintEvent *)
{
    // As QComboBox paints itself, but a long entry loses its middle rather than its end:
    // the mount point's last part names the volume.
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    if (currentIndex() < 0) {
        option.palette.setBrush(QPalette::ButtonText, option.palette.placeholderText());
        option.currentText = placeholderText();
    }
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const int iconWidth = option.currentIcon.isNull() ? 0 : option.iconSize.width() + 4;
    option.currentText = fontMetrics().elidedText(option.currentText, Qt::ElideMiddle, field.width() - iconWidth);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void DriveListBox::childEvent(QChildEvent *event)
{
    QComboBox::childEvent(event);
    // The popup list is made only when something first needs it; the watch follows it,
    // once the popup is fully made.
    if (event->added() && event->child()->isWidgetType() && !m_popupMade) {
        m_popupMade = true;
        QMetaObject::invokeMethod(this, &DriveListBox::watchAssistiveSelection, Qt::QueuedConnection);
    }
}

void DriveListBox::watchAssistiveSelection()
{
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
