#pragma once
// The window logic's view on a Qt window: controls are the window's children found by
// object name; messages go through the program's message helpers (and so through their
// test hook).
#include "common/WindowView.h"

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
    MsgAnswer ShowMessage(std::string_view caption, std::string_view text, MsgIcon icon, MsgButtons buttons) override;
    std::optional<std::string> InputBox(std::string_view caption, std::string_view prompt,
                                        std::string_view initial) override;

    // The control of that name: the window itself when the name is the window's own.
    QWidget* Find(std::string_view control) const;

private:
    QWidget* m_window;
};

} // namespace velmora
