#pragma once
// What the "Held by" list decides, written once for every toolkit: the processes that
// hold a file, one row each, and ending the chosen ones after a Yes/No question.
#include "common/LanguageText.h"
#include "common/Waiter.h"
#include "common/WindowView.h"
#include "platform/IFileHolders.h"
#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <string>

namespace velmora {

// What only the window can do; the logic says when.
class IHeldByActions {
public:
    virtual ~IHeldByActions() = default;
    // The rows are filled (a window may size its columns to them).
    virtual void RowsFilled() {}
    // The texts of a language are in place.
    virtual void TextsApplied() {}
};

class HeldByLogic {
public:
    HeldByLogic(Platform& platform, IWaiter& waiter, IWindowView& view, IHeldByActions& actions)
        : m_platform(platform), m_waiter(waiter), m_view(view), m_actions(actions)
    {}

    // The window's own control name, which carries its caption.
    static constexpr const char* kWindow = "FormHeldBy";

    // Set before the list is shown.
    std::int32_t Language = 1;
    std::string Path;
    // Called after each refresh, so the opener can bring its in-use mark up to date.
    std::function<void()> Refreshed;

    void ApplyLanguage();
    // Lists the holders of Path again.
    void RefreshList();
    // "End" is enabled while a row is selected.
    void SelectionChanged();
    // Ends the selected processes after asking.
    void ButtonEndClick();
    const HolderList& Holders() const { return m_list; }

private:
    Platform& m_platform;
    IWaiter& m_waiter;
    IWindowView& m_view;
    IHeldByActions& m_actions;
    HolderList m_list;
    std::string m_canonical;
};

} // namespace velmora
