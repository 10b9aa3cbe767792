#pragma once
// The shortcut window: writes a Windows shortcut (.lnk) file that starts a chosen
// program, optionally with one start parameter. The three edit fields are the whole
// state of a request.
#include "shortcut/LinkWindowLogic.h"
#include "ui/AppContext.h"
#include "ui/QtWindowView.h"

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

class TFormLink : public QDialog, private ILinkWindowActions {
    Q_OBJECT
    // The window's logic, reading and writing the controls below by their names.
    QtWindowView m_view{this};
    AppContext m_context;
    LinkWindowLogic m_logic;

public:
    explicit TFormLink(AppContext context, QWidget* parent = nullptr);
    ~TFormLink() override;

    // The window's copy of the user-interface language (any non-zero value is English).
    std::int32_t& CurLanguage = m_logic.CurLanguage;

    void ApplyLanguage() { m_logic.ApplyLanguage(); }
    // Runs on every showing: texts, a fresh request, the proposal for the target.
    void FormShow() { m_logic.FormShow(); }

    // Handlers. ButtonOpenClick serves ButtonOpen and ButtonParam and tells them apart
    // by the clicked control.
    void ButtonOpenClick(QObject* sender) { m_logic.ButtonOpenClick(sender == ButtonParam); }
    void ButtonSaveLinkClick() { m_logic.ButtonSaveLinkClick(); }
    void ButtonCreateLinkClick() { m_logic.ButtonCreateLinkClick(); }
    void ButtonCancelClick() { m_logic.ButtonCancelClick(); }
    void FormKeyDown(int key);

    // Writes the shortcut; true when the file was written. A failure is reported to the
    // user here.
    bool CreateShellLink(const QString& target, const QString& arguments, const QString& link)
    {
        return m_logic.CreateShellLink(target.toStdString(), arguments.toStdString(), link.toStdString());
    }
    // Opens the file manager on a folder.
    void ShowFolderInExplorer(const QString& folder) { m_logic.ShowFolderInExplorer(folder.toStdString()); }

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
    std::optional<std::string> ChooseFile() override;
    std::optional<std::string> ChooseLinkFile(const std::string& startPath) override;
    void CloseWindow() override { close(); }
};

} // namespace velmora
