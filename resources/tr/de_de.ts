<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Click2DialComponent</name>
    <message>
        <source>Dial: </source>
        <translation>Wählen: </translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Dial the marked number</source>
        <translation>Die markierte Nummer wählen</translation>
    </message>
</context>
<context>
    <name>CTIClient</name>
    <message>
        <source>The marked number cannot be dialled without logging in.</source>
        <translation>Die markierte Nummer kann ohne Anmeldung nicht gewählt werden.</translation>
    </message>
</context>
<context>
    <name>CTIMainWindow</name>
    <message>
        <source>Talvero CTI Client</source>
        <translation>Talvero CTI Client</translation>
    </message>
    <message>
        <source>Queue monitor</source>
        <translation>Warteschlangen-Monitor</translation>
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
    <message>
        <source>Number to dial</source>
        <translation>Zu wählende Nummer</translation>
    </message>
    <message>
        <source>Running calls</source>
        <translation>Laufende Gespräche</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Number or name to dial; Enter dials</source>
        <translation>Nummer oder Name; die Eingabetaste wählt</translation>
    </message>
    <message>
        <source>%1: call ended</source>
        <translation>%1: Gespräch beendet</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
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
    <message>
        <source>The connection to the CTI server was lost.</source>
        <translation>Die Verbindung zum CTI-Server ist unterbrochen.</translation>
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
    <message>
        <source>Hang up</source>
        <translation>Auflegen</translation>
    </message>
    <message>
        <source>Transfer</source>
        <translation>Weiterverbinden</translation>
    </message>
    <message>
        <source>Hold</source>
        <translation>Halten</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Aufnehmen</translation>
    </message>
    <message>
        <source>%1 (newest call: %2)</source>
        <translation>%1 (neuester Anruf: %2)</translation>
    </message>
    <message>
        <source>Unknown party</source>
        <translation>Unbekannter Teilnehmer</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>incoming call, ringing</source>
        <translation>eingehender Anruf, klingelt</translation>
    </message>
    <message>
        <source>outgoing call, ringing</source>
        <translation>ausgehender Anruf, klingelt</translation>
    </message>
    <message>
        <source>connected, on hold</source>
        <translation>verbunden, gehalten</translation>
    </message>
    <message>
        <source>connected</source>
        <translation>verbunden</translation>
    </message>
    <message>
        <source>incoming call</source>
        <translation>eingehender Anruf</translation>
    </message>
    <message>
        <source>outgoing call</source>
        <translation>ausgehender Anruf</translation>
    </message>
    <message>
        <source>ended</source>
        <translation>beendet</translation>
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
<context>
    <name>AddressBookTabWidget</name>
    <message>
        <source>add a new Address</source>
        <translation>Neue Adresse hinzufügen</translation>
    </message>
    <message>
        <source>... search something</source>
        <translation>... etwas suchen</translation>
    </message>
    <message>
        <source>Edit this entry</source>
        <translation>Diesen Eintrag bearbeiten</translation>
    </message>
    <message>
        <source>Delete this entry</source>
        <translation>Diesen Eintrag löschen</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Business</source>
        <translation>Geschäftlich</translation>
    </message>
    <message>
        <source>Phone Number:</source>
        <translation>Telefonnummer:</translation>
    </message>
    <message>
        <source>Dial this number</source>
        <translation>Diese Nummer wählen</translation>
    </message>
    <message>
        <source>Mobile Phone Number:</source>
        <translation>Mobilnummer:</translation>
    </message>
    <message>
        <source>Fax Number:</source>
        <translation>Faxnummer:</translation>
    </message>
    <message>
        <source>E-Mail Address:</source>
        <translation>E-Mail-Adresse:</translation>
    </message>
    <message>
        <source>Private</source>
        <translation>Privat</translation>
    </message>
    <message>
        <source>Homepage:</source>
        <translation>Homepage:</translation>
    </message>
    <message>
        <source>Birthday:</source>
        <translation>Geburtstag:</translation>
    </message>
    <message>
        <source>Addresses</source>
        <translation>Adressen</translation>
    </message>
    <message>
        <source>Company</source>
        <translation>Firma</translation>
    </message>
    <message>
        <source>Street:</source>
        <translation>Straße:</translation>
    </message>
    <message>
        <source>ZIP-Code:</source>
        <translation>PLZ:</translation>
    </message>
    <message>
        <source>Locality:</source>
        <translation>Ort:</translation>
    </message>
    <message>
        <source>Country:</source>
        <translation>Land:</translation>
    </message>
    <message>
        <source>Show on map</source>
        <translation>Auf der Karte zeigen</translation>
    </message>
    <message>
        <source>Organisation Unit:</source>
        <translation>Abteilung:</translation>
    </message>
    <message>
        <source>Role:</source>
        <translation>Funktion:</translation>
    </message>
    <message>
        <source>Room:</source>
        <translation>Raum:</translation>
    </message>
    <message>
        <source>Phone Number Assistent:</source>
        <translation>Telefonnummer Assistenz:</translation>
    </message>
    <message>
        <source>Free/Busy URI:</source>
        <translation>Frei/Gebucht-URI:</translation>
    </message>
    <message>
        <source>Calendar URI:</source>
        <translation>Kalender-URI:</translation>
    </message>
    <message>
        <source>Public Key:</source>
        <translation>Öffentlicher Schlüssel:</translation>
    </message>
    <message>
        <source>Label:</source>
        <translation>Etikett:</translation>
    </message>
    <message>
        <source>Assistent:</source>
        <translation>Assistenz:</translation>
    </message>
    <message>
        <source>Note:</source>
        <translation>Notiz:</translation>
    </message>
    <message>
        <source>Social Networks</source>
        <translation>Soziale Netzwerke</translation>
    </message>
    <message>
        <source>Facebook Profile URL:</source>
        <translation>Facebook-Profil-URL:</translation>
    </message>
    <message>
        <source>Twitter Profile URL:</source>
        <translation>Twitter-Profil-URL:</translation>
    </message>
    <message>
        <source>Google Profile URL:</source>
        <translation>Google-Profil-URL:</translation>
    </message>
    <message>
        <source>Xing Profile URL:</source>
        <translation>Xing-Profil-URL:</translation>
    </message>
    <message>
        <source>Linkedin Profile URL:</source>
        <translation>LinkedIn-Profil-URL:</translation>
    </message>
    <message>
        <source>Firstname</source>
        <translation>Vorname</translation>
    </message>
    <message>
        <source>Lastname</source>
        <translation>Nachname</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Contact type</source>
        <translation>Kontaktart</translation>
    </message>
    <message>
        <source>Back to the list of contact types</source>
        <translation>Zurück zur Liste der Kontaktarten</translation>
    </message>
    <message>
        <source>Saving...</source>
        <translation>Speichern...</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Customers</source>
        <translation>Kunden</translation>
    </message>
    <message>
        <source>Friends</source>
        <translation>Freunde</translation>
    </message>
    <message>
        <source>Family</source>
        <translation>Familie</translation>
    </message>
    <message>
        <source>Office</source>
        <translation>Büro</translation>
    </message>
    <message>
        <source>VIF</source>
        <translation>VIF</translation>
    </message>
    <message>
        <source>VIP</source>
        <translation>VIP</translation>
    </message>
    <message>
        <source>This contact was changed on the server meanwhile. Saving replaces those changes.</source>
        <translation>Dieser Kontakt wurde inzwischen auf dem Server geändert. Speichern ersetzt diese Änderungen.</translation>
    </message>
    <message>
        <source>This contact was removed on the server. Saving creates it anew.</source>
        <translation>Dieser Kontakt wurde auf dem Server gelöscht. Speichern legt ihn neu an.</translation>
    </message>
    <message>
        <source>Please confirm data loss</source>
        <translation>Bitte Datenverlust bestätigen</translation>
    </message>
    <message>
        <source>You have unsaved changes in this entry?</source>
        <translation>Dieser Eintrag hat ungespeicherte Änderungen. Verwerfen?</translation>
    </message>
    <message>
        <source>The server did not confirm the save. Your changes are kept: save again or cancel.</source>
        <translation>Der Server hat das Speichern nicht bestätigt. Ihre Änderungen bleiben erhalten: erneut speichern oder abbrechen.</translation>
    </message>
    <message>
        <source>Please confirm</source>
        <translation>Bitte bestätigen</translation>
    </message>
    <message>
        <source>Are you sure you want to delete this entry?</source>
        <translation>Soll dieser Eintrag wirklich gelöscht werden?</translation>
    </message>
    <message>
        <source>... define custom type</source>
        <translation>... eigene Kontaktart festlegen</translation>
    </message>
    <message>
        <source>Search contacts</source>
        <translation>Kontakte durchsuchen</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Kontakte</translation>
    </message>
    <message>
        <source>Dial %1</source>
        <translation>%1 wählen</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>AddressBookWindow</name>
    <message>
        <source>Addressbook</source>
        <translation>Adressbuch</translation>
    </message>
    <message>
        <source>Back to Addressbook</source>
        <translation>Zurück zum Adressbuch</translation>
    </message>
    <message>
        <source>Loading Map...</source>
        <translation>Karte wird geladen...</translation>
    </message>
    <message>
        <source>Talvero CTI Client - Addressbook</source>
        <translation>Talvero CTI Client - Adressbuch</translation>
    </message>
