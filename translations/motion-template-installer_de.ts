<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>AboutWindow</name>
    <message>
        <source>About Motion Template Installer</source>
        <translation>Über Motion Template Installer</translation>
    </message>
    <message>
        <source>Motion Template Installer</source>
        <translation>Motion Template Installer</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Installs motion-graphics templates
for Final Cut Pro X and Motion.</source>
        <translation>Installiert Motion-Graphics-Vorlagen
für Final Cut Pro X und Motion.</translation>
    </message>
    <message>
        <source>Free software under the MIT licence. Built with Qt (LGPL-3.0), libzip (BSD-3-Clause), zlib (Zlib), libdeflate (MIT), libplist (LGPL-2.1), Expat (MIT) and OpenSSL (Apache-2.0); their notices are in THIRD-PARTY-NOTICES.md, installed with the application.</source>
        <translation>Freie Software unter der MIT-Lizenz. Erstellt mit Qt (LGPL-3.0), libzip (BSD-3-Clause), zlib (Zlib), libdeflate (MIT), libplist (LGPL-2.1), Expat (MIT) und OpenSSL (Apache-2.0); deren Hinweise stehen in THIRD-PARTY-NOTICES.md, das mit dem Programm installiert wird.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>AppDelegate</name>
    <message>
        <source>Drop template archives here</source>
        <translation>Vorlagenarchive hier ablegen</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation>&amp;Öffnen …</translation>
    </message>
    <message>
        <source>&amp;Browse New Templates...</source>
        <translation>Neue Vorlagen &amp;durchsuchen …</translation>
    </message>
    <message>
        <source>&amp;Close Window</source>
        <translation>Fenster &amp;schließen</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Minimize</source>
        <translation>Im Dock &amp;ablegen</translation>
    </message>
    <message>
        <source>&amp;Zoom</source>
        <translation>&amp;Zoomen</translation>
    </message>
    <message>
        <source>&amp;About Motion Template Installer</source>
        <translation>&amp;Über Motion Template Installer</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Ablage</translation>
    </message>
    <message>
        <source>&amp;Window</source>
        <translation>&amp;Fenster</translation>
    </message>
    <message>
        <source>&amp;Support</source>
        <translation>&amp;Support</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>Support</translation>
    </message>
    <message>
        <source>Support...</source>
        <translation>Support …</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>“%1” is not a template archive.</source>
        <translation>„%1“ ist kein Vorlagenarchiv.</translation>
    </message>
    <message>
        <source>These files are not template archives: %1.</source>
        <translation>Diese Dateien sind keine Vorlagenarchive: %1.</translation>
    </message>
    <message>
        <source>Only template archives, files whose names end in “.mtzip”, can be opened.</source>
        <translation>Nur Vorlagenarchive – Dateien, deren Name auf „.mtzip“ endet – können geöffnet werden.</translation>
    </message>
    <message>
        <source>Template &amp;Library</source>
        <translation>Vorlagen&amp;bibliothek</translation>
    </message>
    <message>
        <source>Using Templates Tutorial...</source>
        <translation>Anleitung: Vorlagen verwenden …</translation>
    </message>
    <message>
        <source>Templates Performance...</source>
        <translation>Leistung von Vorlagen …</translation>
    </message>
    <message>
        <source>Contact Quillfen Support...</source>
        <translation>Quillfen-Support kontaktieren …</translation>
    </message>
    <message>
        <source>Knowledge Base...</source>
        <translation>Wissensdatenbank …</translation>
    </message>
    <message>
        <source>Quillfen on Facebook...</source>
        <translation>Quillfen auf Facebook …</translation>
    </message>
    <message>
        <source>Join Mailing List...</source>
        <translation>Newsletter abonnieren …</translation>
    </message>
    <message>
        <source>Check &amp;Project...</source>
        <translation>&amp;Projekt prüfen …</translation>
    </message>
    <message>
        <source>Collect &amp;Templates...</source>
        <translation>&amp;Vorlagen sammeln …</translation>
    </message>
    <message>
        <source>&amp;Preferences...</source>
        <translation>&amp;Einstellungen …</translation>
    </message>
    <message>
        <source>&amp;Start Window</source>
        <translation>&amp;Startfenster</translation>
    </message>
    <message>
        <source>Open &amp;Recent</source>
        <translation>&amp;Zuletzt geöffnet</translation>
    </message>
    <message>
        <source>Clear Menu</source>
        <translation>Menü leeren</translation>
    </message>
</context>
<context>
    <name>CollectionOpeningRules</name>
    <message>
        <source>Multiple Template Archives</source>
        <translation>Mehrere Vorlagenarchive</translation>
    </message>
    <message>
        <source>its name does not start with a two-character category prefix and an underscore; template archives are named like “LT_My_Pack.mtzip”</source>
        <translation>sein Name beginnt nicht mit einem zweistelligen Kategoriepräfix und einem Unterstrich; Vorlagenarchive heißen zum Beispiel „LT_My_Pack.mtzip“</translation>
    </message>
    <message>
        <source>its category prefix “%1” is not one this installer knows, so it cannot tell where its templates belong</source>
        <translation>sein Kategoriepräfix „%1“ ist diesem Installationsprogramm nicht bekannt, daher weiß es nicht, wohin seine Vorlagen gehören</translation>
    </message>
    <message>
        <source>the Motion Templates folder in your Movies folder cannot be found or made</source>
        <translation>der Ordner „Motion Templates“ in Ihrem Ordner „Filme“ kann weder gefunden noch angelegt werden</translation>
    </message>
    <message>
        <source>it is not a template archive (a file ending in “.mtzip”)</source>
        <translation>es ist kein Vorlagenarchiv (eine Datei mit der Endung „.mtzip“)</translation>
    </message>
    <message>
        <source>1 template</source>
        <translation>1 Vorlage</translation>
    </message>
    <message>
        <source>%1 templates</source>
        <translation>%1 Vorlagen</translation>
    </message>
    <message>
        <source>effects</source>
        <translation>Effekte</translation>
    </message>
    <message>
        <source>transitions</source>
        <translation>Übergänge</translation>
    </message>
    <message>
        <source>titles</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>generators</source>
        <translation>Generatoren</translation>
    </message>
    <message>
        <source> and </source>
        <translation> und </translation>
    </message>
    <message>
        <source>it holds a template outside the Effects, Generators, Titles or Transitions folder of its kind</source>
        <translation>es enthält eine Vorlage außerhalb des Ordners ihrer Art (Effekte, Generatoren, Titel oder Übergänge)</translation>
    </message>
</context>
<context>
    <name>DestinationLock</name>
    <message>
        <source>Another installation into %1 is under way in this application. Try again when it has finished.</source>
        <translation>In diesem Programm läuft bereits eine andere Installation in %1. Versuchen Sie es erneut, wenn sie abgeschlossen ist.</translation>
    </message>
    <message>
        <source>Waiting for another installation into %1 to finish</source>
        <translation>Warten, bis eine andere Installation in %1 abgeschlossen ist</translation>
    </message>
    <message>
        <source>Another installation into %1 (process %2%3) still holds its lock; gave up waiting after %4 s.</source>
        <translation>Eine andere Installation in %1 (Prozess %2%3) hält ihre Sperre noch; das Warten wurde nach %4 s aufgegeben.</translation>
    </message>
    <message>
        <source>The lock file %1 names no installation but stood in the way; gave up waiting after %2 s.</source>
        <translation>Die Sperrdatei %1 nennt keine Installation, stand aber im Weg; das Warten wurde nach %2 s aufgegeben.</translation>
    </message>
</context>
<context>
    <name>DocumentError</name>
    <message>
        <source>The document cannot be read.</source>
        <translation>Das Dokument kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The document is too large to read.</source>
        <translation>Das Dokument ist zu groß zum Lesen.</translation>
    </message>
    <message>
        <source>The document is not well-formed XML.</source>
        <translation>Das Dokument ist kein wohlgeformtes XML.</translation>
    </message>
    <message>
        <source>The document ends too early.</source>
        <translation>Das Dokument endet zu früh.</translation>
    </message>
    <message>
        <source>The document nests its elements too deeply.</source>
        <translation>Das Dokument verschachtelt seine Elemente zu tief.</translation>
    </message>
    <message>
        <source>The document declares entities or an external DTD, which are not read.</source>
        <translation>Das Dokument deklariert Entitäten oder eine externe DTD; diese werden nicht gelesen.</translation>
    </message>
    <message>
        <source>The document is not of the expected kind.</source>
        <translation>Das Dokument hat nicht die erwartete Art.</translation>
    </message>
    <message>
        <source>The document cannot be changed in place.</source>
        <translation>Das Dokument kann nicht an Ort und Stelle geändert werden.</translation>
    </message>
