#include "ui/QtWindowView.h"

#include "ui/Messages.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QWidget>

namespace velmora {

namespace {
QString FromView(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
} // namespace

QWidget* QtWindowView::Find(std::string_view control) const
{
    const QString name = FromView(control);
    if (m_window->objectName() == name) return m_window;
    return m_window->findChild<QWidget*>(name);
}

std::string QtWindowView::Text(std::string_view control) const
{
    QWidget* widget = Find(control);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text().toStdString();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text().toStdString();
    if (widget == m_window) return m_window->windowTitle().toStdString();
    return {};
}

void QtWindowView::SetText(std::string_view control, std::string_view text)
{
    QWidget* widget = Find(control);
    const QString value = FromView(text);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(value);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(value);
        // Labels placed by their top-left corner take the size of their text; those
        // given a fixed box say so with the property "fixedBox".
        if (!label->property("fixedBox").toBool()) label->adjustSize();
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(value);
    } else if (widget == m_window) {
        m_window->setWindowTitle(value);
    }
}

void QtWindowView::SetHint(std::string_view control, std::string_view text)
{
    if (QWidget* widget = Find(control)) widget->setToolTip(FromView(text));
}

bool QtWindowView::Checked(std::string_view control) const
{
    auto* button = qobject_cast<QAbstractButton*>(Find(control));
    return button != nullptr && button->isChecked();
}

void QtWindowView::SetChecked(std::string_view control, bool checked)
{
    if (auto* button = qobject_cast<QAbstractButton*>(Find(control))) button->setChecked(checked);
}

bool QtWindowView::Shown(std::string_view control) const
{
    QWidget* widget = Find(control);
    return widget != nullptr && !widget->isHidden();
}

void QtWindowView::SetShown(std::string_view control, bool shown)
{
    if (QWidget* widget = Find(control)) widget->setVisible(shown);
}

void QtWindowView::SetEnabled(std::string_view control, bool enabled)
{
    if (QWidget* widget = Find(control)) widget->setEnabled(enabled);
}

void QtWindowView::SetReadOnly(std::string_view control, bool readOnly)
{
    if (auto* edit = qobject_cast<QLineEdit*>(Find(control))) edit->setReadOnly(readOnly);
}

void QtWindowView::SetFocus(std::string_view control)
{
    if (QWidget* widget = Find(control)) widget->setFocus();
}

QTreeWidget* QtWindowView::List(std::string_view control) const
{
    return qobject_cast<QTreeWidget*>(Find(control));
}

void QtWindowView::SetColumns(std::string_view control, const std::vector<std::string>& titles)
{
    QTreeWidget* list = List(control);
    if (list == nullptr) return;
    QStringList labels;
    for (const std::string& title : titles)
        labels << QString::fromStdString(title);
    list->setHeaderLabels(labels);
}

int QtWindowView::RowCount(std::string_view control) const
{
    const QTreeWidget* list = List(control);
    return list != nullptr ? list->topLevelItemCount() : 0;
}

std::string QtWindowView::Cell(std::string_view control, int row, int column) const
{
    const QTreeWidget* list = List(control);
    const QTreeWidgetItem* item = list != nullptr ? list->topLevelItem(row) : nullptr;
    return item != nullptr ? item->text(column).toStdString() : std::string();
}

void QtWindowView::SetCell(std::string_view control, int row, int column, std::string_view text)
{
    const QTreeWidget* list = List(control);
    if (QTreeWidgetItem* item = list != nullptr ? list->topLevelItem(row) : nullptr) {
        item->setText(column, FromView(text));
    }
}

void QtWindowView::AddRow(std::string_view control, const std::vector<std::string>& cells)
{
    QTreeWidget* list = List(control);
    if (list == nullptr) return;
    auto* item = new QTreeWidgetItem(list);
    for (std::size_t column = 0; column < cells.size(); ++column)
        item->setText(static_cast<int>(column), QString::fromStdString(cells[column]));
}

void QtWindowView::ClearRows(std::string_view control)
{
    if (QTreeWidget* list = List(control)) list->clear();
}

bool QtWindowView::RowSelected(std::string_view control, int row) const
{
    const QTreeWidget* list = List(control);
    const QTreeWidgetItem* item = list != nullptr ? list->topLevelItem(row) : nullptr;
    return item != nullptr && item->isSelected();
}

MsgAnswer QtWindowView::ShowMessage(std::string_view caption, std::string_view text, MsgIcon icon, MsgButtons buttons)
{
    return ShowMessageBox(m_window, FromView(caption), FromView(text), icon, buttons);
}

std::optional<std::string> QtWindowView::InputBox(std::string_view caption, std::string_view prompt,
                                                  std::string_view initial)
{
    const std::optional<QString> text = ShowInputBox(m_window, FromView(caption), FromView(prompt), FromView(initial));
    if (!text) return std::nullopt;
    return text->toStdString();
}

} // namespace velmora
