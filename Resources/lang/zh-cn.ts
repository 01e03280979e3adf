<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="zh_CN">
<context>
    <name>BusyWidget</name>
    <message>
        <source>Form</source>
        <translation type="unfinished">Form</translation>
    </message>
</context>
<context>
    <name>DLP::BuildManager</name>
    <message>
        <source>Printing: %1</source>
        <translation>正在打印: %1</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>No OK: %1</source>
        <translation>未收到OK: %1</translation>
    </message>
    <message>
        <source>%1 more replies were no acknowledgement</source>
        <translation>另有 %1 条回复不是确认</translation>
    </message>
    <message>
        <source>times: </source>
        <translation>次数: </translation>
    </message>
    <message>
        <source>Command given up for the cancel: %1</source>
        <translation>因取消而放弃命令: %1</translation>
    </message>
    <message>
        <source>No printer is connected</source>
        <translation>未连接打印机</translation>
    </message>
    <message>
        <source>Print failed: %1</source>
        <translation>打印失败: %1</translation>
    </message>
    <message>
        <source>The job file %1 cannot be read</source>
        <translation>无法读取任务文件 %1</translation>
    </message>
    <message>
        <source>The job file %1 is larger than %2 MB, more than a job holds</source>
        <translation>任务文件 %1 大于 %2 MB，超出任务可有的大小</translation>
    </message>
    <message>
        <source>The job file %1 is empty</source>
        <translation>任务文件 %1 为空</translation>
    </message>
    <message>
        <source>The printer was disconnected</source>
        <translation>打印机已断开连接</translation>
    </message>
    <message>
        <source>Reply is no acknowledgement: %1</source>
        <translation>应答不是确认: %1</translation>
    </message>
    <message>
        <source>The printer did not acknowledge %1 (written %2 times)</source>
        <translation>打印机未确认 %1（已发送 %2 次）</translation>
    </message>
    <message>
        <source>The job file %1 cannot be printed: %2</source>
        <translation>任务文件 %1 无法打印：%2</translation>
    </message>
</context>
<context>
    <name>DeviceInterface</name>
    <message>
        <source>DeviceInterface</source>
        <translation>DeviceInterface</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>断开</translation>
    </message>
    <message>
        <source>Configure</source>
        <translation>配置</translation>
    </message>
    <message>
        <source>Move Z 1mm</source>
        <translation>Z轴 1mm</translation>
    </message>
    <message>
        <source>Move Y 1mm</source>
        <translation>Y轴 1mm</translation>
    </message>
    <message>
        <source>Move Z -1mm</source>
        <translation>Z轴 -1mm</translation>
    </message>
    <message>
        <source>Move Y -1mm</source>
        <translation>Y轴 -1mm</translation>
    </message>
    <message>
        <source>Move Z 10mm</source>
        <translation>Z轴 10mm</translation>
    </message>
    <message>
        <source>Move Z -10mm</source>
        <translation>Z轴 -10mm</translation>
    </message>
    <message>
        <source>Move Y 10mm</source>
        <translation>Y轴 10mm</translation>
    </message>
    <message>
        <source>Move Y -10mm</source>
        <translation>Y轴 -10mm</translation>
    </message>
    <message>
        <source>No printer port found</source>
        <translation>未找到打印机端口</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>已断开</translation>
    </message>
    <message>
        <source>Critical Error</source>
        <translation>严重错误</translation>
    </message>
</context>
<context>
    <name>DlpCtlDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>Prnter Connection</source>
        <translation>打印机连接</translation>
    </message>
    <message>
        <source>Connect to Usb Printer</source>
        <translation>连接USB打印机</translation>
    </message>
    <message>
        <source>Insert</source>
        <translation>已插入</translation>
    </message>
    <message>
        <source>Printer Control</source>
        <translation>打印机控制</translation>
    </message>
    <message>
        <source>Up/Down Motor(Z Axis)</source>
        <translation>升降电机(Z轴)</translation>
    </message>
    <message>
        <source>Top Position</source>
        <translation>顶部位置</translation>
    </message>
    <message>
        <source>Bottom Position</source>
        <translation>底部位置</translation>
    </message>
    <message>
        <source>+1mm</source>
        <translation>+1mm</translation>
    </message>
    <message>
        <source>-1mm</source>
        <translation>-1mm</translation>
    </message>
    <message>
        <source>+10mm</source>
        <translation>+10mm</translation>
    </message>
    <message>
        <source>-10mm</source>
        <translation>-10mm</translation>
    </message>
    <message>
        <source>Debond Motor(Y Axis)</source>
        <translation>脱模电机(Y轴)</translation>
    </message>
    <message>
        <source>+0.1mm</source>
        <translation>+0.1mm</translation>
    </message>
    <message>
        <source>-0.1mm</source>
        <translation>-0.1mm</translation>
    </message>
    <message>
        <source>Rotate Motor</source>
        <translation>旋转电机</translation>
    </message>
    <message>
        <source>1℃</source>
        <translation>1℃</translation>
    </message>
    <message>
        <source>90℃</source>
        <translation>90℃</translation>
    </message>
    <message>
        <source>180℃</source>
        <translation>180℃</translation>
    </message>
    <message>
        <source>360℃</source>
        <translation>360℃</translation>
    </message>
    <message>
        <source>LED Ctrl</source>
        <translation>LED控制</translation>
    </message>
    <message>
        <source>Inside Led On/Off</source>
        <translation>内部LED开/关</translation>
    </message>
    <message>
        <source>Project LED Off</source>
        <translation>投影LED关</translation>
    </message>
    <message>
        <source>Project LED On</source>
        <translation>投影LED开</translation>
    </message>
    <message>
        <source>QPushButton { background-color: rgb(230, 0, 0); border-radius: 3px; color: rgb(255, 255, 255); }
QPushButton:hover { background-color: rgb(245, 69, 234); }</source>
        <translation>QPushButton { background-color: rgb(230, 0, 0); border-radius: 3px; color: rgb(255, 255, 255); }
QPushButton:hover { background-color: rgb(245, 69, 234); }</translation>
    </message>
    <message>
        <source>Emergency Stop</source>
        <translation>紧急停止</translation>
    </message>
    <message>
        <source>Current</source>
        <translation>电流</translation>
    </message>
    <message>
        <source>(0~255)</source>
        <translation>(0~255)</translation>
    </message>
    <message>
        <source>Set Current</source>
        <translation>设置电流</translation>
    </message>
    <message>
        <source>Read Current</source>
        <translation>读取电流</translation>
    </message>
    <message>
        <source>ImageShow</source>
        <translation>显示图像</translation>
    </message>
    <message>
        <source>Mirror</source>
        <translation>镜像</translation>
    </message>
    <message>
        <source>Long Side</source>
        <translation>长边</translation>
    </message>
    <message>
        <source>Short Side</source>
        <translation>短边</translation>
    </message>
    <message>
        <source>Mirror Set</source>
        <translation>镜像设置</translation>
    </message>
    <message>
        <source>XY Exposure Adjust</source>
        <translation>XY曝光调整</translation>
    </message>
    <message>
        <source>Not Adjust</source>
        <translation>不调整</translation>
    </message>
    <message>
        <source>25um Reduce</source>
        <translation>减少25um</translation>
    </message>
    <message>
        <source>50um Reduce</source>
        <translation>减少50um</translation>
    </message>
    <message>
        <source>75um Reduce</source>
        <translation>减少75um</translation>
    </message>
    <message>
        <source>100um Reduce</source>
        <translation>减少100um</translation>
    </message>
    <message>
        <source>Home  Adjust</source>
        <translation>原点调整</translation>
    </message>
    <message>
        <source>Rotate Motors</source>
        <translation>旋转电机</translation>
    </message>
    <message>
        <source>0.0</source>
        <translation>0.0</translation>
    </message>
    <message>
        <source>um</source>
        <translation>um</translation>
    </message>
    <message>
        <source>Debond Motors</source>
        <translation>脱模电机</translation>
    </message>
    <message>
        <source>Up/Down Motors</source>
        <translation>升降电机</translation>
    </message>
    <message>
        <source>Adjust Set</source>
        <translation>设置调整</translation>
    </message>
    <message>
        <source>Adjust Read</source>
        <translation>读取调整</translation>
    </message>
    <message>
        <source>Ver:Keravel</source>
        <translation>Ver:Keravel</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Open Pictures</source>
        <translation>打开图片</translation>
    </message>
    <message>
        <source>*.png *.jpeg *.jpg *.bmp *.svg</source>
        <translation>*.png *.jpeg *.jpg *.bmp *.svg</translation>
    </message>