</context>
<context>
    <name>DownloadItem</name>
    <message>
        <source>There is no Downloads folder to save %1 in.</source>
        <translation>Es gibt keinen Ordner „Downloads“, in dem %1 gesichert werden kann.</translation>
    </message>
    <message>
        <source>Could not create a file in %1: %2</source>
        <translation>In %1 konnte keine Datei angelegt werden: %2</translation>
    </message>
    <message>
        <source>Could not write %1: %2</source>
        <translation>%1 konnte nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>The server answered %1 %2.</source>
        <translation>Der Server antwortete mit %1 %2.</translation>
    </message>
    <message>
        <source>The connection closed after %1 of %2.</source>
        <translation>Die Verbindung wurde nach %1 von %2 beendet.</translation>
    </message>
    <message>
        <source>Could not save %1: %2</source>
        <translation>%1 konnte nicht gesichert werden: %2</translation>
    </message>
    <message>
        <source>Could not save %1: too many files of that name in %2.</source>
        <translation>%1 konnte nicht gesichert werden: In %2 gibt es zu viele Dateien dieses Namens.</translation>
    </message>
</context>
<context>
    <name>DownloadItemView</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <source>Waiting for the server…</source>
        <translation>Warten auf den Server …</translation>
    </message>
    <message>
        <source>%1 — saved as %2</source>
        <translation>%1 – gesichert als %2</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
</context>
<context>
    <name>DownloadManager</name>
    <message>
        <source>Downloads</source>
        <translation>Downloads</translation>
    </message>
</context>
<context>
    <name>EffectTemplateItem</name>
    <message>
        <source>The template &quot;%1&quot; has no folder of its own to install to.</source>
        <translation>Die Vorlage „%1“ hat keinen eigenen Ordner, in den sie installiert werden kann.</translation>
    </message>
    <message>
        <source>&quot;%1&quot;: Permission denied</source>
        <translation>„%1“: Zugriff verweigert</translation>
    </message>
</context>
<context>
    <name>EffectsTableModel</name>
    <message>
        <source>Installed</source>
        <translation>Installiert</translation>
    </message>
    <message>
        <source>Not installed</source>
        <translation>Nicht installiert</translation>
    </message>
    <message>
        <source>#</source>
        <translation>Nr.</translation>
    </message>
    <message>
        <source>Category</source>
        <translation>Kategorie</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Effect</source>
        <translation>Effekt</translation>
    </message>
    <message>
        <source>Generator</source>
        <translation>Generator</translation>
    </message>
    <message>
        <source>Transition</source>
        <translation>Übergang</translation>
    </message>
    <message>
        <source>Installed from “%1”</source>
        <translation>Installiert aus „%1“</translation>
    </message>
    <message>
        <source>Installed from another copy of “%1”, with other files</source>
        <translation>Installiert aus einer anderen Kopie von „%1“, mit anderen Dateien</translation>
    </message>
    <message>
        <source>Installed; origin unknown</source>
        <translation>Installiert; Herkunft unbekannt</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>Art</translation>
    </message>
    <message>
        <source>Order in the archives</source>
        <translation>Reihenfolge in den Archiven</translation>
    </message>
    <message>
        <source>The installed copy is hidden from Final Cut Pro&apos;s browser</source>
        <translation>Die installierte Kopie ist im Browser von Final Cut Pro ausgeblendet</translation>
    </message>
    <message>
        <source>What the template needs or lacks; each row&apos;s tool tip says which</source>
        <translation>Was die Vorlage braucht oder was ihr fehlt; der Tooltip jeder Zeile sagt, was</translation>
    </message>
</context>
<context>
    <name>Elevation</name>
    <message>
        <source>The administrator&apos;s permission could not be asked for: %1 did not start.</source>
        <translation>Die Erlaubnis des Administrators konnte nicht erfragt werden: %1 ließ sich nicht starten.</translation>
    </message>
    <message>
        <source>mtzip ended with status %1.</source>
        <translation>mtzip endete mit dem Status %1.</translation>
    </message>
</context>
<context>
    <name>Error</name>
    <message>
        <source>&quot;%1&quot;: %2</source>
        <translation>„%1“: %2</translation>
    </message>
</context>
<context>
    <name>FinalCutNotice</name>
    <message>
        <source>Final Cut Pro is running: it shows the change after it is reopened.</source>
        <translation>Final Cut Pro läuft: Es zeigt die Änderung, sobald es neu geöffnet wurde.</translation>
    </message>
    <message>
        <source>Reopen Final Cut Pro</source>
        <translation>Final Cut Pro neu öffnen</translation>
    </message>
    <message>
        <source>Final Cut Pro Was Not Reopened</source>
        <translation>Final Cut Pro wurde nicht neu geöffnet</translation>
    </message>
    <message>
        <source>Final Cut Pro did not quit or did not open again. Quit and open it yourself to see the change.</source>
        <translation>Final Cut Pro wurde nicht beendet oder nicht wieder geöffnet. Beenden und öffnen Sie es selbst, um die Änderung zu sehen.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>FolderTree</name>
    <message>
        <source>Cannot create the folder &quot;%1&quot;: Not a directory</source>
        <translation>Der Ordner „%1“ kann nicht angelegt werden: Kein Ordner</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: Is a directory</source>
        <translation>„%1“ kann nicht geschrieben werden: Ist ein Ordner</translation>
    </message>
    <message>
        <source>Cannot create &quot;%1&quot;: File name too long</source>
        <translation>„%1“ kann nicht angelegt werden: Dateiname zu lang</translation>
    </message>
</context>
<context>
    <name>LibraryPreviewPane</name>
    <message>
        <source>Select a template to see its preview.</source>
        <translation>Wählen Sie eine Vorlage, um ihre Vorschau zu sehen.</translation>
    </message>
    <message>
        <source>Reading the template’s details…</source>
        <translation>Die Angaben der Vorlage werden gelesen …</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>No Preview</source>
        <translation>Keine Vorschau</translation>
    </message>
</context>
<context>
    <name>PasswordSheet</name>
    <message>
        <source>Password Needed</source>
        <translation>Passwort erforderlich</translation>
    </message>
    <message>
        <source>“%1” is protected by a password.</source>
        <translation>„%1“ ist durch ein Passwort geschützt.</translation>
    </message>
    <message>
        <source>Enter the password to unpack its templates.</source>
        <translation>Geben Sie das Passwort ein, um die Vorlagen zu entpacken.</translation>
    </message>
    <message>
        <source>Enter the password to unpack its templates; “%1” is the first entry that needs it.</source>
        <translation>Geben Sie das Passwort ein, um die Vorlagen zu entpacken; „%1“ ist der erste Eintrag, der es braucht.</translation>
    </message>
    <message>
        <source>The password you entered is not correct. Try again.</source>
        <translation>Das eingegebene Passwort ist nicht richtig. Versuchen Sie es noch einmal.</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
</context>
<context>
    <name>PreferencesWindow</name>
    <message>
        <source>Move them to the Trash</source>
        <translation>In den Papierkorb legen</translation>
    </message>
    <message>
        <source>Delete them at once</source>
        <translation>Sofort löschen</translation>
    </message>
    <message>
        <source>Add…</source>
        <translation>Hinzufügen …</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Show in Finder</source>
        <translation>Im Finder zeigen</translation>
    </message>
    <message>
        <source>Show in File Manager</source>
        <translation>Im Dateimanager zeigen</translation>
    </message>
    <message>
        <source>Besides Downloads, these folders are searched for the archives of templates a project is missing.</source>
        <translation>Neben „Downloads“ werden diese Ordner nach den Archiven von Vorlagen durchsucht, die einem Projekt fehlen.</translation>
    </message>
    <message>
        <source>Newest installed</source>
        <translation>Neueste installierte</translation>
    </message>
    <message>
        <source>Templates are judged against this version; leave it empty for the newest one installed.</source>
        <translation>Vorlagen werden an dieser Version gemessen; leer lassen für die neueste installierte.</translation>
    </message>
    <message>
        <source>Templates folder:</source>
        <translation>Vorlagenordner:</translation>
    </message>
    <message>
        <source>Removed templates:</source>
        <translation>Entfernte Vorlagen:</translation>
    </message>
    <message>
        <source>Search for archives in:</source>
        <translation>Archive suchen in:</translation>
    </message>
    <message>
        <source>Final Cut Pro version:</source>
        <translation>Final Cut Pro-Version:</translation>
    </message>
    <message>
        <source>Search for Archives In</source>
        <translation>Archive suchen in</translation>
    </message>
    <message>
        <source>“%1” is not a version number such as 11.1.</source>
        <translation>„%1“ ist keine Versionsnummer wie 11.1.</translation>
    </message>
</context>
<context>
    <name>PreviewPanel</name>
    <message>
        <source>No Preview</source>
        <translation>Keine Vorschau</translation>
    </message>
    <message>
        <source>Unpacking…</source>
        <translation>Wird entpackt …</translation>
    </message>
