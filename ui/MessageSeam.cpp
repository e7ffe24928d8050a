#include "MessageSeam.h"

#include <QApplication>

namespace velmora {

namespace {

QMessageBox::StandardButton showRealMessage(const MessageRequest& request)
{
    // The close box counts as the escape button, or as the only button when there is one.
    return QMessageBox::StandardButton(buildMessageBox(request)->exec());
}

MessageHandler& handler()
{
    static MessageHandler current;
    return current;
}

} // namespace

std::unique_ptr<QMessageBox> buildMessageBox(const MessageRequest& request)
{
    // Without a parent the box opens in the middle of the screen.
    auto box = std::make_unique<QMessageBox>(
        request.icon, request.caption, request.text, request.buttons,
        request.centredOnScreen ? nullptr : QApplication::activeWindow());
    if (request.defaultButton != QMessageBox::NoButton)
        box->setDefaultButton(request.defaultButton);
    if (request.escapeButton != QMessageBox::NoButton)
        box->setEscapeButton(request.escapeButton);
    return box;
}

QMessageBox::StandardButton showMessage(const MessageRequest& request)
{
    return handler() ? handler()(request) : showRealMessage(request);
}

MessageHandler setMessageHandler(MessageHandler replacement)
{
    return std::exchange(handler(), std::move(replacement));
}

} // namespace velmora
