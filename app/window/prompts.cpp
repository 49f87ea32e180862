#include "app/window/prompts.h"

#include "app/output_entries.h"
#include "model/data_types.h"
#include "model/records.h"
#include "text/display_text.h"
#include "text/messages.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace zarvex {
namespace {

QString Q(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The text of a message box: the template with the subject put in its "%1",
// or after it; a subject that already is the whole message stays as it is.
QString PromptText(Prompt prompt, std::string_view subject)
{
    // The dialogs (overwrite, yEnc merge) have no message of their own.
    const bool dialog = prompt == Prompt::Overwrite || prompt == Prompt::YencMerge;
    const std::string_view tmpl = Message(dialog ? msg::NoMessage : static_cast<msg::Id>(prompt));
    const std::string shown = ToDisplayUtf8(subject);
    const std::string_view fixedStart = tmpl.substr(0, tmpl.find('%'));
    if (tmpl.empty() || (!shown.empty() && shown.rfind(fixedStart, 0) == 0)) return Q(shown);
    if (tmpl.find("%1") != std::string_view::npos) return Q(FormatTemplate(tmpl, shown));
    if (shown.empty()) return Q(tmpl);
    return Q(tmpl) + (prompt == Prompt::FileError ? "" : "\n") + Q(shown);
}

struct ButtonDef
{
    const char* text;
    int value;
};

int AskWithButtons(QWidget* parent, const QString& title, const QString& text, const std::vector<ButtonDef>& defs,
                   int defaultValue)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    QApplication::beep();
    std::vector<std::pair<QAbstractButton*, int>> buttons;
    for (const ButtonDef& d : defs) {
        QPushButton* b = box.addButton(d.text, d.value == button::Cancel ? QMessageBox::RejectRole
                                                                         : QMessageBox::AcceptRole);
        buttons.emplace_back(b, d.value);
        if (d.value == defaultValue) box.setDefaultButton(b);
        if (d.value == button::Cancel) box.setEscapeButton(b);
    }
    box.exec();
    for (const auto& [b, value] : buttons)
        if (box.clickedButton() == b) return value;
    return button::Cancel;
}

} // namespace

int AskPrompt(QWidget* parent, Prompt prompt, std::string_view subject)
{
    const QString file = Q(ToDisplayUtf8(subject));
    switch (prompt) {
    case Prompt::Overwrite:
        return AskWithButtons(parent, "Overwrite File?", "The file:\n" + file + "\nexists. Do you want to overwrite it?",
                              {{"&Yes", button::Yes},
                               {"Yes to &All", button::YesToAll},
                               {"&No", button::No},
                               {"No to A&ll", button::NoToAll},
                               {"&Cancel", button::Cancel}},
                              button::No);
    case Prompt::YencMerge:
        return AskWithButtons(parent, "YENC Merge/Replace/Skip File?",
                              "The file:\n" + file +
                                  "\nexists. Do you want to merge data with it, replace it or skip it?",
                              {{"&Merge", button::Yes},
                               {"Mer&ge All", button::YesToAll},
                               {"&Replace", button::Replace},
                               {"Re&place All", button::ReplaceAll},
                               {"&Skip", button::No},
                               {"S&kip All", button::NoToAll},
                               {"&Cancel", button::Cancel}},
                              button::No);
    case Prompt::RecursiveFound:
    case Prompt::StreamDecodeExisting:
        return AskWithButtons(parent, "Zarvex", PromptText(prompt, subject),
                              {{"&Yes", button::Yes}, {"&No", button::No}}, button::Yes);
    default: break;
    }
    const bool withCancel =
        prompt == Prompt::DuplicateInput || prompt == Prompt::NoFindings || prompt == Prompt::FileError;
    const bool information = prompt == Prompt::NoFindings || prompt == Prompt::ClipboardNameDiffers ||
                             prompt == Prompt::ClipboardMultiple || prompt == Prompt::TooDeeplyNested;
    const QMessageBox::Icon icon = information ? QMessageBox::Information : QMessageBox::Warning;
    QMessageBox box(icon, "Zarvex", PromptText(prompt, subject),
                    withCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, parent);
    QApplication::beep();
    return box.exec() == QMessageBox::Cancel ? button::Cancel : button::Ok;
}

