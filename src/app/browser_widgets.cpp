#include "browser_widgets.h"

#include <QApplication>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QStyle>

FolderList::FolderList(QWidget* parent)
    : QListWidget(parent)
{
    connect(this, &QListWidget::itemDoubleClicked, this,
        [this](QListWidgetItem* item) { setPath(item->data(Qt::UserRole).toString()); });
}

void FolderList::setPath(const QString& path)
{
    m_path = ExistingFolder(path);
    fill(m_path);
    emit pathChanged();
}

bool FolderList::reload()
{
    if (!QFileInfo(m_path).isDir())
        return false;
    fill(highlightedPath());
    return true;
}

// The chain down to the open folder, then its subfolders; the line of highlighted stays highlighted,
// else the open folder's.
void FolderList::fill(const QString& highlighted)
{
    const QSignalBlocker block(this);
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const QStringList chain = FolderChain(m_path);
    const QString indent = QStringLiteral("  ");
    for (int depth = 0; depth < chain.size(); ++depth) {
        const QString name = depth == 0 ? chain[depth] : QFileInfo(chain[depth]).fileName();
        auto* item = new QListWidgetItem(open, indent.repeated(depth) + name, this);
        item->setData(Qt::UserRole, chain[depth]);
    }
    int currentRow = count() - 1;
    for (const QString& sub : Subfolders(m_path)) {
        auto* item
            = new QListWidgetItem(closed, indent.repeated(chain.size()) + QFileInfo(sub).fileName(), this);
        item->setData(Qt::UserRole, sub);
        if (sub == highlighted)
            currentRow = count() - 1;
    }
    setCurrentRow(currentRow);
}

QString FolderList::highlightedPath() const
{
    const QListWidgetItem* item = currentItem();
    return item ? item->data(Qt::UserRole).toString() : m_path;
}

QStringList DriveBox::roots() const
{
    QStringList list;
    for (int i = 0; i < count(); ++i)
        list.append(itemData(i).toString());
    return list;
}

void DriveBox::refresh(const QString& folder)
{
    const QSignalBlocker block(this);
    clear();
    for (const Drive& drive : MountedDrives())
        addItem(drive.label, drive.root);
    setCurrentIndex(indexOfDriveOf(folder));
}

QString DriveBox::folderOnDrive() const
{
    const QString drive = root();
    const QString folder = m_lastFolders.value(drive);
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : drive;
}

void DriveBox::noteFolder(const QString& folder)
{
    const QSignalBlocker block(this);
    setCurrentIndex(indexOfDriveOf(folder));
    m_lastFolders.insert(root(), folder);
}

void DriveBox::showPopup()
{
    refresh(folderOnDrive());
    QComboBox::showPopup();
}
