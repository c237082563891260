#pragma once
// Every chooser, message box, error report and "open" of the window goes
// through this seam, so the window runs headless under a scripted answerer.
#include <QString>
#include <QUrl>
#include <optional>

#include "tables/Prompts.h"

// The caption of the error dialog.
inline const QString kErrorCaption = QStringLiteral("Ошибка");

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // The folder chooser: only file-system folders, typing allowed, no "new
    // folder" button. It opens at `currentFolder` (an existing folder).
    virtual std::optional<QString> selectFolder(const QString& title,
                                                const QString& currentFolder) = 0;
    // An existing file; `filter` in Qt's form "Label (*.ext)"; the chooser
    // opens in `startFolder`.
    virtual std::optional<QString> openFile(const QString& title, const QString& filter,
                                            const QString& defaultSuffix,
                                            const QString& startFolder) = 0;
    // `initialFolder`, when not empty, is where the dialog starts.
    virtual std::optional<QString> saveFile(const QString& title, const QString& filter,
                                            const QString& defaultSuffix,
                                            const QString& initialFolder = QString()) = 0;
    // Ownerless message box with an OK button and no icon.
    virtual void message(const QString& caption, const QString& text) = 0;
    // An error dialog with the text and a single Close button.
    virtual void errorMessage(const QString& text) = 0;
    // The general error report of a command that ended on an error.
    virtual void errorReport(const QString& text) = 0;
    // The desktop's "open" of a web address, mail address or file; false when
    // the desktop could not open it.
    virtual bool openUrl(const QUrl& url) = 0;
};

// The core's message boxes shown through the seam.
class DialogPrompts : public quarlex::Prompts {
public:
    explicit DialogPrompts(Dialogs& dialogs) : m_dialogs(dialogs) {}
    void message(const std::string& caption, const std::string& text) override {
        m_dialogs.message(QString::fromStdString(caption), QString::fromStdString(text));
    }
    void errorMessage(const std::string& text) override {
        m_dialogs.errorMessage(QString::fromStdString(text));
    }

private:
    Dialogs& m_dialogs;
};