</context>
<context>
    <name>DlpSerialPort</name>
    <message>
        <source>InfoPortname: </source>
        <translation>端口信息名: </translation>
    </message>
    <message>
        <source>Portname: </source>
        <translation>端口名: </translation>
    </message>
    <message>
        <source>Write M900 start</source>
        <translation>开始写入M900</translation>
    </message>
    <message>
        <source>Return of M900: </source>
        <translation>M900返回: </translation>
    </message>
    <message>
        <source>No reply to M900, printer offline</source>
        <translation>M900无应答，打印机离线</translation>
    </message>
    <message>
        <source>M900 answered with an error, printer offline: %1</source>
        <translation>M900应答错误，打印机离线：%1</translation>
    </message>
    <message>
        <source>FirmWare Version: %1</source>
        <translation>固件版本: %1</translation>
    </message>
    <message>
        <source>Write M701 start</source>
        <translation>开始写入M701</translation>
    </message>
    <message>
        <source>Return of M701: </source>
        <translation>M701返回: </translation>
    </message>
    <message>
        <source>Printer port lost: %1</source>
        <translation>打印机端口丢失: %1</translation>
    </message>
    <message>
        <source>Return of M701 longer than %1 bytes: light data refused</source>
        <translation>M701返回超过 %1 字节：光机数据被拒绝</translation>
    </message>
</context>
<context>
    <name>DlpSliceBrowser</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
</context>
<context>
    <name>EditWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>模型编辑</translation>
    </message>
    <message>
        <source>X</source>
        <translation>X</translation>
    </message>
    <message>
        <source>Y</source>
        <translation>Y</translation>
    </message>
    <message>
        <source>Z</source>
        <translation>Z</translation>
    </message>
    <message>
        <source>Position:</source>
        <translation>        平移</translation>
    </message>
    <message>
        <source>Rotation:</source>
        <translation>        旋转</translation>
    </message>
    <message>
        <source>°</source>
        <translation>°</translation>
    </message>
    <message>
        <source>Scale:</source>
        <translation>        缩放</translation>
    </message>
    <message>
        <source>Size:</source>
        <translation>        尺寸</translation>
    </message>
    <message>
        <source>Lock</source>
        <translation>Lock</translation>
    </message>
    <message>
        <source>Clone</source>
        <translation>克隆</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>重置</translation>
    </message>
    <message>
        <source>Maximize</source>
        <translation>最大化</translation>
    </message>
</context>
<context>
    <name>ExportThread</name>
    <message>
        <source>1 layer picture left out ("%1"): the header of "run.gcode" counts %2 layers</source>
        <translation>有 1 张层图片未转换（“%1”）：“run.gcode”的文件头只计 %2 层</translation>
    </message>
    <message>
        <source>%1 layer pictures left out ("%2" to "%3"): the header of "run.gcode" counts %4 layers</source>
        <translation>有 %1 张层图片未转换（“%2”至“%3”）：“run.gcode”的文件头只计 %4 层</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>另有 %1 张</translation>
    </message>
    <message>
        <source>1 other picture left out (%1): the layers are "1.png" to "%2"</source>
        <translation>有 1 张其他图片未转换（%1）：层图片为“1.png”至“%2”</translation>
    </message>
    <message>
        <source>%1 other pictures left out (%2): the layers are "1.png" to "%3"</source>
        <translation>有 %1 张其他图片未转换（%2）：层图片为“1.png”至“%3”</translation>
    </message>
    <message>
        <source>missing from the archive</source>
        <translation>在压缩包中缺失</translation>
    </message>
    <message>
        <source>too large</source>
        <translation>过大</translation>
    </message>
    <message>
        <source>cannot be read (damaged archive)</source>
        <translation>无法读取（压缩包已损坏）</translation>
    </message>
    <message>
        <source>preview dropped: "%1" %2</source>
        <translation>已舍弃预览图：“%1” %2</translation>
    </message>
    <message>
        <source>preview dropped: "%1": image of %2 x %3 pixels at %4 bits needs %5 MB to convert, more than the %6 MB a conversion may use</source>
        <translation>已舍弃预览图：“%1”：%2 x %3 像素、%4 位的图像转换需要 %5 MB，超过一次转换可用的 %6 MB</translation>
    </message>
    <message>
        <source>preview dropped: "%1": %2</source>
        <translation>已舍弃预览图：“%1”：%2</translation>
    </message>
</context>
<context>
    <name>FileChooser</name>
    <message>
        <source>%1 already exists. Replace it?</source>
        <translation>%1 已存在。是否替换？</translation>
    </message>
</context>
<context>
    <name>HelpDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>VexmorSuite</source>
        <translation>VexmorSuite</translation>
    </message>
    <message>
        <source>Web Link:</source>
        <translation>网页链接：</translation>
    </message>
    <message>
        <source>Version: 1.37</source>
        <translation>Version: 1.37</translation>
    </message>
    <message>
        <source>Pellar10 Trouble Shooting</source>
        <translation>Pellar10常见问题</translation>
    </message>
    <message>
        <source>Videos of Operation</source>
        <translation>操作说明</translation>
    </message>
    <message>
        <source>Vexmor 3D Official Group</source>
        <translation>Vexmor 3D 官方群组</translation>
    </message>
    <message>
        <source>Vexmor 3D Printer</source>
        <translation>Vexmor 3D 打印机</translation>
    </message>
    <message>
        <source>Please contact us at:</source>
        <translation>请通过以下方式联系我们：</translation>
    </message>
    <message>
        <source>Pellar30 Trouble Shooting</source>
        <translation>Pellar30常见问题</translation>
    </message>
    <message>
        <source>In preparaion</source>
        <translation>准备中</translation>
    </message>
</context>
<context>
    <name>NetUI</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Printer Connection</source>
        <translation>打印机连接</translation>
    </message>
    <message>
        <source>V0.09</source>
        <translation>V0.09</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=" color:#ff0000;"&gt;Offline&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=" color:#ff0000;"&gt;离线&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>搜索</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>断开</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>File transfer failed: %1</source>
        <translation>文件传输失败: %1</translation>
    </message>
