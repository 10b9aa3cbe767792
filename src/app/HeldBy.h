#pragma once
// The small modal list of the processes that hold the current file, with a button that
// ends the chosen ones after a Yes/No question.
#include "platform/IFileHolders.h"
#include "ui/AppContext.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include <cstdint>
#include <functional>
#include <string>

namespace velmora {

class THeldBy : public QDialog {
    Q_OBJECT
public:
    explicit THeldBy(AppContext context, QWidget* parent = nullptr);

    // Set before the list is shown.
    std::int32_t Language = 1;
    std::string Path;
    // Called after each refresh, so the opener can bring its in-use mark up to date.
    std::function<void()> Refreshed;

    void ApplyLanguage();
    // Lists the holders of Path again.
    void RefreshList();
    // Ends the selected processes after asking.
    void ButtonEndClick();
    const HolderList& Holders() const { return m_list; }

    QLabel* LabelPath = nullptr;
    QTreeWidget* ListHolders = nullptr;
    QLabel* LabelNote = nullptr;
    QPushButton* ButtonEnd = nullptr;
    QPushButton* ButtonCloseList = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString Text(const char* english, const char* german) const;

    AppContext m_context;
    HolderList m_list;
    std::string m_canonical;
};

} // namespace velmora