</context>
<context>
    <name>ProjectCheckModel</name>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Missing</source>
        <translation>Fehlt</translation>
    </message>
    <message>
        <source>Missing, found nowhere</source>
        <translation>Fehlt, nirgends gefunden</translation>
    </message>
    <message>
        <source>Too new for this Final Cut Pro</source>
        <translation>Zu neu für dieses Final Cut Pro</translation>
    </message>
    <message>
        <source>Needs a plug-in</source>
        <translation>Braucht ein Plug-in</translation>
    </message>
    <message>
        <source>Hidden (obsolete)</source>
        <translation>Ausgeblendet (veraltet)</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>Installiert</translation>
    </message>
    <message>
        <source>Final Cut Pro&apos;s own</source>
        <translation>Von Final Cut Pro</translation>
    </message>
    <message>
        <source>Refused</source>
        <translation>Abgelehnt</translation>
    </message>
    <message>
        <source>Effect</source>
        <translation>Effekt</translation>
    </message>
    <message>
        <source>Generator</source>
        <translation>Generator</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Transition</source>
        <translation>Übergang</translation>
    </message>
    <message>
        <source>in “%1”</source>
        <translation>in „%1“</translation>
    </message>
    <message>
        <source>%1 in “%2”</source>
        <translation>%1 in „%2“</translation>
    </message>
    <message>
        <source>Comes with Final Cut Pro</source>
        <translation>Gehört zu Final Cut Pro</translation>
    </message>
    <message>
        <source>Look for: %1, %2</source>
        <translation>Suchen nach: %1, %2</translation>
    </message>
    <message>
        <source>In %1</source>
        <translation>In %1</translation>
    </message>
    <message>
        <source>copied in by hand</source>
        <translation>von Hand kopiert</translation>
    </message>
    <message>
        <source>from “%1”</source>
        <translation>aus „%1“</translation>
    </message>
    <message>
        <source>%1, for all users</source>
        <translation>%1, für alle Benutzer</translation>
    </message>
    <message>
        <source>1 clip</source>
        <translation>1 Clip</translation>
    </message>
    <message>
        <source>%1 clips</source>
        <translation>%1 Clips</translation>
    </message>
    <message>
        <source> and %1 more</source>
        <translation> und %1 weitere</translation>
    </message>
    <message>
        <source>Plug-in: %1</source>
        <translation>Plug-in: %1</translation>
    </message>
    <message>
        <source>Needs Final Cut Pro %1 or later</source>
        <translation>Braucht Final Cut Pro %1 oder neuer</translation>
    </message>
    <message>
        <source>The template&apos;s document could not be read.</source>
        <translation>Das Dokument der Vorlage konnte nicht gelesen werden.</translation>
    </message>
    <message>
        <source>Template</source>
        <translation>Vorlage</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Zustand</translation>
    </message>
    <message>
        <source>Where</source>
        <translation>Wo</translation>
    </message>
    <message>
        <source>Used by</source>
        <translation>Verwendet von</translation>
    </message>
</context>
<context>
    <name>ProjectCheckWindow</name>
    <message>
        <source>“%1” was not opened: %2.</source>
        <translation>„%1“ wurde nicht geöffnet: %2.</translation>
    </message>
    <message>
        <source>Unpacking “%1”…</source>
        <translation>„%1“ wird entpackt …</translation>
    </message>
    <message>
        <source>“%1” could not be unpacked: %2</source>
        <translation>„%1“ konnte nicht entpackt werden: %2</translation>
    </message>
    <message>
        <source>Installing “%1”…</source>
        <translation>„%1“ wird installiert …</translation>
    </message>
    <message>
        <source>Check Project</source>
        <translation>Projekt prüfen</translation>
    </message>
    <message>
        <source>Final Cut Pro projects (*.fcpxml *.fcpxmld)</source>
        <translation>Final Cut Pro-Projekte (*.fcpxml *.fcpxmld)</translation>
    </message>
    <message>
        <source>Check Project: %1</source>
        <translation>Projekt prüfen: %1</translation>
    </message>
    <message>
        <source>Reading the project…</source>
        <translation>Das Projekt wird gelesen …</translation>
    </message>
    <message>
        <source>Check Again</source>
        <translation>Erneut prüfen</translation>
    </message>
    <message>
        <source>Reveal</source>
        <translation>Zeigen</translation>
    </message>
    <message>
        <source>Open Archive</source>
        <translation>Archiv öffnen</translation>
    </message>
    <message>
        <source>Install Missing</source>
        <translation>Fehlende installieren</translation>
    </message>
    <message>
        <source>Checking “%1”…</source>
        <translation>„%1“ wird geprüft …</translation>
    </message>
    <message>
        <source>“%1” cannot be checked.</source>
        <translation>„%1“ kann nicht geprüft werden.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>The project could not be read again: %1</source>
        <translation>Das Projekt konnte nicht erneut gelesen werden: %1</translation>
    </message>
    <message>
        <source>The project uses no Motion templates besides Final Cut Pro&apos;s own.</source>
        <translation>Das Projekt verwendet keine Motion-Vorlagen außer denen von Final Cut Pro.</translation>
    </message>
    <message>
        <source>The project uses 1 template.</source>
        <translation>Das Projekt verwendet 1 Vorlage.</translation>
    </message>
    <message>
        <source>The project uses %1 templates.</source>
        <translation>Das Projekt verwendet %1 Vorlagen.</translation>
    </message>
    <message>
        <source>All are installed.</source>
        <translation>Alle sind installiert.</translation>
    </message>
    <message>
        <source>1 is missing and can be installed from an archive found.</source>
        <translation>1 fehlt und kann aus einem gefundenen Archiv installiert werden.</translation>
    </message>
    <message>
        <source>%1 are missing and can be installed from archives found.</source>
        <translation>%1 fehlen und können aus gefundenen Archiven installiert werden.</translation>
    </message>
    <message>
        <source>1 is missing and in no archive searched.</source>
        <translation>1 fehlt und ist in keinem durchsuchten Archiv.</translation>
    </message>
    <message>
        <source>%1 are missing and in no archive searched.</source>
        <translation>%1 fehlen und sind in keinem durchsuchten Archiv.</translation>
    </message>
    <message>
        <source>1 needs a newer Final Cut Pro or a plug-in.</source>
        <translation>1 braucht ein neueres Final Cut Pro oder ein Plug-in.</translation>
    </message>
    <message>
        <source>%1 need a newer Final Cut Pro or a plug-in.</source>
        <translation>%1 brauchen ein neueres Final Cut Pro oder ein Plug-in.</translation>
    </message>
    <message>
        <source>Installing the missing templates…</source>
        <translation>Die fehlenden Vorlagen werden installiert …</translation>
    </message>
    <message>
        <source>1 template was installed.</source>
        <translation>1 Vorlage wurde installiert.</translation>
    </message>
    <message>
        <source>%1 templates were installed.</source>
        <translation>%1 Vorlagen wurden installiert.</translation>
    </message>
    <message>
        <source>Missing Templates Installed</source>
        <translation>Fehlende Vorlagen installiert</translation>
    </message>
    <message>
        <source>Collect Templates…</source>
        <translation>Vorlagen sammeln …</translation>
    </message>
    <message>
        <source>“%1” was not installed for all users: %2</source>
        <translation>„%1“ wurde nicht für alle Benutzer installiert: %2</translation>
    </message>
    <message>
        <source>The templates for all users were not installed: %1</source>
        <translation>Die Vorlagen für alle Benutzer wurden nicht installiert: %1</translation>
    </message>
    <message>
        <source>The templates for all users were not installed: the administrator&apos;s password was not given.</source>
        <translation>Die Vorlagen für alle Benutzer wurden nicht installiert: Das Passwort des Administrators wurde nicht eingegeben.</translation>
    </message>
</context>
<context>
    <name>ProjectDocument</name>
    <message>
        <source>The template path is not a plain path below the templates folder.</source>
        <translation>Der Vorlagenpfad ist kein einfacher Pfad unterhalb des Vorlagenordners.</translation>
    </message>
    <message>
        <source>The template path does not name a template in a kind folder.</source>
        <translation>Der Vorlagenpfad nennt keine Vorlage in einem Artordner.</translation>
    </message>
    <message>
        <source>The effect is no Motion template.</source>
        <translation>Der Effekt ist keine Motion-Vorlage.</translation>
    </message>
    <message>
        <source>The template lies outside the templates folders.</source>
        <translation>Die Vorlage liegt außerhalb der Vorlagenordner.</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Motion Template Installer</source>
        <translation>Motion Template Installer</translation>
    </message>
    <message>
        <source>%1 MB of %2 MB</source>
        <translation>%1 MB von %2 MB</translation>
    </message>
</context>
<context>
    <name>RecentlyRemovedModel</name>
    <message>
        <source>hand copy</source>
        <translation>von Hand kopiert</translation>
    </message>
    <message>
        <source>No receipt names it: it was copied in by hand or installed by other means.</source>
        <translation>Kein Beleg nennt sie: Sie wurde von Hand kopiert oder auf anderem Weg installiert.</translation>
    </message>
    <message>
        <source>Template</source>
        <translation>Vorlage</translation>
    </message>
    <message>
        <source>Removed</source>
        <translation>Entfernt</translation>
    </message>
    <message>
        <source>Archive</source>
        <translation>Archiv</translation>
    </message>
    <message>
        <source>Place</source>
        <translation>Ort</translation>
    </message>
