#pragma once
// The window logic's view on a Qt window: controls are the window's children found by
// object name; messages go through the program's message helpers (and so through their
// test hook).
#include "common/WindowView.h"

class QTreeWidget;
class QWidget;

namespace velmora {

class QtWindowView final : public IWindowView {
public:
    explicit QtWindowView(QWidget* window) : m_window(window) {}

    std::string Text(std::string_view control) const override;
    void SetText(std::string_view control, std::string_view text) override;
    void SetHint(std::string_view control, std::string_view text) override;
    bool Checked(std::string_view control) const override;
    void SetChecked(std::string_view control, bool checked) override;
    bool Shown(std::string_view control) const override;
    void SetShown(std::string_view control, bool shown) override;
    void SetEnabled(std::string_view control, bool enabled) override;
    void SetReadOnly(std::string_view control, bool readOnly) override;
    void SetFocus(std::string_view control) override;
    void SetColumns(std::string_view control, const std::vector<std::string>& titles) override;
    int RowCount(std::string_view control) const override;
    std::string Cell(std::string_view control, int row, int column) const override;
    void SetCell(std::string_view control, int row, int column, std::string_view text) override;
    void AddRow(std::string_view control, const std::vector<std::string>& cells) override;
    void ClearRows(std::string_view control) override;
    bool RowSelected(std::string_view control, int row) const override;
    MsgAnswer ShowMessage(std::string_view caption, std::string_view text, MsgIcon icon, MsgButtons buttons) override;
    std::optional<std::string> InputBox(std::string_view caption, std::string_view prompt,
                                        std::string_view initial) override;

    // The control of that name: the window itself when the name is the window's own.
    QWidget* Find(std::string_view control) const;

private:
    QTreeWidget* List(std::string_view control) const;

    QWidget* m_window;
};

} // namespace velmora
