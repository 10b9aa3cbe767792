// The input box: a dialog from a template built in memory, so no resource script is needed.
#include "win32ui/Win32Ui.h"

#include "win32ui/ControlIds.h"

#include <cstdint>

namespace velmora::win32ui {

namespace {
class TemplateWriter {
public:
    void Align()
    {
        while (m_bytes.size() % 4 != 0)
            m_bytes.push_back(0);
    }
    template <typename T> void Put(const T& value)
    {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
        m_bytes.insert(m_bytes.end(), bytes, bytes + sizeof(T));
    }
    void PutText(const std::wstring& text)
    {
        for (wchar_t c : text)
            Put(static_cast<WORD>(c));
        Put(static_cast<WORD>(0));
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom, const std::wstring& text)
    {
        Align();
        DLGITEMTEMPLATE item{};
        item.style = style | WS_CHILD | WS_VISIBLE;
        item.x = x;
        item.y = y;
        item.cx = cx;
        item.cy = cy;
        item.id = id;
        Put(item);
        Put(static_cast<WORD>(0xFFFF));
        Put(classAtom);
        PutText(text);
        Put(static_cast<WORD>(0));
    }
    std::vector<std::uint8_t>& Bytes() { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

struct InputState {
    std::wstring initial;
    std::wstring result;
};

INT_PTR CALLBACK InputProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<InputState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        state = reinterpret_cast<InputState*>(lParam);
        SetDlgItemTextW(dialog, IdInputEdit, state->initial.c_str());
        SendDlgItemMessageW(dialog, IdInputEdit, EM_SETSEL, 0, -1);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            HWND edit = GetDlgItem(dialog, IdInputEdit);
            const int length = GetWindowTextLengthW(edit);
            std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
            GetWindowTextW(edit, text.data(), length + 1);
            text.resize(static_cast<std::size_t>(length));
            state->result = text;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}
} // namespace

std::optional<std::wstring> ShowInputBox(HWND owner, const std::wstring& caption, const std::wstring& prompt,
                                         const std::wstring& initial)
{
    TemplateWriter writer;
    DLGTEMPLATE dialog{};
    dialog.style = DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    dialog.cdit = 4;
    dialog.cx = 180;
    dialog.cy = 64;
    writer.Put(dialog);
    writer.Put(static_cast<WORD>(0)); // no menu
    writer.Put(static_cast<WORD>(0)); // the dialog class
    writer.PutText(caption);
    writer.Put(static_cast<WORD>(8));
    writer.PutText(L"MS Shell Dlg");
    writer.Item(SS_LEFT | SS_NOPREFIX, 7, 7, 166, 10, IdInputPrompt, 0x0082, prompt);
    writer.Item(WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 7, 20, 166, 12, IdInputEdit, 0x0081, L"");
    writer.Item(WS_TABSTOP | BS_DEFPUSHBUTTON, 69, 42, 50, 14, IDOK, 0x0080, L"OK");
    writer.Item(WS_TABSTOP | BS_PUSHBUTTON, 123, 42, 50, 14, IDCANCEL, 0x0080, L"Cancel");
    InputState state{initial, {}};
    const INT_PTR result =
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<DLGTEMPLATE*>(writer.Bytes().data()), owner,
                                InputProc, reinterpret_cast<LPARAM>(&state));
    if (result != IDOK) return std::nullopt;
    return state.result;
}

} // namespace velmora::win32ui
