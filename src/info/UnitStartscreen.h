#pragma once
// The start screen shown modally at start-up: product name, "Freeware", the product
// web page's host and a progress bar; it closes by itself when the bar is full.
#include "ui/AppContext.h"

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <cstdint>

namespace velmora {

class GradientPanel;

class TFormFreeware : public QDialog {
    Q_OBJECT
public:
    explicit TFormFreeware(AppContext context, QWidget* parent = nullptr);
    ~TFormFreeware() override;

    // The user-interface language (1 English, 0 German), set before showing.
    std::int32_t Language = 1;
    // Progress ticks since the last showing.
    std::int32_t StepCount() const { return m_step; }

    // Draws the bar for a step; steps outside 0..100 are clamped.
    void ShowProgress(int step);
    // Opens an address in the default browser; a failure is not reported.
    void OpenLink(const QString& url);

    // Handlers.
    void FormShow();
    void FormActivate();
    void Timer2Timer();
    // True when the key is swallowed.
    bool FormKeyDown(int key);
    void Label3Click();
    void BitBtn1Click();

    // Controls, named as the object names they carry.
    QWidget* Panel2 = nullptr;
    QWidget* JvFormWallpaper1 = nullptr;
    QLabel* LabelTitle = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QFrame* Panel1 = nullptr;
    GradientPanel* Balken = nullptr;
    QTimer* Timer2 = nullptr;
    QPushButton* BitBtn1 = nullptr;

public slots:
    // Only the screen itself closes it, when the bar is full.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AppContext m_context;
    std::int32_t m_step = 0;
    bool m_finishing = false; // the last tick ran; the screen closes after the short wait
    bool m_closingBySelf = false;
};

} // namespace velmora