</context>
<context>
    <name>StickyBuddyList</name>
    <message>
        <source>Extension Monitor</source>
        <translation>Nebenstellenmonitor</translation>
    </message>
    <message>
        <source>free</source>
        <translation>frei</translation>
    </message>
    <message>
        <source>ringing</source>
        <translation>klingelt</translation>
    </message>
    <message>
        <source>busy</source>
        <translation>besetzt</translation>
    </message>
    <message>
        <source>do not disturb</source>
        <translation>nicht stören</translation>
    </message>
    <message>
        <source>unavailable</source>
        <translation>nicht erreichbar</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>%1, %2, %3</source>
        <translation>%1, %2, %3</translation>
    </message>
    <message>
        <source>Enter: call; while it rings: pick up; F2: rename</source>
        <translation>Eingabetaste: anrufen; wenn es klingelt: heranholen; F2: umbenennen</translation>
    </message>
</context>
<context>
    <name>ConfigDialog</name>
    <message>
        <source>Click-to-dial</source>
        <translation>Click-to-Dial</translation>
    </message>
    <message>
        <source>Hot key:</source>
        <translation>Tastenkürzel:</translation>
    </message>
    <message>
        <source>Click here and press the key combination that dials the marked number</source>
        <translation>Hier klicken und die Tastenkombination drücken, die die markierte Nummer wählt</translation>
    </message>
    <message>
        <source>Choose a combination with Ctrl, Alt or Meta, or a function key: other keys are needed for typing.</source>
        <translation>Bitte eine Kombination mit Strg, Alt oder Meta oder eine Funktionstaste wählen: andere Tasten werden zum Schreiben gebraucht.</translation>
    </message>
    <message>
        <source>Click-to-dial is not available on this desktop.</source>
        <translation>Click-to-Dial ist auf diesem Desktop nicht verfügbar.</translation>
    </message>
    <message>
        <source>Mark a number in any program and press the hot key to dial it.</source>
        <translation>Eine Nummer in einem beliebigen Programm markieren und das Tastenkürzel drücken, um sie zu wählen.</translation>
    </message>
    <message>
        <source>No hot key is chosen.</source>
        <translation>Es ist kein Tastenkürzel gewählt.</translation>
    </message>
    <message>
        <source>%1 is taken by another program. Choose another combination.</source>
        <translation>%1 wird von einem anderen Programm belegt. Bitte eine andere Kombination wählen.</translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation>Konfiguration</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Account</source>
        <translation>Konto</translation>
    </message>
    <message>
        <source>Logout</source>
        <translation>Abmelden</translation>
    </message>
    <message>
        <source>Forget the saved password and log in anew</source>
        <translation>Das gespeicherte Passwort vergessen und neu anmelden</translation>
    </message>
    <message>
        <source>About this build</source>
        <translation>Über diese Version</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>Reference:</source>
        <translation>Referenz:</translation>
    </message>
    <message>
        <source>Releasedate:</source>
        <translation>Veröffentlicht:</translation>
    </message>
    <message>
        <source>Branch:</source>
        <translation>Zweig:</translation>
    </message>
    <message>
        <source>Sticky Buddy Monitor</source>
        <translation>Nebenstellenmonitor</translation>
    </message>
    <message>
        <source>Enable Extension Monitor</source>
        <translation>Nebenstellenmonitor einschalten</translation>
    </message>
    <message>
        <source>Positioning</source>
        <translation>Positionierung</translation>
    </message>
    <message>
        <source>Use automatic positioning</source>
        <translation>Automatische Positionierung verwenden</translation>
    </message>
    <message>
        <source>Screen &amp;&amp; Orientation</source>
        <translation>Bildschirm &amp;&amp; Ausrichtung</translation>
    </message>
    <message>
        <source>Screen:</source>
        <translation>Bildschirm:</translation>
    </message>
    <message>
        <source>Horizontal alignment </source>
        <translation>Horizontale Ausrichtung </translation>
    </message>
    <message>
        <source>Rows/Columns:</source>
        <translation>Zeilen/Spalten:</translation>
    </message>
    <message>
        <source>Display-Corner</source>
        <translation>Bildschirmecke</translation>
    </message>
    <message>
        <source>top left</source>
        <translation>oben links</translation>
    </message>
    <message>
        <source>top centre</source>
        <translation>oben Mitte</translation>
    </message>
    <message>
        <source>top right</source>
        <translation>oben rechts</translation>
    </message>
    <message>
        <source>right middle</source>
        <translation>rechts Mitte</translation>
    </message>
    <message>
        <source>bottom right</source>
        <translation>unten rechts</translation>
    </message>
    <message>
        <source>bottom centre</source>
        <translation>unten Mitte</translation>
    </message>
    <message>
        <source>bottom left</source>
        <translation>unten links</translation>
    </message>
    <message>
        <source>left middle</source>
        <translation>links Mitte</translation>
    </message>
    <message>
        <source>Screen</source>
        <translation>Bildschirm</translation>
    </message>
    <message>
        <source>Custom behavior of Extension Monitor</source>
        <translation>Verhalten des Nebenstellenmonitors</translation>
    </message>
    <message>
        <source>Hide Monitor on Mouseover</source>
        <translation>Monitor unter dem Mauszeiger ausblenden</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>Stay on Top</source>
        <translation>Immer im Vordergrund</translation>
    </message>
    <message>
        <source>Transparency:</source>
        <translation>Transparenz:</translation>
    </message>
    <message>
        <source>0 %</source>
        <translation>0 %</translation>
    </message>
    <message>
        <source>100 %</source>
        <translation>100 %</translation>
    </message>
    <message>
        <source>Buddies</source>
        <translation>Kollegen</translation>
    </message>
    <message>
        <source>Colleagues shown in the extension monitor:</source>
        <translation>Im Nebenstellenmonitor gezeigte Kollegen:</translation>
    </message>
    <message>
        <source>X11 hot key: %1. Mark a number in any program and press the hot key to dial it.</source>
        <translation>X11-Tastenkürzel: %1. Eine Nummer in einem beliebigen Programm markieren und das Tastenkürzel drücken, um sie zu wählen.</translation>
    </message>
    <message>
        <source>Asking the desktop for the hot key…</source>
        <translation>Der Desktop wird nach dem Tastenkürzel gefragt …</translation>
    </message>
    <message>
        <source>Hot key from the desktop: none is assigned yet. Assign one in the desktop&apos;s keyboard settings.</source>
        <translation>Tastenkürzel vom Desktop: noch keines zugewiesen. Bitte eines in den Tastatureinstellungen des Desktops zuweisen.</translation>
    </message>
    <message>
        <source>Hot key from the desktop: %1. Mark a number in any program and press the hot key to dial it.</source>
        <translation>Tastenkürzel vom Desktop: %1. Eine Nummer in einem beliebigen Programm markieren und das Tastenkürzel drücken, um sie zu wählen.</translation>
    </message>
    <message>
        <source>Desktop shortcut: %1 runs this command:</source>
        <translation>Desktop-Tastenkürzel: %1 führt diesen Befehl aus:</translation>
    </message>
    <message>
        <source>Desktop shortcut: run this command with a key of the desktop&apos;s. Add it to the keyboard shortcuts with the hot key above:</source>
        <translation>Desktop-Tastenkürzel: diesen Befehl über ein Tastenkürzel des Desktops ausführen. Mit dem Tastenkürzel oben zu den Tastenkombinationen hinzufügen:</translation>
    </message>
    <message>
        <source>Desktop shortcut: run this command with a key of the desktop&apos;s. Add it in System Settings, Keyboard, Shortcuts (Add New, Command or Script):</source>
        <translation>Desktop-Tastenkürzel: diesen Befehl über ein Tastenkürzel des Desktops ausführen. Unter Systemeinstellungen, Tastatur, Kurzbefehle hinzufügen (Neu hinzufügen, Befehl oder Skript):</translation>
    </message>
    <message>
        <source>Desktop shortcut: run this command with a key of the desktop&apos;s. Add it in Settings, Keyboard, Application Shortcuts:</source>
        <translation>Desktop-Tastenkürzel: diesen Befehl über ein Tastenkürzel des Desktops ausführen. Unter Einstellungen, Tastatur, Anwendungskurzbefehle hinzufügen:</translation>
    </message>
    <message>
        <source>Desktop shortcut: run this command with a key of the desktop&apos;s. Add it as a custom shortcut in the desktop&apos;s keyboard settings:</source>
        <translation>Desktop-Tastenkürzel: diesen Befehl über ein Tastenkürzel des Desktops ausführen. Als eigenes Tastenkürzel in den Tastatureinstellungen des Desktops hinzufügen:</translation>
    </message>
    <message>
        <source>Choose a hot key above first.</source>
        <translation>Bitte zuerst oben ein Tastenkürzel wählen.</translation>
    </message>
    <message>
        <source>Dial the marked number (Talvero CTI Client)</source>
        <translation>Markierte Nummer wählen (Talvero CTI Client)</translation>
    </message>
    <message>
        <source>Added: mark a number in any program and press %1 to dial it.</source>
        <translation>Hinzugefügt: Eine Nummer in einem beliebigen Programm markieren und %1 drücken, um sie zu wählen.</translation>
    </message>
    <message>
        <source>The shortcut could not be added: %1</source>
        <translation>Das Tastenkürzel konnte nicht hinzugefügt werden: %1</translation>
    </message>
    <message>
        <source>The command for a keyboard shortcut of the desktop&apos;s</source>
        <translation>Der Befehl für ein Tastenkürzel des Desktops</translation>
    </message>
    <message>
        <source>Add it for me</source>
        <translation>Für mich hinzufügen</translation>
    </message>
    <message>
        <source>Adds the command with the hot key to the desktop&apos;s keyboard shortcuts</source>
        <translation>Fügt den Befehl mit dem Tastenkürzel zu den Tastenkombinationen des Desktops hinzu</translation>
    </message>
