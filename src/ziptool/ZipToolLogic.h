#pragma once
// What the zip tool window decides, written once for every toolkit: its texts, packing
// and protecting a folder, extracting an archive, which question and message follows.
// The window creates the controls, forwards its events here, and runs the long steps
// on a worker thread for the logic.
#include "common/LanguageText.h"
#include "common/WindowView.h"
#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace velmora {

// What a background step hands back to the window.
struct ZipToolOutcome {
    bool ok = false;
    int status = 0;      // a command's own status code
    std::string error;   // a failure's text
    bool thrown = false; // the error was thrown: shown in the standard error box
};
using ZipToolProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;
using ZipToolWork = std::function<ZipToolOutcome(const ZipToolProgress& progress)>;

// What only the window can do; the logic says when.
class IZipToolActions {
public:
    virtual ~IZipToolActions() = default;
    // The system's folder picker (files shown, for orientation); nullopt when cancelled. An
    // empty start or initial path starts at the top of the tree.
    virtual std::optional<std::string> ChooseFolder(const std::string& caption, const std::string& start) = 0;
    // The system's open-file dialog; nullopt when cancelled.
    virtual std::optional<std::string> ChooseArchive(const std::string& caption, const std::string& initial) = 0;
    // The picture of ToolButtonZip: ZipToolLogic::kProtectImage or kZipImage.
    virtual void SetZipImage(int imageIndex) = 0;
    // Runs work on a worker thread and shows its progress (0 to 1000) in "ProgressBar";
    // when it has ended, the window's thread hands its outcome to ZipToolLogic::WorkEnded.
    virtual void StartWork(ZipToolWork work) = 0;
    virtual void SetProgress(int value) = 0;
    virtual void CloseWindow() = 0;
};

class ZipToolLogic {
public:
    ZipToolLogic(Platform& platform, IWindowView& view, IZipToolActions& actions)
        : m_platform(platform), m_view(view), m_actions(actions)
    {}

    // The window's own control name, which carries its caption.
    static constexpr const char* kWindow = "FormZip";
    static constexpr int kProtectImage = 0;
    static constexpr int kZipImage = 3;

    std::int32_t Sprache = 1;

    void ApplyLanguage();
    void ChooseFolder();
    // Fills the folder field and the archive beside it ("<folder>.zip"), and takes the language.
    void ForFolder(const std::optional<std::string>& folder, std::int32_t language);

    void FormShow();
    // F1 opens the help.
    void HelpKey();
    void ButtonNewClick();
    void SpeedButton1Click() { ChooseFolder(); }
    void SpeedButton3Click();
    void SpeedButtonPassClick();
    void EditPassChange();
    void ToolButtonZipMouseEnter();
    void ButtonarchivClick();
    void PackFolder();
    void ProtectFolder();
    void BitBtn3Click();
    void BitBtn4Click();
    // A step started by StartWork has ended; runs on the window's thread.
    void WorkEnded(const ZipToolOutcome& outcome);

    int ZipImageIndex() const { return m_zipImage; }
    // True while a command works in the background; no other command starts then, and
    // the window does not close.
    bool IsBusy() const { return m_busy; }

private:
    std::string Text(const TextPair& pair) const { return Pick(Sprache, pair); }
    std::string Trimmed(std::string_view control) const;
    void SetBusy(bool busy);
    void RunInBackground(ZipToolWork work, std::function<void(const ZipToolOutcome&)> done);
    void ShowFolderAsAdmin(const std::string& folder);
    void EndCommand();

    Platform& m_platform;
    IWindowView& m_view;
    IZipToolActions& m_actions;
    int m_zipImage = kProtectImage;
    bool m_busy = false;
    std::function<void(const ZipToolOutcome&)> m_done;
};

} // namespace velmora
