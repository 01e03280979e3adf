<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>BusyWidget</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DLP::BuildManager</name>
    <message>
        <source>Printing: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No OK: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 more replies were no acknowledgement</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>times: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Command given up for the cancel: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No printer is connected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print failed: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The job file %1 cannot be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The job file %1 is larger than %2 MB, more than a job holds</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The job file %1 is empty</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The printer was disconnected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reply is no acknowledgement: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The printer did not acknowledge %1 (written %2 times)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The job file %1 cannot be printed: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DeviceInterface</name>
    <message>
        <source>DeviceInterface</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configure</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move Z 1mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move Y 1mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move Z -1mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move Y -1mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move Z 10mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move Z -10mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move Y 10mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move Y -10mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No printer port found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Critical Error</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DlpCtlDialog</name>
    <message>
        <source>Dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Prnter Connection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connect to Usb Printer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Insert</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printer Control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Up/Down Motor(Z Axis)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Top Position</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bottom Position</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>+1mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-1mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>+10mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-10mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Debond Motor(Y Axis)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>+0.1mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-0.1mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate Motor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1℃</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>90℃</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>180℃</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>360℃</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>LED Ctrl</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Inside Led On/Off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Project LED Off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Project LED On</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>QPushButton { background-color: rgb(230, 0, 0); border-radius: 3px; color: rgb(255, 255, 255); }
