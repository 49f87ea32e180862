// The Extract dialog: which output files to decode, the write options and the
// target folder, chosen from the recent extraction folders or browsed for.
// A missing folder is offered for creation before the dialog closes. The old
// style shows the folder panel in the dialog itself instead of a browse button.
#pragma once

#include "app/window/extract_options.h"

#include <QDialog>

#include <array>
#include <string>

class QCheckBox;
class QLabel;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace zarvex {

class FolderPanel;

class ExtractDialog : public QDialog
{
    Q_OBJECT
public:
    // `canSelect`: entries are selected ("&Selected Files" is offered);
    // `oldStyle`: the "OldExtract" layout.
    ExtractDialog(QWidget* parent, const ExtractOptions& options, const std::array<std::string, 9>& recent,
                  bool canSelect, bool oldStyle = false);

    // A line above the choices saying why the dialog was opened (empty: none).
    void SetNote(const QString& text);
    QString Note() const;

    // The choices after OK.
    const ExtractOptions& Options() const { return m_Options; }

    QRadioButton* SelectedButton() const { return m_Selected; }
    QRadioButton* AllButton() const { return m_All; }
    QRadioButton* PatternButton() const { return m_Matching; }
    QLineEdit* PatternField() const { return m_Pattern; }
    QComboBox* FolderBox() const { return m_Folder; }
    // The old style's folder panel; null in the default style.
    FolderPanel* Panel() const { return m_Panel; }

    void accept() override;

private:
    void Browse();
    bool FolderAccepted(const std::string& folder);

    ExtractOptions m_Options;
    QRadioButton* m_Selected;
    QRadioButton* m_All;
    QRadioButton* m_Matching;
    QLineEdit* m_Pattern;
    QCheckBox* m_Skip;
    QCheckBox* m_Overwrite;
    QCheckBox* m_Append;
    QCheckBox* m_Duplicate;
    QComboBox* m_Folder;
    FolderPanel* m_Panel = nullptr;
    QLabel* m_Note;
};

} // namespace zarvex
