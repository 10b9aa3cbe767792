#pragma once
// The zip tool window: packs and protects folders, extracts archives.
#include "common/LanguageText.h"
#include "ui/AppContext.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace velmora {

class TFormZip : public QDialog {
    Q_OBJECT
public:
    explicit TFormZip(AppContext context, QWidget* parent = nullptr);
    ~TFormZip() override;

    std::int32_t Sprache = 1;

    // Operations other code calls.
    void ApplyLanguage();
    void ChooseFolder();
    // Shows the tool modally in the language; a given folder fills the folder field and
    // the archive beside it ("<folder>.zip"), without one both fields stay as they are.
    void ShowForFolder(const std::optional<QString>& folder, std::int32_t language);
    // Extracts a gzip file beside itself; true when the output was written completely.
    bool GUnzipToFile(const QString& filename);

    // Handlers.
    void FormShow();
    void FormKeyDown(int key);
    void ButtonNewClick();
    void SpeedButton1Click();
    void SpeedButton3Click();
    void SpeedButtonPassClick();
    void EditPassChange();
    void ToolButtonZipMouseEnter();
    void ButtonarchivClick();
    void PackFolder();
    void ProtectFolder();
    void BitBtn3Click();
    void BitBtn4Click();

    // The picture of ToolButtonZip: 0 Protect folder, 3 Zip folder.
    int ZipImageIndex() const { return m_zipImage; }
    // True while a command works in the background; no other command starts then.
    bool IsBusy() const { return m_busy; }

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
    // What a background step hands back to the window.
    struct Outcome {
        bool ok = false;
        int status = 0;      // a command's own status code
        std::string error;   // a failure's text
        bool thrown = false; // the error was thrown: shown in the standard error box
    };
    using Work = std::function<Outcome(const std::function<void(std::uint64_t, std::uint64_t)>& progress)>;

    void BuildControls();
    QString Text(const TextPair& pair) const;
    QString HelpFile() const;
    void SetBusy(bool busy);
    // Runs work on a worker thread; done runs on the window's thread when it ends.
    void RunInBackground(Work work, std::function<void(const Outcome&)> done);
    void ShowFolderAsAdmin(const QString& folder);
    void EndCommand();

    AppContext m_context;
    int m_zipImage = 0;
    bool m_busy = false;
    std::thread m_worker;
};

} // namespace velmora
