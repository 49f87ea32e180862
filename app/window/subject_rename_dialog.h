// The "Rename from Subject" dialog: the rules of section "SubjectRename"
// as controls, and for each selected output file its name, its subject and
// the name the rules build, refreshed on every change.
#pragma once

#include "app/subject_rename_ini.h"

#include <QDialog>

#include <cstdint>
#include <string>
#include <vector>

class QCheckBox;
class QLineEdit;
class QTreeWidget;

namespace zarvex {

class IniFile;
struct Settings;

class SubjectRenameDialog : public QDialog
{
    Q_OBJECT
public:
    // Reads the rules and the place of the dialog from `ini`; "Rename" writes them back.
    SubjectRenameDialog(QWidget* parent, std::vector<RenameSource> rows, IniFile& ini,
                        const Settings& settings);
    ~SubjectRenameDialog() override;
    // The new name of each row (empty: none).
    const std::vector<std::string>& Results() const { return m_Results; }
    void SetRules(const SubjectRenameOptions& rules);
    void accept() override;

private:
    void ReadControls();
    void Refresh();

    std::vector<RenameSource> m_Rows;
    std::vector<std::string> m_Results;
    IniFile& m_Ini;
    const Settings& m_Settings;
    SubjectRenameOptions m_Rules;
    std::vector<std::pair<QCheckBox*, bool SubjectRenameOptions::*>> m_Checks;
    std::vector<std::pair<QLineEdit*, std::string SubjectRenameOptions::*>> m_Texts;
    QTreeWidget* m_List;
};

} // namespace zarvex
