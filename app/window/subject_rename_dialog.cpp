#include "app/window/subject_rename_dialog.h"

#include "app/ini_file.h"
#include "app/window/window_position.h"
#include "text/display_text.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zarvex {
namespace {

QString Q(std::string_view s)
{
    const std::string shown = ToDisplayUtf8(s);
    return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}

constexpr const char* kLegend = "%s = subject, %f  = filename, %m = month, %d = day, %y = year, %h = hour, "
                                "%n = minute, %c = second, %a = author, %# = number";

} // namespace

SubjectRenameDialog::SubjectRenameDialog(QWidget* parent, std::vector<RenameSource> rows, IniFile& ini,
                                         const Settings& settings)
    : QDialog(parent), m_Rows(std::move(rows)), m_Ini(ini), m_Settings(settings),
      m_Rules(LoadSubjectRename(ini)), m_List(new QTreeWidget(this))
{
    setWindowTitle("Rename from Subject");
    setSizeGripEnabled(true);
    auto* checks = new QGridLayout;
    const std::pair<const char*, bool SubjectRenameOptions::*> flags[] = {
        {"Remove text in \"&< >\"", &SubjectRenameOptions::RemoveAngleBrackets},
        {"Remove text in \"&[ ]\"", &SubjectRenameOptions::RemoveSquareBrackets},
        {"Remove text in \"&{ }\"", &SubjectRenameOptions::RemoveCurlyBrackets},
        {"Remove text in \"&( )\"", &SubjectRenameOptions::RemoveSquareParens},
        {"Remove &multiple spaces", &SubjectRenameOptions::RemoveSpaces},
        {"&Append Filename", &SubjectRenameOptions::AddFilename},
        {"Remove &Filename(s)", &SubjectRenameOptions::RemoveFilename},
        {"Remove &Trailing Digits", &SubjectRenameOptions::RemoveTrailingDigits},
    };
    for (const auto& [label, flag] : flags) {
        auto* box = new QCheckBox(label, this);
        checks->addWidget(box, static_cast<int>(m_Checks.size()) / 4, static_cast<int>(m_Checks.size()) % 4);
        m_Checks.emplace_back(box, flag);
        connect(box, &QCheckBox::toggled, this, &SubjectRenameDialog::Refresh);
    }
    auto* form = new QFormLayout;
    const std::pair<const char*, std::string SubjectRenameOptions::*> texts[] = {
        {"&Use Character Range (1-10,20-):", &SubjectRenameOptions::StartingPosition},
        {"&Drop Characters:", &SubjectRenameOptions::RemoveChars},
        {"Remove &Pattern: (special. #,<>,? )", &SubjectRenameOptions::RemovePattern},
        {"&Substitutions: [%s %f %d %a %#]", &SubjectRenameOptions::NameFormat},
    };
    for (const auto& [label, text] : texts) {
        auto* edit = new QLineEdit(this);
        form->addRow(label, edit);
        m_Texts.emplace_back(edit, text);
        connect(edit, &QLineEdit::textChanged, this, &SubjectRenameDialog::Refresh);
    }
    m_List->setColumnCount(3);
    m_List->setHeaderLabels({"Original filename", "Subject", "Renamed filename"});
    m_List->setRootIsDecorated(false);
    m_List->header()->setSectionResizeMode(QHeaderView::Stretch);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton("Rename", QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &SubjectRenameDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(checks);
    layout->addLayout(form);
    auto* legend = new QLabel(kLegend, this);
    legend->setWordWrap(true);
    layout->addWidget(legend);
    layout->addWidget(m_List, 1);
    layout->addWidget(buttons);
    setMinimumSize(560, 360);
    resize(760, 480);
    RestoreCoordinates(*this, m_Ini, "SubjectRename");
    SetRules(m_Rules);
}

SubjectRenameDialog::~SubjectRenameDialog() = default;

void SubjectRenameDialog::SetRules(const SubjectRenameOptions& rules)
{
    m_Rules = rules;
    for (const auto& [box, flag] : m_Checks) {
        const QSignalBlocker quiet(box);
        box->setChecked(m_Rules.*flag);
    }
    for (const auto& [edit, text] : m_Texts) {
        const QSignalBlocker quiet(edit);
        edit->setText(QString::fromStdString(m_Rules.*text));
    }
    Refresh();
}

void SubjectRenameDialog::ReadControls()
{
    for (const auto& [box, flag] : m_Checks)
        m_Rules.*flag = box->isChecked();
    for (const auto& [edit, text] : m_Texts)
        m_Rules.*text = edit->text().toStdString();
}

void SubjectRenameDialog::Refresh()
{
    ReadControls();
    m_List->clear();
    m_Results.clear();
    int number = 1; // "%#" counts from 1 at every refresh
    for (const RenameSource& row : m_Rows) {
        m_Results.push_back(BuildName(row, m_Rules, m_Settings, number));
        m_List->addTopLevelItem(new QTreeWidgetItem({Q(row.fileName), Q(row.subject), Q(m_Results.back())}));
    }
}

void SubjectRenameDialog::accept()
{
    ReadControls();
    StoreSubjectRename(m_Rules, m_Ini);
    StoreCoordinates(*this, m_Ini, "SubjectRename");
    QDialog::accept();
}

} // namespace zarvex
