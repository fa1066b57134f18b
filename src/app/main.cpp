#include "settings/product.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(ProductName());
    QApplication::setApplicationVersion(QStringLiteral(KORVEL_VERSION));

    QMainWindow window;
    window.setObjectName(QStringLiteral("DMMain"));
    window.setWindowTitle(ApplicationTitle());
    window.resize(640, 480);
    window.show();
    return QApplication::exec();
}
