// The old-style folder box: the current folder, a "&Directories:" list to
// walk the tree one level at a time and a "Dri&ves:" list of the places the
// file system is mounted at. It is a panel of the old-style Extract dialog
// and, as a box of its own ("Working Directory"), the old-style choice of a
// folder wherever a folder is asked for.
#pragma once

#include <QDialog>
#include <QWidget>

#include <string>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;

namespace zarvex {

class FolderPanel : public QWidget
{
    Q_OBJECT
public:
    // Opens at `start` when it is a folder, else at the current folder.
    FolderPanel(QWidget* parent, const std::string& start);

    std::string Folder() const { return m_Folder; }
    // Goes to `folder` (made absolute); false when it is no folder.
    bool SetFolder(const std::string& folder);

    QListWidget* Directories() const { return m_Directories; }
    QComboBox* Places() const { return m_Places; }

signals:
    void FolderChanged(const QString& folder);

private:
    void Enter(QListWidgetItem* item);
    void Fill();

    std::string m_Folder;
    QLabel* m_Path;
    QListWidget* m_Directories;
    QComboBox* m_Places;
};

// The panel alone in a box with OK and Cancel.
class FolderBox : public QDialog
{
    Q_OBJECT
public:
    FolderBox(QWidget* parent, const QString& title, const std::string& start);
    FolderPanel* Panel() const { return m_Panel; }

private:
    FolderPanel* m_Panel;
};

// Asks for a folder with the old-style box titled `title`, opened at
// `start`; the folder chosen, or empty when the box was cancelled.
std::string ChooseFolderOldStyle(QWidget* parent, const QString& title, const std::string& start);

} // namespace zarvex
