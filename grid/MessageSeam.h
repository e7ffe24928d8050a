// The one seam every message box of the program goes through, so that tests see caption, icon
// and text and choose the answer. By default it shows a real modal QMessageBox.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

namespace velmora {

struct MessageRequest {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QMessageBox::StandardButton escapeButton = QMessageBox::NoButton;
};

using MessageHandler = std::function<QMessageBox::StandardButton(const MessageRequest&)>;

/// Shows a message through the current handler and returns the button chosen.
QMessageBox::StandardButton showMessage(const MessageRequest& request);

/// Replaces the handler (tests); returns the previous one. An empty handler restores the
/// real message box.
MessageHandler setMessageHandler(MessageHandler handler);

} // namespace velmora
