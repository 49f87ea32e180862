#include "app/window/list_dump_window.h"

#include "app/window/window_position.h"
#include "model/list_dump.h"
#include "text/display_text.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace zarvex {

ListDumpWindow::ListDumpWindow(QWidget* parent, const MyCObArray& list, IniFile& ini)
    : QDialog(parent), m_View(new QPlainTextEdit(this)), m_Ini(ini)
{
    setWindowTitle("ListDump");
    setSizeGripEnabled(true);
    m_View->setReadOnly(true);
    m_View->setLineWrapMode(QPlainTextEdit::NoWrap);
    const std::string text = ToDisplayUtf8(ListDumpText(&list));
    m_View->setPlainText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).remove('\r'));
    m_View->moveCursor(QTextCursor::Start);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_View, 1);
    layout->addWidget(buttons);
    setMinimumSize(360, 200);
    resize(640, 420);
    RestoreCoordinates(*this, m_Ini, "DumpWindow");
}

ListDumpWindow::~ListDumpWindow()
{
    StoreCoordinates(*this, m_Ini, "DumpWindow");
}

} // namespace zarvex
