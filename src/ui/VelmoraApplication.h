#pragma once
// The application object: the event boundary where errors that no handler caught
// are shown in the standard error box, after which the program runs on.
#include <QApplication>

namespace velmora {

class VelmoraApplication : public QApplication {
public:
    VelmoraApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Runs a handler and shows any error it throws in the standard error box.
template <typename Handler> void RunGuarded(QWidget* parent, Handler&& handler);

} // namespace velmora

#include "ui/Messages.h"

#include <exception>

namespace velmora {
template <typename Handler> void RunGuarded(QWidget* parent, Handler&& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        ShowErrorBox(parent, QString::fromUtf8(error.what()));
    }
}

// A slot that runs one of a window's handlers guarded by RunGuarded.
template <typename Window> auto Guarded(Window* window, void (Window::*handler)())
{
    return [window, handler] { RunGuarded(window, [window, handler] { (window->*handler)(); }); };
}
} // namespace velmora
