#pragma once

#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include <memory>

class QAction;
class QClipboard;
class QMenu;

//! The application's tray entry: dials the number on the clipboard, minimises, restores and quits
//! through its context menu. Switched off in this client: initialise() hides the icon and
//! isEnabled() answers false, but the menu and the clipboard watch work all the same.
class SystemTrayIcon final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(SystemTrayIcon)

public:
    explicit SystemTrayIcon(QObject *parent = nullptr);
    ~SystemTrayIcon() override;

    void initialise();
    //! Whether the main window hides to the tray instead of closing.
    static bool isEnabled() { return false; }

public slots:
    void dialActionTriggered();
    void minimizeActionTriggered();
    void restoreActionTriggered();
    void quitActionTriggered();
    void trayIconActivated(QSystemTrayIcon::ActivationReason reason);
    void OnClipboardDataChanged();

signals:
    void hideShowToggleRequest();
    void minimizeRequest();
    void restoreRequest();
    void applicationQuitRequest();

private:
    QClipboard *m_clipboard;
    QSystemTrayIcon *m_trayIcon;
    //! A menu takes no QObject parent, so the component owns it outright.
    std::unique_ptr<QMenu> m_menu;
    QAction *m_dialAction;
    //! Dialable form of the clipboard text; empty when it holds no number.
    QString clipboardNumber;
};
