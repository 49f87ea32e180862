#include "app/window/extract_dialog.h"

#include "app/window/folder_box.h"
#include "text/messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace zarvex {
namespace {

QString Q(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

constexpr int kFolderTextLimit = 772;

} // namespace

ExtractDialog::ExtractDialog(QWidget* parent, const ExtractOptions& options,
                             const std::array<std::string, 9>& recent, bool canSelect, bool oldStyle)
    : QDialog(parent), m_Options(options)
{
    setWindowTitle(options.raw ? "*** RAW Extract ***" : "Pick Folder");
    auto* files = new QGroupBox("Files", this);
    m_Selected = new QRadioButton("&Selected Files", files);
    m_All = new QRadioButton("&All Files", files);
    m_Matching = new QRadioButton("&Files:", files);
    m_Pattern = new QLineEdit(Q(options.pattern), files);
    auto* patternRow = new QHBoxLayout;
    patternRow->addWidget(m_Matching);
    patternRow->addWidget(m_Pattern);
    auto* filesLayout = new QVBoxLayout(files);
    filesLayout->addWidget(m_Selected);
    filesLayout->addWidget(m_All);
    filesLayout->addLayout(patternRow);
    const std::array<QRadioButton*, 3> which = {m_Selected, m_All, m_Matching};
    which[static_cast<std::size_t>(options.which)]->setChecked(true);
    m_Selected->setEnabled(canSelect);

    m_Skip = new QCheckBox("S&kip Incomplete Files", this);
    m_Overwrite = new QCheckBox("&Overwrite Existing Files", this);
    m_Append = new QCheckBox("A&ppend All to One File", this);
    m_Duplicate = new QCheckBox("You Choose Duplicate Part", this);
    m_Skip->setChecked(options.skipIncomplete);
    m_Overwrite->setChecked(options.overwrite);
    m_Append->setChecked(options.appendAll);
    m_Duplicate->setChecked(options.chooseDuplicate);

    m_Folder = new QComboBox(this);
    m_Folder->setEditable(true);
    m_Folder->lineEdit()->setMaxLength(kFolderTextLimit);
    m_Folder->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (const std::string& dir : recent)
        if (!dir.empty()) m_Folder->addItem(Q(dir));
    m_Folder->setEditText(Q(options.folder));
    auto* folderLabel = new QLabel("&Extract to:", this);
    folderLabel->setBuddy(m_Folder);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_Folder, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->addButton("E&xtract", QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* optionsColumn = new QVBoxLayout;
    optionsColumn->addWidget(files);
    for (QCheckBox* box : {m_Skip, m_Overwrite, m_Append, m_Duplicate})
        optionsColumn->addWidget(box);
    auto* layout = new QVBoxLayout(this);
    m_Note = new QLabel(this);
    m_Note->setWordWrap(true);
    m_Note->hide();
    layout->addWidget(m_Note);
    layout->addWidget(folderLabel);
    layout->addLayout(folderRow);
    if (oldStyle) {
        // The folder is walked to in the dialog; each folder reached becomes the text.
        m_Panel = new FolderPanel(this, FolderExists(options.folder) && options.folder != "*" ? options.folder
                                                                                              : "");
        connect(m_Panel, &FolderPanel::FolderChanged, m_Folder, &QComboBox::setEditText);
        // A folder typed or picked from the recent ones is shown in the panel as well.
        connect(m_Folder->lineEdit(), &QLineEdit::editingFinished, m_Panel,
                [this] { m_Panel->SetFolder(ChosenFolder(m_Folder->currentText().toStdString())); });
        connect(m_Folder, &QComboBox::textActivated, m_Panel,
                [this](const QString& text) { m_Panel->SetFolder(ChosenFolder(text.toStdString())); });
        auto* columns = new QHBoxLayout;
        columns->addWidget(m_Panel, 1);
        columns->addLayout(optionsColumn);
        layout->addLayout(columns, 1);
    } else {
        auto* browse = new QToolButton(this);
        browse->setText("...");
        browse->setToolTip("Browse for a folder");
        connect(browse, &QToolButton::clicked, this, &ExtractDialog::Browse);
        folderRow->addWidget(browse);
        layout->addLayout(optionsColumn);
    }
    layout->addWidget(buttons);
}

void ExtractDialog::SetNote(const QString& text)
{
    m_Note->setText(text);
    m_Note->setVisible(!text.isEmpty());
}

QString ExtractDialog::Note() const
{
    return m_Note->text();
}

void ExtractDialog::Browse()
{
    const QString start = m_Folder->currentText().isEmpty() ? QDir::currentPath() : m_Folder->currentText();
    const QString folder = QFileDialog::getExistingDirectory(this, "Pick Folder", start);
    if (!folder.isEmpty()) m_Folder->setEditText(folder);
}

bool ExtractDialog::FolderAccepted(const std::string& folder)
{
    if (FolderExists(folder)) return true;
    QMessageBox ask(QMessageBox::Warning, "Zarvex", Q(FormatMessage(msg::VerifyNewFolder, folder)),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    if (ask.exec() != QMessageBox::Ok) return false;
    if (CreateFolder(folder)) return true;
    QMessageBox::warning(this, "Zarvex", Q(FormatMessage(msg::CannotCreateFolder, folder)));
    return false;
}

void ExtractDialog::accept()
{
    const std::string folder = ChosenFolder(m_Folder->currentText().toStdString());
    if (!FolderAccepted(folder)) return;
    m_Options.folder = folder;
    m_Options.which = m_Selected->isChecked() ? ExtractWhich::Selected
                      : m_All->isChecked()    ? ExtractWhich::All
                                              : ExtractWhich::Pattern;
    m_Options.pattern = m_Pattern->text().toStdString();
    m_Options.skipIncomplete = m_Skip->isChecked();
    m_Options.overwrite = m_Overwrite->isChecked();
    m_Options.appendAll = m_Append->isChecked();
    m_Options.chooseDuplicate = m_Duplicate->isChecked();
    QDialog::accept();
}

} // namespace zarvex
