// Start-up: the window is created with the real dialogs and the number format
// of the user's locale; nothing is saved when it closes.
#include <QApplication>
#include <QLocale>
#include <optional>

#include "app/QtDialogs.h"
#include "app/Translation.h"
#include "app/UMain.h"
#include "tables/Error.h"
#include "xml/IPv6Utils_2007.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarlex"));
    installRussianTranslation(app);
    QtDialogs dialogs;
    // The socket library starts before the window exists; without it there is no window.
    std::optional<quarlex::IPv6UtilsSession> sockets;
    try {
        sockets.emplace();
    } catch (const quarlex::Error& e) {
        dialogs.errorReport(QString::fromStdString(e.what()));
        return 1;
    }
    TForm1 form(dialogs, TForm1::numberFormatOf(QLocale::system()));
    dialogs.setOwner(&form);
    form.show();
    return QApplication::exec();
}
