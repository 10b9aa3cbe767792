#pragma once
// The About box: logo, product name, release, web page and donation button.
#include "info/AboutLogic.h"
#include "ui/AppContext.h"
#include "ui/QtWindowView.h"

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include <cstdint>

namespace velmora {

class TAboutBox : public QDialog, private IAboutActions {
    Q_OBJECT
    // The window's logic, reading and writing the controls below by their names.
    QtWindowView m_view{this};
    AppContext m_context;
    AboutLogic m_logic;

public:
    explicit TAboutBox(AppContext context, QWidget* parent = nullptr);

    // Opens an address in the default browser and closes the box; a failure is not
    // reported. Closing a box that is not shown has no effect.
    void OpenUrl(const QString& url) { m_logic.OpenUrl(url.toStdString()); }

    // The user-interface language, set before each showing: 0 German, else English.
    std::int32_t& ALanguage = m_logic.ALanguage;

    // The addresses for the current language.
    QString ProductPage() const { return QString::fromStdString(m_logic.ProductPage()); }
    QString DonationPage() const { return QString::fromStdString(m_logic.DonationPage()); }

    // Handlers.
    void FormShow() { m_logic.FormShow(); }
    void Label5Click() { m_logic.Label5Click(); }
    void Image1Click() { m_logic.Image1Click(); }
    void SpeedButton1Click() { m_logic.SpeedButton1Click(); }

    // Controls, named as the object names they carry.
    QFrame* Panel1 = nullptr;
    QWidget* JvGradient7 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* LabelRelease = nullptr;
    QLabel* LabelVersion = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image3 = nullptr;
    QFrame* Panel3 = nullptr;
    QPushButton* ButtonClose = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CloseWindow() override
    {
        if (isVisible()) close();
    }

    bool m_shownBefore = false;
};

} // namespace velmora
