#pragma once
// The program's message boxes (own caption, icon, OK or Yes/No), message dialogs
// (caption from the kind, always German), the standard error box, and the modal
// input and file dialogs. Tests answer every one of them through the "next answer"
// hook instead of a real dialog.
#include "common/WindowView.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QWidget;

namespace velmora {

struct ShownMessage {
    QString caption;
    QString text;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
};

MsgAnswer ShowMessageBox(QWidget* parent, const QString& caption, const QString& text, MsgIcon icon,
                         MsgButtons buttons = MsgButtons::Ok);
MsgAnswer ShowMessageDialog(QWidget* parent, DialogKind kind, const QString& text, MsgButtons buttons = MsgButtons::Ok);
// The application's standard error box: caption "Velmora", error icon, the error's text.
void ShowErrorBox(QWidget* parent, const QString& text);

QString DialogKindCaption(DialogKind kind);

// Modal text input; nullopt when cancelled.
std::optional<QString> ShowInputBox(QWidget* parent, const QString& caption, const QString& prompt,
                                    const QString& initial);
// The system's file and folder dialogs; nullopt / empty when cancelled.
std::optional<QString> ShowOpenFileDialog(QWidget* parent, const QString& caption, const QString& startFolder,
                                          const QString& filter = QString());
std::optional<QString> ShowSaveFileDialog(QWidget* parent, const QString& caption, const QString& startPath,
                                          const QString& filter = QString());
std::optional<QString> ShowFolderDialog(QWidget* parent, const QString& caption, const QString& startFolder,
                                        bool listFiles = false);
QStringList ShowFoldersDialog(QWidget* parent, const QString& caption, const QString& startFolder);

// The test hook. While enabled, no dialog is shown: each call is recorded and takes
// the next queued answer (OK/Yes for boxes, cancel for text dialogs when none is queued).
namespace DialogHook {
void Enable();
void Disable();
bool IsEnabled();
void Reset();
void PushAnswer(MsgAnswer answer);
void PushText(std::optional<QString> text);
void PushTextList(QStringList texts);
const std::vector<ShownMessage>& Shown();
// The captions of the text dialogs shown so far.
const QStringList& AskedTexts();
} // namespace DialogHook

} // namespace velmora
