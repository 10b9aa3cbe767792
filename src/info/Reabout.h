#pragma once
// The About box: logo, product name, release, web page and donation button.
#include "ui/AppContext.h"

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include <cstdint>

namespace velmora {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(AppContext context, QWidget* parent = nullptr);

    // Opens an address in the default browser and closes the box; a failure is not
    // reported. Closing a box that is not shown has no effect.
    void OpenUrl(const QString& url);

    // The user-interface language, set before each showing: 0 German, else English.
    std::int32_t ALanguage = 1;

    // The addresses for the current language.
    QString ProductPage() const;
    QString DonationPage() const;

    // Handlers.
    void FormShow();
    void Label5Click();
    void Image1Click();
    void SpeedButton1Click();

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
    AppContext m_context;
    bool m_shownBefore = false;
};

} // namespace velmora
