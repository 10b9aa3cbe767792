#pragma once
// The About box.
#include "ui/AppContext.h"

#include <QDialog>

#include <cstdint>

namespace velmora {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(AppContext context, QWidget* parent = nullptr);

    // Opens an address in the default browser; a failure is not reported.
    void OpenUrl(const QString& url);

    std::int32_t ALanguage = 1;

private:
    AppContext m_context;
};

} // namespace velmora
