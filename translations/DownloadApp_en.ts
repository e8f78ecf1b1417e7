<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>CFinishNotices</name>
    <message>
        <source>%1 downloaded</source>
        <translation>%1 downloaded</translation>
    </message>
    <message>
        <source>%1 downloads finished</source>
        <translation>%1 downloads finished</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Open folder</translation>
    </message>
    <message>
        <source>%1 failed to download</source>
        <translation>%1 failed to download</translation>
    </message>
    <message>
        <source>%1 downloads failed</source>
        <translation>%1 downloads failed</translation>
    </message>
</context>
<context>
    <name>CTaskCell</name>
    <message>
        <source>%1 bytes</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>%1 percent</source>
        <translation>%1 percent</translation>
    </message>
</context>
<context>
    <name>CTimeLeft</name>
    <message numerus="yes">
        <source>about %Ln min left</source>
        <translation>
            <numerusform>about %Ln min left</numerusform>
            <numerusform>about %Ln min left</numerusform>
        </translation>
    </message>
    <message>
        <source>less than a minute left</source>
        <translation>less than a minute left</translation>
    </message>
    <message numerus="yes">
        <source>about %Ln h left</source>
        <translation>
            <numerusform>about %Ln h left</numerusform>
            <numerusform>about %Ln h left</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>DownloadDoneWidget</name>
    <message>
        <source>DownloadDoneWidget</source>
        <translation>DownloadDoneWidget</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Open &amp;folder</translation>
    </message>
</context>
<context>
    <name>DownloadingWidget</name>
    <message>
        <source>DownloadingWidget</source>
        <translation>DownloadingWidget</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Open &amp;folder</translation>
    </message>
    <message>
        <source>record</source>
        <translation>record</translation>
    </message>
    <message>
        <source>picture</source>
        <translation>picture</translation>
    </message>
</context>
<context>
    <name>QDownloadCenter</name>
    <message>
        <source>QDownloadCenter</source>
        <translation>QDownloadCenter</translation>
    </message>
    <message>
        <source>Downloading</source>
        <translation>Do&amp;wnloading</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>D&amp;one</translation>
    </message>
    <message>
        <source>file download</source>
        <translation>F&amp;ile download</translation>
    </message>
    <message>
        <source>record download</source>
        <translation>&amp;Record download</translation>
    </message>
    <message>
        <source>The download history could not be read. It was set aside and a new one started.</source>
        <translation>The download history could not be read. It was set aside and a new one started.</translation>
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
        <translation>unknown size</translation>
    </message>
    <message>
        <source>no record selected!</source>
        <translation>No record selected.</translation>
    </message>
    <message>
        <source>File name</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>Shop</source>
        <translation>Shop</translation>
    </message>
    <message>
        <source>Begin time</source>
        <translation>Begin time</translation>
    </message>
    <message>
        <source>End time</source>
        <translation>End time</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>File Size</translation>
    </message>
    <message>
        <source>Done time</source>
        <translation>Done time</translation>
    </message>
    <message numerus="yes">
        <source>%LnHour</source>
        <translation>
            <numerusform>%Ln h </numerusform>
            <numerusform>%Ln h </numerusform>
        </translation>
    </message>
    <message>
        <source>Operate</source>
        <translation>Operate</translation>
    </message>
    <message numerus="yes">
        <source>%LnMinute</source>
        <translation>
            <numerusform>%Ln min </numerusform>
            <numerusform>%Ln min </numerusform>
        </translation>
    </message>
    <message>
        <source>delete</source>
        <translation>Delete</translation>
    </message>
    <message numerus="yes">
        <source>%LnSeconds</source>
        <translation>
            <numerusform>%Ln s</numerusform>
            <numerusform>%Ln s</numerusform>
        </translation>
    </message>
    <message>
        <source>Open file</source>
        <translation>Open file</translation>
    </message>
</context>
<context>
    <name>QDownloadListBase</name>
    <message>
        <source>Open folder</source>
        <translation>Open folder</translation>
    </message>
    <message>
        <source>Select all</source>
        <translation>Select all</translation>
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
        <translation>There is not enough free disk space. Please check.</translation>
    </message>
    <message>
        <source>Contiue-download</source>
        <translation>Continue download</translation>
    </message>
    <message>
        <source>File name</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>Shop</source>
        <translation>Shop</translation>
    </message>
    <message>
        <source>Begin time</source>
        <translation>Begin time</translation>
    </message>
    <message>
        <source>End time</source>
        <translation>End time</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>File Size</translation>
    </message>
    <message>
        <source>Percent</source>
        <translation>Percent</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Operate</source>
        <translation>Operate</translation>
    </message>
    <message>
        <source>picture</source>
        <translation>&amp;Pictures</translation>
    </message>
    <message>
        <source>record</source>
        <translation>Re&amp;cords</translation>
    </message>
    <message>
        <source>unkown size</source>
        <translation>unknown size</translation>
    </message>
    <message>
        <source>delete</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Speed-download</source>
        <translation>Download speed</translation>
    </message>
    <message>
        <source>you have new picture download task,please check for it!</source>
        <translation>You have a new picture download task. Please check it.</translation>
    </message>
    <message>
        <source>no record selected!</source>
        <translation>No record selected.</translation>
    </message>
    <message>
        <source>no file selected!</source>
        <translation>No file selected.</translation>
    </message>
    <message>
        <source>Re-download</source>
        <translation>Download again</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Notice</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>are you sure to delete selected file?</source>
        <translation>Are you sure you want to delete the selected file?</translation>
    </message>
    <message>
        <source>are you sure to delete selected files?</source>
        <translation>Are you sure you want to delete the selected files?</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>Decoding</source>
        <translation>Decoding</translation>
    </message>
    <message>
        <source>Downloading</source>
        <translation>Downloading</translation>
    </message>
    <message>
        <source>Waiting</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>are you sure to delete this downEvent?</source>
        <translation>Are you sure you want to delete this download?</translation>
    </message>
    <message>
        <source>This file being downloading, are you sure to delete?</source>
        <translation>This file is being downloaded. Are you sure you want to delete it?</translation>
    </message>
</context>
</TS>
