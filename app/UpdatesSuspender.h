#pragma once
// Suspends the drawing of a window for the lifetime of the guard and resumes
// it in every case; the window repaints once when it is resumed.
#include <QWidget>

class UpdatesSuspender {
public:
    explicit UpdatesSuspender(QWidget* window)
        : m_window(window), m_wasEnabled(window->updatesEnabled()) {
        m_window->setUpdatesEnabled(false);
    }
    ~UpdatesSuspender() { m_window->setUpdatesEnabled(m_wasEnabled); }
    UpdatesSuspender(const UpdatesSuspender&) = delete;
    UpdatesSuspender& operator=(const UpdatesSuspender&) = delete;

private:
    QWidget* m_window;
    bool m_wasEnabled;
};