</context>
<context>
    <name>OwnedFile</name>
    <message>
        <source>is not a regular file</source>
        <translation>不是普通文件</translation>
    </message>
    <message>
        <source>is a link to %1, which does not exist</source>
        <translation>是指向不存在的 %1 的链接</translation>
    </message>
    <message>
        <source>is a link to %1, outside the folder %2</source>
        <translation>是指向 %1 的链接，位于文件夹 %2 之外</translation>
    </message>
    <message>
        <source>is a link to %1, which is not a regular file</source>
        <translation>是指向 %1 的链接，该目标不是普通文件</translation>
    </message>
    <message>
        <source>%1 %2. It is neither read nor written; the program uses its defaults until it ends.</source>
        <translation>%1 %2。程序不读取也不写入该文件，在退出前使用默认设置。</translation>
    </message>
    <message>
        <source>%1 cannot be read as a settings file and could not be set aside. It is left as it is; the program uses its defaults until it ends.</source>
        <translation>%1 无法作为设置文件读取，也无法另存。文件保持原样；程序在退出前使用默认设置。</translation>
    </message>
    <message>
        <source>%1 could not be read as a settings file. It was kept as %2; the program starts from its defaults.</source>
        <translation>%1 无法作为设置文件读取，已保留为 %2；程序从默认设置开始。</translation>
    </message>
    <message>
        <source>A settings file could not be saved: %1. The file is left as it was; the program goes on with the values it has until it ends.</source>
        <translation>设置文件无法保存：%1。文件保持原样；程序在退出前继续使用当前的设置值。</translation>
    </message>
    <message>
        <source>%1. %2 is read but not written; the program keeps its values in memory until it ends.</source>
        <translation>%1。程序读取 %2 但不写入；在退出前将其设置保留在内存中。</translation>
    </message>
    <message>
        <source>%1. %2 is not written; the program keeps its values in memory until it ends.</source>
        <translation>%1。程序不写入 %2；在退出前将其设置保留在内存中。</translation>
    </message>
    <message>
        <source>%1 %2. It is not read; the program goes on without it.</source>
        <translation>%1 %2。程序不读取该文件，并在没有它的情况下继续运行。</translation>
    </message>
    <message>
        <source>%1 %2. Qt's logging rules there are not read.</source>
        <translation>%1 %2。不读取其中的 Qt 日志规则。</translation>
    </message>
    <message>
        <source>lies in %1 (a folder on its way is a link), outside the folder %2</source>
        <translation>位于 %1（其路径上的文件夹是链接），在文件夹 %2 之外</translation>
    </message>
    <message>
        <source>lies in %1, a link to %2, which does not exist</source>
        <translation>位于 %1 中，它是指向不存在的 %2 的链接</translation>
    </message>
    <message>
        <source>is too large to be a settings file (%1 bytes)</source>
        <translation>过大，不可能是设置文件（%1 字节）</translation>
    </message>
    <message>
        <source>%1 stays held by another program</source>
        <translation>%1 一直被另一个程序占用</translation>
    </message>
    <message>
        <source>%1 %2. It is not read; the support presets in %3 are read, but changes to them are not kept after the program ends.</source>
        <translation>%1 %2。程序不读取该文件；%3 中的支撑预设会被读取，但对其所做的更改在程序退出后不会保留。</translation>
    </message>
    <message>
        <source>%1 %2. It is not read; the documents, desktop and download folders are taken to be those in %3.</source>
        <translation>%1 %2。程序不读取该文件；文档、桌面和下载文件夹改用 %3 下的文件夹。</translation>
    </message>
    <message>
        <source>%1 is too large to be a lock file (%2 bytes)</source>
        <translation>%1 过大，不可能是锁文件（%2 字节）</translation>
    </message>
    <message>
        <source>%1 cannot be opened (%2)</source>
        <translation>%1 无法打开（%2）</translation>
    </message>
    <message>
        <source>%1 is held by no running program but cannot be removed (%2)</source>
        <translation>%1 未被任何运行中的程序占用，但无法删除（%2）</translation>
    </message>
</context>
<context>
    <name>PrintFile</name>
    <message>
        <source>Nothing to print.</source>
        <translation>没有可打印的内容。</translation>
    </message>
    <message>
        <source>the print file was written</source>
        <translation>打印文件已写入</translation>
    </message>
    <message>
        <source>there are no sliced layers to write</source>
        <translation>没有可写入的切片层</translation>
    </message>
    <message>
        <source>the printer resolution is not a usable frame size</source>
        <translation>打印机分辨率不是可用的画面尺寸</translation>
    </message>
    <message>
        <source>the destination folder cannot be written to</source>
        <translation>目标文件夹无法写入</translation>
    </message>
    <message>
        <source>The file could not be written</source>
        <translation>文件无法写入</translation>
    </message>
    <message>
        <source>the finished file could not replace the destination</source>
        <translation>完成的文件无法替换目标文件</translation>
    </message>
    <message>
        <source>a layer could not be rendered</source>
        <translation>有一层无法渲染</translation>
    </message>
    <message>
        <source>the job is too large for the vector file</source>
        <translation>任务对矢量文件来说过大</translation>
    </message>
    <message>
        <source>No space left on the device</source>
        <translation>设备上没有剩余空间</translation>
    </message>
    <message>
        <source>the destination exists and is not a regular file</source>
        <translation>目标已存在且不是普通文件</translation>
    </message>
    <message>
        <source>the vector file and the layer-image file would have the same name</source>
        <translation>矢量文件与图层图像文件将同名</translation>
    </message>
    <message>
        <source>the destination is the file of a model on the plate</source>
        <translation>目标是平台上某个模型的文件</translation>
    </message>
    <message>
        <source>unknown error %1</source>
        <translation>未知错误 %1</translation>
    </message>
</context>
<context>
    <name>PrinterModels</name>
    <message>
        <source>Wrong printer! the source is a print file of machine code %1 (%2); %3 prints only files of its own code %4</source>
        <translation>打印机不符！源文件是机器代码 %1（%2）的打印文件；%3 只打印其自身机器代码 %4 的文件</translation>
    </message>
    <message>
        <source>no known printer</source>
        <translation>无已知打印机</translation>
    </message>
    <message>
        <source>the printer</source>
        <translation>该打印机</translation>
    </message>
    <message>
        <source>Too tall to print! its %1 layers of %2 mm make %3 mm, more than the build height of %4, %5 mm</source>
        <translation>过高，无法打印！其 %1 层 %2 mm 的切片共 %3 mm，超过 %4 的成型高度 %5 mm</translation>
    </message>
    <message>
        <source>The archive is made for %1 x %2 x %3 mm at %4 x %5 pixels; %6 builds %7 x %8 x %9 mm at %10 x %11 pixels.</source>
        <translation>压缩包适用于 %1 x %2 x %3 mm、%4 x %5 像素的打印机；%6 的成型尺寸为 %7 x %8 x %9 mm、%10 x %11 像素。</translation>
    </message>
    <message>
        <source>Image setting does not match! the source is %1 x %2 pixels, %3 takes %4 x %5%6</source>
        <translation>图像设置不匹配！源文件为 %1 x %2 像素，%3 需要 %4 x %5%6</translation>
    </message>
    <message>
        <source> (image turned a quarter turn)</source>
        <translation>（图像旋转了四分之一圈）</translation>
    </message>
</context>
<context>
    <name>VEditRecipeWidget</name>
    <message>
        <source>Resin Edit</source>
        <translation>树脂编辑</translation>
    </message>
    <message>
        <source>Recipe Edit</source>
        <translation>配方编辑</translation>
    </message>
    <message>
        <source>Recipe Name</source>
        <translation>配方名称</translation>
    </message>
    <message>
        <source>New Recipe</source>
        <translation>新配方</translation>
    </message>
    <message>
        <source>Curing Time</source>
        <translation>固化时间</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>Burn-in Time</source>
        <translation>底层曝光时间</translation>
    </message>
    <message>
        <source>Stable Time</source>
        <translation>稳定时间</translation>
    </message>
    <message>
        <source>Burn-in Range</source>
        <translation>底层厚度</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>Lift Distance1</source>
        <translation>抬升距离1</translation>
    </message>
    <message>
        <source>Lift Speed1</source>
        <translation>抬升速度1</translation>
    </message>
    <message>
        <source>mm/min</source>
        <translation>mm/min</translation>
    </message>
    <message>
        <source>Lift Distance2</source>
        <translation>抬升距离2</translation>
    </message>
    <message>
        <source>Lift Speed2</source>
        <translation>抬升速度2</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>The recipe file could not be written: </source>
        <translation>无法写入配方文件：</translation>
    </message>
    <message>
        <source>Invalid recipe name</source>
        <translation>配方名称无效</translation>
    </message>
    <message>
        <source>Overwrite Recipe </source>
        <translation>覆盖配方 </translation>
    </message>
    <message>
        <source>Recipe </source>
        <translation>配方 </translation>
    </message>
    <message>
        <source> can not be modified, please rename it!</source>
        <translation> 不能修改，请重新命名！</translation>
    </message>
</context>
<context>
    <name>VFixWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Fix</source>
        <translation>模型修复</translation>
    </message>
    <message>
        <source>Defects</source>
        <translation>模型缺陷</translation>
    </message>
    <message>
        <source>Holes：</source>
        <translation>破孔:</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>Non-manifold:</source>
        <translation>非流型:</translation>
    </message>
    <message>
        <source>Inverted Normals:</source>
        <translation>法向量反:</translation>
    </message>
    <message>
        <source>Fix completed</source>
        <translation>修复完成</translation>
    </message>
    <message>
        <source>Checking the model: its defects are shown here as soon as the check ends.</source>
        <translation>正在检查模型：检查结束后，模型缺陷将立即显示在此处。</translation>
    </message>
