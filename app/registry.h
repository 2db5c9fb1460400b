#pragma once

#include <QObject>

class CTIMainWindow;
class StickyBuddyList;

//! Process-wide lookup of the two long-lived windows that other parts reach without a pointer of
//! their own. Holds them without owning them.
class Registry final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(Registry)

public:
    static Registry *instance();

    void setCTIMainWindow(CTIMainWindow *window) { m_mainWindow = window; }
    CTIMainWindow *getCTIMainWindow() const { return m_mainWindow; }
    void setStickyBuddyList(StickyBuddyList *list) { m_stickyBuddyList = list; }
    StickyBuddyList *getStickyBuddyList() const { return m_stickyBuddyList; }

private:
    Registry() = default;

    CTIMainWindow *m_mainWindow = nullptr;
    StickyBuddyList *m_stickyBuddyList = nullptr;
};
