// The one seam every message box of the program goes through, so that tests see caption, icon
// and text and choose the answer. By default it shows a real modal QMessageBox.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>
#include <memory>

namespace velmora {

struct MessageRequest {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QMessageBox::StandardButton escapeButton = QMessageBox::NoButton;
    bool centredOnScreen = false;   // else centred on the active window
};

using MessageHandler = std::function<QMessageBox::StandardButton(const MessageRequest&)>;

/// The real modal box a request describes, not yet shown (the default handler execs it).
std::unique_ptr<QMessageBox> buildMessageBox(const MessageRequest& request);

/// Shows a message through the current handler and returns the button chosen.
QMessageBox::StandardButton showMessage(const MessageRequest& request);

/// Replaces the handler (tests); returns the previous one. An empty handler restores the
/// real message box.
MessageHandler setMessageHandler(MessageHandler handler);

} // namespace velmora
