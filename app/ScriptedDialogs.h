#pragma once
// The seam's answerer for tests: each chooser is answered from a queue of
// expected dialogs; a chooser that was not expected, or of another kind than
// the next expected one, is recorded as a failure and cancelled. Message
// boxes, error reports and "open" requests are recorded for the test to take;
// verify() reports anything left unanswered or untaken.
#include <QList>
#include <QStringList>
#include <deque>

#include "app/Dialogs.h"

class ScriptedDialogs : public Dialogs {
public:
    enum class Kind { SelectFolder, OpenFile, SaveFile };

    // What a chooser was asked with: title and current folder or filter.
    struct Request {
        Kind kind;
        QString title;
        QString argument;    // the current folder, or the filter
        QString startFolder; // where a file chooser opens
    };
    struct Shown {
        QString caption;
        QString text;
    };

    // std::nullopt answers "cancelled".
    void expect(Kind kind, std::optional<QString> answer);
    void expectSelectFolder(std::optional<QString> answer) {
        expect(Kind::SelectFolder, std::move(answer));
    }
    void expectOpenFile(std::optional<QString> answer) {
        expect(Kind::OpenFile, std::move(answer));
    }

    const QList<Request>& requests() const { return m_requests; }
    // The initial folders the save-file dialogs were asked to start in.
    const QStringList& saveFolders() const { return m_saveFolders; }
    void expectSaveFile(std::optional<QString> answer) {
        expect(Kind::SaveFile, std::move(answer));
    }
    QList<Shown> takeMessages();
    QStringList takeErrorReports();
    QList<QUrl> takeOpenedUrls();

    // Empty when every expected chooser was shown, nothing unexpected came up
    // and every message, error report and "open" was taken; otherwise what
    // went wrong, one line each. Clears the record.
    QString verify();

    std::optional<QString> selectFolder(const QString& title,
                                        const QString& currentFolder) override;
    std::optional<QString> openFile(const QString& title, const QString& filter,
                                    const QString& defaultSuffix,
                                    const QString& startFolder) override;
    std::optional<QString> saveFile(const QString& title, const QString& filter,
                                    const QString& defaultSuffix,
                                    const QString& initialFolder = QString()) override;
    void message(const QString& caption, const QString& text) override;
    // Recorded as a message with the caption kErrorCaption.
    void errorMessage(const QString& text) override;
    void errorReport(const QString& text) override;
    // Recorded; answers what setOpenUrlResult set (true at first).
    bool openUrl(const QUrl& url) override;
    void setOpenUrlResult(bool opened) { m_openUrlResult = opened; }

private:
    struct Expected {
        Kind kind;
        std::optional<QString> answer;
    };
    std::optional<QString> answer(Kind kind, const QString& title, const QString& argument);

    std::deque<Expected> m_expected;
    QList<Request> m_requests;
    QStringList m_saveFolders;
    QList<Shown> m_messages;
    QStringList m_errorReports;
    QList<QUrl> m_openedUrls;
    bool m_openUrlResult = true;
    QStringList m_failures;
};
