#pragma once
// The folder tools window: folders picked by the user, one date for all, deletion,
// and the hand-off to the zip tool.
#include "ui/AppContext.h"

#include <QDialog>

#include <cstdint>

namespace velmora {

class TFormZip;

class TFormFolder : public QDialog {
    Q_OBJECT
public:
    explicit TFormFolder(AppContext context, QWidget* parent = nullptr);
    void SetZipWindow(TFormZip* zip) { m_formZip = zip; }

    std::int32_t MyLanguage = 1;

private:
    AppContext m_context;
    TFormZip* m_formZip = nullptr;
};

} // namespace velmora
