#pragma once
// The small modal list of the processes that hold the current file, with a button that
// ends the chosen ones after a Yes/No question.
#include "app/HeldByLogic.h"
#include "ui/AppContext.h"
#include "ui/QtWindowView.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include <cstdint>
#include <functional>
#include <string>

namespace velmora {

class THeldBy : public QDialog, private IHeldByActions {
    Q_OBJECT
    // The window's logic, reading and writing the controls below by their names.
    QtWindowView m_view{this};
    AppContext m_context;
    HeldByLogic m_logic;

public:
    explicit THeldBy(AppContext context, QWidget* parent = nullptr);

    // Set before the list is shown.
    std::int32_t& Language = m_logic.Language;
    std::string& Path = m_logic.Path;
    // Called after each refresh, so the opener can bring its in-use mark up to date.
    std::function<void()>& Refreshed = m_logic.Refreshed;

    void ApplyLanguage() { m_logic.ApplyLanguage(); }
    // Lists the holders of Path again.
    void RefreshList() { m_logic.RefreshList(); }
    // Ends the selected processes after asking.
    void ButtonEndClick() { m_logic.ButtonEndClick(); }
    const HolderList& Holders() const { return m_logic.Holders(); }

    QLabel* LabelPath = nullptr;
    QTreeWidget* ListHolders = nullptr;
    QLabel* LabelNote = nullptr;
    QPushButton* ButtonEnd = nullptr;
    QPushButton* ButtonCloseList = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void RowsFilled() override;
    void TextsApplied() override;
};

} // namespace velmora
