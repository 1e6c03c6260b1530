#pragma once

#include "ui/BackgroundWork.h"

#include <QCursor>
#include <QGuiApplication>

namespace quarrow {

// Holds the busy cursor over the whole application until it goes out of
// scope, whichever way the command ends.
class BusyCursor final {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Marks the window busy with one piece of background work for a scope: the
// window's `slot` points at the work while it runs, so that its handlers
// refuse a second command and closing the window can cancel it.
class CurrentWork final {
public:
    CurrentWork(BackgroundWork*& slot, BackgroundWork& work) : m_slot(slot) { m_slot = &work; }
    ~CurrentWork() { m_slot = nullptr; }
    CurrentWork(const CurrentWork&) = delete;
    CurrentWork& operator=(const CurrentWork&) = delete;

private:
    BackgroundWork*& m_slot;
};

} // namespace quarrow