</context>
<context>
    <name>ConfigTab</name>
    <message>
        <source>Form</source>
        <translation>Formular</translation>
    </message>
    <message>
        <source>No Callfowarding</source>
        <translation>Keine Rufumleitung</translation>
    </message>
    <message>
        <source>Phones</source>
        <translation>Telefone</translation>
    </message>
    <message>
        <source>no Phones available.</source>
        <translation>keine Telefone vorhanden.</translation>
    </message>
    <message>
        <source>Queues</source>
        <translation>Warteschlangen</translation>
    </message>
    <message>
        <source>no Queues defined.</source>
        <translation>keine Warteschlangen eingerichtet.</translation>
    </message>
    <message>
        <source>DND (Do not Disturb)</source>
        <translation>Nicht stören</translation>
    </message>
    <message>
        <source>Advanced Configuration</source>
        <translation>Erweiterte Konfiguration</translation>
    </message>
    <message>
        <source>Call forwarding</source>
        <translation>Rufumleitung</translation>
    </message>
</context>
<context>
    <name>ConfigTab_Phone</name>
    <message>
        <source>Phone</source>
        <translation>Telefon</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>Anmelden</translation>
    </message>
    <message>
        <source>Logout</source>
        <translation>Abmelden</translation>
    </message>
    <message>
        <source>waiting...</source>
        <translation>warten...</translation>
    </message>
    <message>
        <source>The server did not answer. Please try again.</source>
        <translation>Der Server hat nicht geantwortet. Bitte erneut versuchen.</translation>
    </message>
    <message>
        <source>Phone %1, logged in</source>
        <translation>Telefon %1, angemeldet</translation>
    </message>
    <message>
        <source>Phone %1, logged out</source>
        <translation>Telefon %1, abgemeldet</translation>
    </message>
