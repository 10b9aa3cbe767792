#pragma once
// The main window: takes one file, shows what the inspection found, starts the commands.
#include "app/AppPaths.h"
#include "common/DateTime.h"
#include "common/LanguageText.h"
#include "ui/AppContext.h"

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

class TFormLock : public QWidget {
    Q_OBJECT
public:
    explicit TFormLock(AppContext context, QWidget* parent = nullptr);
    ~TFormLock() override;

    // The other windows this one opens; set once after all are created.
    void SetWindows(TFormFolder* folder, TFormLink* link, TAboutBox* about, TFormFreeware* freeware);

    // Public state.
    std::int32_t Language = kEnglish;
    AppPaths Paths;
    std::int32_t UpdateTickCount = 0;
    QString HelpFile;
    QString ProductPage;

    // Operations other code calls.
    void ApplyLanguage();
    void LoadSettings();
    void SaveSettings();
    void StartUpdater();
    void ClearFileView();
    void InspectFile(const QString& path);
    void WMDropFiles(const QStringList& paths);
    // Stores the date as the file's modification time and shows the time read back.
    void ApplyFileDate(const QString& path, TDateTime dateTime);
    void FormShow();
    bool StartupRan() const { return m_startupRan; }

    // Handlers.
    void ToolButton6Click();
    void ToolButton4Click();
    void ToolButtonDirClick();
    void ToolButtonLinkClick();
    void ToolButtonLangClick();
    void ToolButtonUpdateClick();
    void ToolButtonInfoClick();
    void ToolButton1Click();
    void ToolButton7Click();
    void ToolButton2Click();
    void ButtonDefaultsClick();
    void Button1Click();
    void Image1Click();
    // A click on the in-use mark: the list of the processes that hold the current file.
    void ImageJa3Click();
    // The in-use mark's tooltip: the holders of the current file, in the current language.
    QString HoldersToolTip() const;
    void TimerUpdateTimer();
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
    int LanguageImageIndex() const { return m_languageImage; }

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
    QString Text(const char* english, const char* german) const;

    AppContext m_context;
    TFormFolder* m_formFolder = nullptr;
    TFormLink* m_formLink = nullptr;
    TAboutBox* m_aboutBox = nullptr;
    TFormFreeware* m_formFreeware = nullptr;
    bool m_startupRan = false;
    int m_languageImage = 13;
};

} // namespace velmora
