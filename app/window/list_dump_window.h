// The "ListDump" window (Shift+F12): every group and part of the sort list
// with all their fields, as plain text, for checking what the scanner and the
// grouping built. Its position is kept in section "DumpWindow".
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
    ListDumpWindow(QWidget* parent, const MyCObArray& list, IniFile& ini);
    ~ListDumpWindow() override;
    QPlainTextEdit* View() const { return m_View; }

private:
    QPlainTextEdit* m_View;
    IniFile& m_Ini;
};

} // namespace zarvex
