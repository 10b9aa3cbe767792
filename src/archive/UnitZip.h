#pragma once
// The zip tool window: packs and protects folders, extracts archives.
#include "ui/AppContext.h"

#include <QDialog>

#include <cstdint>

namespace velmora {

class TFormZip : public QDialog {
    Q_OBJECT
public:
    explicit TFormZip(AppContext context, QWidget* parent = nullptr);

    std::int32_t Sprache = 1;

private:
    AppContext m_context;
};

} // namespace velmora
