#pragma once
// The zip tool window: packs and protects folders, extracts archives.
#include "ui/AppContext.h"
#include "ui/QtWindowView.h"
#include "ziptool/ZipToolLogic.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include <cstdint>
#include <optional>
#include <string>
#include <thread>

namespace velmora {

class TFormZip : public QDialog, private IZipToolActions {
    Q_OBJECT
    // The window's logic, reading and writing the controls below by their names.
    QtWindowView m_view{this};
    AppContext m_context;
    ZipToolLogic m_logic;

public:
    explicit TFormZip(AppContext context, QWidget* parent = nullptr);
    ~TFormZip() override;

    std::int32_t& Sprache = m_logic.Sprache;

    // Operations other code calls.
    void ApplyLanguage() { m_logic.ApplyLanguage(); }
    void ChooseFolder() { m_logic.ChooseFolder(); }
    // Shows the tool modally in the language; a given folder fills the folder field and
    // the archive beside it ("<folder>.zip"), without one both fields stay as they are.
    void ShowForFolder(const std::optional<QString>& folder, std::int32_t language);
    // Extracts a gzip file beside itself; true when the output was written completely.
    bool GUnzipToFile(const QString& filename);

    // Handlers.
    void FormShow() { m_logic.FormShow(); }
    void FormKeyDown(int key);
    void ButtonNewClick() { m_logic.ButtonNewClick(); }
    void SpeedButton1Click() { m_logic.SpeedButton1Click(); }
    void SpeedButton3Click() { m_logic.SpeedButton3Click(); }
    void SpeedButtonPassClick() { m_logic.SpeedButtonPassClick(); }
    void EditPassChange() { m_logic.EditPassChange(); }
    void ToolButtonZipMouseEnter() { m_logic.ToolButtonZipMouseEnter(); }
    void ButtonarchivClick() { m_logic.ButtonarchivClick(); }
    void PackFolder() { m_logic.PackFolder(); }
    void ProtectFolder() { m_logic.ProtectFolder(); }
    void BitBtn3Click() { m_logic.BitBtn3Click(); }
    void BitBtn4Click() { m_logic.BitBtn4Click(); }

    // The picture of ToolButtonZip: 0 Protect folder, 3 Zip folder.
    int ZipImageIndex() const { return m_logic.ZipImageIndex(); }
    // True while a command works in the background; no other command starts then.
    bool IsBusy() const { return m_logic.IsBusy(); }

    // Controls, named as the object names they carry.
    QWidget* ToolBar1 = nullptr;
    QToolButton* ToolButtonNew = nullptr;
    QToolButton* ToolButtonZip = nullptr;
    QToolButton* ToolButtonDel = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* EditPass = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QToolButton* SpeedButtonPass = nullptr;
    QLabel* LabelTask = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QWidget* PanelButton = nullptr;
    QPushButton* ButtonClose = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void reject() override;

private:
    void BuildControls();

    std::optional<std::string> ChooseFolder(const std::string& caption, const std::string& start) override;
    std::optional<std::string> ChooseArchive(const std::string& caption, const std::string& initial) override;
    void SetZipImage(int imageIndex) override;
    void StartWork(ZipToolWork work) override;
    void SetProgress(int value) override;
    void CloseWindow() override { close(); }

    std::thread m_worker;
};

} // namespace velmora
