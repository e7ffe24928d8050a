// Velmora: a console for watching and administering one Microsoft SQL Server 7.0 or 2000.
#include "MainWindow.h"
#include "VelmoraApplication.h"

int main(int argc, char** argv)
{
    velmora::VelmoraApplication application(argc, argv);
    velmora::MainWindow window;
    window.show();
    return application.exec();
}
