#pragma once
// What a window's logic asks of the window that shows it, in plain values: the window
// logic (the texts of a language, what a command does, which message follows) is written
// once against this interface, and each toolkit's window implements it. Controls are
// named by the object names the windows give them; texts are UTF-8.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };
enum class DialogKind { Warning, Error, Information, Confirmation };

// The caption of a message dialog: the kind's name in German, whatever the language.
inline const char* DialogKindCaptionText(DialogKind kind)
{
    switch (kind) {
    case DialogKind::Warning:
        return "Warnung";
    case DialogKind::Error:
        return "Fehler";
    case DialogKind::Information:
        return "Informationen";
    case DialogKind::Confirmation:
        return "Best\xC3\xA4tigen";
    }
    return "";
}

inline MsgIcon DialogKindIcon(DialogKind kind)
{
    switch (kind) {
    case DialogKind::Warning:
        return MsgIcon::Warning;
    case DialogKind::Error:
        return MsgIcon::Error;
    case DialogKind::Information:
        return MsgIcon::Information;
    case DialogKind::Confirmation:
        return MsgIcon::Question;
    }
    return MsgIcon::None;
}

class IWindowView {
public:
    virtual ~IWindowView() = default;

    // The text of an edit box, label, button or check box ("" for an unknown control).
    virtual std::string Text(std::string_view control) const = 0;
    virtual void SetText(std::string_view control, std::string_view text) = 0;
    // The tooltip.
    virtual void SetHint(std::string_view control, std::string_view text) = 0;
    virtual bool Checked(std::string_view control) const = 0;
    virtual void SetChecked(std::string_view control, bool checked) = 0;
    // Whether the control is shown (not hidden by the window; the window itself may be hidden).
    virtual bool Shown(std::string_view control) const = 0;
    virtual void SetShown(std::string_view control, bool shown) = 0;
    virtual void SetEnabled(std::string_view control, bool enabled) = 0;
    // An edit box that shows its text but takes no typing.
    virtual void SetReadOnly(std::string_view control, bool readOnly) = 0;
    virtual void SetFocus(std::string_view control) = 0;

    // A list of rows of texts (a report-style list view); rows count from 0.
    virtual void SetColumns(std::string_view control, const std::vector<std::string>& titles) = 0;
    virtual int RowCount(std::string_view control) const = 0;
    virtual std::string Cell(std::string_view control, int row, int column) const = 0;
    virtual void SetCell(std::string_view control, int row, int column, std::string_view text) = 0;
    virtual void AddRow(std::string_view control, const std::vector<std::string>& cells) = 0;
    virtual void ClearRows(std::string_view control) = 0;
    virtual bool RowSelected(std::string_view control, int row) const = 0;
    // Whether each row is selected, in list order.
    std::vector<bool> SelectedRows(std::string_view control) const
    {
        std::vector<bool> selected;
        for (int row = 0; row < RowCount(control); ++row)
            selected.push_back(RowSelected(control, row));
        return selected;
    }

    // A message box with its own caption; a message dialog, captioned by its kind.
    virtual MsgAnswer ShowMessage(std::string_view caption, std::string_view text, MsgIcon icon,
                                  MsgButtons buttons = MsgButtons::Ok) = 0;
    MsgAnswer MessageDialog(DialogKind kind, std::string_view text, MsgButtons buttons = MsgButtons::Ok)
    {
        return ShowMessage(DialogKindCaptionText(kind), text, DialogKindIcon(kind), buttons);
    }
    // The application's standard error box: caption "Velmora", error icon, the error's text.
    void ErrorBox(std::string_view text) { ShowMessage("Velmora", text, MsgIcon::Error); }
    // A modal text input; nullopt when cancelled.
    virtual std::optional<std::string> InputBox(std::string_view caption, std::string_view prompt,
                                                std::string_view initial) = 0;
};

} // namespace velmora
