#pragma once
// The shortcut window: writes a Windows shortcut (.lnk) file that starts a chosen
// program, optionally with one start parameter. The three edit fields are the whole
// state of a request.
#include "common/LanguageText.h"
#include "ui/AppContext.h"

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <cstdint>

namespace velmora {

class TFormLink : public QDialog {
    Q_OBJECT
public:
    explicit TFormLink(AppContext context, QWidget* parent = nullptr);
    ~TFormLink() override;

    // The window's copy of the user-interface language (any non-zero value is English).
    std::int32_t CurLanguage = 1;

    void ApplyLanguage();
    // Runs on every showing: texts, a fresh request, the proposal for the target.
    void FormShow();

    // Handlers. ButtonOpenClick serves ButtonOpen and ButtonParam and tells them apart
    // by the clicked control.
    void ButtonOpenClick(QObject* sender);
    void ButtonSaveLinkClick();
    void ButtonCreateLinkClick();
    void ButtonCancelClick();
    void FormKeyDown(int key);

    // Writes the shortcut; true when the file was written. A failure is reported to the
    // user here.
    bool CreateShellLink(const QString& target, const QString& arguments, const QString& link);
    // Opens the file manager on a folder.
    void ShowFolderInExplorer(const QString& folder);

    // Controls, named as the object names they carry.
    QWidget* Background = nullptr;
    QLabel* EditProgLabel = nullptr;
    QLineEdit* EditProg = nullptr;
    QToolButton* ButtonOpen = nullptr;
    QLabel* EditLinkFolderLabel = nullptr;
    QLineEdit* EditLinkFolder = nullptr;
    QToolButton* ButtonSaveLink = nullptr;
    QLabel* EditParameterLabel = nullptr;
    QLineEdit* EditParameter = nullptr;
    QToolButton* ButtonParam = nullptr;
    QFrame* PanelButton = nullptr;
    QPushButton* ButtonCreateLink = nullptr;
    QFrame* Panel1 = nullptr;
    QPushButton* ButtonCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString Text(const TextPair& pair) const;

    AppContext m_context;
};

} // namespace velmora
