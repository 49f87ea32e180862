// The "Rename from Subject" dialog: the rules of section "SubjectRename"
// as controls, and for each selected output file its name, its subject and
// the name the rules build, refreshed on every change.
#pragma once

#include "app/subject_rename.h"

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

struct SubjectRow
{
    std::string fileName, subject, author;
    std::int64_t time = 0;
};

class SubjectRenameDialog : public QDialog
{
    Q_OBJECT
public:
    // Reads the rules and the place of the dialog from `ini`; "Rename" writes them back.
    SubjectRenameDialog(QWidget* parent, std::vector<SubjectRow> rows, IniFile& ini,
                        const Settings& settings);
    ~SubjectRenameDialog() override;
    // The new name of each row (empty: none).
    const std::vector<std::string>& Results() const { return m_Results; }
    void SetRules(const SubjectRenameRules& rules);
    void accept() override;

private:
    void ReadControls();
    void Refresh();

    std::vector<SubjectRow> m_Rows;
    std::vector<std::string> m_Results;
    IniFile& m_Ini;
    const Settings& m_Settings;
    SubjectRenameRules m_Rules;
    std::vector<std::pair<QCheckBox*, bool SubjectRenameRules::*>> m_Checks;
    std::vector<std::pair<QLineEdit*, std::string SubjectRenameRules::*>> m_Texts;
    QTreeWidget* m_List;
};

} // namespace zarvex
