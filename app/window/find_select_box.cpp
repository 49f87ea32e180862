#include "app/window/find_select_box.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zarvex {

FindSelectBox::FindSelectBox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Find");
    setModal(false);
    m_Text = new QLineEdit(this);
    m_Text->setMinimumWidth(220);
    auto* label = new QLabel("Fi&nd what:", this);
    label->setBuddy(m_Text);
    m_MatchCase = new QCheckBox("Match &case", this);
    auto* next = new QPushButton("&Find Next", this);
    next->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    connect(next, &QPushButton::clicked, this, &FindSelectBox::Next);
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_Text, 1);
    auto* left = new QVBoxLayout;
    left->addLayout(row);
    left->addWidget(m_MatchCase);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(next);
    right->addWidget(cancel);
    right->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right);
}

QString FindSelectBox::Text() const
{
    return m_Text->text();
}

bool FindSelectBox::MatchCase() const
{
    return m_MatchCase->isChecked();
}

void FindSelectBox::SetText(const QString& text)
{
    m_Text->setText(text);
}

void FindSelectBox::SetMatchCase(bool on)
{
    m_MatchCase->setChecked(on);
}

void FindSelectBox::Next()
{
    if (!m_Text->text().isEmpty()) emit FindNext(m_Text->text(), m_MatchCase->isChecked());
}

} // namespace zarvex
