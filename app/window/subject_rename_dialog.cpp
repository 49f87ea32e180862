#include "app/window/subject_rename_dialog.h"

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

QString Q(const std::string& text) { return QString::fromStdString(ToDisplayUtf8(text)); }

struct FlagControl
{
    const char* label;
    bool SubjectRenameOptions::*flag;
};

constexpr FlagControl kFlagControls[] = {
    {"Remove text in \"&< >\"", &SubjectRenameOptions::RemoveAngleBrackets},
    {"Remove text in \"&[ ]\"", &SubjectRenameOptions::RemoveSquareBrackets},
    {"Remove text in \"&{ }\"", &SubjectRenameOptions::RemoveCurlyBrackets},
    {"Remove text in \"&( )\"", &SubjectRenameOptions::RemoveSquareParens},
    {"Remove &multiple spaces", &SubjectRenameOptions::RemoveSpaces},
    {"Remove &Filename(s)", &SubjectRenameOptions::RemoveFilename},
    {"Remove &Trailing Digits", &SubjectRenameOptions::RemoveTrailingDigits},
    {"&Append Filename", &SubjectRenameOptions::AddFilename},
};

struct TextControl
{
    const char* label;
    std::string SubjectRenameOptions::*text;
};

constexpr TextControl kTextControls[] = {
    {"&Use Character Range (1-10,20-):", &SubjectRenameOptions::StartingPosition},
    {"&Drop Characters:", &SubjectRenameOptions::RemoveChars},
    {"Remove &Pattern: (special. #,<>,? )", &SubjectRenameOptions::RemovePattern},
    {"&Substitutions: [%s %f %d %a %#]", &SubjectRenameOptions::NameFormat},
};

constexpr const char* kLegend = "%s = subject    %f  = filename    %m = month    %d = day    %y = year\n"
                                "%h = hour    %n = minute    %c = second    %a = author    %# = number";

} // namespace

SubjectRenameDialog::SubjectRenameDialog(QWidget* parent, std::vector<RenameSource> rows,
                                         const SubjectRenameOptions& options, const Settings& settings)
    : QDialog(parent), m_Rows(std::move(rows)), m_Options(options), m_Settings(settings)
{
    setWindowTitle("Rename from Subject");
    auto* layout = new QVBoxLayout(this);

    auto* flags = new QGridLayout;
    int i = 0;
    for (const FlagControl& c : kFlagControls) {
        auto* box = new QCheckBox(c.label, this);
        box->setChecked(m_Options.*c.flag);
        connect(box, &QCheckBox::toggled, this, &SubjectRenameDialog::Refresh);
        flags->addWidget(box, i % 4, i / 4);
        m_Flags.emplace_back(box, c.flag);
        ++i;
    }
    layout->addLayout(flags);

    auto* texts = new QFormLayout;
    for (const TextControl& c : kTextControls) {
        auto* edit = new QLineEdit(QString::fromStdString(m_Options.*c.text), this);
        connect(edit, &QLineEdit::textChanged, this, &SubjectRenameDialog::Refresh);
        auto* label = new QLabel(c.label, this);
        label->setBuddy(edit);
        texts->addRow(label, edit);
        m_Texts.emplace_back(edit, c.text);
    }
    layout->addLayout(texts);
    layout->addWidget(new QLabel(kLegend, this));

    m_List = new QTreeWidget(this);
    m_List->setColumnCount(3);
    m_List->setHeaderLabels({"Original filename", "Subject", "Renamed filename"});
    m_List->setRootIsDecorated(false);
    m_List->header()->setSectionResizeMode(QHeaderView::Interactive);
    layout->addWidget(m_List, 1);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton("Rename", QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    resize(760, 480);
    Refresh();
}

void SubjectRenameDialog::ReadControls()
{
    for (const auto& [box, flag] : m_Flags)
        m_Options.*flag = box->isChecked();
    for (const auto& [edit, text] : m_Texts)
        m_Options.*text = edit->text().toStdString();
}

void SubjectRenameDialog::Refresh()
{
    ReadControls();
    m_Results.clear();
    m_List->clear();
    int number = 1; // "%#" counts the rows of each refresh from 1
    for (const RenameSource& row : m_Rows) {
        m_Results.push_back(BuildName(row, m_Options, m_Settings, number));
        new QTreeWidgetItem(m_List, {Q(row.fileName), Q(row.subject), Q(m_Results.back())});
    }
}

} // namespace zarvex
