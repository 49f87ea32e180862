#include "app/window/list_dump_window.h"

#include "app/window/window_coordinates.h"
#include "model/list_dump.h"
#include "text/display_text.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zarvex {

ListDumpWindow::ListDumpWindow(QWidget* parent, const MyCObArray& list, const IniFile& ini)
    : QDialog(parent), m_List(list), m_View(new QPlainTextEdit(this))
{
    setWindowTitle("ListDump");
    setSizeGripEnabled(true);
    m_View->setReadOnly(true);
    m_View->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_View->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    QPushButton* refresh = buttons->addButton("&Refresh", QDialogButtonBox::ActionRole);
    connect(refresh, &QPushButton::clicked, this, &ListDumpWindow::Refresh);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_View, 1);
    layout->addWidget(buttons);
    resize(720, 480);
    RestoreCoordinates(*this, ini, "DumpWindow");
    Refresh();
}

void ListDumpWindow::Refresh()
{
    // The dump is 8-bit text with CR LF line ends; the view shows it as UTF-8 lines.
    QString text = QString::fromStdString(ToDisplayUtf8(ListDumpText(&m_List)));
    text.remove('\r');
    m_View->setPlainText(text);
    m_View->moveCursor(QTextCursor::Start);
}

void ListDumpWindow::StorePosition(IniFile& ini) const
{
    StoreCoordinates(*this, ini, "DumpWindow");
}

QString ListDumpWindow::Text() const
{
    return m_View->toPlainText();
}

} // namespace zarvex
