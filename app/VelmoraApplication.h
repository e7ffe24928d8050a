// The application object. It provides the "Tahoma" face, shows the wait cursor and holds input
// off while the program waits for the server, and it is the last resort for errors:
// handlers connected to signals are guarded where they are connected, and an error that still
// reaches the event loop is caught here and shown by the general error display.
#pragma once

#include <QApplication>

namespace velmora {

class VelmoraApplication : public QApplication {
    Q_OBJECT
public:
    VelmoraApplication(int& argc, char** argv);
    ~VelmoraApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace velmora
