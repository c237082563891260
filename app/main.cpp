// Start-up: the window is created with the real dialogs and the number format
// of the user's locale; nothing is saved when it closes.
#include <QApplication>
#include <QLocale>

#include "app/QtDialogs.h"
#include "app/UMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarlex"));
    QtDialogs dialogs;
    TForm1 form(dialogs, TForm1::numberFormatOf(QLocale::system()));
    dialogs.setOwner(&form);
    form.show();
    return QApplication::exec();
}
