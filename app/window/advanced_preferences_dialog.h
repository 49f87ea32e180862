// The Advanced Preferences dialog (2700): output, stream and compatibility
// switches, and the list of file types to detect. The list can be changed
// only while "Add File Extensions for Recognized Files" is checked.
#pragma once

#include "model/settings.h"

#include <QDialog>

#include <map>

class QCheckBox;
class QTreeWidget;

namespace zarvex {

class AdvancedPreferencesDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AdvancedPreferencesDialog(const Settings& settings, QWidget* parent = nullptr);

    QCheckBox* Box(int id) const;
    // The file-type list (2714): one checkable row per detected type, row i for type i + 1.
    QTreeWidget* TypeList() const { return m_Types; }

    Settings Result() const;

private:
    Settings m_Settings;
    std::map<int, QCheckBox*> m_Boxes;
    QTreeWidget* m_Types = nullptr;
};

} // namespace zarvex
