// The "ListDump" window (Shift+F12): the list dump of every group and part
// the window holds, as read-only text that can be selected and copied.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace zarvex {

class IniFile;
class MyCObArray;

class ListDumpWindow : public QDialog
{
    Q_OBJECT
public:
    // Restores the position kept as "Coordinates" in section "DumpWindow".
    ListDumpWindow(QWidget* parent, const MyCObArray& list, const IniFile& ini);
    // Fills the view with the list as it is now; the caret goes to the start.
    void Refresh();
    void StorePosition(IniFile& ini) const;
    QString Text() const;

private:
    const MyCObArray& m_List;
    QPlainTextEdit* m_View;
};

} // namespace zarvex
