// The dialogs the core and the main window ask through: message boxes with
// the program's texts and buttons, "Overwrite File?" (800), "YENC
// Merge/Replace/Skip File?" (900), "Select part to decode" (2200) and
// "Rename" (500).
#pragma once

#include "platform/host.h"

#include <QDialog>

#include <string>
#include <string_view>
#include <vector>

class QLineEdit;

namespace zarvex {

class CFInfo;

// Shows `prompt` about `subject` and returns the button chosen (button::...).
int AskPrompt(QWidget* parent, Prompt prompt, std::string_view subject);

// Dialog 2200: the index of the part to decode, or -1 for Abort.
int ChoosePartDialog(QWidget* parent, const std::vector<const CFInfo*>& parts);

// Dialog 500. With one name From and To show it; with several the title is
// "Wildcard Multifile Rename" and both show the pattern of the names, and OK
// is refused unless To keeps From's wildcards.
class RenameDialog : public QDialog
{
    Q_OBJECT
public:
    RenameDialog(QWidget* parent, const std::vector<std::string>& names);
    std::string From() const;
    std::string To() const;
    void SetTo(const std::string& to);
    bool IsMultifile() const { return m_Multi; }
    // The check OK makes: empty when accepted, else the refusal text.
    std::string Refusal() const;
    void accept() override;

private:
    QLineEdit* m_From;
    QLineEdit* m_To;
    bool m_Multi;
};

} // namespace zarvex
