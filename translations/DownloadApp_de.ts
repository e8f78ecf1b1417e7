<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CFinishNotices</name>
    <message>
        <source>%1 downloaded</source>
        <translation>%1 heruntergeladen</translation>
    </message>
    <message>
        <source>%1 downloads finished</source>
        <translation>%1 Downloads fertig</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Ordner öffnen</translation>
    </message>
    <message>
        <source>%1 failed to download</source>
        <translation>%1 konnte nicht heruntergeladen werden</translation>
    </message>
    <message>
        <source>%1 downloads failed</source>
        <translation>%1 Downloads fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>CTaskCell</name>
    <message>
        <source>%1 bytes</source>
        <translation>%1 Bytes</translation>
    </message>
    <message>
        <source>%1 percent</source>
        <translation>%1 Prozent</translation>
    </message>
</context>
<context>
    <name>CTimeLeft</name>
    <message numerus="yes">
        <source>about %Ln min left</source>
        <translation>
            <numerusform>etwa %Ln min übrig</numerusform>
            <numerusform>etwa %Ln min übrig</numerusform>
        </translation>
    </message>
    <message>
        <source>less than a minute left</source>
        <translation>weniger als eine Minute übrig</translation>
    </message>
    <message numerus="yes">
        <source>about %Ln h left</source>
        <translation>
            <numerusform>etwa %Ln h übrig</numerusform>
            <numerusform>etwa %Ln h übrig</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>DownloadDoneWidget</name>
    <message>
        <source>DownloadDoneWidget</source>
        <translation>Abgeschlossene Downloads</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Lö&amp;schen</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>&amp;Ordner öffnen</translation>
    </message>
</context>
<context>
    <name>DownloadingWidget</name>
    <message>
        <source>DownloadingWidget</source>
        <translation>Laufende Downloads</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Lö&amp;schen</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>&amp;Ordner öffnen</translation>
    </message>
    <message>
        <source>record</source>
        <translation>Aufnahmen</translation>
    </message>
    <message>
        <source>picture</source>
        <translation>Bilder</translation>
    </message>
</context>
<context>
    <name>QDownloadCenter</name>
    <message>
        <source>QDownloadCenter</source>
        <translation>Download-Center</translation>
    </message>
    <message>
        <source>Downloading</source>
        <translation>&amp;Laufend</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>&amp;Fertig</translation>
    </message>
    <message>
        <source>file download</source>
        <translation>Da&amp;teien</translation>
    </message>
    <message>
        <source>record download</source>
        <translation>&amp;Aufnahmen</translation>
    </message>
    <message>
        <source>The download history could not be read. It was set aside and a new one started.</source>
        <translation>Der Download-Verlauf konnte nicht gelesen werden. Er wurde beiseitegelegt und ein neuer begonnen.</translation>
    </message>
</context>
<context>
    <name>QDownloadDoneWidget</name>
    <message>
        <source>ProductName</source>
        <translation>%1</translation>
    </message>
    <message>
        <source>unkown size</source>
        <translation>unbekannt</translation>
    </message>
    <message>
        <source>no record selected!</source>
        <translation>Kein Eintrag ausgewählt!</translation>
    </message>
    <message>
        <source>File name</source>
        <translation>Dateiname</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>Kanal</translation>
    </message>
    <message>
        <source>Shop</source>
        <translation>Filiale</translation>
    </message>
    <message>
        <source>Begin time</source>
        <translation>Beginn</translation>
    </message>
    <message>
        <source>End time</source>
        <translation>Ende</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>Dateigröße</translation>
    </message>
    <message>
        <source>Done time</source>
        <translation>Dauer</translation>
    </message>
    <message numerus="yes">
        <source>%LnHour</source>
        <translation>
            <numerusform>%Ln Std. </numerusform>
            <numerusform>%Ln Std. </numerusform>
        </translation>
    </message>
    <message>
        <source>Operate</source>
        <translation>Aktion</translation>
    </message>
    <message numerus="yes">
        <source>%LnMinute</source>
        <translation>
            <numerusform>%Ln Min. </numerusform>
            <numerusform>%Ln Min. </numerusform>
        </translation>
    </message>
    <message>
        <source>delete</source>
        <translation>Löschen</translation>
    </message>
    <message numerus="yes">
        <source>%LnSeconds</source>
        <translation>
            <numerusform>%Ln Sek.</numerusform>
            <numerusform>%Ln Sek.</numerusform>
        </translation>
    </message>
    <message>
        <source>Open file</source>
        <translation>Datei öffnen</translation>
    </message>
</context>
<context>
    <name>QDownloadListBase</name>
    <message>
        <source>Open folder</source>
        <translation>Ordner öffnen</translation>
    </message>
    <message>
        <source>Select all</source>
        <translation>Alle auswählen</translation>
    </message>
</context>
<context>
    <name>QDownloadingWidget</name>
    <message>
        <source>ProductName</source>
        <translation>%1</translation>
    </message>
    <message>
        <source>the disk free space is not enough,please cheak for it</source>
        <translation>Nicht genügend freier Speicherplatz. Bitte prüfen Sie den Datenträger.</translation>
    </message>
    <message>
        <source>Contiue-download</source>
        <translation>Download fortsetzen</translation>
    </message>
    <message>
        <source>File name</source>
        <translation>Dateiname</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>Kanal</translation>
    </message>
    <message>
        <source>Shop</source>
        <translation>Filiale</translation>
    </message>
    <message>
        <source>Begin time</source>
        <translation>Beginn</translation>
    </message>
    <message>
        <source>End time</source>
        <translation>Ende</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>Dateigröße</translation>
    </message>
    <message>
        <source>Percent</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Tempo</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Operate</source>
        <translation>Aktion</translation>
    </message>
    <message>
        <source>picture</source>
        <translation>&amp;Bilder</translation>
    </message>
    <message>
        <source>record</source>
        <translation>Aufnah&amp;men</translation>
    </message>
    <message>
        <source>unkown size</source>
        <translation>unbekannt</translation>
    </message>
    <message>
        <source>delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Speed-download</source>
        <translation>Download beschleunigen</translation>
    </message>
    <message>
        <source>you have new picture download task,please check for it!</source>
        <translation>Ein neuer Bild-Download wurde hinzugefügt. Bitte prüfen Sie ihn!</translation>
    </message>
    <message>
        <source>no record selected!</source>
        <translation>Keine Aufnahme ausgewählt!</translation>
    </message>
    <message>
        <source>no file selected!</source>
        <translation>Keine Datei ausgewählt!</translation>
    </message>
    <message>
        <source>Re-download</source>
        <translation>Erneut herunterladen</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Notice</source>
        <translation>Hinweis</translation>
    </message>
    <message>
        <source>are you sure to delete selected file?</source>
        <translation>Möchten Sie die ausgewählte Datei wirklich löschen?</translation>
    </message>
    <message>
        <source>are you sure to delete selected files?</source>
        <translation>Möchten Sie die ausgewählten Dateien wirklich löschen?</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <source>Decoding</source>
        <translation>Wird dekodiert</translation>
    </message>
    <message>
        <source>Downloading</source>
        <translation>Wird geladen</translation>
    </message>
    <message>
        <source>Waiting</source>
        <translation>Wartet</translation>
    </message>
    <message>
        <source>are you sure to delete this downEvent?</source>
        <translation>Möchten Sie diesen Download wirklich löschen?</translation>
    </message>
    <message>
        <source>This file being downloading, are you sure to delete?</source>
        <translation>Diese Datei wird gerade heruntergeladen. Möchten Sie sie wirklich löschen?</translation>
    </message>
</context>
</TS>
