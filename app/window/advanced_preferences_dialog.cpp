#include "app/window/advanced_preferences_dialog.h"

#include "model/data_types.h"
#include "model/file_types.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <array>

namespace zarvex {
namespace {

struct FlagBox
{
    int id;
    const char* label;
    bool Settings::*flag;
};

constexpr int kExtensionsId = 1322;

constexpr std::array<FlagBox, 10> kFlagBoxes = {{
    {1314, "Extract QP Text with P&C End of Line (CR/LF)", &Settings::EOLConversion},
    {2702, "Expand escaped &URI filename characters (i.e. %20) ", &Settings::StripPercent},
    {2715, "Decode UTF-&8 plain text data to ANSI", &Settings::DecodeUTF8},
    {1326, "&Only use last \"( n/n )\" in subject for part numbers", &Settings::OnlyUseLastParen},
    {2705, "&Close stream decode files between updates", &Settings::StreamClose},
    {2711, "&Resume stream decode mode on startup", &Settings::StreamStart},
    {2708, "Enable &Monitor Mode by default", &Settings::AutoMonitor},
    {2701, "Use old style &Drag && Drop (non OLE)", &Settings::OldDragDrop},
    {2703, "Use old style &Extract Dialog", &Settings::OldExtract},
    {kExtensionsId, "Add &File Extensions for Recognized Files", &Settings::AutoExtensionDetect},
}};

QString FromUtf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

AdvancedPreferencesDialog::AdvancedPreferencesDialog(const Settings& settings, QWidget* parent)
    : QDialog(parent), m_Settings(settings)
{
    setWindowTitle("Advanced Preferences");
    setObjectName("2700");
    auto* layout = new QVBoxLayout(this);
    for (const FlagBox& f : kFlagBoxes) {
        auto* box = new QCheckBox(f.label, this);
        box->setObjectName(QString::number(f.id));
        box->setChecked(settings.*f.flag);
        layout->addWidget(box);
        m_Boxes[f.id] = box;
    }

    auto* label = new QLabel("File &types to detect && allowed extensions", this);
    m_Types = new QTreeWidget(this);
    m_Types->setObjectName("2714");
    m_Types->setHeaderLabels({"Type", "Kind", "Extensions"});
    m_Types->setRootIsDecorated(false);
    m_Types->setMinimumHeight(180);
    label->setBuddy(m_Types);
    for (int type = 1; type < kDataTypeCount; ++type) {
        const TypeExtensionRecord* r = FindTypeExtensionRecord(type);
        auto* item = new QTreeWidgetItem(m_Types, {FromUtf8(kDataTypeNames[type]),
                                                   r ? FromUtf8(r->category) : QString(),
                                                   r ? FromUtf8(r->allowed) : QString()});
        item->setCheckState(0, settings.DetectTypes[type] ? Qt::Checked : Qt::Unchecked);
    }
    m_Types->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    QCheckBox* extensions = Box(kExtensionsId);
    m_Types->setEnabled(extensions->isChecked());
    connect(extensions, &QCheckBox::toggled, m_Types, &QWidget::setEnabled);
    layout->addWidget(label);
    layout->addWidget(m_Types, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QCheckBox* AdvancedPreferencesDialog::Box(int id) const
{
    const auto it = m_Boxes.find(id);
    return it == m_Boxes.end() ? nullptr : it->second;
}

Settings AdvancedPreferencesDialog::Result() const
{
    Settings s = m_Settings;
    for (const FlagBox& f : kFlagBoxes)
        s.*f.flag = Box(f.id)->isChecked();
    for (int type = 1; type < kDataTypeCount; ++type)
        s.DetectTypes[type] = m_Types->topLevelItem(type - 1)->checkState(0) == Qt::Checked;
    return s;
}

} // namespace zarvex
