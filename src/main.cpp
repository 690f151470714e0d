#include <QApplication>

#include "app/cglobalapp.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    CGlobalApp app;
    if (!app.InitInstance(QApplication::arguments().mid(1)))
        return 1;
    return application.exec();
}
