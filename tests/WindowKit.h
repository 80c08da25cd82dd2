#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

// Small helpers for tests that drive real windows.

// The child control called `name`, or nullptr with a warning that names it.
template <typename T> T* child(QWidget* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qWarning("no child %s", name);
    return found;
}

// Runs `action` once a modal window that is about to open is up.
inline void whenShown(std::function<void()> action) {
    QTimer::singleShot(0, qApp, std::move(action));
}
