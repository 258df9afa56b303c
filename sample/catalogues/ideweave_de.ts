<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>ideweave Caption</name>
    <message>
        <source>Tindral for VisualC++ 6.0 Installation</source>
        <translation>Tindral für VisualC++ 6.0 – Installation</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Hinweis</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
</context>
<context>
    <name>ideweave Message</name>
    <message>
        <source>Corvessa Brackwater Tindral options installed</source>
        <translation>Corvessa Brackwater Tindral: Optionen installiert</translation>
    </message>
    <message>
        <source>Corvessa Brackwater Tindral options is not installed</source>
        <translation>Corvessa Brackwater Tindral: Optionen sind nicht installiert</translation>
    </message>
    <message>
        <source>Corvessa Brackwater Tindral options uninstalled</source>
        <translation>Corvessa Brackwater Tindral: Optionen deinstalliert</translation>
    </message>
    <message>
        <source>Corvessa Brackwater Tindral options is already installed</source>
        <translation>Corvessa Brackwater Tindral: Optionen sind bereits installiert</translation>
    </message>
    <message>
        <source>Corvessa Brackwater Tindral options usage : ideweave.exe -install | -uninstall</source>
        <translation>Corvessa Brackwater Tindral: Aufruf: ideweave.exe -install | -uninstall</translation>
    </message>
    <message>
        <source>Corvessa Brackwater Tindral Error #1</source>
        <translation>Corvessa Brackwater Tindral Fehler #1</translation>
    </message>
    <message>
        <source>Corvessa Brackwater Tindral Error #2</source>
        <translation>Corvessa Brackwater Tindral Fehler #2</translation>
    </message>
    <message>
        <source>TOO MANY TOOLS INSTALLED. 
 Free at least two spaces in the tools menu bar.</source>
        <translation>ZU VIELE WERKZEUGE INSTALLIERT. 
 Bitte mindestens zwei Plätze im Menü Extras freigeben.</translation>
    </message>
    <message>
        <source>Unable to open key for Visual</source>
        <translation>Der Schlüssel von Visual C++ lässt sich nicht öffnen</translation>
    </message>
    <message>
        <source>Unable to read Visual installation</source>
        <translation>Die Installation von Visual C++ lässt sich nicht lesen</translation>
    </message>
</context>
</TS>
