// The application object: no exception may cross the event loop, so every one that a handler
// lets through is caught here and shown by the general error display.
#pragma once

#include <QApplication>

namespace velmora {

class VelmoraApplication : public QApplication {
    Q_OBJECT
public:
    VelmoraApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace velmora
