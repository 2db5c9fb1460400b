#pragma once

#include "platform.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class CTIMainWindow;
class LoginDialog;

//! The application object: installs the translation, runs the login and builds the main window
//! once the login succeeded; the main window lives as long as this object.
class CTIClient final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(CTIClient)

public:
    explicit CTIClient(QObject *parent = nullptr);
    //! Ends the main window with the process, while the application object still exists.
    ~CTIClient() override;

    static constexpr bool isMacOSX() { return Platform::isMacOSX(); }
    static constexpr bool isWindows() { return Platform::isWindows(); }
    static constexpr bool isLinuxX11() { return Platform::isLinuxX11(); }

    //! The translation name for a language: "de_de", "no", "ru", or empty.
    static QString translationNameFor(int language);
    //! Loads and installs the translation for a language; false (with a warning) when there is none.
    bool installTranslation(int language);

    CTIMainWindow *mainWindow() const { return m_mainWindow; }
    //! The numbers of telephone links waiting for the login to be offered, in the order they came.
    QStringList pendingNumbers() const { return m_pendingNumbers; }
    //! Whether a request to dial the marked text waits for the login.
    bool dialSelectionPending() const { return m_dialSelectionPending; }

    //! The request items of a start with --dial-selection: this option, then the desktop's startup
    //! id, if it gave one.
    static QStringList dialSelectionRequest(const QByteArray &startupId);

public slots:
    void exec();
    void setupTranslator();
    void onLoginSuccess();
    void onLoginGiveup();
    void shutDownApplication();
    //! What a later start asked for: the telephone links it was given, or to dial the marked
    //! text (dialSelectionRequest()), or with neither, to see the client's window.
    void handleRequest(const QStringList &request);
    //! Offers the marked text to dial as the hot key does, after the login when it has not
    //! happened yet; a login given up says so.
    void dialSelection(const QByteArray &startupId = QByteArray());
    //! Offers the link's number to dial in a click-to-dial menu of its own, after those of earlier
    //! links and after the login when it has not happened yet. A link that names no number is ignored.
    void offerLink(const QString &link);
    //! Brings the main window (the login dialog before the login) to the front.
    void showWindow();

private:
    CTIMainWindow *m_mainWindow = nullptr;
    QPointer<LoginDialog> m_loginDialog;
    QStringList m_pendingNumbers;
    bool m_dialSelectionPending = false;
};