</context>
<context>
    <name>ConfigTab_Queue</name>
    <message>
        <source>Logged in</source>
        <translation>Angemeldet</translation>
    </message>
</context>
<context>
    <name>QueueMonitorCallsWidget</name>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Caller</source>
        <translation>Anrufer</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Queue</source>
        <translation>Warteschlange</translation>
    </message>
    <message>
        <source>Agent</source>
        <translation>Agent</translation>
    </message>
    <message>
        <source>Datetime</source>
        <translation>Zeitpunkt</translation>
    </message>
    <message>
        <source>Calls in the queue</source>
        <translation>Anrufe in der Warteschlange</translation>
    </message>
</context>
<context>
    <name>QueueMonitorMainWindow</name>
    <message>
        <source>Talvero Queue Monitor</source>
        <translation>Talvero Warteschlangenmonitor</translation>
    </message>
</context>
<context>
    <name>UCConversationsList</name>
    <message>
        <source>Conversations</source>
        <translation>Gespräche</translation>
    </message>
</context>
<context>
    <name>UCConversationsProxyModel</name>
    <message>
        <source>incoming call</source>
        <translation>eingehender Anruf</translation>
    </message>
    <message>
        <source>outgoing call</source>
        <translation>ausgehender Anruf</translation>
    </message>
    <message>
        <source>duration %1</source>
        <translation>Dauer %1</translation>
    </message>
</context>
</TS>