</context>
<context>
    <name>RootPermissions</name>
    <message>
        <source>&apos;%1&apos; can be written by other users; as root, templates are installed and removed only in folders that only their owner can change: chmod go-w &apos;%1&apos;</source>
        <translation>In „%1“ können andere Benutzer schreiben; als root werden Vorlagen nur in Ordnern installiert und entfernt, die nur ihr Eigentümer ändern kann: chmod go-w &apos;%1&apos;</translation>
    </message>
    <message>
        <source>&apos;%1&apos; can be written by other users; in a folder of someone else, templates are installed and removed only when only its owner can change it: chmod go-w &apos;%1&apos; (as its owner)</source>
        <translation>In „%1“ können andere Benutzer schreiben; im Ordner eines anderen werden Vorlagen nur installiert und entfernt, wenn nur sein Eigentümer ihn ändern kann: chmod go-w &apos;%1&apos; (als sein Eigentümer)</translation>
    </message>
    <message>
        <source>&apos;%1&apos; belongs to another user, who can change what is installed there; as root, templates are installed and removed only in folders that only root can change: chown root &apos;%1&apos;, or work in it as its owner</source>
        <translation>„%1“ gehört einem anderen Benutzer, der ändern kann, was dort installiert ist; als root werden Vorlagen nur in Ordnern installiert und entfernt, die nur root ändern kann: chown root &apos;%1&apos;, oder als sein Eigentümer darin arbeiten</translation>
    </message>
</context>
<context>
    <name>StartWindow</name>
    <message>
        <source>Motion Template Installer</source>
        <translation>Motion Template Installer</translation>
    </message>
    <message>
        <source>Installs template packs for Final Cut Pro X and Motion.</source>
        <translation>Installiert Vorlagenpakete für Final Cut Pro X und Motion.</translation>
    </message>
    <message>
        <source>Drop .mtzip template archives here, or click to see more motion templates in the shop</source>
        <translation>Legen Sie .mtzip-Vorlagenarchive hier ab oder klicken Sie, um im Shop weitere Motion-Vorlagen zu sehen</translation>
    </message>
    <message>
        <source>Template archive drop zone</source>
        <translation>Ablagebereich für Vorlagenarchive</translation>
    </message>
    <message>
        <source>Drop template archives (.mtzip) here</source>
        <translation>Vorlagenarchive (.mtzip) hier ablegen</translation>
    </message>
    <message>
        <source>or open them from disk. Click the picture for more motion templates.</source>
        <translation>oder vom Datenträger öffnen. Klicken Sie auf das Bild, um weitere Motion-Vorlagen zu sehen.</translation>
    </message>
    <message>
        <source>Support...</source>
        <translation>Support …</translation>
    </message>
    <message>
        <source>Browse New Templates...</source>
        <translation>Neue Vorlagen durchsuchen …</translation>
    </message>
    <message>
        <source>Open...</source>
        <translation>Öffnen …</translation>
    </message>
    <message>
        <source>See, verify and remove the templates that are installed</source>
        <translation>Installierte Vorlagen ansehen, prüfen und entfernen</translation>
    </message>
    <message>
        <source>Template Library...</source>
        <translation>Vorlagenbibliothek …</translation>
    </message>
</context>
<context>
    <name>TemplateArchiveCollection</name>
    <message>
        <source>Template Archive</source>
        <translation>Vorlagenarchiv</translation>
    </message>
    <message>
        <source>Remove every installed template of these archives</source>
        <translation>Alle installierten Vorlagen dieser Archive entfernen</translation>
    </message>
    <message>
        <source>Uninstall All</source>
        <translation>Alle deinstallieren</translation>
    </message>
    <message>
        <source>Install every template of these archives into your Motion Templates folder</source>
        <translation>Alle Vorlagen dieser Archive in Ihren Ordner „Motion Templates“ installieren</translation>
    </message>
    <message>
        <source>Install All</source>
        <translation>Alle installieren</translation>
    </message>
    <message>
        <source>Open Template Archives</source>
        <translation>Vorlagenarchive öffnen</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Archive Already Open</source>
        <translation>Archiv bereits geöffnet</translation>
    </message>
    <message>
        <source>Some of the archives are already open in another window, you cannot open them in a new window. Please close the other window, and try again.</source>
        <translation>Einige der Archive sind bereits in einem anderen Fenster geöffnet und können nicht in einem neuen Fenster geöffnet werden. Schließen Sie bitte das andere Fenster und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>“%1” holds no templates: no folder in it has a template file (.moef, .motn, .moti or .motr). Nothing was changed.</source>
        <translation>„%1“ enthält keine Vorlagen: Kein Ordner darin hat eine Vorlagendatei (.moef, .motn, .moti oder .motr). Es wurde nichts geändert.</translation>
    </message>
    <message>
        <source>%1 shown</source>
        <translation>%1 angezeigt</translation>
    </message>
    <message>
        <source>%1 selected</source>
        <translation>%1 ausgewählt</translation>
    </message>
    <message>
        <source>“%1” was not opened: %2.</source>
        <translation>„%1“ wurde nicht geöffnet: %2.</translation>
    </message>
    <message>
        <source>Unpacking “%1”…</source>
        <translation>„%1“ wird entpackt …</translation>
    </message>
    <message>
        <source>“%1” could not be unpacked: %2</source>
        <translation>„%1“ konnte nicht entpackt werden: %2</translation>
    </message>
    <message>
        <source>Stop installing?</source>
        <translation>Installation stoppen?</translation>
    </message>
    <message>
        <source>Stop uninstalling?</source>
        <translation>Deinstallation stoppen?</translation>
    </message>
    <message>
        <source>The templates of the archive being installed are taken out again, and the templates folder is left as it was before; then the window closes.</source>
        <translation>Die Vorlagen des Archivs, das gerade installiert wird, werden wieder entfernt und der Vorlagenordner bleibt, wie er vorher war; danach wird das Fenster geschlossen.</translation>
    </message>
    <message>
        <source>The templates being removed are put back; then the window closes.</source>
        <translation>Die Vorlagen, die gerade entfernt werden, werden zurückgelegt; danach wird das Fenster geschlossen.</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stoppen</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>Fortfahren</translation>
    </message>
    <message>
        <source>An Archive Could Not Be Opened</source>
        <translation>Ein Archiv konnte nicht geöffnet werden</translation>
    </message>
    <message>
        <source>Some Archives Could Not Be Opened</source>
        <translation>Einige Archive konnten nicht geöffnet werden</translation>
    </message>
    <message>
        <source>%1 effects,  %2 installed</source>
        <translation>%1 Effekte,  %2 installiert</translation>
    </message>
    <message>
        <source>Installing “%1”…</source>
        <translation>„%1“ wird installiert …</translation>
    </message>
    <message>
        <source>Installation Cancelled</source>
        <translation>Installation abgebrochen</translation>
    </message>
    <message>
        <source>The templates of the cancelled archive were not installed; the templates folder is as it was before.</source>
        <translation>Die Vorlagen des abgebrochenen Archivs wurden nicht installiert; der Vorlagenordner ist so, wie er vorher war.</translation>
    </message>
    <message>
        <source>Installation Failed</source>
        <translation>Installation fehlgeschlagen</translation>
    </message>
    <message>
        <source>The template archive file is no longer needed, do you want to delete or keep it?</source>
        <translation>Die Vorlagenarchivdatei wird nicht mehr benötigt. Möchten Sie sie löschen oder behalten?</translation>
    </message>
    <message>
        <source>Delete Template Archive?</source>
        <translation>Vorlagenarchiv löschen?</translation>
    </message>
    <message>
        <source>Keep</source>
        <translation>Behalten</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>1 template was installed</source>
        <translation>1 Vorlage wurde installiert</translation>
    </message>
    <message>
        <source>%1 templates were installed</source>
        <translation>%1 Vorlagen wurden installiert</translation>
    </message>
    <message>
        <source>Installation Completed</source>
        <translation>Installation abgeschlossen</translation>
    </message>
    <message>
        <source>%1 and will be visible under categories starting with &apos;ZT&apos; in %2 in your FCP X browser.
Do you want to install more templates?</source>
        <translation>%1. Sie finden sie in Ihrem FCP X-Browser unter „%2“ in den Kategorien, die mit „ZT“ beginnen.