QPushButton:hover { background-color: rgb(245, 69, 234); }</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Emergency Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Current</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(0~255)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set Current</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read Current</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ImageShow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mirror</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Long Side</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Short Side</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mirror Set</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>XY Exposure Adjust</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not Adjust</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>25um Reduce</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>50um Reduce</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>75um Reduce</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>100um Reduce</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Home  Adjust</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate Motors</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>0.0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>um</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Debond Motors</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Up/Down Motors</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Adjust Set</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Adjust Read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ver:Keravel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Pictures</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>*.png *.jpeg *.jpg *.bmp *.svg</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DlpSerialPort</name>
    <message>
        <source>InfoPortname: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Portname: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write M900 start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Return of M900: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No reply to M900, printer offline</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>M900 answered with an error, printer offline: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FirmWare Version: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write M701 start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Return of M701: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printer port lost: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Return of M701 longer than %1 bytes: light data refused</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DlpSliceBrowser</name>
    <message>
        <source>Dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>EditWidget</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>X</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Y</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Z</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Position:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotation:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>°</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scale:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Size:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lock</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clone</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reset</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Maximize</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ExportThread</name>
    <message>
        <source>1 layer picture left out (&quot;%1&quot;): the header of &quot;run.gcode&quot; counts %2 layers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 layer pictures left out (&quot;%2&quot; to &quot;%3&quot;): the header of &quot;run.gcode&quot; counts %4 layers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 other picture left out (%1): the layers are &quot;1.png&quot; to &quot;%2&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 other pictures left out (%2): the layers are &quot;1.png&quot; to &quot;%3&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>missing from the archive</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>too large</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot be read (damaged archive)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>preview dropped: &quot;%1&quot; %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>preview dropped: &quot;%1&quot;: image of %2 x %3 pixels at %4 bits needs %5 MB to convert, more than the %6 MB a conversion may use</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>preview dropped: &quot;%1&quot;: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FileChooser</name>
    <message>
        <source>%1 already exists. Replace it?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HelpDialog</name>
    <message>
        <source>Dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>VexmorSuite</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Web Link:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version: 1.37</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pellar10 Trouble Shooting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Videos of Operation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vexmor 3D Official Group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vexmor 3D Printer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please contact us at:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pellar30 Trouble Shooting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>In preparaion</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>NetUI</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printer Connection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>V0.09</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; color:#ff0000;&quot;&gt;Offline&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File transfer failed: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>OwnedFile</name>
    <message>
        <source>is not a regular file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>is a link to %1, which does not exist</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>is a link to %1, outside the folder %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>is a link to %1, which is not a regular file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2. It is neither read nor written; the program uses its defaults until it ends.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 cannot be read as a settings file and could not be set aside. It is left as it is; the program uses its defaults until it ends.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 could not be read as a settings file. It was kept as %2; the program starts from its defaults.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A settings file could not be saved: %1. The file is left as it was; the program goes on with the values it has until it ends.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1. %2 is read but not written; the program keeps its values in memory until it ends.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1. %2 is not written; the program keeps its values in memory until it ends.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2. It is not read; the program goes on without it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2. Qt&apos;s logging rules there are not read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>lies in %1 (a folder on its way is a link), outside the folder %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>lies in %1, a link to %2, which does not exist</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>is too large to be a settings file (%1 bytes)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 stays held by another program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2. It is not read; the support presets in %3 are read, but changes to them are not kept after the program ends.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2. It is not read; the documents, desktop and download folders are taken to be those in %3.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is too large to be a lock file (%2 bytes)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 cannot be opened (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is held by no running program but cannot be removed (%2)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PrintFile</name>
    <message>
        <source>Nothing to print.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the print file was written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>there are no sliced layers to write</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the printer resolution is not a usable frame size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the destination folder cannot be written to</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file could not be written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the finished file could not replace the destination</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a layer could not be rendered</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the job is too large for the vector file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No space left on the device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the destination exists and is not a regular file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the vector file and the layer-image file would have the same name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the destination is the file of a model on the plate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown error %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PrinterModels</name>
    <message>
        <source>Wrong printer! the source is a print file of machine code %1 (%2); %3 prints only files of its own code %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no known printer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the printer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Too tall to print! its %1 layers of %2 mm make %3 mm, more than the build height of %4, %5 mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The archive is made for %1 x %2 x %3 mm at %4 x %5 pixels; %6 builds %7 x %8 x %9 mm at %10 x %11 pixels.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Image setting does not match! the source is %1 x %2 pixels, %3 takes %4 x %5%6</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (image turned a quarter turn)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VEditRecipeWidget</name>
    <message>
        <source>Resin Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recipe Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recipe Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New Recipe</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Curing Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ms</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Burn-in Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stable Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Burn-in Range</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift Distance1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift Speed1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mm/min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift Distance2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift Speed2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The recipe file could not be written: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid recipe name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Overwrite Recipe </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recipe </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> can not be modified, please rename it!</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VFixWidget</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fix</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Defects</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Holes：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Non-manifold:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Inverted Normals:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fix completed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Checking the model: its defects are shown here as soon as the check ends.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VImportWidgetX</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Import File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Machine Type:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pellar10</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pellar30</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pellar120</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pellar4K</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pellar4Kmono</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File Format:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vexmor3D vxs files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ChiTuBox zip files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File Name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Import</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Layer Thickness:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recipe</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Curing Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ms</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Burn-in Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stable Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Burn-in Range</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift Distance1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift Speed1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mm/min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift Distance2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift Speed2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New / Edit Recipe</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete Recipe</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save Job</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete Recipe </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A conversion is still running.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File error: unknown format!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Wrong layer thickness!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Image setting does not match!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The converted file could not be written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The archive could not be opened.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The archive holds no readable &quot;run.gcode&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A layer of the archive is missing or damaged.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The archive&apos;s settings are out of range.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The source is not a readable print file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The source is a print file for another printer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The print is taller than the printer builds.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The conversion was not started.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing to print.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No layer of the file lights a pixel.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Value Out of Range</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The print file was written, but:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VPrintMsgBox</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The Job is Cancelling,wait please!</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VPrintWidget</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>S
e
t
t
i
n
g</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Material No.1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vexmor3d red</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Description</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>add red</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Duplicate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exposure Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ms</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stable Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Center Exposure Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bottom Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bottom Stable Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bottom High</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Penetration Depth</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>um</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift Distance1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift Speed1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mm/min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Debond Speed Normal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bottom Plate Layers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Layers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift Distance2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift Speed2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Z Retract Speed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Distance1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Speed1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Distance2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Speed2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Return Speed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Near Distance</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Near Offset</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Near Speed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate Circles</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Circle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate Speed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Circle/min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Light PWM(0~255）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>255</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Image Mirror</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Long Side</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Short Side</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AdjX</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AdjY</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AdjZ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Local Printer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Network Printer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>P
r
i
n
t
e
r</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TextLabel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search/Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Material</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exposure</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Z Motor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Y Debond</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Y Return</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Advance</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printer Select</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New Material</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Material Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Material illustration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can not delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sure to Delete this config</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Material Save Failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Current Dev:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printing Cancelled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printing Complete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File Transfer Complete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to Save File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File SaveComplete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slicing Data Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slicing again Please</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Network Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check the Network connection please</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connection Abnormal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>USB Cable abnormal,Check please</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Extern Display</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Projector Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check The Projector Please</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>G-code Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check the output folder please</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sure to Cancel Job</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the print settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Value Out of Range</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VSL3DScene</name>
    <message>
        <source>Model is out of range, please scale it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SVG Generator Slice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>An SVG drawing created by the SVG Generator </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a support or slice job is still running</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its layers are larger than the build area and were not scaled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its layer thickness differs from the plate&apos;s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is not a readable SLC file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it holds no layer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The system refused the threads support generation needs; it was stopped.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The system refused the threads slicing needs; nothing was sliced.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The system refused the threads slicing needs; the slice was stopped.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The plate needs %1 layers of %2 mm, but the printer&apos;s build height of %3 mm holds %4. Scale the model down or choose a thicker layer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The plate is %1 mm tall, more than the printer&apos;s build height of %2 mm. Scale the model down.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: its %2 layers of %3 mm make %4 mm, more than the printer&apos;s build height of %5 mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The SLC file&apos;s %1 layers make %2 mm, more than the printer&apos;s build height of %3 mm.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The layers of an SLC file cannot be tilted or scaled in height: move it, turn it about the vertical or scale it in X and Y only, or reset it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>an SLC file&apos;s layers are the whole print: open it on an empty plate</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VSLGLView</name>
    <message>
        <source>Error!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There are still holes on the model! Please try to use other professional software to fix it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There are still non-manifold on the model! Please try to use other professional software to fix it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There are still errors on the model! Please try to use other professional software to fix it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The model file is incomplete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Support generation stopped.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VSaveWidgetX</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recipe</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Curing Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ms</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Burn-in Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Burn-in Range</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift Distance1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift Speed1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mm/min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift Distance2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift Speed2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New / Edit Recipe</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete Recipe</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stable Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MachineType:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pellar120</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>LayerThickness:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>50 um</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save Job</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Prew</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Duplicate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Center Exposure Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Penetration Depth</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>um</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bottom Plate Layers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Layers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Z Retract Speed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Debond Speed Normal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Distance1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Speed1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Distance2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Speed2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Return Speed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Near Distance</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Near Offset</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Near Speed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate Circles</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Circle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate Speed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Circle/min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Light PWM(0~255）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>255</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Image Mirror</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Long Side</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Short Side</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AdjX</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AdjY</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AdjZ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Local Printer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Network Printer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete Recipe </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slicing Data Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slicing again Please</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connection Abnormal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>USB Cable abnormal,Check please</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Extern Display</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Projector Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check The Projector Please</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Network Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check the Network connection please</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>G-code Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check the output folder please</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Material Save Failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check the configuration folder please</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printing Cancelled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打印已取消</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printing Complete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打印结束</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File Transfer Complete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件传输结束</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to Save File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件保存失败</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File SaveComplete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件保存结束</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sure to Cancel Job</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>built-in recipe %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the print settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Value Out of Range</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printing Failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打印失败</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The print ended without a report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Material</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exposure</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Z Motor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Y Debond</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Y Return</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Advance</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printer Select</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VSliceWidget</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Thickness Setting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>100um</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Advanced Setting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plate Layers：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Thickness</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>50um</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Duplicate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not Sliced</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slicing Image Preview</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Layer：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>NA</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VSliceWidgetX</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Thickness</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>50um</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plate Layers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Layer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not Sliced</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Duplicate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>NA</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sliced</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>N/A</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VSlicingMsgBox</name>
    <message>
        <source>Dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slicing,Wait Please</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No Slicing Data,Slicing again Please</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VSupportWidget</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Support</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Automatic Support</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Density</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Low    Middle     Large</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Attaching Point</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Support All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Support Selected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Manual Support</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Left click on the model to add a support manually</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete Support</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>left click on the support to delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete for selected model</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete for all models</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VSupportWidgetEditX</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VSupportWidgetX</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Support</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All Models</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Generate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Density</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Attaching Point</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shaft Diameter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift Distance</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Default</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Model Selected</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Vexmor</name>
    <message>
        <source>Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Loading model file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Saving slice file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Generating supports</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slicing the scene</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please slice before saving the job!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slc File is Loaded,Cannot accept new model</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open File Failed,check model please</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The model is in use by a running job.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slicing cannot start now.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A settings file was not used as it is.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The model file is incomplete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slicing stopped.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 models stand partly or wholly off the build plate, or their supports do: what lies outside it is not printed, and what stands on a support cut there starts in mid-air. Move or scale them onto the plate, or generate their supports again there, to print them whole.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Some models leave the build plate.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Regions resting on nothing in the layer below them: %1 in the models, %2 in their supports. The lowest is at layer %3, in %4. They cure loose in the resin, or not where they are drawn. Generate supports for that model, or turn it so that those regions face up, before printing.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Some regions start in mid-air.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No layer was sliced: the models on the plate are lower than one layer. Scale them up or choose thinner layers.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing to print.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Checking the model</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>VexmorClass</name>
    <message>
        <source>VexmorClass</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pellar10</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Import file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete selected model</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printer Control</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ViewControlFrame</name>
    <message>
        <source>Frame</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>WebForm</name>
    <message>
        <source>Pellar120</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scan LCD devices</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ClearCache</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>bridge</name>
    <message>
        <source>Qt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;h3&gt;About Qt&lt;/h3&gt;&lt;p&gt;This program uses Qt version %1.&lt;/p&gt;</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>frmDLP</name>
    <message>
        <source>frmDLP</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GreyTestFinal data file missing!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No Light Engine Parameters Loaded!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Machine data file missing!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Light engine data invalid: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No memory for a %1 x %2 layer image</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>frmDeviceInterfaceSettings</name>
    <message>
        <source>frmDeviceInterfaceSettings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printer Select</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>X-Size(mm)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>98</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Y-Size(mm)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>55</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Z-Height(mm)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>150</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>X Resolution</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>854</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Y Resolution</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>480</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Language</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1.37</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>English</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please exit the program to apply the language setting!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The printer settings could not be saved; they hold until the program ends.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>frmSliceOptions</name>
    <message>
        <source>frmSliceOptions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slice Configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slice Thickness (mm)        </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exposure Configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exposure Time Per Layer (ms)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bottom Exposure Time (ms)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Number of Bottom Layers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lift and Tilt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Z Lift Distance (mm)        </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Z Lift Speed (mm/s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Z Retract Speed (mm/s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Distance1 (mm)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Speed1 (mm/s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Distance2 (mm)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Speed2 (mm/s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tilt Retract Speed (mm/s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export Image Slices</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export SVG Slices</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>layoutools</name>
    <message>
        <source>Translate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Translate selected Model</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate selected Model</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scale selected model</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>navbar</name>
    <message>
        <source>Load Model</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Edit Model</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fix Model</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Support Model</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slice Model</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save Job</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
