#include "app/window/preferences_dialog.h"

#include "app/settings_ini.h"
#include "app/window/folder_box.h"
#include "text/messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <array>
#include <climits>
#include <filesystem>

namespace zarvex {
namespace {

struct FlagBox
{
    int id;
    const char* label;
    bool Settings::*flag; // null: not a preference
};

constexpr int kAssumeSortedId = 1317;
constexpr int kForce83Id = 1321;
constexpr int kFirstAssociationId = 1301;

constexpr std::array<FlagBox, 13> kFlagBoxes = {{
    {1320, "Find && Decode Plain &Text Encoding", &Settings::MimeText},
    {1323, "Find && Decode &Quoted-Printable Encoding", &Settings::EnableQP},
    {1324, "Decode &X-Face: && Face: images", &Settings::EnableXFace},
    {1316, "Enable &Indented Message Detection ( > )", &Settings::AutoIndentDetect},
    {1319, "Enable Extended &Part Matching", &Settings::ExtendedMatching},
    {1318, "&Remove Duplicate single parts", &Settings::AutoDuplicateRemoval},
    {1325, "&Remove Duplicates in multi-part files", &Settings::AutoMultipartDupeRemoval},
    {2712, "Use strict decoding rules for &yEnc messages", &Settings::StrictYenc},
    {2713, "Disable duplicate &filename renaming", &Settings::NoAutoRename},
    {1330, "&Unpack winmail.dat (TNEF) attachments", &Settings::UnpackTnef},
    {1331, "&Keep the winmail.dat after unpacking it", &Settings::TnefKeepContainer},
    {kAssumeSortedId, "Assume &Sorted Message Order (last chance)", nullptr},
    // Never shown, never stored: short names are not offered here.
    {kForce83Id, "Force Short (&8.3) Filenames", nullptr},
}};

QString FromUtf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

PreferencesDialog::PreferencesDialog(const Settings& settings, bool assumeSorted, const DesktopPaths& paths,
                                     IniFile& settingsFile, QWidget* parent)
    : QDialog(parent), m_Settings(settings), m_Paths(paths), m_SettingsFile(settingsFile)
{
    setWindowTitle("Preferences");
    setObjectName("1300");
    notify = [this](const QString& text, bool question) {
        if (!question) return QMessageBox::warning(this, "Zarvex", text) == QMessageBox::Ok;
        return QMessageBox::question(this, "Zarvex", text, QMessageBox::Ok | QMessageBox::Cancel) ==
               QMessageBox::Ok;
    };

    auto* options = new QGroupBox("Decoding");
    auto* optionLayout = new QVBoxLayout(options);
    for (const FlagBox& f : kFlagBoxes) {
        auto* box = new QCheckBox(f.label, options);
        box->setObjectName(QString::number(f.id));
        box->setChecked(f.flag ? settings.*f.flag : f.id == kAssumeSortedId && assumeSorted);
        box->setVisible(f.id != kForce83Id);
        optionLayout->addWidget(box);
        m_Boxes[f.id] = box;
    }

    m_Associated = ReadAssociations(paths);
    auto* files = new QGroupBox("Associate file extensions with Zarvex");
    auto* fileLayout = new QGridLayout(files);
    for (std::size_t i = 0; i < kFileAssociations.size(); ++i) {
        const int id = kFirstAssociationId + static_cast<int>(i);
        auto* box = new QCheckBox(FromUtf8(kFileAssociations[i].label), files);
        box->setObjectName(QString::number(id));
        box->setChecked(m_Associated[i]);
        fileLayout->addWidget(box, static_cast<int>(i / 4), static_cast<int>(i % 4));
        m_Boxes[id] = box;
    }

    auto* folderBox = new QGroupBox("Working directory for temporary files");
    auto* folderLayout = new QHBoxLayout(folderBox);
    m_Folder = new QLineEdit(FromUtf8(settings.WorkingDir), folderBox);
    m_Folder->setObjectName("1311");
    auto* select = new QPushButton("Se&lect...", folderBox);
    select->setObjectName("1312");
    connect(select, &QPushButton::clicked, this, &PreferencesDialog::ChooseFolder);
    folderLayout->addWidget(m_Folder, 1);
    folderLayout->addWidget(select);

    auto* limitRow = new QHBoxLayout;
    m_ArchiveLimit = new QSpinBox;
    m_ArchiveLimit->setObjectName("1332");
    m_ArchiveLimit->setRange(1, INT_MAX);
    m_ArchiveLimit->setSuffix(" MB");
    m_ArchiveLimit->setValue(settings.ArchiveLimitMB);
    limitRow->addWidget(new QLabel("Unpack at most, from one &archive or compressed file:"));
    limitRow->addWidget(m_ArchiveLimit);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(options);
    layout->addWidget(files);
    layout->addWidget(folderBox);
    layout->addLayout(limitRow);
    layout->addWidget(buttons);
}

QCheckBox* PreferencesDialog::Box(int id) const
{
    const auto it = m_Boxes.find(id);
    return it == m_Boxes.end() ? nullptr : it->second;
}

Settings PreferencesDialog::Result() const
{
    Settings s = m_Settings;
    for (const FlagBox& f : kFlagBoxes)
        if (f.flag) s.*f.flag = Box(f.id)->isChecked();
    s.WorkingDir = m_Folder->text().toStdString();
    s.ArchiveLimitMB = m_ArchiveLimit->value();
    return s;
}

bool PreferencesDialog::AssumeSorted() const
{
    return Box(kAssumeSortedId)->isChecked();
}

void PreferencesDialog::ChooseFolder()
{
    const QString folder = m_Settings.OldExtract
                               ? QString::fromStdString(ChooseFolderOldStyle(this, "Working Directory",
                                                                             m_Folder->text().toStdString()))
                               : QFileDialog::getExistingDirectory(this, "Choose Temp Folder", m_Folder->text());
    if (!folder.isEmpty()) m_Folder->setText(folder);
}

// An empty folder becomes the default; a missing one is created when the
// user agrees; a read-only one is refused.
bool PreferencesDialog::CheckWorkingFolder()
{
    if (m_Folder->text().trimmed().isEmpty()) m_Folder->setText(FromUtf8(DefaultTempFolder()));
    const std::string folder = m_Folder->text().toStdString();
    switch (FolderState(folder)) {
    case 0: {
        QApplication::beep();
        if (!notify(FromUtf8(FormatMessage(msg::VerifyNewFolder, folder)), true)) break;
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (FolderState(folder) == 2) return true;
        notify(FromUtf8(FormatMessage(msg::CannotCreateFolder, folder)), false);
        break;
    }
    case 1:
        QApplication::beep();
        notify(FromUtf8(Message(msg::ReadOnlyFolder)), false);
        break;
    default:
        return true;
    }
    m_Folder->setFocus();
    return false;
}

void PreferencesDialog::accept()
{
    if (!CheckWorkingFolder()) return;
    AssociationStates wanted{};
    for (std::size_t i = 0; i < wanted.size(); ++i)
        wanted[i] = Box(kFirstAssociationId + static_cast<int>(i))->isChecked();
    const AssociationOutcome outcome = ApplyAssociations(m_Paths, wanted, m_SettingsFile);
    for (const std::string& e : outcome.errors)
        notify(FromUtf8(e), false);
    QDialog::accept();
}

} // namespace zarvex