Möchten Sie weitere Vorlagen installieren?</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Uninstall %1 from Final Cut Pro&apos;s library?</source>
        <translation>%1 aus der Mediathek von Final Cut Pro deinstallieren?</translation>
    </message>
    <message>
        <source>The installed templates of this window&apos;s archives are removed from the Motion Templates folder; other templates stay.</source>
        <translation>Die installierten Vorlagen der Archive dieses Fensters werden aus dem Ordner „Motion Templates“ entfernt; andere Vorlagen bleiben erhalten.</translation>
    </message>
    <message>
        <source>Uninstall</source>
        <translation>Deinstallieren</translation>
    </message>
    <message>
        <source>Uninstalling “%1”…</source>
        <translation>„%1“ wird deinstalliert …</translation>
    </message>
    <message>
        <source>1 effect was uninstalled successfully.</source>
        <translation>1 Effekt wurde erfolgreich deinstalliert.</translation>
    </message>
    <message>
        <source>%1 effects were uninstalled successfully.</source>
        <translation>%1 Effekte wurden erfolgreich deinstalliert.</translation>
    </message>
    <message>
        <source>Uninstall Cancelled</source>
        <translation>Deinstallation abgebrochen</translation>
    </message>
    <message>
        <source>The templates of the cancelled archive were left installed.</source>
        <translation>Die Vorlagen des abgebrochenen Archivs bleiben installiert.</translation>
    </message>
    <message>
        <source>Uninstall Failed</source>
        <translation>Deinstallation fehlgeschlagen</translation>
    </message>
    <message>
        <source>1 template could not be removed: %1</source>
        <translation>1 Vorlage konnte nicht entfernt werden: %1</translation>
    </message>
    <message>
        <source>%1 templates could not be removed: %2</source>
        <translation>%1 Vorlagen konnten nicht entfernt werden: %2</translation>
    </message>
    <message>
        <source>They were moved to the Trash.</source>
        <translation>Sie wurden in den Papierkorb gelegt.</translation>
    </message>
    <message>
        <source>Uninstall Completed</source>
        <translation>Deinstallation abgeschlossen</translation>
    </message>
    <message>
        <source>Shows only the templates whose title or category holds every word typed</source>
        <translation>Zeigt nur die Vorlagen, deren Titel oder Kategorie jedes eingegebene Wort enthält</translation>
    </message>
    <message>
        <source>Search titles and categories</source>
        <translation>Titel und Kategorien durchsuchen</translation>
    </message>
    <message>
        <source>Remove the selected templates from your Motion Templates folder</source>
        <translation>Die ausgewählten Vorlagen aus Ihrem Motion-Vorlagenordner entfernen</translation>
    </message>
    <message>
        <source>Uninstall Selected</source>
        <translation>Auswahl deinstallieren</translation>
    </message>
    <message>
        <source>Install the selected templates into your Motion Templates folder</source>
        <translation>Die ausgewählten Vorlagen in Ihren Motion-Vorlagenordner installieren</translation>
    </message>
    <message>
        <source>Install Selected</source>
        <translation>Auswahl installieren</translation>
    </message>
    <message>
        <source>Show in Finder</source>
        <translation>Im Finder zeigen</translation>
    </message>
    <message>
        <source>Show in File Manager</source>
        <translation>Im Dateimanager zeigen</translation>
    </message>
    <message>
        <source>Looking for installed templates…</source>
        <translation>Installierte Vorlagen werden gesucht …</translation>
    </message>
    <message>
        <source>Select a template to see its preview.</source>
        <translation>Wählen Sie eine Vorlage aus, um ihre Vorschau zu sehen.</translation>
    </message>
    <message>
        <source>No Preview</source>
        <translation>Keine Vorschau</translation>
    </message>
    <message>
        <source>%1
from %2</source>
        <translation>%1
aus %2</translation>
    </message>
    <message>
        <source>%1 in %2
from %3</source>
        <translation>%1 in %2
aus %3</translation>
    </message>
    <message>
        <source>The selected templates are removed from the Motion Templates folder; other templates stay.</source>
        <translation>Die ausgewählten Vorlagen werden aus dem Motion-Vorlagenordner entfernt; andere Vorlagen bleiben.</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>und %1 weitere</translation>
    </message>
    <message>
        <source>1 template you changed will be replaced:</source>
        <translation>1 Vorlage, die Sie geändert haben, wird ersetzt:</translation>
    </message>
    <message>
        <source>%1 templates you changed will be replaced:</source>
        <translation>%1 Vorlagen, die Sie geändert haben, werden ersetzt:</translation>
    </message>
    <message>
        <source>1 template installed by another archive or copied in by hand will be replaced:</source>
        <translation>1 Vorlage, die ein anderes Archiv installiert hat oder die von Hand kopiert wurde, wird ersetzt:</translation>
    </message>
    <message>
        <source>%1 templates installed by another archive or copied in by hand will be replaced:</source>
        <translation>%1 Vorlagen, die ein anderes Archiv installiert hat oder die von Hand kopiert wurden, werden ersetzt:</translation>
    </message>
    <message>
        <source>Replaced copies go to the Trash. Keep My Versions installs the rest and leaves these as they are.</source>
        <translation>Ersetzte Kopien werden in den Papierkorb gelegt. „Meine Versionen behalten“ installiert den Rest und lässt diese, wie sie sind.</translation>
    </message>
    <message>
        <source>Replace Templates?</source>
        <translation>Vorlagen ersetzen?</translation>
    </message>
    <message>
        <source>Keep My Versions</source>
        <translation>Meine Versionen behalten</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>Ersetzen</translation>
    </message>
    <message>
        <source>1 template you changed or that others installed was kept as it was.</source>
        <translation>1 Vorlage, die Sie geändert oder die andere installiert haben, wurde belassen, wie sie war.</translation>
    </message>
    <message>
        <source>%1 templates you changed or that others installed were kept as they were.</source>
        <translation>%1 Vorlagen, die Sie geändert oder die andere installiert haben, wurden belassen, wie sie waren.</translation>
    </message>
    <message>
        <source>1 of them you changed:</source>
        <translation>1 davon haben Sie geändert:</translation>
    </message>
    <message>
        <source>%1 of them you changed:</source>
        <translation>%1 davon haben Sie geändert:</translation>
    </message>
    <message>
        <source>Uninstall All sends those to the Trash too; Keep Changed Ones leaves them installed.</source>
        <translation>„Alle deinstallieren“ legt auch diese in den Papierkorb; „Geänderte behalten“ lässt sie installiert.</translation>
    </message>
    <message>
        <source>Keep Changed Ones</source>
        <translation>Geänderte behalten</translation>
    </message>
    <message>
        <source>1 template you changed was kept.</source>
        <translation>1 Vorlage, die Sie geändert haben, wurde behalten.</translation>
    </message>
    <message>
        <source>%1 templates you changed were kept.</source>
        <translation>%1 Vorlagen, die Sie geändert haben, wurden behalten.</translation>
    </message>
    <message>
        <source>1 template installed by another archive or copied in by hand was kept.</source>
        <translation>1 Vorlage, die ein anderes Archiv installiert hat oder die von Hand kopiert wurde, wurde behalten.</translation>
    </message>
    <message>
        <source>%1 templates installed by another archive or copied in by hand were kept.</source>
        <translation>%1 Vorlagen, die ein anderes Archiv installiert hat oder die von Hand kopiert wurden, wurden behalten.</translation>
    </message>
    <message>
        <source>Motion Template Archives (*.mtzip *.zip)</source>
        <translation>Motion-Vorlagenarchive (*.mtzip *.zip)</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Not Enough Free Space</source>
        <translation>Nicht genug freier Speicherplatz</translation>
    </message>
    <message>
        <source>1 template needs %1; this Mac has %2</source>
        <translation>1 Vorlage braucht %1; dieser Mac hat %2</translation>
    </message>
    <message>
        <source>%1 templates need %2; this Mac has %3</source>
        <translation>%1 Vorlagen brauchen %2; dieser Mac hat %3</translation>
    </message>
    <message>
        <source>Final Cut Pro cannot open them until it is updated. Skip Those installs the others.</source>
        <translation>Final Cut Pro kann sie erst nach einer Aktualisierung öffnen. „Diese auslassen“ installiert die übrigen.</translation>
    </message>
    <message>
        <source>Skip Those</source>
        <translation>Diese auslassen</translation>
    </message>
    <message>
        <source>Install Anyway</source>
        <translation>Trotzdem installieren</translation>
    </message>
    <message>
        <source>%1 and will be visible under categories starting with &apos;ZT&apos; in %2 in your FCP X browser.</source>
        <translation>%1. Sie finden sie in Ihrem FCP X-Browser unter „%2“ in den Kategorien, die mit „ZT“ beginnen.</translation>
    </message>
    <message>
        <source>Reading the template’s details…</source>
        <translation>Die Angaben der Vorlage werden gelesen …</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Reading “%1”…</source>
        <translation>„%1“ wird gelesen …</translation>
    </message>
    <message>
        <source>unpacking the previews…</source>
        <translation>Vorschauen werden entpackt …</translation>
    </message>
    <message>
        <source>The List of Templates Changed</source>
        <translation>Die Liste der Vorlagen hat sich geändert</translation>
    </message>
    <message>
        <source>“%1” holds other templates than its list said: folders whose names differ only in case or in how an accented letter is stored are one folder on this disk, or the file changed after it was opened. The list now shows what will be installed. Nothing was installed.</source>
        <translation>„%1“ enthält andere Vorlagen, als seine Liste angab: Ordner, deren Namen sich nur in der Groß- und Kleinschreibung oder in der Schreibweise eines Akzentbuchstabens unterscheiden, sind auf diesem Volume ein Ordner, oder die Datei hat sich nach dem Öffnen geändert. Die Liste zeigt jetzt, was installiert wird. Es wurde nichts installiert.</translation>
    </message>
