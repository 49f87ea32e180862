// "Rename from Subject" (dialog 1200): the rules of model/subject_rename.h
// with a list of the current name, the subject and the result of each
// selected output file, refreshed on every change of an option.
#pragma once

#include "model/subject_rename.h"

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QLineEdit;
class QTreeWidget;

namespace zarvex {

struct Settings;

class SubjectRenameDialog : public QDialog
{
    Q_OBJECT
public:
    SubjectRenameDialog(QWidget* parent, std::vector<RenameSource> rows, const SubjectRenameOptions& options,
                        const Settings& settings);

    const SubjectRenameOptions& Options() const { return m_Options; }
    // The new name of each row, in the order given (empty: left alone).
    const std::vector<std::string>& Results() const { return m_Results; }
    // The list control, for tests.
    QTreeWidget* List() const { return m_List; }

private:
    void ReadControls();
    void Refresh();

    std::vector<RenameSource> m_Rows;
    SubjectRenameOptions m_Options;
    const Settings& m_Settings;
    std::vector<std::string> m_Results;

    std::vector<std::pair<QCheckBox*, bool SubjectRenameOptions::*>> m_Flags;
    std::vector<std::pair<QLineEdit*, std::string SubjectRenameOptions::*>> m_Texts;
    QTreeWidget* m_List = nullptr;
};

} // namespace zarvex
