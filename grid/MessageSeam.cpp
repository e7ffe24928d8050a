#include "MessageSeam.h"

#include <QApplication>

namespace velmora {

namespace {

QMessageBox::StandardButton showRealMessage(const MessageRequest& request)
{
    QMessageBox box(request.icon, request.caption, request.text, request.buttons,
                    QApplication::activeWindow());
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    if (request.escapeButton != QMessageBox::NoButton)
        box.setEscapeButton(request.escapeButton);
    const int result = box.exec();
    // The close box counts as the escape button, or as the only button when there is one.
    return QMessageBox::StandardButton(result);
}

MessageHandler& handler()
{
    static MessageHandler current;
    return current;
}

} // namespace

QMessageBox::StandardButton showMessage(const MessageRequest& request)
{
    return handler() ? handler()(request) : showRealMessage(request);
}

MessageHandler setMessageHandler(MessageHandler replacement)
{
    return std::exchange(handler(), std::move(replacement));
}

} // namespace velmora