</context>
<context>
    <name>TemplateArchiveDocument</name>
    <message>
        <source>%1 (copied in by hand)</source>
        <translation>%1 (von Hand kopiert)</translation>
    </message>
    <message>
        <source>%1 (installed by %2)</source>
        <translation>%1 (installiert von %2)</translation>
    </message>
</context>
<context>
    <name>TemplateCollector</name>
    <message>
        <source>%1 Templates.zip</source>
        <translation>%1 Vorlagen.zip</translation>
    </message>
    <message>
        <source>Collect Templates</source>
        <translation>Vorlagen sammeln</translation>
    </message>
    <message>
        <source>Zip archives (*.zip)</source>
        <translation>Zip-Archive (*.zip)</translation>
    </message>
    <message>
        <source>Collecting the templates of “%1”…</source>
        <translation>Die Vorlagen von „%1“ werden gesammelt …</translation>
    </message>
    <message>
        <source>“%1” cannot be read.</source>
        <translation>„%1“ kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>Collecting Cancelled</source>
        <translation>Sammeln abgebrochen</translation>
    </message>
    <message>
        <source>Templates Not Collected</source>
        <translation>Vorlagen nicht gesammelt</translation>
    </message>
    <message>
        <source>Templates Collected</source>
        <translation>Vorlagen gesammelt</translation>
    </message>
    <message>
        <source>No zip was written.</source>
        <translation>Es wurde kein Zip geschrieben.</translation>
    </message>
    <message>
        <source>No zip was written: %1</source>
        <translation>Es wurde kein Zip geschrieben: %1</translation>
    </message>
    <message>
        <source>1 template was written to “%1”.</source>
        <translation>1 Vorlage wurde in „%1“ geschrieben.</translation>
    </message>
    <message>
        <source>%1 templates were written to “%2”.</source>
        <translation>%1 Vorlagen wurden in „%2“ geschrieben.</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>und %1 weitere</translation>
    </message>
    <message>
        <source>1 template is not installed here and is not in the zip:</source>
        <translation>1 Vorlage ist hier nicht installiert und nicht im Zip:</translation>
    </message>
    <message>
        <source>%1 templates are not installed here and are not in the zip:</source>
        <translation>%1 Vorlagen sind hier nicht installiert und nicht im Zip:</translation>
    </message>
    <message>
        <source>Links inside templates were left out: %1</source>
        <translation>Verknüpfungen in Vorlagen wurden ausgelassen: %1</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>TemplateInstaller</name>
    <message>
        <source>Cannot create an unpack folder: %1</source>
        <translation>Es kann kein Ordner zum Entpacken angelegt werden: %1</translation>
    </message>
    <message>
        <source>The file does not exist.</source>
        <translation>Die Datei existiert nicht.</translation>
    </message>
    <message>
        <source>The file is not a zip archive, or it is damaged.</source>
        <translation>Die Datei ist kein ZIP-Archiv oder sie ist beschädigt.</translation>
    </message>
    <message>
        <source>The archive holds no entries.</source>
        <translation>Das Archiv enthält keine Einträge.</translation>
    </message>
    <message>
        <source>The archive could not be unpacked.</source>
        <translation>Das Archiv konnte nicht entpackt werden.</translation>
    </message>
    <message>
        <source>The template &quot;%1&quot; has no folder of its own to install to.</source>
        <translation>Die Vorlage „%1“ hat keinen eigenen Ordner, in den sie installiert werden kann.</translation>
    </message>
    <message>
        <source>You have no permission to install the Motion templates to the folder: &apos;%1&apos;.</source>
        <translation>Sie haben keine Berechtigung, die Motion-Vorlagen in den Ordner „%1“ zu installieren.</translation>
    </message>
    <message>
        <source>The Motion templates could not be copied to the folder: &apos;%1&apos;, [%2].</source>
        <translation>Die Motion-Vorlagen konnten nicht in den Ordner „%1“ kopiert werden. [%2]</translation>
    </message>
    <message>
        <source>An earlier installation into &apos;%1&apos; was interrupted and could not be undone completely. Its record is kept in &apos;%2&apos;.</source>
        <translation>Eine frühere Installation in „%1“ wurde unterbrochen und konnte nicht vollständig rückgängig gemacht werden. Ihr Protokoll liegt in „%2“.</translation>
    </message>
    <message>
        <source>The install directory was not specified. Please contact support.</source>
        <translation>Es wurde kein Installationsordner angegeben. Wenden Sie sich bitte an den Support.</translation>
    </message>
    <message>
        <source>The archive &quot;%1&quot; was only listed; unpack it to install its templates.</source>
        <translation>Das Archiv „%1“ wurde nur aufgelistet; entpacken Sie es, um seine Vorlagen zu installieren.</translation>
    </message>
    <message>
        <source>Not enough free space: installing needs %1, only %2 are free on the volume of “%3”. Nothing was changed.</source>
        <translation>Nicht genug freier Speicherplatz: Die Installation braucht %1, auf dem Volume von „%3“ sind nur %2 frei. Es wurde nichts verändert.</translation>
    </message>
</context>
<context>
    <name>TemplateLibrary</name>
    <message>
        <source>No installed template at &quot;%1&quot; in &apos;%2&apos;.</source>
        <translation>Keine installierte Vorlage unter „%1“ in „%2“.</translation>
    </message>
</context>
<context>
    <name>TemplateLibraryModel</name>
    <message>
        <source>Effect</source>
        <translation>Effekt</translation>
    </message>
    <message>
        <source>Generator</source>
        <translation>Generator</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Transition</source>
        <translation>Übergang</translation>
    </message>
    <message>
        <source>origin unknown</source>
        <translation>Herkunft unbekannt</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>Art</translation>
    </message>
    <message>
        <source>Category</source>
        <translation>Kategorie</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Archive</source>
        <translation>Archiv</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>Installiert</translation>
    </message>
    <message>
        <source>Installed in both folders; which one Final Cut Pro uses is not known</source>
        <translation>In beiden Ordnern installiert; welche Kopie Final Cut Pro verwendet, ist nicht bekannt</translation>
    </message>
</context>
<context>
    <name>TemplateLibraryWindow</name>
    <message>
        <source>Template Library</source>
        <translation>Vorlagenbibliothek</translation>
    </message>
    <message>
        <source>Whose templates: yours, those installed for all users, or both</source>
        <translation>Wessen Vorlagen: Ihre, die für alle Benutzer installierten oder beide</translation>
    </message>
    <message>
        <source>Show one kind of template</source>
        <translation>Nur eine Art von Vorlagen zeigen</translation>
    </message>
    <message>
        <source>Show one category</source>
        <translation>Nur eine Kategorie zeigen</translation>
    </message>
    <message>
        <source>Search titles, categories, archives</source>
        <translation>Titel, Kategorien, Archive durchsuchen</translation>
    </message>
    <message>
        <source>Show the selected template in the file manager</source>
        <translation>Die ausgewählte Vorlage im Dateimanager zeigen</translation>
    </message>
    <message>
        <source>Reveal</source>
        <translation>Zeigen</translation>
    </message>
    <message>
        <source>Compare the selected templates, or all of them, with what their archives installed</source>
        <translation>Die ausgewählten Vorlagen oder alle mit dem vergleichen, was ihre Archive installiert haben</translation>
    </message>
    <message>
        <source>Verify</source>
        <translation>Prüfen</translation>
    </message>
    <message>
        <source>Open the archive the selected templates came from, to install it again</source>
        <translation>Das Archiv der ausgewählten Vorlagen öffnen, um es erneut zu installieren</translation>
    </message>
    <message>
        <source>Re-install...</source>
        <translation>Erneut installieren …</translation>
    </message>
    <message>
        <source>Move the selected templates to the Trash</source>
        <translation>Die ausgewählten Vorlagen in den Papierkorb legen</translation>
    </message>
    <message>
        <source>Remove...</source>
        <translation>Entfernen …</translation>
    </message>
    <message>
        <source>1 template</source>
        <translation>1 Vorlage</translation>
    </message>
    <message>
        <source>%1 templates</source>
        <translation>%1 Vorlagen</translation>
    </message>
    <message>
        <source>My Templates</source>
        <translation>Meine Vorlagen</translation>
    </message>
    <message>
        <source>All Users</source>
        <translation>Alle Benutzer</translation>
    </message>
    <message>
        <source>Reveal in File Manager</source>
        <translation>Im Dateimanager zeigen</translation>
    </message>
    <message>
        <source>Re-install from Archive...</source>
        <translation>Aus dem Archiv erneut installieren …</translation>
    </message>
    <message>
        <source>All Locations</source>
        <translation>Alle Orte</translation>
    </message>
    <message>
        <source>All Kinds</source>
        <translation>Alle Arten</translation>
    </message>
    <message>
        <source>Effects</source>
        <translation>Effekte</translation>
    </message>
    <message>
        <source>Generators</source>
        <translation>Generatoren</translation>
    </message>
    <message>
        <source>Titles</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Transitions</source>
        <translation>Übergänge</translation>
    </message>
    <message>
        <source>All Categories</source>
        <translation>Alle Kategorien</translation>
    </message>
    <message>
        <source>Looking for installed templates…</source>
        <translation>Installierte Vorlagen werden gesucht …</translation>
    </message>
    <message>
        <source>%1 of %2 shown</source>
        <translation>%1 von %2 angezeigt</translation>
    </message>
    <message>
        <source>%1 selected</source>
        <translation>%1 ausgewählt</translation>
    </message>
    <message>
        <source>No templates are installed yet.

