#include "shell/ui/MDIStraatwijs.h"

#include <QApplication>
#include <QMainWindow>

namespace shell::ui {

int runWindow(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow w;
    w.show();
    return app.exec();
}

} // namespace shell::ui
