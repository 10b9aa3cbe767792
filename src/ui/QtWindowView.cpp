#include "ui/QtWindowView.h"

#include "ui/Messages.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
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
