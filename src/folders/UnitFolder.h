#pragma once
// The folder tools window: folders picked by the user, one date for all, deletion,
// and the hand-off to the zip tool.
#include "common/DateTime.h"
#include "folders/FolderToolsLogic.h"
#include "ui/AppContext.h"
#include "ui/QtWindowView.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora {

class TFormFolder : public QDialog, private IFolderToolsActions {
    Q_OBJECT
    // The window's logic, reading and writing the controls below by their names.
    QtWindowView m_view{this};
    AppContext m_context;
    FolderToolsLogic m_logic;

public:
    explicit TFormFolder(AppContext context, QWidget* parent = nullptr);
    // Opens the zip tool modally in the given language, on the folder of the target row
    // when there is one. The program wires it to its zip window.
    using ZipHandOff = std::function<void(const std::optional<QString>& folder, std::int32_t language)>;
    void SetZipHandOff(ZipHandOff handOff) { m_zipHandOff = std::move(handOff); }

    std::int32_t& MyLanguage = m_logic.MyLanguage;

    // Operations other code calls.
    void ApplyLanguage() { m_logic.ApplyLanguage(); }
    // Sets the three times of a file or folder; on Linux the creation time cannot be
    // set, so access and modification time are set.
    bool NT_SetDateTime(const QString& fileName, TDateTime dtCreation, TDateTime dtLastAccessTime,
                        TDateTime dtLastWriteTime)
    {
        return m_logic.NT_SetDateTime(fileName.toStdString(), dtCreation, dtLastAccessTime, dtLastWriteTime);
    }
    // The folder's last-write time as a local date-time, 0 when it cannot be found.
    TDateTime FolderDate(const QString& path) { return m_logic.FolderDate(path.toStdString()); }
    bool DeleteFolderPermanently(const QString& path) { return m_logic.DeleteFolderPermanently(path.toStdString()); }
    void ExploreFolderAsAdmin(const QString& folder) { m_logic.ExploreFolderAsAdmin(folder.toStdString()); }

    // Handlers.
    void FormShow() { m_logic.FormShow(); }
    void FormKeyDown(int key);
    void ToolButtonNewClick() { m_logic.ToolButtonNewClick(); }
    void SpeedButton1Click() { m_logic.SpeedButton1Click(); }
    void ButtonSetDateClick() { m_logic.ButtonSetDateClick(); }
    void ToolButtonDelClick() { m_logic.ToolButtonDelClick(); }
    void Packen1Click() { m_logic.Packen1Click(); }
    void ButtonCloseClick() { m_logic.ButtonCloseClick(); }

    // The row the commands act on, if any.
    std::optional<int> TargetRow() const { return m_logic.TargetRow(); }

    // Controls, named as the object names they carry.
    QWidget* ToolBar1 = nullptr;
    QToolButton* ToolButtonNew = nullptr;
    QToolButton* ToolButtonOpen = nullptr;
    QToolButton* ToolButtonDate = nullptr;
    QToolButton* ToolButtonDel = nullptr;
    QToolButton* ToolButtonZip = nullptr;
    QLabel* LabelDirectories = nullptr;
    QTreeWidget* DirectoryList = nullptr;
    QLabel* LabelDate = nullptr;
    QLineEdit* EditDate = nullptr;
    QWidget* PanelButton = nullptr;
    QPushButton* ButtonClose = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Folders dropped on the window, or pasted with the paste keys, join the list as if picked.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildControls();
    void AddFoldersFrom(const QMimeData* data);

    std::vector<std::string> ChooseFolders(const std::string& caption) override;
    void OpenZipTool(const std::optional<std::string>& folder, std::int32_t language) override;
    void CloseWindow() override { close(); }
    void TextsApplied() override;

    ZipHandOff m_zipHandOff;
};

} // namespace velmora
