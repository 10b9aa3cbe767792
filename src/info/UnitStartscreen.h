#pragma once
// The start screen shown modally at start-up; it closes by itself.
#include "ui/AppContext.h"

#include <QDialog>
#include <QLabel>

#include <cstdint>

namespace velmora {

class TFormFreeware : public QDialog {
    Q_OBJECT
public:
    explicit TFormFreeware(AppContext context, QWidget* parent = nullptr);

    std::int32_t Language = 1;
    QLabel* LabelTitle = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    AppContext m_context;
};

} // namespace velmora
