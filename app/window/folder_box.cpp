#include "app/window/folder_box.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QStorageInfo>
#include <QVBoxLayout>

namespace zarvex {
namespace {

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

// The root, the home folder and every mounted file system, each once.
QStringList MountedPlaces()
{
    QStringList places = {"/", QDir::homePath()};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady() && !places.contains(volume.rootPath()))
            places.push_back(volume.rootPath());
    return places;
}

} // namespace

FolderPanel::FolderPanel(QWidget* parent, const std::string& start) : QWidget(parent)
{
    m_Path = new QLabel(this);
    m_Path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_Directories = new QListWidget(this);
    m_Places = new QComboBox(this);
    m_Places->addItems(MountedPlaces());
    auto* directoriesLabel = new QLabel("&Directories:", this);
    directoriesLabel->setBuddy(m_Directories);
    auto* placesLabel = new QLabel("Dri&ves:", this);
    placesLabel->setBuddy(m_Places);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(directoriesLabel);
    layout->addWidget(m_Path);
    layout->addWidget(m_Directories, 1);
    layout->addWidget(placesLabel);
    layout->addWidget(m_Places);
    connect(m_Directories, &QListWidget::itemActivated, this, &FolderPanel::Enter);
    connect(m_Places, &QComboBox::activated, this,
            [this](int index) { SetFolder(m_Places->itemText(index).toStdString()); });
    if (start.empty() || !SetFolder(start)) SetFolder(QDir::currentPath().toStdString());
}

bool FolderPanel::SetFolder(const std::string& folder)
{
    const QFileInfo info(Q(folder));
    if (!info.isDir()) return false;
    m_Folder = QDir::cleanPath(info.absoluteFilePath()).toStdString();
    Fill();
    emit FolderChanged(Q(m_Folder));
    return true;
}

void FolderPanel::Enter(QListWidgetItem* item)
{
    if (item) SetFolder(item->data(Qt::UserRole).toString().toStdString());
}

// The parent first (except at the root), then the folders inside, by name.
void FolderPanel::Fill()
{
    m_Path->setText(Q(m_Folder));
    m_Directories->clear();
    QDir dir(Q(m_Folder));
    if (!dir.isRoot()) {
        auto* up = new QListWidgetItem("..", m_Directories);
        up->setData(Qt::UserRole, QFileInfo(dir.absolutePath()).absolutePath());
    }
    for (const QFileInfo& sub : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        auto* item = new QListWidgetItem(sub.fileName(), m_Directories);
        item->setData(Qt::UserRole, sub.absoluteFilePath());
    }
}

FolderBox::FolderBox(QWidget* parent, const QString& title, const std::string& start) : QDialog(parent)
{
    setWindowTitle(title);
    m_Panel = new FolderPanel(this, start);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_Panel, 1);
    layout->addWidget(buttons);
    resize(360, 400);
}

std::string ChooseFolderOldStyle(QWidget* parent, const QString& title, const std::string& start)
{
    FolderBox box(parent, title, start);
    return box.exec() == QDialog::Accepted ? box.Panel()->Folder() : std::string();
}

} // namespace zarvex
