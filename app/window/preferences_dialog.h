// The Preferences dialog (1300): the scanning and naming switches, the
// unpacking of winmail.dat, the working folder, the unpacking limit for
// archives and the eight file associations. OK checks the working
// folder (creating it when the user agrees) and applies the associations
// before the dialog closes; the caller then takes the values over.
#pragma once

#include "app/desktop/associations.h"
#include "model/settings.h"

#include <QDialog>

#include <functional>
#include <map>

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace zarvex {

class IniFile;

class PreferencesDialog : public QDialog
{
    Q_OBJECT
public:
    // `settingsFile` receives the "Association" entries of the extensions taken or dropped.
    PreferencesDialog(const Settings& settings, bool assumeSorted, const DesktopPaths& paths,
                      IniFile& settingsFile, QWidget* parent = nullptr);

    // The control with dialog id `id` (check boxes 1301..1331, 2712, 2713).
    QCheckBox* Box(int id) const;
    QLineEdit* WorkingFolder() const { return m_Folder; }
    QSpinBox* ArchiveLimit() const { return m_ArchiveLimit; }

    // The values of the controls over those the dialog was opened with.
    Settings Result() const;
    bool AssumeSorted() const;

    // Shows a message; with `question` it has OK and Cancel and returns true for OK.
    // Tests replace it; by default a message box.
    std::function<bool(const QString& text, bool question)> notify;

    void accept() override;

private:
    bool CheckWorkingFolder();
    void ChooseFolder();

    Settings m_Settings;
    DesktopPaths m_Paths;
    IniFile& m_SettingsFile;
    AssociationStates m_Associated{};
    std::map<int, QCheckBox*> m_Boxes;
    QLineEdit* m_Folder = nullptr;
    QSpinBox* m_ArchiveLimit = nullptr;
};

} // namespace zarvex