int ChoosePartDialog(QWidget* parent, const std::vector<const CFInfo*>& parts)
{
    if (parts.empty()) return -1;
    QDialog dialog(parent);
    dialog.setWindowTitle("Select part to decode");
    auto* combo = new QComboBox(&dialog);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const CFInfo* p = parts[i];
        const std::string& line = p->m_FullSubj.empty() ? p->m_Subject : p->m_FullSubj;
        combo->addItem(QString("%1 - %2").arg(i + 1).arg(Q(ToDisplayUtf8(line))));
    }
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* subject = new QLabel(&dialog);
    auto* source = new QLabel(&dialog);
    auto* start = new QLabel(&dialog);
    auto* lines = new QLabel(&dialog);
    auto* number = new QLabel(&dialog);
    auto* type = new QLabel(&dialog);
    auto* begin = new QLabel(&dialog);
    auto* end = new QLabel(&dialog);
    auto mark = [](bool on) { return on ? QString::fromUtf8("\u2714") : QString("X"); };
    auto show = [&](int i) {
        const CFInfo* p = parts[static_cast<std::size_t>(std::max(i, 0))];
        subject->setText(Q(ToDisplayUtf8(p->m_FullSubj.empty() ? p->m_Subject : p->m_FullSubj)));
        source->setText(Q(ToDisplayUtf8(p->m_File)));
        start->setText(QString::number(p->m_StartLine));
        lines->setText(QString::number(p->m_EndLine - p->m_StartLine));
        number->setText(QString("%1 of %2").arg(p->m_Part).arg(p->m_Total));
        type->setText(mark(p->m_DataType > 0));
        begin->setText(mark(p->m_Starts > 0));
        end->setText(mark(p->m_Ends > 0));
    };
    QObject::connect(combo, &QComboBox::currentIndexChanged, &dialog, show);
    show(0);
    auto* form = new QFormLayout;
    form->addRow("Part Candidates:", combo);
    form->addRow("Subject:", subject);
    form->addRow("Source Filename:", source);
    form->addRow("Part Starting Line#:", start);
    form->addRow("Number of lines:", lines);
    form->addRow("Part #:", number);
    form->addRow("Recognized type?", type);
    form->addRow("Found Start?", begin);
    form->addRow("Found End?", end);
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(QDialogButtonBox::Ok);
    buttons->addButton("Abort", QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
    return dialog.exec() == QDialog::Accepted ? combo->currentIndex() : -1;
}

RenameDialog::RenameDialog(QWidget* parent, const std::vector<std::string>& names)
    : QDialog(parent), m_Multi(names.size() > 1)
{
    setWindowTitle(m_Multi ? "Wildcard Multifile Rename" : "Rename");
    const std::string shown = m_Multi ? WildcardPattern(names) : names.empty() ? std::string() : names[0];
    m_From = new QLineEdit(Q(shown), this);
    m_From->setReadOnly(true);
    m_To = new QLineEdit(Q(shown), this);
    m_To->setMinimumWidth(320);
    auto* form = new QFormLayout;
    form->addRow("&From:", m_From);
    form->addRow("&To:", m_To);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &RenameDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    m_To->setFocus();
    m_To->selectAll();
}

std::string RenameDialog::From() const
{
    return m_From->text().toStdString();
}

std::string RenameDialog::To() const
{
    return m_To->text().toStdString();
}

void RenameDialog::SetTo(const std::string& to)
{
    m_To->setText(Q(to));
}

std::string RenameDialog::Refusal() const
{
    if (m_Multi && !WildcardsAgree(From(), To())) return std::string(kWildcardMismatch);
    return {};
}

void RenameDialog::accept()
{
    const std::string refusal = Refusal();
    if (!refusal.empty()) {
        QApplication::beep();
        QMessageBox::warning(this, windowTitle(), Q(refusal));
        return;
    }
    QDialog::accept();
}

} // namespace zarvex
