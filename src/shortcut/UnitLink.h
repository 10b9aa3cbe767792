#pragma once
// The shortcut window: writes shortcut (.lnk) files.
#include "ui/AppContext.h"

#include <QDialog>
#include <QLineEdit>

#include <cstdint>

namespace velmora {

class TFormLink : public QDialog {
    Q_OBJECT
public:
    explicit TFormLink(AppContext context, QWidget* parent = nullptr);

    std::int32_t CurLanguage = 1;
    QLineEdit* EditProg = nullptr;

private:
    AppContext m_context;
};

} // namespace velmora
