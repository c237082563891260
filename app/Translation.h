#pragma once
// The program speaks Russian only: Qt's own standard dialogs (choosers,
// message box buttons) are shown in Russian whatever the locale.
class QCoreApplication;

// Loads Qt's Russian translation of its standard dialogs into `app`; false
// when the translation is not installed (the dialogs then stay English).
bool installRussianTranslation(QCoreApplication& app);
