#pragma once

#include <QWidget>

//! The window the user works in after login. For now it carries the title, icon and size;
//! the dial field, call views and tabs join it with the everyday window.
class CTIMainWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(CTIMainWindow)

public:
    explicit CTIMainWindow(QWidget *parent = nullptr);
    ~CTIMainWindow() override;

    void onApplicationStartup();
    void onApplicationShutdown();
    static QString getAppPartName() { return QStringLiteral("MainWindow"); }

public slots:
    void quitApplication();

signals:
    void applicationQuitRequest();
};
