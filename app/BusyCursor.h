#pragma once
// The busy cursor for the time of one command, restored in every case. A
// message box that comes up meanwhile shows the ordinary cursor over it
// (see MessageCursor), so the user sees where to click.
#include <QApplication>
#include <QCursor>

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The ordinary cursor while a dialog waits for the user.
class MessageCursor {
public:
    MessageCursor() { QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor)); }
    ~MessageCursor() { QApplication::restoreOverrideCursor(); }
    MessageCursor(const MessageCursor&) = delete;
    MessageCursor& operator=(const MessageCursor&) = delete;
};
