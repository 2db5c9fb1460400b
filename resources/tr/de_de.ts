<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
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
</TS>