Open a template archive (File &gt; Open…) to install its templates; they appear here.</source>
        <translation>Es sind noch keine Vorlagen installiert.

Öffnen Sie ein Vorlagenarchiv (Ablage &gt; Öffnen …), um seine Vorlagen zu installieren; sie erscheinen dann hier.</translation>
    </message>
    <message>
        <source>No template matches the search and the filters.</source>
        <translation>Keine Vorlage passt zur Suche und zu den Filtern.</translation>
    </message>
    <message>
        <source>Verify All</source>
        <translation>Alle prüfen</translation>
    </message>
    <message>
        <source>The archive the selected templates came from is no longer where it was installed from, or no receipt names it.</source>
        <translation>Das Archiv der ausgewählten Vorlagen liegt nicht mehr dort, von wo es installiert wurde, oder kein Beleg nennt es.</translation>
    </message>
    <message>
        <source>Remove “%1”?</source>
        <translation>„%1“ entfernen?</translation>
    </message>
    <message>
        <source>Remove %1 templates?</source>
        <translation>%1 Vorlagen entfernen?</translation>
    </message>
    <message>
        <source>The template is moved to the Trash, where you can get it back; Final Cut Pro no longer shows it.</source>
        <translation>Die Vorlage wird in den Papierkorb gelegt, wo Sie sie zurückholen können; Final Cut Pro zeigt sie nicht mehr.</translation>
    </message>
    <message>
        <source>The %1 templates are moved to the Trash, where you can get them back; Final Cut Pro no longer shows them.</source>
        <translation>Die %1 Vorlagen werden in den Papierkorb gelegt, wo Sie sie zurückholen können; Final Cut Pro zeigt sie nicht mehr.</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Moving templates to the Trash…</source>
        <translation>Vorlagen werden in den Papierkorb gelegt …</translation>
    </message>
    <message>
        <source>%1 removed.</source>
        <translation>%1 entfernt.</translation>
    </message>
    <message>
        <source>Some Templates Were Not Removed</source>
        <translation>Einige Vorlagen wurden nicht entfernt</translation>
    </message>
    <message>
        <source>Templates Deleted</source>
        <translation>Vorlagen gelöscht</translation>
    </message>
    <message>
        <source>Their volume has no Trash, so they were deleted.</source>
        <translation>Ihr Volume hat keinen Papierkorb, daher wurden sie gelöscht.</translation>
    </message>
    <message>
        <source>Verifying templates…</source>
        <translation>Vorlagen werden geprüft …</translation>
    </message>
    <message>
        <source>Installed</source>
        <translation>Installiert</translation>
    </message>
    <message>
        <source>Recently Removed</source>
        <translation>Zuletzt entfernt</translation>
    </message>
    <message>
        <source>Templates sent to the Trash from this folder, by this application or mtzip, that can be put back</source>
        <translation>Vorlagen, die dieses Programm oder mtzip aus diesem Ordner in den Papierkorb gelegt hat und die sich zurücklegen lassen</translation>
    </message>
    <message>
        <source>Put the selected templates back where they were removed from</source>
        <translation>Die ausgewählten Vorlagen dorthin zurücklegen, wo sie entfernt wurden</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Zurücklegen</translation>
    </message>
    <message>
        <source>Looking for removed templates…</source>
        <translation>Entfernte Vorlagen werden gesucht …</translation>
    </message>
    <message>
        <source>%1 in the Trash</source>
        <translation>%1 im Papierkorb</translation>
    </message>
    <message>
        <source>Nothing was removed recently.

Templates you remove go to the Trash and are listed here until it is emptied.</source>
        <translation>Zuletzt wurde nichts entfernt.

Vorlagen, die Sie entfernen, kommen in den Papierkorb und stehen hier, bis er geleert wird.</translation>
    </message>
    <message>
        <source>Restoring “%1”…</source>
        <translation>„%1“ wird zurückgelegt …</translation>
    </message>
    <message>
        <source>Restoring %1 templates…</source>
        <translation>%1 Vorlagen werden zurückgelegt …</translation>
    </message>
    <message>
        <source>“%1” Could Not Be Restored</source>
        <translation>„%1“ konnte nicht zurückgelegt werden</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>%1 restored.</source>
        <translation>%1 zurückgelegt.</translation>
    </message>
    <message>
        <source>“%1”: %2</source>
        <translation>„%1“: %2</translation>
    </message>
    <message>
        <source>…and %1 more.</source>
        <translation>… und %1 weitere.</translation>
    </message>
    <message>
        <source>Some Templates Could Not Be Restored</source>
        <translation>Einige Vorlagen konnten nicht zurückgelegt werden</translation>
    </message>
    <message>
        <source>Hide from Final Cut Pro</source>
        <translation>In Final Cut Pro ausblenden</translation>
    </message>
    <message>
        <source>Final Cut Pro&apos;s browser no longer lists the template; projects that use it still play it</source>
        <translation>Der Browser von Final Cut Pro listet die Vorlage nicht mehr; Projekte, die sie verwenden, spielen sie weiterhin ab</translation>
    </message>
    <message>
        <source>Show in Final Cut Pro</source>
        <translation>In Final Cut Pro einblenden</translation>
    </message>
    <message>
        <source>Final Cut Pro&apos;s browser lists the template again</source>
        <translation>Der Browser von Final Cut Pro listet die Vorlage wieder</translation>
    </message>
    <message>
        <source>&amp;Templates</source>
        <translation>&amp;Vorlagen</translation>
    </message>
    <message>
        <source>Templates Removed</source>
        <translation>Vorlagen entfernt</translation>
    </message>
    <message>
        <source>Hiding templates…</source>
        <translation>Vorlagen werden ausgeblendet …</translation>
    </message>
    <message>
        <source>Showing templates…</source>
        <translation>Vorlagen werden eingeblendet …</translation>
    </message>
    <message>
        <source>%1 hidden.</source>
        <translation>%1 ausgeblendet.</translation>
    </message>
    <message>
        <source>%1 shown again.</source>
        <translation>%1 wieder eingeblendet.</translation>
    </message>
    <message>
        <source>Some Templates Were Not Hidden</source>
        <translation>Einige Vorlagen wurden nicht ausgeblendet</translation>
    </message>
    <message>
        <source>Some Templates Were Not Shown</source>
        <translation>Einige Vorlagen wurden nicht eingeblendet</translation>
    </message>
    <message>
        <source>Templates Hidden</source>
        <translation>Vorlagen ausgeblendet</translation>
    </message>
    <message>
        <source>Templates Shown</source>
        <translation>Vorlagen eingeblendet</translation>
    </message>
</context>
<context>
    <name>TemplateMarks</name>
    <message>
        <source>%1 (and %2 more)</source>
        <translation>%1 (und %2 weitere)</translation>
    </message>
    <message>
        <source>a Final Cut Pro newer than %1</source>
        <translation>ein Final Cut Pro neuer als %1</translation>
    </message>
    <message>
        <source>Final Cut Pro %1 or later</source>
        <translation>Final Cut Pro %1 oder neuer</translation>
    </message>
    <message>
        <source>Needs a Final Cut Pro newer than %1; this Mac has %2</source>
        <translation>Benötigt ein Final Cut Pro neuer als %1; dieser Mac hat %2</translation>
    </message>
    <message>
        <source>Needs Final Cut Pro %1 or later; this Mac has %2</source>
        <translation>Benötigt Final Cut Pro %1 oder neuer; dieser Mac hat %2</translation>
    </message>
    <message>
        <source>Details unavailable: %1</source>
        <translation>Details nicht verfügbar: %1</translation>
    </message>
    <message>
        <source>Needs the plug-in %1</source>
        <translation>Benötigt das Plug-in %1</translation>
    </message>
    <message>
        <source>Needs the plug-ins %1</source>
        <translation>Benötigt die Plug-ins %1</translation>
    </message>
    <message>
        <source>Media missing: %1</source>
        <translation>Fehlende Medien: %1</translation>
    </message>
    <message>
        <source>Hidden from Final Cut Pro&apos;s browser</source>
        <translation>Im Browser von Final Cut Pro ausgeblendet</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>Unavailable: %1</source>
        <translation>Nicht verfügbar: %1</translation>
    </message>
    <message>
        <source>Resolution</source>
        <translation>Auflösung</translation>
    </message>
    <message>
        <source>%1 x %2</source>
        <translation>%1 × %2</translation>
    </message>
    <message>
        <source>Frame rate</source>
        <translation>Bildrate</translation>
    </message>
    <message>
        <source>%1 fps</source>
        <translation>%1 B/s</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Dauer</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>Needs %1</source>
        <translation>Benötigt %1</translation>
    </message>
    <message>
        <source>Requirement</source>
        <translation>Voraussetzung</translation>
    </message>
    <message>
        <source>Saved by</source>
        <translation>Gesichert mit</translation>
    </message>
    <message>
        <source>Motion %1</source>
        <translation>Motion %1</translation>
    </message>
    <message>
        <source>Theme</source>
        <translation>Thema</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Beschreibung</translation>
    </message>
    <message>
        <source>Hidden</source>
        <translation>Ausgeblendet</translation>
    </message>
    <message>
        <source>Parameters</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>Plug-ins</source>
        <translation>Plug-ins</translation>
    </message>
    <message>
        <source>Missing media</source>
        <translation>Fehlende Medien</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Hinweis</translation>
    </message>
    <message>
        <source>The document is longer than what was read: plug-ins and media may be incomplete.</source>
        <translation>Das Dokument ist länger als der gelesene Teil: Plug-ins und Medien sind womöglich unvollständig.</translation>
    </message>
