#include "ui/Messages.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QListView>
#include <QMessageBox>
#include <QTreeView>

#include <deque>

namespace velmora {

namespace {
struct HookState {
    bool enabled = false;
    std::deque<MsgAnswer> answers;
    std::deque<std::pair<bool, QString>> texts; // (answered, text); false = cancel
    std::deque<QStringList> textLists;
    std::vector<ShownMessage> shown;
    QStringList askedTexts;
};

HookState& Hook()
{
    static HookState state;
    return state;
}

QMessageBox::Icon ToQtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QString DialogKindCaption(DialogKind kind)
{
    return QString::fromUtf8(DialogKindCaptionText(kind));
}

MsgAnswer ShowMessageBox(QWidget* parent, const QString& caption, const QString& text, MsgIcon icon, MsgButtons buttons)
{
    HookState& hook = Hook();
    if (hook.enabled) {
        hook.shown.push_back({caption, text, icon, buttons});
        MsgAnswer answer = buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Yes;
        if (!hook.answers.empty()) {
            answer = hook.answers.front();
            hook.answers.pop_front();
        }
        return answer;
    }
    QMessageBox box(ToQtIcon(icon), caption, text,
                    buttons == MsgButtons::Ok ? QMessageBox::Ok : (QMessageBox::Yes | QMessageBox::No), parent);
    const int result = box.exec();
    if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
    return result == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}

MsgAnswer ShowMessageDialog(QWidget* parent, DialogKind kind, const QString& text, MsgButtons buttons)
{
    return ShowMessageBox(parent, DialogKindCaption(kind), text, DialogKindIcon(kind), buttons);
}

void ShowErrorBox(QWidget* parent, const QString& text)
{
    ShowMessageBox(parent, QStringLiteral("Velmora"), text, MsgIcon::Error, MsgButtons::Ok);
}

namespace {
std::optional<QString> NextHookText(const QString& caption)
{
    HookState& hook = Hook();
    hook.askedTexts.push_back(caption);
    if (hook.texts.empty()) return std::nullopt;
    const auto [answered, text] = hook.texts.front();
    hook.texts.pop_front();
    if (!answered) return std::nullopt;
    return text;
}
} // namespace

std::optional<QString> ShowInputBox(QWidget* parent, const QString& caption, const QString& prompt,
                                    const QString& initial)
{
    if (Hook().enabled) return NextHookText(caption);
    bool ok = false;
    const QString text = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok) return std::nullopt;
    return text;
}

std::optional<QString> ShowOpenFileDialog(QWidget* parent, const QString& caption, const QString& startFolder,
                                          const QString& filter)
{
    if (Hook().enabled) return NextHookText(caption);
    const QString path = QFileDialog::getOpenFileName(parent, caption, startFolder, filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> ShowSaveFileDialog(QWidget* parent, const QString& caption, const QString& startPath,
                                          const QString& filter)
{
    if (Hook().enabled) return NextHookText(caption);
    const QString path = QFileDialog::getSaveFileName(parent, caption, startPath, filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> ShowFolderDialog(QWidget* parent, const QString& caption, const QString& startFolder,
                                        bool listFiles)
{
    if (Hook().enabled) return NextHookText(caption);
    // Listing files as well helps to find a folder by what it holds; only a folder can be chosen.
    const QString path = QFileDialog::getExistingDirectory(
        parent, caption, startFolder, listFiles ? QFileDialog::Options() : QFileDialog::ShowDirsOnly);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

QStringList ShowFoldersDialog(QWidget* parent, const QString& caption, const QString& startFolder)
{
    HookState& hook = Hook();
    if (hook.enabled) {
        hook.askedTexts.push_back(caption);
        if (hook.textLists.empty()) return {};
        QStringList list = hook.textLists.front();
        hook.textLists.pop_front();
        return list;
    }
    // Qt's own dialog, since the native one picks a single folder only.
    QFileDialog dialog(parent, caption, startFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    for (auto* view : dialog.findChildren<QListView*>())
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (auto* view : dialog.findChildren<QTreeView*>())
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

namespace DialogHook {
void Enable()
{
    Hook().enabled = true;
}
void Disable()
{
    Hook().enabled = false;
}
bool IsEnabled()
{
    return Hook().enabled;
}
void Reset()
{
    const bool enabled = Hook().enabled;
    Hook() = HookState{};
    Hook().enabled = enabled;
}
void PushAnswer(MsgAnswer answer)
{
    Hook().answers.push_back(answer);
}
void PushText(std::optional<QString> text)
{
    Hook().texts.emplace_back(text.has_value(), text.value_or(QString()));
}
void PushTextList(QStringList texts)
{
    Hook().textLists.push_back(std::move(texts));
}
const std::vector<ShownMessage>& Shown()
{
    return Hook().shown;
}
const QStringList& AskedTexts()
{
    return Hook().askedTexts;
}
} // namespace DialogHook

} // namespace velmora
