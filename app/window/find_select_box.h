// The modeless Find & Select box of the main window: find only, a text and
// "Match case"; Find Next hands both to the window.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace zarvex {

class FindSelectBox : public QDialog
{
    Q_OBJECT
public:
    explicit FindSelectBox(QWidget* parent);
    QString Text() const;
    bool MatchCase() const;
    void SetText(const QString& text);
    void SetMatchCase(bool on);
    // Presses Find Next.
    void Next();

signals:
    void FindNext(const QString& text, bool matchCase);

private:
    QLineEdit* m_Text;
    QCheckBox* m_MatchCase;
};

} // namespace zarvex
