#include "app/ScriptedDialogs.h"

namespace {

QString kindName(ScriptedDialogs::Kind kind) {
    switch (kind) {
    case ScriptedDialogs::Kind::SelectFolder:
        return QStringLiteral("folder chooser");
    case ScriptedDialogs::Kind::OpenFile:
        return QStringLiteral("open-file dialog");
    case ScriptedDialogs::Kind::SaveFile:
        return QStringLiteral("save-file dialog");
    }
    return {};
}

template <typename T> QList<T> takeAll(QList<T>& list) {
    QList<T> taken;
    taken.swap(list);
    return taken;
}

} // namespace

void ScriptedDialogs::expect(Kind kind, std::optional<QString> answer) {
    m_expected.push_back({kind, std::move(answer)});
}

std::optional<QString> ScriptedDialogs::answer(Kind kind, const QString& title,
                                               const QString& argument) {
    m_requests.append({kind, title, argument, QString()});
    if (m_expected.empty()) {
        m_failures << QStringLiteral("unexpected %1 \"%2\"").arg(kindName(kind), title);
        return std::nullopt;
    }
    Expected next = m_expected.front();
    if (next.kind != kind) {
        m_failures << QStringLiteral("%1 \"%2\" shown where a %3 was expected")
                          .arg(kindName(kind), title, kindName(next.kind));
        return std::nullopt;
    }
    m_expected.pop_front();
    return next.answer;
}

std::optional<QString> ScriptedDialogs::selectFolder(const QString& title,
                                                     const QString& currentFolder) {
    return answer(Kind::SelectFolder, title, currentFolder);
}

std::optional<QString> ScriptedDialogs::openFile(const QString& title, const QString& filter,
                                                 const QString&, const QString& startFolder) {
    const std::optional<QString> chosen = answer(Kind::OpenFile, title, filter);
    m_requests.last().startFolder = startFolder;
    return chosen;
}

std::optional<QString> ScriptedDialogs::saveFile(const QString& title, const QString& filter,
                                                 const QString&, const QString& initialFolder) {
    m_saveFolders << initialFolder;
    return answer(Kind::SaveFile, title, filter);
}

void ScriptedDialogs::message(const QString& caption, const QString& text) {
    m_messages.append({caption, text});
}

void ScriptedDialogs::errorMessage(const QString& text) {
    m_messages.append({kErrorCaption, text});
}

void ScriptedDialogs::errorReport(const QString& text) {
    m_errorReports << text;
}

bool ScriptedDialogs::openUrl(const QUrl& url) {
    m_openedUrls << url;
    return m_openUrlResult;
}

QList<ScriptedDialogs::Shown> ScriptedDialogs::takeMessages() {
    return takeAll(m_messages);
}

QStringList ScriptedDialogs::takeErrorReports() {
    return takeAll(m_errorReports);
}

QList<QUrl> ScriptedDialogs::takeOpenedUrls() {
    return takeAll(m_openedUrls);
}

QString ScriptedDialogs::verify() {
    QStringList problems = takeAll(m_failures);
    for (const Expected& e : m_expected)
        problems << QStringLiteral("expected %1 was never shown").arg(kindName(e.kind));
    m_expected.clear();
    for (const Shown& m : takeAll(m_messages))
        problems << QStringLiteral("unchecked message \"%1\": %2").arg(m.caption, m.text);
    for (const QString& e : takeAll(m_errorReports))
        problems << QStringLiteral("unchecked error report: %1").arg(e);
    for (const QUrl& u : takeAll(m_openedUrls))
        problems << QStringLiteral("unchecked open of %1").arg(u.toString());
    m_requests.clear();
    m_saveFolders.clear();
    return problems.join(QLatin1Char('\n'));
}
