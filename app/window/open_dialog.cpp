#include "app/window/open_dialog.h"

#include "text/messages.h"
#include "text/text_utils.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace zarvex {

QStringList OpenFileTypes()
{
    const std::string_view list = Message(msg::OpenFileTypes);
    const QStringList fields = QString::fromUtf8(list.data(), static_cast<qsizetype>(list.size())).split('|');
    QStringList types;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        // The dialog matches names without regard to case; "*.*" also takes
        // the names without a dot ("mbox", "inbox").
        QStringList patterns;
        for (const QString& p : fields[i + 1].split(';', Qt::SkipEmptyParts)) {
            const QString pattern = p == "*.*" ? QString("*") : p.toLower();
            if (!patterns.contains(pattern)) patterns << pattern;
        }
        types << fields[i] + " (" + patterns.join(' ') + ")";
    }
    return types;
}

OpenDialog::OpenDialog(QWidget* parent, const std::string& folder, int fileType, bool oldStyle)
    : QFileDialog(parent, "Open", QString::fromStdString(folder))
{
    setOption(QFileDialog::DontUseNativeDialog); // the panel needs the dialog's own layout
    setOption(QFileDialog::HideNameFilterDetails);
    setFileMode(QFileDialog::ExistingFiles);
    setFilter(filter() & ~QDir::CaseSensitive);
    setAcceptMode(QFileDialog::AcceptOpen);
    const QStringList types = OpenFileTypes();
    setNameFilters(types);
    selectNameFilter(types.value(fileType - 1, types.front()));
    auto* grid = qobject_cast<QGridLayout*>(layout());
    if (oldStyle || !grid) return;
    m_Panel = new QWidget(this);
    m_Streams = new QListWidget(m_Panel);
    auto* label = new QLabel("Alternate Data Streams:", m_Panel);
    label->setBuddy(m_Streams);
    auto* column = new QVBoxLayout(m_Panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(label);
    column->addWidget(m_Streams, 1);
    grid->addWidget(m_Panel, 0, grid->columnCount(), grid->rowCount(), 1);
    m_Panel->hide();
    connect(this, &QFileDialog::currentChanged, this, &OpenDialog::ShowStreams);
}

std::vector<std::string> OpenDialog::Files() const
{
    std::vector<std::string> files;
    for (const QString& f : selectedFiles())
        files.push_back(f.toStdString());
    return files;
}

int OpenDialog::FileType() const
{
    // With the patterns hidden the dialog names the type by its description alone.
    const QString chosen = selectedNameFilter();
    const QStringList types = nameFilters();
    for (qsizetype i = 0; i < types.size(); ++i)
        if (types[i] == chosen || types[i].left(types[i].lastIndexOf(" (")) == chosen)
            return static_cast<int>(i) + 1;
    return 1;
}

void OpenDialog::ShowStreams(const QString& path)
{
    if (!m_Panel) return;
    m_Streams->clear();
    const int count = QFileInfo(path).isFile()
                          ? ListStreams(path.toStdString(),
                                        [this](const std::string& line) {
                                            m_Streams->addItem(QString::fromStdString(line));
                                        })
                          : 0;
    m_Panel->setVisible(count > 0);
}

} // namespace zarvex
