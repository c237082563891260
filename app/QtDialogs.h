#pragma once
// The seam's real answerer: Qt's file dialogs and message boxes and the
// desktop services.
#include "app/Dialogs.h"

class QWidget;

class QtDialogs : public Dialogs {
public:
    // Dialogs other than the message boxes are owned by `owner` once set.
    void setOwner(QWidget* owner) { m_owner = owner; }

    std::optional<QString> selectFolder(const QString& title,
                                        const QString& currentFolder) override;
    std::optional<QString> openFile(const QString& title, const QString& filter,
                                    const QString& defaultSuffix,
                                    const QString& startFolder) override;
    std::optional<QString> saveFile(const QString& title, const QString& filter,
                                    const QString& defaultSuffix,
                                    const QString& initialFolder = QString()) override;
    void message(const QString& caption, const QString& text) override;
    void errorMessage(const QString& text) override;
    void errorReport(const QString& text) override;
    bool openUrl(const QUrl& url) override;

private:
    QWidget* m_owner = nullptr;
};
