#pragma once
// The main window: takes one file, shows what the inspection found, starts the commands.
#include "app/AppPaths.h"
#include "app/MainWindowLogic.h"
#include "common/DateTime.h"
#include "common/LanguageText.h"
#include "ui/AppContext.h"
#include "ui/QtWindowView.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include <cstdint>
#include <string>

namespace velmora {

class TFormFolder;
class TFormLink;
class TAboutBox;
class TFormFreeware;
class THeldBy;

class TFormLock : public QWidget, private IMainWindowActions {
    Q_OBJECT
    // The window's logic, reading and writing the controls below by their names.
    QtWindowView m_view{this};
    AppContext m_context;
    MainWindowLogic m_logic;

public:
    explicit TFormLock(AppContext context, QWidget* parent = nullptr);
    ~TFormLock() override;

    // The other windows this one opens; set once after all are created.
    void SetWindows(TFormFolder* folder, TFormLink* link, TAboutBox* about, TFormFreeware* freeware);

    // Public state, kept by the window logic.
    std::int32_t& Language = m_logic.Language;
    AppPaths& Paths = m_logic.Paths;
    std::int32_t& UpdateTickCount = m_logic.UpdateTickCount;
    const std::string& HelpFile = m_logic.HelpFile;
    const std::string& ProductPage = m_logic.ProductPage;

    // Operations other code calls.
    void ApplyLanguage() { m_logic.ApplyLanguage(); }
    void LoadSettings() { m_logic.LoadSettings(); }
    void SaveSettings() { m_logic.SaveSettings(); }
    void StartUpdater() { m_logic.StartUpdater(); }
    void ClearFileView() { m_logic.ClearFileView(); }
    void InspectFile(const QString& path) { m_logic.InspectFile(path.toStdString()); }
    void WMDropFiles(const QStringList& paths);
    // Stores the date as the file's modification time and shows the time read back.
    void ApplyFileDate(const QString& path, TDateTime dateTime) { m_logic.ApplyFileDate(path.toStdString(), dateTime); }
    void FormShow() { m_logic.FormShow(); }
    bool StartupRan() const { return m_startupRan; }

    // Handlers.
    void ToolButton6Click() { m_logic.ToolButton6Click(); }
    void ToolButton4Click() { m_logic.ToolButton4Click(); }
    void ToolButtonDirClick() { m_logic.ToolButtonDirClick(); }
    void ToolButtonLinkClick() { m_logic.ToolButtonLinkClick(); }
    void ToolButtonLangClick() { m_logic.ToolButtonLangClick(); }
    void ToolButtonUpdateClick() { m_logic.ToolButtonUpdateClick(); }
    void ToolButtonInfoClick() { m_logic.ToolButtonInfoClick(); }
    void ToolButton1Click() { m_logic.ToolButton1Click(); }
    void ToolButton7Click() { m_logic.ToolButton7Click(); }
    void ToolButton2Click() { m_logic.ToolButton2Click(); }
    void ButtonDefaultsClick() { m_logic.ButtonDefaultsClick(); }
    void Button1Click() { m_logic.Button1Click(); }
    void Image1Click() {}
    // A click on the in-use mark: the list of the processes that hold the current file.
    void ImageJa3Click() { m_logic.ImageJa3Click(); }
    // The in-use mark's tooltip: the holders of the current file, in the current language.
    QString HoldersToolTip() const { return QString::fromStdString(m_logic.HoldersToolTip()); }
    void TimerUpdateTimer() { m_logic.TimerUpdateTimer(); }
    // Returns nothing; keys go on to the focused control afterwards.
    void FormKeyDown(int key);

    // Controls, named as the object names they carry.
    QWidget* ToolBar1 = nullptr;
    QToolButton* ToolButton6 = nullptr;
    QToolButton* ToolButton4 = nullptr;
    QToolButton* ToolButtonDir = nullptr;
    QToolButton* ToolButtonLink = nullptr;
    QToolButton* ToolButtonLang = nullptr;
    QToolButton* ToolButtonUpdate = nullptr;
    QToolButton* ToolButtonInfo = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* ImageJa3 = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QWidget* JvGradient7 = nullptr;
    QLabel* LabelLApp = nullptr;
    QLineEdit* EditLApp = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QLabel* LabelDefApp = nullptr;
    QLineEdit* EditDefApp = nullptr;
    QLabel* LabelExt = nullptr;
    QToolButton* ButtonDefaults = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* EditGr = nullptr;
    QLabel* LabelBytes = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* EditDate1 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* EditDate2 = nullptr;
    QLabel* Label4 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QCheckBox* CheckBox4 = nullptr;
    QCheckBox* CheckBox5 = nullptr;
    QLabel* LabelIcon = nullptr;
    QLabel* Image1 = nullptr;
    QWidget* PanelButton = nullptr;
    QPushButton* ButtonClose = nullptr;
    QTimer* TimerUpdate = nullptr;
    // The holders list, created when first opened.
    THeldBy* FormHeldBy = nullptr;

    // The image list index shown on the language button (13 British, 14 German).
    int LanguageImageIndex() const { return m_logic.LanguageImageIndex; }

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildToolBar();
    void FormCreate();

    // What only this window can do for the logic.
    void ShowFileIcon(const std::string& path) override;
    void SetLanguageImage(int imageIndex) override;
    std::optional<std::string> ChooseFile() override;
    void OpenFolderTools(std::int32_t language) override;
    void OpenLinkWindow(std::int32_t language, const std::string& program) override;
    void OpenAbout(std::int32_t language) override;
    void ShowStartScreen(std::int32_t language) override;
    void OpenHeldBy(std::int32_t language, const std::string& path) override;
    void StartNoticeTimer() override;
    void StopNoticeTimer() override;
    void CloseWindow() override;
    void Repaint() override;

    TFormFolder* m_formFolder = nullptr;
    TFormLink* m_formLink = nullptr;
    TAboutBox* m_aboutBox = nullptr;
    TFormFreeware* m_formFreeware = nullptr;
    bool m_startupRan = false;
};

} // namespace velmora
