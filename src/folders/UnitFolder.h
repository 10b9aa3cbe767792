#pragma once
// The folder tools window: folders picked by the user, one date for all, deletion,
// and the hand-off to the zip tool.
#include "common/DateTime.h"
#include "common/LanguageText.h"
#include "ui/AppContext.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

namespace velmora {

class TFormFolder : public QDialog {
    Q_OBJECT
public:
    explicit TFormFolder(AppContext context, QWidget* parent = nullptr);
    // Opens the zip tool modally in the given language, on the folder of the target row
    // when there is one. The program wires it to its zip window.
    using ZipHandOff = std::function<void(const std::optional<QString>& folder, std::int32_t language)>;
    void SetZipHandOff(ZipHandOff handOff) { m_zipHandOff = std::move(handOff); }

    std::int32_t MyLanguage = 1;

    // Operations other code calls.
    void ApplyLanguage();
    // Sets the three times of a file or folder; on Linux the creation time cannot be
    // set, so access and modification time are set.
    bool NT_SetDateTime(const QString& fileName, TDateTime dtCreation, TDateTime dtLastAccessTime,
                        TDateTime dtLastWriteTime);
    // The folder's last-write time as a local date-time, 0 when it cannot be found.
    TDateTime FolderDate(const QString& path);
    bool DeleteFolderPermanently(const QString& path);
    void ExploreFolderAsAdmin(const QString& folder);

    // Handlers.
    void FormShow();
    void FormKeyDown(int key);
    void ToolButtonNewClick();
    void SpeedButton1Click();
    void ButtonSetDateClick();
    void ToolButtonDelClick();
    void Packen1Click();
    void ButtonCloseClick();

    // The row the commands act on, if any.
    std::optional<int> TargetRow() const;

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

private:
    void BuildControls();
    QString Text(const TextPair& pair) const;
    QString ShortDateText(TDateTime value) const;
    QString HelpFile() const;

    AppContext m_context;
    ZipHandOff m_zipHandOff;
};

} // namespace velmora