</context>
<context>
    <name>VImportWidgetX</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Import File</source>
        <translation>导入文件</translation>
    </message>
    <message>
        <source>Machine Type:</source>
        <translation>机型：</translation>
    </message>
    <message>
        <source>Pellar10</source>
        <translation>Pellar10</translation>
    </message>
    <message>
        <source>Pellar30</source>
        <translation>Pellar30</translation>
    </message>
    <message>
        <source>Pellar120</source>
        <translation>Pellar120</translation>
    </message>
    <message>
        <source>Pellar4K</source>
        <translation>Pellar4K</translation>
    </message>
    <message>
        <source>Pellar4Kmono</source>
        <translation>Pellar4Kmono</translation>
    </message>
    <message>
        <source>File Format:</source>
        <translation>文件格式：</translation>
    </message>
    <message>
        <source>Vexmor3D vxs files</source>
        <translation>Vexmor3D vxs文件</translation>
    </message>
    <message>
        <source>ChiTuBox zip files</source>
        <translation>ChiTuBox zip文件</translation>
    </message>
    <message>
        <source>File Name:</source>
        <translation>文件名：</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>导入</translation>
    </message>
    <message>
        <source>Layer Thickness:</source>
        <translation>层厚：</translation>
    </message>
    <message>
        <source>Recipe</source>
        <translation>配方</translation>
    </message>
    <message>
        <source>Curing Time</source>
        <translation>固化时间</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>Burn-in Time</source>
        <translation>底层曝光时间</translation>
    </message>
    <message>
        <source>Stable Time</source>
        <translation>稳定时间</translation>
    </message>
    <message>
        <source>Burn-in Range</source>
        <translation>底层厚度</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>Lift Distance1</source>
        <translation>抬升距离1</translation>
    </message>
    <message>
        <source>Lift Speed1</source>
        <translation>抬升速度1</translation>
    </message>
    <message>
        <source>mm/min</source>
        <translation>mm/min</translation>
    </message>
    <message>
        <source>Lift Distance2</source>
        <translation>抬升距离2</translation>
    </message>
    <message>
        <source>Lift Speed2</source>
        <translation>抬升速度2</translation>
    </message>
    <message>
        <source>New / Edit Recipe</source>
        <translation>新建/编辑配方</translation>
    </message>
    <message>
        <source>Delete Recipe</source>
        <translation>删除配方</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Save Job</source>
        <translation>保存任务</translation>
    </message>
    <message>
        <source>Delete Recipe </source>
        <translation>删除配方 </translation>
    </message>
    <message>
        <source>A conversion is still running.</source>
        <translation>转换仍在进行中。</translation>
    </message>
    <message>
        <source>File error: unknown format!</source>
        <translation>文件错误：未知格式！</translation>
    </message>
    <message>
        <source>Wrong layer thickness!</source>
        <translation>层厚不符！</translation>
    </message>
    <message>
        <source>Image setting does not match!</source>
        <translation>图像设置不匹配！</translation>
    </message>
    <message>
        <source>The converted file could not be written.</source>
        <translation>无法写入转换后的文件。</translation>
    </message>
    <message>
        <source>The archive could not be opened.</source>
        <translation>无法打开压缩包。</translation>
    </message>
    <message>
        <source>The archive holds no readable "run.gcode".</source>
        <translation>压缩包中没有可读的“run.gcode”。</translation>
    </message>
    <message>
        <source>A layer of the archive is missing or damaged.</source>
        <translation>压缩包中的某一层缺失或已损坏。</translation>
    </message>
    <message>
        <source>The archive's settings are out of range.</source>
        <translation>压缩包的设置超出范围。</translation>
    </message>
    <message>
        <source>The source is not a readable print file.</source>
        <translation>源文件不是可读的打印文件。</translation>
    </message>
    <message>
        <source>The source is a print file for another printer.</source>
        <translation>源文件是另一台打印机的打印文件。</translation>
    </message>
    <message>
        <source>The print is taller than the printer builds.</source>
        <translation>打印件高于打印机的成型高度。</translation>
    </message>
    <message>
        <source>The conversion was not started.</source>
        <translation>转换未开始。</translation>
    </message>
    <message>
        <source>Nothing to print.</source>
        <translation>没有可打印的内容。</translation>
    </message>
    <message>
        <source>No layer of the file lights a pixel.</source>
        <translation>文件中没有任何一层点亮像素。</translation>
    </message>
    <message>
        <source>Value Out of Range</source>
        <translation>数值超出范围</translation>
    </message>
    <message>
        <source>The print file was written, but:</source>
        <translation>打印文件已写入，但是：</translation>
    </message>
</context>
<context>
    <name>VPrintMsgBox</name>
    <message>
        <source>Form</source>
        <translation type="unfinished">Form</translation>
    </message>
    <message>
        <source>The Job is Cancelling,wait please!</source>
        <translation type="unfinished" />
    </message>
</context>
<context>
    <name>VPrintWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>S
e
t
t
i
n
g</source>
        <translation>设