</context>
<context>
    <name>TemplateTransaction</name>
    <message>
        <source>Restoring the templates folder as it was…</source>
        <translation>Der Vorlagenordner wird wiederhergestellt …</translation>
    </message>
    <message>
        <source>&quot;%1&quot;: replaced by something else while it was being installed</source>
        <translation>„%1“: während der Installation durch etwas anderes ersetzt</translation>
    </message>
    <message>
        <source>Putting the templates back…</source>
        <translation>Die Vorlagen werden zurückgelegt …</translation>
    </message>
    <message>
        <source>&apos;%1&apos; could not be moved to the Trash.</source>
        <translation>„%1“ konnte nicht in den Papierkorb gelegt werden.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; could not be put back; it is kept in %2.</source>
        <translation>„%1“ konnte nicht zurückgelegt werden; es liegt weiter in %2.</translation>
    </message>
</context>
<context>
    <name>TemplateVerificationDialog</name>
    <message>
        <source>Verify Templates</source>
        <translation>Vorlagen prüfen</translation>
    </message>
    <message>
        <source>Template or file</source>
        <translation>Vorlage oder Datei</translation>
    </message>
    <message>
        <source>Finding</source>
        <translation>Befund</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message numerus="yes">
        <source>%n missing</source>
        <translation>
            <numerusform>%n fehlt</numerusform>
            <numerusform>%n fehlen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n changed</source>
        <translation>
            <numerusform>%n geändert</numerusform>
            <numerusform>%n geändert</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n added</source>
        <translation>
            <numerusform>%n hinzugefügt</numerusform>
            <numerusform>%n hinzugefügt</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>intact, %n added</source>
        <translation>
            <numerusform>unverändert, %n hinzugefügt</numerusform>
            <numerusform>unverändert, %n hinzugefügt</numerusform>
        </translation>
    </message>
    <message>
        <source>intact</source>
        <translation>unverändert</translation>
    </message>
    <message>
        <source>no receipt to compare with</source>
        <translation>kein Beleg zum Vergleichen</translation>
    </message>
    <message>
        <source>missing</source>
        <translation>fehlt</translation>
    </message>
    <message>
        <source>changed</source>
        <translation>geändert</translation>
    </message>
    <message>
        <source>added</source>
        <translation>hinzugefügt</translation>
    </message>
    <message>
        <source>There are no templates to verify.</source>
        <translation>Es gibt keine Vorlagen zu prüfen.</translation>
    </message>
    <message>
        <source>No receipt records what was installed for this template, so there is nothing to compare it with.</source>
        <translation>Kein Beleg verzeichnet, was für diese Vorlage installiert wurde; es gibt nichts, womit sie sich vergleichen ließe.</translation>
    </message>
    <message>
        <source>No receipt records what was installed for these templates, so there is nothing to compare them with.</source>
        <translation>Kein Beleg verzeichnet, was für diese Vorlagen installiert wurde; es gibt nichts, womit sie sich vergleichen ließen.</translation>
    </message>
    <message>
        <source>Every template with a receipt is as it was installed.</source>
        <translation>Jede Vorlage mit Beleg ist so, wie sie installiert wurde.</translation>
    </message>
    <message>
        <source>The template has missing or changed files.</source>
        <translation>Der Vorlage fehlen Dateien oder Dateien wurden geändert.</translation>
    </message>
    <message>
        <source>%1 of %2 templates have missing or changed files.</source>
        <translation>Bei %1 von %2 Vorlagen fehlen Dateien oder wurden geändert.</translation>
    </message>
    <message>
        <source>1 of them has no receipt to compare with (installed by other means).</source>
        <translation>1 davon hat keinen Beleg zum Vergleichen (auf anderem Weg installiert).</translation>
    </message>
    <message>
        <source>%1 of them have no receipt to compare with (installed by other means).</source>
        <translation>%1 davon haben keinen Beleg zum Vergleichen (auf anderem Weg installiert).</translation>
    </message>
</context>
<context>
    <name>Trash</name>
    <message>
        <source>&quot;%1&quot; is no longer in the Trash.</source>
        <translation>„%1“ ist nicht mehr im Papierkorb.</translation>
    </message>
    <message>
        <source>Something else now stands at &apos;%1&apos;.</source>
        <translation>An „%1“ steht jetzt etwas anderes.</translation>
    </message>
</context>
<context>
    <name>ZipArchive</name>
    <message>
        <source>&quot;%1&quot; is not a zip archive, or it is damaged</source>
        <translation>„%1“ ist kein ZIP-Archiv oder es ist beschädigt</translation>
    </message>
    <message>
        <source>Cannot open &quot;%1&quot;: %2</source>
        <translation>„%1“ kann nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>it holds more than the %1 bytes its header declares</source>
        <translation>er enthält mehr als die %1 Byte, die sein Header angibt</translation>
    </message>
    <message>
        <source>it holds %1 of the %2 bytes its header declares</source>
        <translation>er enthält %1 der %2 Byte, die sein Header angibt</translation>
    </message>
    <message>
        <source>Entry &quot;%1&quot; is damaged: %2</source>
        <translation>Der Eintrag „%1“ ist beschädigt: %2</translation>
    </message>
    <message>
        <source>Cannot open entry &quot;%1&quot;: %2</source>
        <translation>Der Eintrag „%1“ kann nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: %2</source>
        <translation>„%1“ kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>Cannot create the folder &quot;%1&quot;: %2</source>
        <translation>Der Ordner „%1“ kann nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>Refused: entry &quot;%1&quot; would be written outside the destination folder</source>
        <translation>Abgelehnt: Der Eintrag „%1“ würde außerhalb des Zielordners geschrieben</translation>
    </message>
    <message>
        <source>Entry &quot;%1&quot; uses compression method %2, which cannot be decoded</source>
        <translation>Der Eintrag „%1“ verwendet die Komprimierungsmethode %2, die nicht dekodiert werden kann</translation>
    </message>
    <message>
        <source>Entry &quot;%1&quot; uses an encryption method that cannot be decoded</source>
        <translation>Der Eintrag „%1“ verwendet eine Verschlüsselungsmethode, die nicht entschlüsselt werden kann</translation>
    </message>
    <message>
        <source>Entry &quot;%1&quot; is encrypted and needs a password</source>
        <translation>Der Eintrag „%1“ ist verschlüsselt und benötigt ein Passwort</translation>
    </message>
    <message>
        <source>Refused: entry &quot;%1&quot; overlaps the data of entry &quot;%2&quot;</source>
        <translation>Abgelehnt: Der Eintrag „%1“ überlappt die Daten des Eintrags „%2“</translation>
    </message>
    <message>
        <source>Refused: cannot read the central directory of &quot;%1&quot; to check its entries for overlaps</source>
        <translation>Abgelehnt: Das zentrale Verzeichnis von „%1“ kann nicht gelesen werden, um seine Einträge auf Überlappungen zu prüfen</translation>
    </message>
    <message>
        <source>Not enough free space: unpacking needs %1, only %2 are available</source>
        <translation>Nicht genügend freier Speicherplatz: Das Entpacken benötigt %1, verfügbar sind nur %2</translation>
    </message>
    <message>
        <source>its data fail their authentication check</source>
        <translation>seine Daten bestehen die Echtheitsprüfung nicht</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is one part of an archive split into several files; join the parts into one file first</source>
        <translation>„%1“ ist ein Teil eines auf mehrere Dateien aufgeteilten Archivs; fügen Sie die Teile zuerst zu einer Datei zusammen</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is a symbolic link, and nothing is written through one</source>
        <translation>„%1“ ist ein symbolischer Link, und durch einen solchen wird nichts geschrieben</translation>
    </message>
</context>
</TS>
