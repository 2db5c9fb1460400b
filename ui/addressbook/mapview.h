#pragma once

#include <QUrl>
#include <QWidget>

//! The web page of the address book window's map. The web engine behind it is a program-wide
//! choice made once at start-up (setFactory()), so that only the program, and not every window
//! or test, carries the engine and its start-up costs.
class MapView : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(MapView)

public:
    using Factory = MapView *(*)(QWidget *parent);

    static void setFactory(Factory factory);
    //! A new view, or null when no engine was installed.
    static MapView *create(QWidget *parent);

    virtual void load(const QUrl &url) = 0;

signals:
    void loadStarted();
    void loadProgress(int percent);
    void loadFinished(bool ok);

protected:
    explicit MapView(QWidget *parent = nullptr);
};
