<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CTIMainWindow</name>
    <message>
        <source>Talvero CTI Client</source>
        <translation>Talvero CTI Client</translation>
    </message>
    <message>
        <source>Address book</source>
        <translation>Adressbuch</translation>
    </message>
    <message>
        <source>... dial a number</source>
        <translation>... Nummer wählen</translation>
    </message>
    <message>
        <source>Dial</source>
        <translation>Wählen</translation>
    </message>
    <message>
        <source>Conversations</source>
        <translation>Gespräche</translation>
    </message>
    <message>
        <source>Configure</source>
        <translation>Einstellungen</translation>
    </message>
</context>
<context>
    <name>LoginDialog</name>
    <message>
        <source>Talvero CTI Client - Login</source>
        <translation>Talvero CTI Client - Anmeldung</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Benutzername</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Host</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>Save Login</source>
        <translation>Anmeldung speichern</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>Anmelden</translation>
    </message>
    <message>
        <source>Username is empty!</source>
        <translation>Benutzername ist leer!</translation>
    </message>
    <message>
        <source>Password is empty!</source>
        <translation>Passwort ist leer!</translation>
    </message>
    <message>
        <source>Host is empty!</source>
        <translation>Server ist leer!</translation>
    </message>
    <message>
        <source>Incorrect username or password</source>
        <translation>Benutzername oder Passwort falsch</translation>
    </message>
    <message>
        <source>Can't connect to host</source>
        <translation>Keine Verbindung zum Server</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>Formular</translation>
    </message>
</context>
<context>
    <name>NotificationFactory</name>
    <message>
        <source>Incoming call!</source>
        <translation>Eingehender Anruf!</translation>
    </message>
</context>
<context>
    <name>ReconnectWindow</name>
    <message>
        <source>Reconnect</source>
        <translation>Neu verbinden</translation>
    </message>
    <message>
        <source>Reconnect in:</source>
        <translation>Neu verbinden in:</translation>
    </message>
    <message>
        <source>Change CTI server</source>
        <translation>CTI-Server wechseln</translation>
    </message>
    <message>
        <source>Reconnect in: </source>
        <translation>Neu verbinden in: </translation>
    </message>
    <message>
        <source>sec.</source>
        <translation>Sek.</translation>
    </message>
    <message>
        <source>reconnecting...</source>
        <translation>verbinde neu...</translation>
    </message>
    <message>
        <source>Incorrect username or password</source>
        <translation>Benutzername oder Passwort falsch</translation>
    </message>
</context>
<context>
    <name>RollOverPopUp</name>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Text line 1</source>
        <translation>Textzeile 1</translation>
    </message>
    <message>
        <source>Text line 2</source>
        <translation>Textzeile 2</translation>
    </message>
</context>
<context>
    <name>RunningLineView</name>
    <message>
        <source>Company</source>
        <translation>Firma</translation>
    </message>
    <message>
        <source>Telephone Number</source>
        <translation>Telefonnummer</translation>
    </message>
</context>
<context>
    <name>SystemTrayIcon</name>
    <message>
        <source>Dial: </source>
        <translation>Wählen: </translation>
    </message>
    <message>
        <source>Mi&amp;nimize</source>
        <translation>Mi&amp;nimieren</translation>
    </message>
    <message>
        <source>&amp;Restore</source>
        <translation>&amp;Wiederherstellen</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
</context>
</TS>