置</translation>
    </message>
    <message>
        <source>Material No.1</source>
        <translation>材料1</translation>
    </message>
    <message>
        <source>No.</source>
        <translation>编号</translation>
    </message>
    <message>
        <source>：</source>
        <translation>：</translation>
    </message>
    <message>
        <source>Vexmor3d red</source>
        <translation>Vexmor3d red</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>描述</translation>
    </message>
    <message>
        <source>add red</source>
        <translation>add red</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>添加</translation>
    </message>
    <message>
        <source>Duplicate</source>
        <translation>复制</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Exposure Time</source>
        <translation>曝光时间</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>Stable Time</source>
        <translation>稳定时间</translation>
    </message>
    <message>
        <source>Center Exposure Time</source>
        <translation>中心曝光时间</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>Bottom Time</source>
        <translation>底层曝光时间</translation>
    </message>
    <message>
        <source>Bottom Stable Time</source>
        <translation>底层稳定时间</translation>
    </message>
    <message>
        <source>Bottom High</source>
        <translation>底层高度</translation>
    </message>
    <message>
        <source>Penetration Depth</source>
        <translation>穿透深度</translation>
    </message>
    <message>
        <source>um</source>
        <translation>um</translation>
    </message>
    <message>
        <source>Lift Distance1</source>
        <translation>抬升距离1</translation>
    </message>
    <message>
        <source>Lift Speed1</source>
        <translation>抬升速度1</translation>
    </message>
    <message>
        <source>mm/min</source>
        <translation>mm/min</translation>
    </message>
    <message>
        <source>Debond Speed Normal</source>
        <translation>脱模速度</translation>
    </message>
    <message>
        <source>Bottom Plate Layers</source>
        <translation>底板层数</translation>
    </message>
    <message>
        <source>Layers</source>
        <translation>层</translation>
    </message>
    <message>
        <source>Lift Distance2</source>
        <translation>抬升距离2</translation>
    </message>
    <message>
        <source>Lift Speed2</source>
        <translation>抬升速度2</translation>
    </message>
    <message>
        <source>Z Retract Speed</source>
        <translation>Z轴回程速度</translation>
    </message>
    <message>
        <source>Tilt Distance1</source>
        <translation>倾斜距离1</translation>
    </message>
    <message>
        <source>Tilt Speed1</source>
        <translation>倾斜速度1</translation>
    </message>
    <message>
        <source>Tilt Distance2</source>
        <translation>倾斜距离2</translation>
    </message>
    <message>
        <source>Tilt Speed2</source>
        <translation>倾斜速度2</translation>
    </message>
    <message>
        <source>Tilt Return Speed</source>
        <translation>倾斜回程速度</translation>
    </message>
    <message>
        <source>Tilt Near Distance</source>
        <translation>倾斜接近距离</translation>
    </message>
    <message>
        <source>Tilt Near Offset</source>
        <translation>倾斜接近偏移</translation>
    </message>
    <message>
        <source>Tilt Near Speed</source>
        <translation>倾斜接近速度</translation>
    </message>
    <message>
        <source>Rotate Circles</source>
        <translation>旋转圈数</translation>
    </message>
    <message>
        <source>Circle</source>
        <translation>圈</translation>
    </message>
    <message>
        <source>Rotate Speed</source>
        <translation>旋转速度</translation>
    </message>
    <message>
        <source>Circle/min</source>
        <translation>圈/分钟</translation>
    </message>
    <message>
        <source>Light PWM(0~255）</source>
        <translation>光强PWM(0~255）</translation>
    </message>
    <message>
        <source>255</source>
        <translation>255</translation>
    </message>
    <message>
        <source>Image Mirror</source>
        <translation>图像镜像</translation>
    </message>
    <message>
        <source>Long Side</source>
        <translation>长边</translation>
    </message>
    <message>
        <source>Short Side</source>
        <translation>短边</translation>
    </message>
    <message>
        <source>AdjX</source>
        <translation>AdjX</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>AdjY</source>
        <translation>AdjY</translation>
    </message>
    <message>
        <source>AdjZ</source>
        <translation>AdjZ</translation>
    </message>
    <message>
        <source>Local Printer</source>
        <translation>本地打印机</translation>
    </message>
    <message>
        <source>Network Printer</source>
        <translation>网络打印机</translation>
    </message>
    <message>
        <source>Save File</source>
        <translation>保存文件</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>P
r
i
n
t
e
r</source>
        <translation>打
印
机</translation>
    </message>
    <message>
        <source>TextLabel</source>
        <translation>TextLabel</translation>
    </message>
    <message>
        <source>Search/Refresh</source>
        <translation>搜索/刷新</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Material</source>
        <translation>材料</translation>
    </message>
    <message>
        <source>Exposure</source>
        <translation>曝光</translation>
    </message>
    <message>
        <source>Z Motor</source>
        <translation>Z轴电机</translation>
    </message>
    <message>
        <source>Y Debond</source>
        <translation>Y轴脱模</translation>
    </message>
    <message>
        <source>Y Return</source>
        <translation>Y轴回程</translation>
    </message>
    <message>
        <source>Rotate</source>
        <translation>旋转</translation>
    </message>
    <message>
        <source>Advance</source>
        <translation>高级</translation>
    </message>
    <message>
        <source>Printer Select</source>
        <translation>选择打印机</translation>
    </message>
    <message>
        <source>New Material</source>
        <translation>新建材料</translation>
    </message>
    <message>
        <source>Material Name</source>
        <translation>材料名称</translation>
    </message>
    <message>
        <source>Material illustration</source>
        <translation>材料说明</translation>
    </message>
    <message>
        <source>Can not delete</source>
        <translation>不能删除</translation>
    </message>
    <message>
        <source>Sure to Delete this config</source>
        <translation>确定删除该配置</translation>
    </message>
    <message>
        <source>Material Save Failed</source>
        <translation>材料保存失败</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>断开</translation>
    </message>
    <message>
        <source>Current Dev:</source>
        <translation>当前设备:</translation>
    </message>
    <message>
        <source>Printing Cancelled</source>
        <translation>打印已取消</translation>
    </message>
    <message>
        <source>Printing Complete</source>
        <translation>打印结束</translation>
    </message>
    <message>
        <source>File Transfer Complete</source>
        <translation>文件传输结束</translation>
    </message>
    <message>
        <source>Failed to Save File</source>
        <translation>文件保存失败</translation>
    </message>
    <message>
        <source>File SaveComplete</source>
        <translation>文件保存结束</translation>
    </message>
    <message>
        <source>Slicing Data Error</source>
        <translation>切片数据错误</translation>
    </message>
    <message>
        <source>Slicing again Please</source>
        <translation>请重新切片</translation>
    </message>
    <message>
        <source>Network Error</source>
        <translation>网络错误</translation>
    </message>
    <message>
        <source>Check the Network connection please</source>
        <translation>请检查网络连接</translation>
    </message>
    <message>
        <source>Connection Abnormal</source>
        <translation>连接异常</translation>
    </message>
    <message>
        <source>USB Cable abnormal,Check please</source>
        <translation>USB线缆异常，请检查</translation>
    </message>
    <message>
        <source>Extern Display</source>
        <translation>外接显示器</translation>
    </message>
    <message>
        <source>Projector Error</source>
        <translation>投影仪错误</translation>
    </message>
    <message>
        <source>Check The Projector Please</source>
        <translation>请检查投影仪</translation>
    </message>
    <message>
        <source>G-code Error</source>
        <translation>G代码错误</translation>
    </message>
    <message>
        <source>Check the output folder please</source>
        <translation>请检查输出文件夹</translation>
    </message>
    <message>
        <source>Sure to Cancel Job</source>
        <translation>确定取消任务</translation>
    </message>
    <message>
        <source>the print settings</source>
        <translation>打印设置</translation>
    </message>
    <message>
        <source>Value Out of Range</source>
        <translation>数值超出范围</translation>
    </message>
</context>
<context>
    <name>VSL3DScene</name>
    <message>
        <source>an SLC file's layers are the whole print: open it on an empty plate</source>
        <translation>SLC 文件的层就是整个打印：请在空的平台上打开它</translation>
    </message>
    <message>
        <source>The SLC file's %1 layers make %2 mm, more than the printer's build height of %3 mm.</source>
        <translation>SLC 文件的 %1 层共 %2 毫米，超过打印机 %3 毫米的成型高度。</translation>
    </message>
    <message>
        <source>The layers of an SLC file cannot be tilted or scaled in height: move it, turn it about the vertical or scale it in X and Y only, or reset it.</source>
        <translation>SLC 文件的层不能倾斜或在高度上缩放：只能移动、绕竖直轴旋转或在 X 和 Y 方向缩放，或将其复位。</translation>
    </message>
    <message>
        <source>Model is out of range, please scale it</source>
        <translation>模型超出范围，请缩放模型</translation>
    </message>
    <message>
        <source>SVG Generator Slice</source>
        <translation>SVG生成器切片</translation>
    </message>
    <message>
        <source>An SVG drawing created by the SVG Generator </source>
        <translation>由SVG生成器创建的SVG图形 </translation>
    </message>
    <message>
        <source>a support or slice job is still running</source>
        <translation>支撑或切片任务仍在运行</translation>
    </message>
    <message>
        <source>its layers are larger than the build area and were not scaled</source>
        <translation>其切片层超出打印范围且未缩放</translation>
    </message>
    <message>
        <source>its layer thickness differs from the plate's</source>
        <translation>其层厚与平台上的层厚不同</translation>
    </message>
    <message>
        <source>it is not a readable SLC file</source>
        <translation>不是可读取的SLC文件</translation>
    </message>
    <message>
        <source>it holds no layer</source>
        <translation>不含任何切片层</translation>
    </message>
    <message>
        <source>The system refused the threads support generation needs; it was stopped.</source>
        <translation>系统拒绝了生成支撑所需的线程；生成已停止。</translation>
    </message>
    <message>
        <source>The system refused the threads slicing needs; nothing was sliced.</source>
        <translation>系统拒绝了切片所需的线程；未进行切片。</translation>
    </message>
    <message>
        <source>The system refused the threads slicing needs; the slice was stopped.</source>
        <translation>系统拒绝了切片所需的线程；切片已停止。</translation>
    </message>
    <message>
        <source>The plate needs %1 layers of %2 mm, but the printer's build height of %3 mm holds %4. Scale the model down or choose a thicker layer.</source>
        <translation>平台需要 %1 层 %2 mm 的切片，但打印机 %3 mm 的成型高度只能容纳 %4 层。请缩小模型或选择更厚的层。</translation>
    </message>
    <message>
        <source>The plate is %1 mm tall, more than the printer's build height of %2 mm. Scale the model down.</source>
        <translation>平台高 %1 mm，超过打印机 %2 mm 的成型高度。请缩小模型。</translation>
    </message>
    <message>
        <source>%1: its %2 layers of %3 mm make %4 mm, more than the printer's build height of %5 mm</source>
        <translation>%1：其 %2 层 %3 mm 的切片共 %4 mm，超过打印机 %5 mm 的打印高度</translation>
    </message>
</context>
<context>
    <name>VSLGLView</name>
    <message>
        <source>Error!</source>
        <translation>错误！</translation>
    </message>
    <message>
        <source>There are still holes on the model! Please try to use other professional software to fix it.</source>
        <translation>模型上仍有破孔！请尝试使用其他专业软件修复。</translation>
    </message>
    <message>
        <source>There are still non-manifold on the model! Please try to use other professional software to fix it.</source>
        <translation>模型上仍有非流型！请尝试使用其他专业软件修复。</translation>
    </message>
    <message>
        <source>There are still errors on the model! Please try to use other professional software to fix it.</source>
        <translation>模型上仍有错误！请尝试使用其他专业软件修复。</translation>
    </message>
    <message>
        <source>The model file is incomplete</source>
        <translation>模型文件不完整</translation>
    </message>
    <message>
        <source>Support generation stopped.</source>
        <translation>支撑生成已停止。</translation>
    </message>
</context>
<context>
    <name>VSaveWidgetX</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Recipe</source>
        <translation>配方</translation>
    </message>
    <message>
        <source>Curing Time</source>
        <translation>固化时间</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>Burn-in Time</source>
        <translation>底层曝光时间</translation>
    </message>
    <message>
        <source>Burn-in Range</source>
        <translation>底层厚度</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>Lift Distance1</source>
        <translation>抬升距离1</translation>
    </message>
    <message>
        <source>Lift Speed1</source>
        <translation>抬升速度1</translation>
    </message>
    <message>
        <source>mm/min</source>
        <translation>mm/min</translation>
    </message>
    <message>
        <source>Lift Distance2</source>
        <translation>抬升距离2</translation>
    </message>
    <message>
        <source>Lift Speed2</source>
        <translation>抬升速度2</translation>
    </message>
    <message>
        <source>New / Edit Recipe</source>
        <translation>新建/编辑配方</translation>
    </message>
    <message>
        <source>Delete Recipe</source>
        <translation>删除配方</translation>
    </message>
    <message>
        <source>Stable Time</source>
        <translation>稳定时间</translation>
    </message>
    <message>
        <source>MachineType:</source>
        <translation>机型：</translation>
    </message>
    <message>
        <source>Pellar120</source>
        <translation>Pellar120</translation>
    </message>
    <message>
        <source>LayerThickness:</source>
        <translation>层厚：</translation>
    </message>
    <message>
        <source>50 um</source>
        <translation>50 um</translation>
    </message>
    <message>
        <source>Save Job</source>
        <translation>保存任务</translation>
    </message>
    <message>
        <source>Prew</source>
        <translation>预览</translation>
    </message>
    <message>
        <source>Duplicate</source>
        <translation>复制</translation>
    </message>
    <message>
        <source>Center Exposure Time</source>
        <translation>中心曝光时间</translation>
    </message>
    <message>
        <source>Penetration Depth</source>
        <translation>穿透深度</translation>
    </message>
    <message>
        <source>um</source>
        <translation>um</translation>
    </message>
    <message>
        <source>Bottom Plate Layers</source>
        <translation>底板层数</translation>
    </message>
    <message>
        <source>Layers</source>
        <translation>层</translation>
    </message>
    <message>
        <source>Z Retract Speed</source>
        <translation>Z轴回程速度</translation>
    </message>
    <message>
        <source>Debond Speed Normal</source>
        <translation>脱模速度</translation>
    </message>
    <message>
        <source>Tilt Distance1</source>
        <translation>倾斜距离1</translation>
    </message>
    <message>
        <source>Tilt Speed1</source>
        <translation>倾斜速度1</translation>
    </message>
    <message>
        <source>Tilt Distance2</source>
        <translation>倾斜距离2</translation>
    </message>
    <message>
        <source>Tilt Speed2</source>
        <translation>倾斜速度2</translation>
    </message>
    <message>
        <source>Tilt Return Speed</source>
        <translation>倾斜回程速度</translation>
    </message>
    <message>
        <source>Tilt Near Distance</source>
        <translation>倾斜接近距离</translation>
    </message>
    <message>
        <source>Tilt Near Offset</source>
        <translation>倾斜接近偏移</translation>
    </message>
    <message>
        <source>Tilt Near Speed</source>
        <translation>倾斜接近速度</translation>
    </message>
    <message>
        <source>Rotate Circles</source>
        <translation>旋转圈数</translation>
    </message>
    <message>
        <source>Circle</source>
        <translation>圈</translation>
    </message>
    <message>
        <source>Rotate Speed</source>
        <translation>旋转速度</translation>
    </message>
    <message>
        <source>Circle/min</source>
        <translation>圈/分钟</translation>
    </message>
    <message>
        <source>Light PWM(0~255）</source>
        <translation>光强PWM(0~255）</translation>
    </message>
    <message>
        <source>255</source>
        <translation>255</translation>
    </message>
    <message>
        <source>Image Mirror</source>
        <translation>图像镜像</translation>
    </message>
    <message>
        <source>Long Side</source>
        <translation>长边</translation>
    </message>
    <message>
        <source>Short Side</source>
        <translation>短边</translation>
    </message>
    <message>
        <source>AdjX</source>
        <translation>AdjX</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>AdjY</source>
        <translation>AdjY</translation>
    </message>
    <message>
        <source>AdjZ</source>
        <translation>AdjZ</translation>
    </message>
    <message>
        <source>Local Printer</source>
        <translation>本地打印机</translation>
    </message>
    <message>
        <source>Network Printer</source>
        <translation>网络打印机</translation>
    </message>
    <message>
        <source>Save File</source>
        <translation>保存文件</translation>
    </message>
    <message>
        <source>Delete Recipe </source>
        <translation>删除配方 </translation>
    </message>
    <message>
        <source>Slicing Data Error</source>
        <translation>切片数据错误</translation>
    </message>
    <message>
        <source>Slicing again Please</source>
        <translation>请重新切片</translation>
    </message>
    <message>
        <source>Connection Abnormal</source>
        <translation>连接异常</translation>
    </message>
    <message>
        <source>USB Cable abnormal,Check please</source>
        <translation>USB线缆异常，请检查</translation>
    </message>
    <message>
        <source>Extern Display</source>
        <translation>外接显示器</translation>
    </message>
    <message>
        <source>Projector Error</source>
        <translation>投影仪错误</translation>
    </message>
    <message>
        <source>Check The Projector Please</source>
        <translation>请检查投影仪</translation>
    </message>
    <message>
        <source>Network Error</source>
        <translation>网络错误</translation>
    </message>
    <message>
        <source>Check the Network connection please</source>
        <translation>请检查网络连接</translation>
    </message>
    <message>
        <source>G-code Error</source>
        <translation>G代码错误</translation>
    </message>
    <message>
        <source>Check the output folder please</source>
        <translation>请检查输出文件夹</translation>
    </message>
    <message>
        <source>Material Save Failed</source>
        <translation>材料保存失败</translation>
    </message>
    <message>
        <source>Check the configuration folder please</source>
        <translation>请检查配置文件夹</translation>
    </message>
    <message>
        <source>Printing Cancelled</source>
        <translation>打印已取消</translation>
    </message>
    <message>
        <source>打印已取消</source>
        <translation>打印已取消</translation>
    </message>
    <message>
        <source>Printing Complete</source>
        <translation>打印结束</translation>
    </message>
    <message>
        <source>打印结束</source>
        <translation>打印结束</translation>
    </message>
    <message>
        <source>File Transfer Complete</source>
        <translation>文件传输结束</translation>
    </message>
    <message>
        <source>文件传输结束</source>
        <translation>文件传输结束</translation>
    </message>
    <message>
        <source>Failed to Save File</source>
        <translation>文件保存失败</translation>
    </message>
    <message>
        <source>文件保存失败</source>
        <translation>文件保存失败</translation>
    </message>
    <message>
        <source>File SaveComplete</source>
        <translation>文件保存结束</translation>
    </message>
    <message>
        <source>文件保存结束</source>
        <translation>文件保存结束</translation>
    </message>
    <message>
        <source>Sure to Cancel Job</source>
        <translation>确定取消任务</translation>
    </message>
    <message>
        <source>built-in recipe %1</source>
        <translation>内置配方 %1</translation>
    </message>
    <message>
        <source>the print settings</source>
        <translation>打印设置</translation>
    </message>
    <message>
        <source>Value Out of Range</source>
        <translation>数值超出范围</translation>
    </message>
    <message>
        <source>Printing Failed</source>
        <translation>打印失败</translation>
    </message>
    <message>
        <source>打印失败</source>
        <translation>打印失败</translation>
    </message>
    <message>
        <source>The print ended without a report</source>
        <translation>打印结束但没有报告</translation>
    </message>
    <message>
        <source>Material</source>
        <translation>材料</translation>
    </message>
    <message>
        <source>Exposure</source>
        <translation>曝光</translation>
    </message>
    <message>
        <source>Z Motor</source>
        <translation>Z轴电机</translation>
    </message>
    <message>
        <source>Y Debond</source>
        <translation>Y轴脱模</translation>
    </message>
    <message>
        <source>Y Return</source>
        <translation>Y轴回程</translation>
    </message>
    <message>
        <source>Rotate</source>
        <translation>旋转</translation>
    </message>
    <message>
        <source>Advance</source>
        <translation>高级</translation>
    </message>
    <message>
        <source>Printer Select</source>
        <translation>选择打印机</translation>
    </message>
</context>
<context>
    <name>VSliceWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Thickness Setting</source>
        <translation>层厚设置</translation>
    </message>
    <message>
        <source>100um</source>
        <translation>100um</translation>
    </message>
    <message>
        <source>Advanced Setting</source>
        <translation>高级设置</translation>
    </message>
    <message>
        <source>Plate Layers：</source>
        <translation>底板层数：</translation>
    </message>
    <message>
        <source>Thickness</source>
        <translation>层厚</translation>
    </message>
    <message>
        <source>50um</source>
        <translation>50um</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>开始切片</translation>
    </message>
    <message>
        <source>Duplicate</source>
        <translation>复制</translation>
    </message>
    <message>
        <source>Not Sliced</source>
        <translation>未切片</translation>
    </message>
    <message>
        <source>Slicing Image Preview</source>
        <translation>切片图像预览</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>Layer：</source>
        <translation>层：</translation>
    </message>
    <message>
        <source>NA</source>
        <translation>NA</translation>
    </message>
</context>
<context>
    <name>VSliceWidgetX</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Slice</source>
        <translation>模型切片</translation>
    </message>
    <message>
        <source>Thickness</source>
        <translation>层厚</translation>
    </message>
    <message>
        <source>50um</source>
        <translation>50um</translation>
    </message>
    <message>
        <source>Plate Layers</source>
        <translation>底板层数</translation>
    </message>
    <message>
        <source>Layer</source>
        <translation>层</translation>
    </message>
    <message>
        <source>Not Sliced</source>
        <translation>未切片</translation>
    </message>
    <message>
        <source>Duplicate</source>
        <translation>复制</translation>
    </message>
    <message>
        <source>NA</source>
        <translation>NA</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>Sliced</source>
        <translation>已切片</translation>
    </message>
    <message>
        <source>N/A</source>
        <translation>N/A</translation>
    </message>
</context>
<context>
    <name>VSlicingMsgBox</name>
    <message>
        <source>Dialog</source>
        <translation type="unfinished">Dialog</translation>
    </message>
    <message>
        <source>Slicing,Wait Please</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>No Slicing Data,Slicing again Please</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>...</source>
        <translation type="unfinished">...</translation>
    </message>
</context>
<context>
    <name>VSupportWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>添加支撑</translation>
    </message>
    <message>
        <source>Automatic Support</source>
        <translation>自动支撑</translation>
    </message>
    <message>
        <source>Density</source>
        <translation>支撑密度</translation>
    </message>
    <message>
        <source>Low    Middle     Large</source>
        <translation>低      中       高</translation>
    </message>
    <message>
        <source>Attaching Point</source>
        <translation>顶端直径</translation>
    </message>
    <message>
        <source>Support All</source>
        <translation>全部支撑</translation>
    </message>
    <message>
        <source>Support Selected</source>
        <translation>支撑选中模型</translation>
    </message>
    <message>
        <source>Manual Support</source>
        <translation>手动支撑</translation>
    </message>
    <message>
        <source>Left click on the model to add a support manually</source>
        <translation>左键点击模型手动添加支撑</translation>
    </message>
    <message>
        <source>Delete Support</source>
        <translation>删除支撑</translation>
    </message>
    <message>
        <source>left click on the support to delete</source>
        <translation>左键点击支撑删除</translation>
    </message>
    <message>
        <source>Delete for selected model</source>
        <translation>删除选中模型的支撑</translation>
    </message>
    <message>
        <source>Delete for all models</source>
        <translation>删除所有模型的支撑</translation>
    </message>
</context>
<context>
    <name>VSupportWidgetEditX</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>VSupportWidgetX</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>添加支撑</translation>
    </message>
    <message>
        <source>All Models</source>
        <translation>所有模型</translation>
    </message>
    <message>
        <source>Generate</source>
        <translation>自动支撑</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>编辑支撑</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除支撑</translation>
    </message>
    <message>
        <source>Density</source>
        <translation>支撑密度</translation>
    </message>
    <message>
        <source>Attaching Point</source>
        <translation>顶端直径</translation>
    </message>
    <message>
        <source>Shaft Diameter</source>
        <translation>支撑直径</translation>
    </message>
    <message>
        <source>Lift Distance</source>
        <translation>抬升高度</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>恢复默认</translation>
    </message>
    <message>
        <source>Model Selected</source>
        <translation>选中模型</translation>
    </message>
</context>
<context>
    <name>Vexmor</name>
    <message>
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message>
        <source>Loading model file</source>
        <translation>正在加载模型</translation>
    </message>
    <message>
        <source>Saving slice file</source>
        <translation>正在保存文件</translation>
    </message>
    <message>
        <source>Generating supports</source>
        <translation>正在生成支撑</translation>
    </message>
    <message>
        <source>Slicing the scene</source>
        <translation>正在生成切片</translation>
    </message>
    <message>
        <source>Please slice before saving the job!</source>
        <translation>保存任务前请先切片！</translation>
    </message>
    <message>
        <source>Slc File is Loaded,Cannot accept new model</source>
        <translation>已加载Slc文件，不能再导入新模型</translation>
    </message>
    <message>
        <source>Open File Failed,check model please</source>
        <translation>打开文件失败，请检查模型</translation>
    </message>
    <message>
        <source>The model is in use by a running job.</source>
        <translation>该模型正被运行中的任务使用。</translation>
    </message>
    <message>
        <source>Slicing cannot start now.</source>
        <translation>现在无法开始切片。</translation>
    </message>
    <message>
        <source>A settings file was not used as it is.</source>
        <translation>有设置文件未按原样使用。</translation>
    </message>
    <message>
        <source>The model file is incomplete</source>
        <translation>模型文件不完整</translation>
    </message>
    <message>
        <source>Slicing stopped.</source>
        <translation>切片已停止。</translation>
    </message>
    <message>
        <source>%1 of %2 models stand partly or wholly off the build plate, or their supports do: what lies outside it is not printed, and what stands on a support cut there starts in mid-air. Move or scale them onto the plate, or generate their supports again there, to print them whole.</source>
        <translation>%2 个模型中有 %1 个（或其支撑）部分或全部位于打印平台之外：平台外的部分不会被打印，立在被截断支撑上的部分会悬空开始打印。请移动或缩放模型使其完全位于平台上，或在平台上重新生成支撑，以完整打印。</translation>
    </message>
    <message>
        <source>Some models leave the build plate.</source>
        <translation>部分模型超出了打印平台。</translation>
    </message>
    <message>
        <source>Regions resting on nothing in the layer below them: %1 in the models, %2 in their supports. The lowest is at layer %3, in %4. They cure loose in the resin, or not where they are drawn. Generate supports for that model, or turn it so that those regions face up, before printing.</source>
        <translation>在下一层中没有任何依托的区域：模型中 %1 个，支撑中 %2 个。最低的一个位于第 %3 层，属于 %4。它们会在树脂中松散固化，或不在绘制的位置固化。打印前请为该模型生成支撑，或转动模型使这些区域朝上。</translation>
    </message>
    <message>
        <source>Some regions start in mid-air.</source>
        <translation>部分区域悬空开始打印。</translation>
    </message>
    <message>
        <source>No layer was sliced: the models on the plate are lower than one layer. Scale them up or choose thinner layers.</source>
        <translation>没有切出任何层：平台上的模型低于一层的厚度。请放大模型或选择更薄的层厚。</translation>
    </message>
    <message>
        <source>Nothing to print.</source>
        <translation>没有可打印的内容。</translation>
    </message>
    <message>
        <source>Checking the model</source>
        <translation>正在检查模型</translation>
    </message>
</context>
<context>
    <name>VexmorClass</name>
    <message>
        <source>VexmorClass</source>
        <translation>VexmorClass</translation>
    </message>
    <message>
        <source>Pellar10</source>
        <translation>Pellar10</translation>
    </message>
    <message>
        <source>Import file</source>
        <translation>导入文件</translation>
    </message>
    <message>
        <source>Delete selected model</source>
        <translation>删除选中模型</translation>
    </message>
    <message>
        <source>Printer Control</source>
        <translation>打印机控制</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>打开文件</translation>
    </message>
</context>
<context>
    <name>ViewControlFrame</name>
    <message>
        <source>Frame</source>
        <translation>Frame</translation>
    </message>
</context>
<context>
    <name>WebForm</name>
    <message>
        <source>Pellar120</source>
        <translation>Pellar120</translation>
    </message>
    <message>
        <source>Scan LCD devices</source>
        <translation>扫描LCD设备</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>ClearCache</source>
        <translation>清除缓存</translation>
    </message>
</context>
<context>
    <name>bridge</name>
    <message>
        <source>Qt</source>
        <translation>Qt</translation>
    </message>
    <message>
        <source>&lt;h3&gt;About Qt&lt;/h3&gt;&lt;p&gt;This program uses Qt version %1.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;关于 Qt&lt;/h3&gt;&lt;p&gt;本程序使用 Qt %1 版。&lt;/p&gt;</translation>
    </message>
</context>
<context>
    <name>frmDLP</name>
    <message>
        <source>frmDLP</source>
        <translation>frmDLP</translation>
    </message>
    <message>
        <source>Error!</source>
        <translation>错误！</translation>
    </message>
    <message>
        <source>GreyTestFinal data file missing!</source>
        <translation>缺少GreyTestFinal数据文件！</translation>
    </message>
    <message>
        <source>No Light Engine Parameters Loaded!</source>
        <translation>未加载光机参数！</translation>
    </message>
    <message>
        <source>Machine data file missing!</source>
        <translation>缺少机器数据文件！</translation>
    </message>
    <message>
        <source>Light engine data invalid: %1</source>
        <translation>光机数据无效: %1</translation>
    </message>
    <message>
        <source>No memory for a %1 x %2 layer image</source>
        <translation>内存不足，无法创建 %1 x %2 的层图像</translation>
    </message>
</context>
<context>
    <name>frmDeviceInterfaceSettings</name>
    <message>
        <source>frmDeviceInterfaceSettings</source>
        <translation>frmDeviceInterfaceSettings</translation>
    </message>
    <message>
        <source>Printer</source>
        <translation>打印机</translation>
    </message>
    <message>
        <source>Printer Select</source>
        <translation>选择打印机</translation>
    </message>
    <message>
        <source>X-Size(mm)</source>
        <translation>X尺寸(mm)</translation>
    </message>
    <message>
        <source>98</source>
        <translation>98</translation>
    </message>
    <message>
        <source>Y-Size(mm)</source>
        <translation>Y尺寸(mm)</translation>
    </message>
    <message>
        <source>55</source>
        <translation>55</translation>
    </message>
    <message>
        <source>Z-Height(mm)</source>
        <translation>Z高度(mm)</translation>
    </message>
    <message>
        <source>150</source>
        <translation>150</translation>
    </message>
    <message>
        <source>X Resolution</source>
        <translation>X分辨率</translation>
    </message>
    <message>
        <source>854</source>
        <translation>854</translation>
    </message>
    <message>
        <source>Y Resolution</source>
        <translation>Y分辨率</translation>
    </message>
    <message>
        <source>480</source>
        <translation>480</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>版本：</translation>
    </message>
    <message>
        <source>1.37</source>
        <translation>1.37</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>Chinese</translation>
    </message>
    <message>
        <source>Please exit the program to apply the language setting!</source>
        <translation>请退出程序以应用语言设置！</translation>
    </message>
    <message>
        <source>The printer settings could not be saved; they hold until the program ends.</source>
        <translation>无法保存打印机设置；本次运行期间仍然有效。</translation>
    </message>
</context>
<context>
    <name>frmSliceOptions</name>
    <message>
        <source>frmSliceOptions</source>
        <translation>frmSliceOptions</translation>
    </message>
    <message>
        <source>Slice Configuration</source>
        <translation>切片设置</translation>
    </message>
    <message>
        <source>Slice Thickness (mm)        </source>
        <translation>切片层厚 (mm)        </translation>
    </message>
    <message>
        <source>Exposure Configuration</source>
        <translation>曝光设置</translation>
    </message>
    <message>
        <source>Exposure Time Per Layer (ms)</source>
        <translation>每层曝光时间 (ms)</translation>
    </message>
    <message>
        <source>Bottom Exposure Time (ms)</source>
        <translation>底层曝光时间 (ms)</translation>
    </message>
    <message>
        <source>Number of Bottom Layers</source>
        <translation>底层层数</translation>
    </message>
    <message>
        <source>Lift and Tilt</source>
        <translation>抬升与倾斜</translation>
    </message>
    <message>
        <source>Z Lift Distance (mm)        </source>
        <translation>Z轴抬升距离 (mm)        </translation>
    </message>
    <message>
        <source>Z Lift Speed (mm/s)</source>
        <translation>Z轴抬升速度 (mm/s)</translation>
    </message>
    <message>
        <source>Z Retract Speed (mm/s)</source>
        <translation>Z轴回程速度 (mm/s)</translation>
    </message>
    <message>
        <source>Tilt Distance1 (mm)</source>
        <translation>倾斜距离1 (mm)</translation>
    </message>
    <message>
        <source>Tilt Speed1 (mm/s)</source>
        <translation>倾斜速度1 (mm/s)</translation>
    </message>
    <message>
        <source>Tilt Distance2 (mm)</source>
        <translation>倾斜距离2 (mm)</translation>
    </message>
    <message>
        <source>Tilt Speed2 (mm/s)</source>
        <translation>倾斜速度2 (mm/s)</translation>
    </message>
    <message>
        <source>Tilt Retract Speed (mm/s)</source>
        <translation>倾斜回程速度 (mm/s)</translation>
    </message>
    <message>
        <source>Export Options</source>
        <translation>导出选项</translation>
    </message>
    <message>
        <source>Export Image Slices</source>
        <translation>导出切片图像</translation>
    </message>
    <message>
        <source>Export SVG Slices</source>
        <translation>导出SVG切片</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>layoutools</name>
    <message>
        <source>Translate</source>
        <translation>平移</translation>
    </message>
    <message>
        <source>Translate selected Model</source>
        <translation>平移选中模型</translation>
    </message>
    <message>
        <source>Rotate</source>
        <translation>旋转</translation>
    </message>
    <message>
        <source>Rotate selected Model</source>
        <translation>旋转选中模型</translation>
    </message>
    <message>
        <source>Scale</source>
        <translation>缩放</translation>
    </message>
    <message>
        <source>Scale selected model</source>
        <translation>缩放选中模型</translation>
    </message>
</context>
<context>
    <name>navbar</name>
    <message>
        <source>Load Model</source>
        <translation>导入模型</translation>
    </message>
    <message>
        <source>Edit Model</source>
        <translation>编辑模型</translation>
    </message>
    <message>
        <source>Fix Model</source>
        <translation>修复模型</translation>
    </message>
    <message>
        <source>Support Model</source>
        <translation>生成支撑</translation>
    </message>
    <message>
        <source>Slice Model</source>
        <translation>模型切片</translation>
    </message>
    <message>
        <source>Save Job</source>
        <translation>保存任务</translation>
    </message>
</context>
</TS>