#!/usr/bin/env python3
"""Refreshes Resources/lang/en.ts and zh-cn.ts from the sources (lupdate) and
fills the Chinese file's open entries from the table below. Entries someone
translated by hand stay as they are. Run after adding or changing texts."""
import os
import subprocess
import sys
import xml.etree.ElementTree as ET

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
LANG = os.path.join(ROOT, "Resources", "lang")
LUPDATE = next((p for p in ("/usr/lib/qt5/bin/lupdate", "/usr/lib/x86_64-linux-gnu/qt5/bin/lupdate")
                if os.path.exists(p)), "lupdate")

# Forms whose texts stay English in both files.
ENGLISH_ONLY = {"BusyWidget", "VSlicingMsgBox", "VPrintMsgBox"}

# (context, source) pairs first, then texts shared by several forms.
BY_CONTEXT = {
    ("bridge", "<h3>About Qt</h3><p>This program uses Qt version %1.</p>"): "<h3>关于 Qt</h3><p>本程序使用 Qt %1 版。</p>",
    ("navbar", "Load Model"): "导入模型", ("navbar", "Edit Model"): "编辑模型",
    ("navbar", "Fix Model"): "修复模型", ("navbar", "Support Model"): "生成支撑",
    ("navbar", "Slice Model"): "模型切片", ("navbar", "Save Job"): "保存任务",
    ("layoutools", "Translate"): "平移", ("layoutools", "Translate selected Model"): "平移选中模型",
    ("layoutools", "Rotate"): "旋转", ("layoutools", "Rotate selected Model"): "旋转选中模型",
    ("layoutools", "Scale"): "缩放", ("layoutools", "Scale selected model"): "缩放选中模型",
    ("VFixWidget", "Fix"): "模型修复", ("VFixWidget", "Defects"): "模型缺陷", ("VFixWidget", "Holes："): "破孔:",
    ("VFixWidget", "Non-manifold:"): "非流型:", ("VFixWidget", "Inverted Normals:"): "法向量反:",
    ("VFixWidget", "Fix completed"): "修复完成",
    ("HelpDialog", "Web Link:"): "网页链接：", ("HelpDialog", "Videos of Operation"): "操作说明",
    ("HelpDialog", "Pellar10 Trouble Shooting"): "Pellar10常见问题",
    ("HelpDialog", "Pellar30 Trouble Shooting"): "Pellar30常见问题",
    ("HelpDialog", "Please contact us at:"): "请通过以下方式联系我们：", ("HelpDialog", "In preparaion"): "准备中",
    ("HelpDialog", "Vexmor 3D Official Group"): "Vexmor 3D 官方群组", ("HelpDialog", "Vexmor 3D Printer"): "Vexmor 3D 打印机",
    ("EditWidget", "Edit"): "模型编辑", ("EditWidget", "Position:"): "        平移",
    ("EditWidget", "Rotation:"): "        旋转", ("EditWidget", "Scale:"): "        缩放",
    ("EditWidget", "Size:"): "        尺寸", ("EditWidget", "Clone"): "克隆", ("EditWidget", "Reset"): "重置",
    ("EditWidget", "Maximize"): "最大化",
    ("VSupportWidgetX", "Support"): "添加支撑", ("VSupportWidgetX", "All Models"): "所有模型",
    ("VSupportWidgetX", "Model Selected"): "选中模型", ("VSupportWidgetX", "Generate"): "自动支撑",
    ("VSupportWidgetX", "Edit"): "编辑支撑", ("VSupportWidgetX", "Delete"): "删除支撑",
    ("VSupportWidgetX", "Density"): "支撑密度", ("VSupportWidgetX", "Attaching Point"): "顶端直径",
    ("VSupportWidgetX", "Shaft Diameter"): "支撑直径", ("VSupportWidgetX", "Lift Distance"): "抬升高度",
    ("VSupportWidgetX", "mm"): "mm", ("VSupportWidgetX", "Default"): "恢复默认",
    ("VSupportWidgetEditX", "Save"): "保存", ("VSupportWidgetEditX", "Cancel"): "取消",
    ("VSupportWidget", "Support"): "添加支撑",
    ("Vexmor", "Loading model file"): "正在加载模型", ("Vexmor", "Saving slice file"): "正在保存文件",
    ("Vexmor", "Generating supports"): "正在生成支撑", ("Vexmor", "Slicing the scene"): "正在生成切片",
    ("VSaveWidgetX", "Save"): "保存",
    ("VSliceWidget", "Thickness Setting"): "层厚设置", ("VSliceWidget", "Advanced Setting"): "高级设置",
    ("VSliceWidget", "Plate Layers："): "底板层数：", ("VSliceWidget", "Thickness"): "层厚",
    ("VSliceWidget", "Start"): "开始切片", ("VSliceWidget", "Slicing Image Preview"): "切片图像预览",
    ("VSliceWidget", "Layer："): "层：",
}
SHARED = {
    "Current Dev:": "当前设备:", "Disconnect": "断开",
    "Can not delete": "不能删除", "Sure to Delete this config": "确定删除该配置", "New Material": "新建材料",
    "Material Name": "材料名称", "Material illustration": "材料说明",
    "Material Save Failed": "材料保存失败", "Check the configuration folder please": "请检查配置文件夹",
    "Curing Time": "固化时间", "Burn-in Time": "底层曝光时间", "Stable Time": "稳定时间", "Burn-in Range": "底层厚度",
    "Lift Distance1": "抬升距离1", "Lift Speed1": "抬升速度1", "Lift Distance2": "抬升距离2", "Lift Speed2": "抬升速度2",
    "Save": "保存", "Close": "关闭", "Cancel": "取消", "OK": "确定", "Recipe": "配方", "Recipe Name": "配方名称",
    "Resin Edit": "树脂编辑", "Recipe Edit": "配方编辑", "New / Edit Recipe": "新建/编辑配方",
    "Delete Recipe": "删除配方", "Delete Recipe ": "删除配方 ", "Overwrite Recipe ": "覆盖配方 ", "Recipe ": "配方 ",
    " can not be modified, please rename it!": " 不能修改，请重新命名！", "Invalid recipe name": "配方名称无效",
    "The recipe file could not be written: ": "无法写入配方文件：", "MachineType:": "机型：",
    "LayerThickness:": "层厚：", "Save Job": "保存任务", "Duplicate": "复制", "Local Printer": "本地打印机",
    "Network Printer": "网络打印机", "Save File": "保存文件", "Image Mirror": "图像镜像", "Long Side": "长边",
    "Short Side": "短边", "Center Exposure Time": "中心曝光时间", "Penetration Depth": "穿透深度",
    "Bottom Plate Layers": "底板层数", "Layers": "层", "Z Retract Speed": "Z轴回程速度",
    "Debond Speed Normal": "脱模速度", "Tilt Distance1": "倾斜距离1", "Tilt Speed1": "倾斜速度1",
    "Tilt Distance2": "倾斜距离2", "Tilt Speed2": "倾斜速度2", "Tilt Return Speed": "倾斜回程速度",
    "Tilt Near Distance": "倾斜接近距离", "Tilt Near Offset": "倾斜接近偏移", "Tilt Near Speed": "倾斜接近速度",
    "Rotate Circles": "旋转圈数", "Circle": "圈", "Rotate Speed": "旋转速度", "Circle/min": "圈/分钟",
    "Light PWM(0~255）": "光强PWM(0~255）", "Printer": "打印机", "Printer Select": "选择打印机",
    "X-Size(mm)": "X尺寸(mm)", "Y-Size(mm)": "Y尺寸(mm)", "Z-Height(mm)": "Z高度(mm)", "X Resolution": "X分辨率",
    "Y Resolution": "Y分辨率", "Language": "语言", "Version:": "版本：",
    "Please exit the program to apply the language setting!": "请退出程序以应用语言设置！",
    "Model is out of range, please scale it": "模型超出范围，请缩放模型", "Automatic Support": "自动支撑",
    "Density": "支撑密度", "Attaching Point": "顶端直径", "Support All": "全部支撑", "Support Selected": "支撑选中模型",
    "Manual Support": "手动支撑", "Left click on the model to add a support manually": "左键点击模型手动添加支撑",
    "Delete Support": "删除支撑", "left click on the support to delete": "左键点击支撑删除",
    "Delete for selected model": "删除选中模型的支撑", "Delete for all models": "删除所有模型的支撑",
    "Low    Middle     Large": "低      中       高", "Slice Configuration": "切片设置",
    "Exposure Configuration": "曝光设置", "Lift and Tilt": "抬升与倾斜", "Export Options": "导出选项",
    "Export Image Slices": "导出切片图像", "Export SVG Slices": "导出SVG切片",
    # The job texts of both print panels.
    "Slicing Data Error": "切片数据错误", "Slicing again Please": "请重新切片", "Connection Abnormal": "连接异常",
    "USB Cable abnormal,Check please": "USB线缆异常，请检查", "Extern Display": "外接显示器",
    "Projector Error": "投影仪错误", "Check The Projector Please": "请检查投影仪", "Network Error": "网络错误",
    "Check the Network connection please": "请检查网络连接", "G-code Error": "G代码错误",
    "Check the output folder please": "请检查输出文件夹", "Printing Complete": "打印结束",
    "Printing Cancelled": "打印已取消", "File Transfer Complete": "文件传输结束", "Failed to Save File": "文件保存失败",
    "File SaveComplete": "文件保存结束", "Sure to Cancel Job": "确定取消任务",
}

# Texts the forms show that have no given translation: authored here. Units,
# numbers, model names and format names stay as they are.
AUTHORED = {
    ("Vexmor", "Help"): "帮助", ("Vexmor", "Please slice before saving the job!"): "保存任务前请先切片！",
    ("Vexmor", "Slc File is Loaded,Cannot accept new model"): "已加载Slc文件，不能再导入新模型",
    ("Vexmor", "Open File Failed,check model please"): "打开文件失败，请检查模型",
    ("Vexmor", "The model is in use by a running job."): "该模型正被运行中的任务使用。",
    ("Vexmor", "Checking the model"): "正在检查模型",
    ("VFixWidget", "Checking the model: its defects are shown here as soon as the check ends."):
        "正在检查模型：检查结束后，模型缺陷将立即显示在此处。",
    ("Vexmor", "Slicing cannot start now."): "现在无法开始切片。",
    ("Vexmor", "Some models leave the build plate."): "部分模型超出了打印平台。",
    ("Vexmor", "%1 of %2 models stand partly or wholly off the build plate: what lies outside it is not printed. "
               "Move or scale them onto the plate to print them whole."):
        "%2 个模型中有 %1 个部分或全部位于打印平台之外：平台外的部分不会被打印。请移动或缩放模型使其完全位于平台上。",
    ("VexmorClass", "Import file"): "导入文件", ("VexmorClass", "Delete selected model"): "删除选中模型",
    ("VexmorClass", "Printer Control"): "打印机控制",
    ("VSliceWidgetX", "Slice"): "模型切片", ("VSliceWidgetX", "Thickness"): "层厚",
    ("VSliceWidgetX", "Plate Layers"): "底板层数", ("VSliceWidgetX", "Layer"): "层",
    ("VSliceWidgetX", "Not Sliced"): "未切片", ("VSliceWidgetX", "Sliced"): "已切片",
    ("VSaveWidgetX", "Prew"): "预览",
    ("VSaveWidgetX", "Material"): "材料", ("VSaveWidgetX", "Exposure"): "曝光", ("VSaveWidgetX", "Z Motor"): "Z轴电机",
    ("VSaveWidgetX", "Y Debond"): "Y轴脱模", ("VSaveWidgetX", "Y Return"): "Y轴回程", ("VSaveWidgetX", "Rotate"): "旋转",
    ("VSaveWidgetX", "Advance"): "高级",
    ("VImportWidgetX", "Import File"): "导入文件", ("VImportWidgetX", "Machine Type:"): "机型：",
    ("VImportWidgetX", "File Format:"): "文件格式：", ("VImportWidgetX", "File Name:"): "文件名：",
    ("VImportWidgetX", "Import"): "导入", ("VImportWidgetX", "Layer Thickness:"): "层厚：",
    ("VImportWidgetX", "A conversion is still running."): "转换仍在进行中。",
    ("VImportWidgetX", "File error: unknown format!"): "文件错误：未知格式！",
    ("VImportWidgetX", "Wrong layer thickness!"): "层厚不符！",
    ("VImportWidgetX", "Image setting does not match!"): "图像设置不匹配！",
    ("VImportWidgetX", "The converted file could not be written."): "无法写入转换后的文件。",
    ("VImportWidgetX", "The archive could not be opened."): "无法打开压缩包。",
    ("VImportWidgetX", 'The archive holds no readable "run.gcode".'): "压缩包中没有可读的“run.gcode”。",
    ("VImportWidgetX", "A layer of the archive is missing or damaged."): "压缩包中的某一层缺失或已损坏。",
    ("VImportWidgetX", "The print file was written, but:"): "打印文件已写入，但是：",
    ("VImportWidgetX", "The archive's settings are out of range."): "压缩包的设置超出范围。",
    ("VImportWidgetX", "The source is not a readable print file."): "源文件不是可读的打印文件。",
    ("VImportWidgetX", "The source is a print file for another printer."): "源文件是另一台打印机的打印文件。",
    ("VImportWidgetX", "The print is taller than the printer builds."): "打印件高于打印机的成型高度。",
    ("VImportWidgetX", "The conversion was not started."): "转换未开始。",
    ("VEditRecipeWidget", "New Recipe"): "新配方",
    ("frmSliceOptions", "Slice Thickness (mm)        "): "切片层厚 (mm)        ",
    ("frmSliceOptions", "Exposure Time Per Layer (ms)"): "每层曝光时间 (ms)",
    ("frmSliceOptions", "Bottom Exposure Time (ms)"): "底层曝光时间 (ms)",
    ("frmSliceOptions", "Number of Bottom Layers"): "底层层数",
    ("frmSliceOptions", "Z Lift Distance (mm)        "): "Z轴抬升距离 (mm)        ",
    ("frmSliceOptions", "Z Lift Speed (mm/s)"): "Z轴抬升速度 (mm/s)",
    ("frmSliceOptions", "Z Retract Speed (mm/s)"): "Z轴回程速度 (mm/s)",
    ("frmSliceOptions", "Tilt Distance1 (mm)"): "倾斜距离1 (mm)", ("frmSliceOptions", "Tilt Speed1 (mm/s)"): "倾斜速度1 (mm/s)",
    ("frmSliceOptions", "Tilt Distance2 (mm)"): "倾斜距离2 (mm)", ("frmSliceOptions", "Tilt Speed2 (mm/s)"): "倾斜速度2 (mm/s)",
    ("frmSliceOptions", "Tilt Retract Speed (mm/s)"): "倾斜回程速度 (mm/s)",
    ("frmSliceOptions", "Blank Time (ms)"): "黑屏时间 (ms)", ("frmSliceOptions", "Mirror X"): "X镜像",
    ("frmSliceOptions", "Mirror Y"): "Y镜像", ("frmSliceOptions", "Anti-aliasing"): "抗锯齿",
    ("VPrintWidget", "S\ne\nt\nt\ni\nn\ng"): "设\n置", ("VPrintWidget", "P\nr\ni\nn\nt\ne\nr"): "打\n印\n机",
    ("VPrintWidget", "Material"): "材料", ("VPrintWidget", "Exposure"): "曝光", ("VPrintWidget", "Z Motor"): "Z轴电机",
    ("VPrintWidget", "Y Debond"): "Y轴脱模", ("VPrintWidget", "Y Return"): "Y轴回程", ("VPrintWidget", "Rotate"): "旋转",
    ("VPrintWidget", "Advance"): "高级", ("VPrintWidget", "No."): "编号", ("VPrintWidget", "Description"): "描述",
    ("VPrintWidget", "Add"): "添加", ("VPrintWidget", "Delete"): "删除", ("VPrintWidget", "Exposure Time"): "曝光时间",
    ("VPrintWidget", "Bottom Time"): "底层曝光时间", ("VPrintWidget", "Bottom Stable Time"): "底层稳定时间",
    ("VPrintWidget", "Bottom High"): "底层高度", ("VPrintWidget", "Search/Refresh"): "搜索/刷新",
    ("VPrintWidget", "Connect"): "连接",
    ("VSLGLView", "Error!"): "错误！",
    ("VSLGLView", "There are still holes on the model! Please try to use other professional software to fix it."):
        "模型上仍有破孔！请尝试使用其他专业软件修复。",
    ("VSLGLView", "There are still non-manifold on the model! Please try to use other professional software to fix it."):
        "模型上仍有非流型！请尝试使用其他专业软件修复。",
    ("VSLGLView", "There are still errors on the model! Please try to use other professional software to fix it."):
        "模型上仍有错误！请尝试使用其他专业软件修复。",
    ("VSL3DScene", "a support or slice job is still running"): "支撑或切片任务仍在运行",
    ("VSL3DScene", "its layers are larger than the build area and were not scaled"): "其切片层超出打印范围且未缩放",
    ("VSL3DScene", "its layer thickness differs from the plate's"): "其层厚与平台上的层厚不同",
    ("VSL3DScene", "it is not a readable SLC file"): "不是可读取的SLC文件",
    ("VSL3DScene", "it holds no layer"): "不含任何切片层",
    ("VSL3DScene", "SVG Generator Slice"): "SVG生成器切片",
    ("VSL3DScene", "An SVG drawing created by the SVG Generator "): "由SVG生成器创建的SVG图形 ",
    ("VSliceWidget", "Not Sliced"): "未切片",
    ("VImportWidgetX", "Vexmor3D vxs files"): "Vexmor3D vxs文件",
    ("VImportWidgetX", "ChiTuBox zip files"): "ChiTuBox zip文件",
    ("VPrintWidget", "Material No.1"): "材料1",
    # The job thread's log lines.
    ("DLP::BuildManager", "The job file %1 cannot be read"): "无法读取任务文件 %1",
    ("DLP::BuildManager", "The job file %1 is empty"): "任务文件 %1 为空",
    ("DLP::BuildManager", "The job file %1 cannot be printed: %2"): "任务文件 %1 无法打印：%2",
    ("DLP::BuildManager", "No printer is connected"): "未连接打印机",
    ("DLP::BuildManager", "The printer was disconnected"): "打印机已断开连接",
    ("DLP::BuildManager", "The printer did not acknowledge %1 (written %2 times)"): "打印机未确认 %1（已发送 %2 次）",
    ("DLP::BuildManager", "Reply is no acknowledgement: %1"): "应答不是确认: %1",
    ("DLP::BuildManager", "Print failed: %1"): "打印失败: %1",
    ("DLP::BuildManager", "Printing: %1"): "正在打印: %1", ("DLP::BuildManager", "Start"): "开始",
    ("DLP::BuildManager", "No OK: %1"): "未收到OK: %1", ("DLP::BuildManager", "times: "): "次数: ",
    ("DLP::BuildManager", "Command given up for the cancel: %1"): "因取消而放弃命令: %1",
    ("DlpSerialPort", "InfoPortname: "): "端口信息名: ", ("DlpSerialPort", "Portname: "): "端口名: ",
    ("DlpSerialPort", "Write M900 start"): "开始写入M900", ("DlpSerialPort", "Return of M900: "): "M900返回: ",
    ("DlpSerialPort", "No reply to M900, printer offline"): "M900无应答，打印机离线",
    ("DlpSerialPort", "FirmWare Version: %1"): "固件版本: %1",
    ("DlpSerialPort", "Write M701 start"): "开始写入M701", ("DlpSerialPort", "Return of M701: "): "M701返回: ",
    ("DlpSerialPort", "Return of M701 longer than %1 bytes: light data refused"): "M701返回超过 %1 字节：光机数据被拒绝",
    ("DlpSerialPort", "Printer port lost: %1"): "打印机端口丢失: %1",
    # A print's end and refused values, in the print panels.
    ("VSaveWidgetX", "Printing Failed"): "打印失败", ("VSaveWidgetX", "The print ended without a report"): "打印结束但没有报告",
    ("VSaveWidgetX", "Value Out of Range"): "数值超出范围", ("VSaveWidgetX", "built-in recipe %1"): "内置配方 %1",
    ("VSaveWidgetX", "the print settings"): "打印设置",
    ("VPrintWidget", "Value Out of Range"): "数值超出范围", ("VPrintWidget", "the print settings"): "打印设置",
    ("VImportWidgetX", "Value Out of Range"): "数值超出范围",
    ("NetUI", "File transfer failed: %1"): "文件传输失败: %1",
    # The serial jog panel.
    ("DeviceInterface", "Configure"): "配置",
    ("DeviceInterface", "Move Z 1mm"): "Z轴 1mm", ("DeviceInterface", "Move Z -1mm"): "Z轴 -1mm",
    ("DeviceInterface", "Move Z 10mm"): "Z轴 10mm", ("DeviceInterface", "Move Z -10mm"): "Z轴 -10mm",
    ("DeviceInterface", "Move Y 1mm"): "Y轴 1mm", ("DeviceInterface", "Move Y -1mm"): "Y轴 -1mm",
    ("DeviceInterface", "Move Y 10mm"): "Y轴 10mm", ("DeviceInterface", "Move Y -10mm"): "Y轴 -10mm",
    ("DeviceInterface", "No printer port found"): "未找到打印机端口", ("DeviceInterface", "Disconnected"): "已断开",
    ("DeviceInterface", "Critical Error"): "严重错误",
    # The printer control dialog.
    ("DlpCtlDialog", "Prnter Connection"): "打印机连接", ("DlpCtlDialog", "Connect to Usb Printer"): "连接USB打印机",
    ("DlpCtlDialog", "Insert"): "已插入", ("DlpCtlDialog", "Printer Control"): "打印机控制",
    ("DlpCtlDialog", "Up/Down Motor(Z Axis)"): "升降电机(Z轴)", ("DlpCtlDialog", "Top Position"): "顶部位置",
    ("DlpCtlDialog", "Bottom Position"): "底部位置", ("DlpCtlDialog", "Debond Motor(Y Axis)"): "脱模电机(Y轴)",
    ("DlpCtlDialog", "Rotate Motor"): "旋转电机", ("DlpCtlDialog", "LED Ctrl"): "LED控制",
    ("DlpCtlDialog", "Inside Led On/Off"): "内部LED开/关", ("DlpCtlDialog", "Project LED Off"): "投影LED关",
    ("DlpCtlDialog", "Project LED On"): "投影LED开", ("DlpCtlDialog", "Emergency Stop"): "紧急停止",
    ("DlpCtlDialog", "Current"): "电流", ("DlpCtlDialog", "Set Current"): "设置电流",
    ("DlpCtlDialog", "Read Current"): "读取电流", ("DlpCtlDialog", "ImageShow"): "显示图像",
    ("DlpCtlDialog", "Mirror"): "镜像", ("DlpCtlDialog", "Mirror Set"): "镜像设置",
    ("DlpCtlDialog", "XY Exposure Adjust"): "XY曝光调整", ("DlpCtlDialog", "Not Adjust"): "不调整",
    ("DlpCtlDialog", "25um Reduce"): "减少25um", ("DlpCtlDialog", "50um Reduce"): "减少50um",
    ("DlpCtlDialog", "75um Reduce"): "减少75um", ("DlpCtlDialog", "100um Reduce"): "减少100um",
    ("DlpCtlDialog", "Home  Adjust"): "原点调整", ("DlpCtlDialog", "Rotate Motors"): "旋转电机",
    ("DlpCtlDialog", "Debond Motors"): "脱模电机", ("DlpCtlDialog", "Up/Down Motors"): "升降电机",
    ("DlpCtlDialog", "Adjust Set"): "设置调整", ("DlpCtlDialog", "Adjust Read"): "读取调整",
    ("DlpCtlDialog", "Open Pictures"): "打开图片",
    ("NetUI", "Printer Connection"): "打印机连接", ("NetUI", "Search"): "搜索",
    ("NetUI", '<html><head/><body><p><span style=" color:#ff0000;">Offline</span></p></body></html>'):
        '<html><head/><body><p><span style=" color:#ff0000;">离线</span></p></body></html>',
    ("WebForm", "Scan LCD devices"): "扫描LCD设备", ("WebForm", "ClearCache"): "清除缓存",
    ("frmDLP", "Error!"): "错误！",
    ("frmDLP", "GreyTestFinal data file missing!"): "缺少GreyTestFinal数据文件！",
    ("frmDLP", "No Light Engine Parameters Loaded!"): "未加载光机参数！",
    ("frmDLP", "Machine data file missing!"): "缺少机器数据文件！",
    ("frmDLP", "Light engine data invalid: %1"): "光机数据无效: %1",
    ("frmDLP", "No memory for a %1 x %2 layer image"): "内存不足，无法创建 %1 x %2 的层图像",
    # Files of the configuration folder that were not used as they are.
    ("OwnedFile", "%1 %2. It is neither read nor written; the program uses its defaults until it ends."):
        "%1 %2。程序不读取也不写入该文件，在退出前使用默认设置。",
    ("OwnedFile", "%1 cannot be read as a settings file and could not be set aside. It is left as it is; the "
                  "program uses its defaults until it ends."):
        "%1 无法作为设置文件读取，也无法另存。文件保持原样；程序在退出前使用默认设置。",
    ("OwnedFile", "%1 could not be read as a settings file. It was kept as %2; the program starts from its "
                  "defaults."):
        "%1 无法作为设置文件读取，已保留为 %2；程序从默认设置开始。",
    ("OwnedFile", "is a link to %1, outside the folder %2"): "是指向 %1 的链接，位于文件夹 %2 之外",
    ("OwnedFile", "is a link to %1, which does not exist"): "是指向不存在的 %1 的链接",
    ("OwnedFile", "is a link to %1, which is not a regular file"): "是指向 %1 的链接，该目标不是普通文件",
    ("OwnedFile", "is not a regular file"): "不是普通文件",
    ("OwnedFile", "lies in %1 (a folder on its way is a link), outside the folder %2"):
        "位于 %1（其路径上的文件夹是链接），在文件夹 %2 之外",
    ("OwnedFile", "lies in %1, a link to %2, which does not exist"): "位于 %1 中，它是指向不存在的 %2 的链接",
    ("OwnedFile", "is too large to be a settings file (%1 bytes)"): "过大，不可能是设置文件（%1 字节）",
    ("OwnedFile", "%1 stays held by another program"): "%1 一直被另一个程序占用",
    ("OwnedFile", "%1. %2 is read but not written; the program keeps its values in memory until it ends."):
        "%1。程序读取 %2 但不写入；在退出前将其设置保留在内存中。",
    ("OwnedFile", "%1. %2 is not written; the program keeps its values in memory until it ends."):
        "%1。程序不写入 %2；在退出前将其设置保留在内存中。",
    ("OwnedFile", "%1 %2. It is not read; the program goes on without it."): "%1 %2。程序不读取该文件，并在没有它的情况下继续运行。",
    ("OwnedFile", "%1 %2. Qt's logging rules there are not read."): "%1 %2。不读取其中的 Qt 日志规则。",
    ("OwnedFile", "%1 is too large to be a lock file (%2 bytes)"): "%1 过大，不可能是锁文件（%2 字节）",
    ("OwnedFile", "%1 cannot be opened (%2)"): "%1 无法打开（%2）",
    ("OwnedFile", "%1 is held by no running program but cannot be removed (%2)"):
        "%1 未被任何运行中的程序占用，但无法删除（%2）",
    ("OwnedFile", "%1 %2. It is not read; the support presets in %3 are read, but changes to them are not kept "
                  "after the program ends."):
        "%1 %2。程序不读取该文件；%3 中的支撑预设会被读取，但对其所做的更改在程序退出后不会保留。",
    ("OwnedFile", "%1 %2. It is not read; the documents, desktop and download folders are taken to be those in "
                  "%3."):
        "%1 %2。程序不读取该文件；文档、桌面和下载文件夹改用 %3 下的文件夹。",
    ("Vexmor", "A settings file was not used as it is."): "有设置文件未按原样使用。",
    # Models, slicing and supports the printer cannot take.
    ("VSL3DScene", "%1: its %2 layers of %3 mm make %4 mm, more than the printer's build height of %5 mm"):
        "%1：其 %2 层 %3 mm 的切片共 %4 mm，超过打印机 %5 mm 的打印高度",
    ("VSL3DScene", "The plate needs %1 layers of %2 mm, but the printer's build height of %3 mm holds %4. "
                   "Scale the model down or choose a thicker layer."):
        "平台需要 %1 层 %2 mm 的切片，但打印机 %3 mm 的成型高度只能容纳 %4 层。请缩小模型或选择更厚的层。",
    ("VSL3DScene", "The system refused the threads slicing needs; nothing was sliced."):
        "系统拒绝了切片所需的线程；未进行切片。",
    ("VSL3DScene", "The system refused the threads slicing needs; the slice was stopped."):
        "系统拒绝了切片所需的线程；切片已停止。",
    ("VSL3DScene", "The system refused the threads support generation needs; it was stopped."):
        "系统拒绝了生成支撑所需的线程；生成已停止。",
    ("VSLGLView", "The model file is incomplete"): "模型文件不完整",
    ("VSLGLView", "Support generation stopped."): "支撑生成已停止。",
    ("Vexmor", "The model file is incomplete"): "模型文件不完整",
    ("Vexmor", "Slicing stopped."): "切片已停止。",
    ("Vexmor", "Nothing to print."): "没有可打印的内容。",
    # Why a print file was not written, as the save box's detail gives it.
    ("PrintFile", "Nothing to print."): "没有可打印的内容。",
    ("PrintFile", "the print file was written"): "打印文件已写入",
    ("PrintFile", "there are no sliced layers to write"): "没有可写入的切片层",
    ("PrintFile", "the printer resolution is not a usable frame size"): "打印机分辨率不是可用的画面尺寸",
    ("PrintFile", "the destination folder cannot be written to"): "目标文件夹无法写入",
    ("PrintFile", "The file could not be written"): "文件无法写入",
    ("PrintFile", "the finished file could not replace the destination"): "完成的文件无法替换目标文件",
    ("PrintFile", "a layer could not be rendered"): "有一层无法渲染",
    ("PrintFile", "the job is too large for the vector file"): "任务对矢量文件来说过大",
    ("PrintFile", "No space left on the device"): "设备上没有剩余空间",
    ("PrintFile", "the destination exists and is not a regular file"): "目标已存在且不是普通文件",
    ("PrintFile", "the vector file and the layer-image file would have the same name"): "矢量文件与图层图像文件将同名",
    ("PrintFile", "the destination is the file of a model on the plate"): "目标是平台上某个模型的文件",
    ("PrintFile", "unknown error %1"): "未知错误 %1",
    ("Vexmor", "No layer was sliced: the models on the plate are lower than one layer. Scale them up or choose "
               "thinner layers."): "没有切出任何层：平台上的模型低于一层的厚度。请放大模型或选择更薄的层厚。",
    ("VImportWidgetX", "%1 already exists. Replace it?"): "%1 已存在。是否替换？",
    # The converter's refusals and notes.
    ("PrinterModels", "Wrong printer! the source is a print file of machine code %1 (%2); %3 prints only files of "
                      "its own code %4"):
        "打印机不符！源文件是机器代码 %1（%2）的打印文件；%3 只打印其自身机器代码 %4 的文件",
    ("PrinterModels", "no known printer"): "无已知打印机", ("PrinterModels", "the printer"): "该打印机",
    ("PrinterModels", "Too tall to print! its %1 layers of %2 mm make %3 mm, more than the build height of %4, "
                      "%5 mm"):
        "过高，无法打印！其 %1 层 %2 mm 的切片共 %3 mm，超过 %4 的成型高度 %5 mm",
    ("PrinterModels", "Image setting does not match! the source is %1 x %2 pixels, %3 takes %4 x %5%6"):
        "图像设置不匹配！源文件为 %1 x %2 像素，%3 需要 %4 x %5%6",
    ("PrinterModels", " (image turned a quarter turn)"): "（图像旋转了四分之一圈）",
    ("PrinterModels", "The archive is made for %1 x %2 x %3 mm at %4 x %5 pixels; %6 builds %7 x %8 x %9 mm at "
                      "%10 x %11 pixels."):
        "压缩包适用于 %1 x %2 x %3 mm、%4 x %5 像素的打印机；%6 的成型尺寸为 %7 x %8 x %9 mm、%10 x %11 像素。",
    ("ExportThread", '1 layer picture left out ("%1"): the header of "run.gcode" counts %2 layers'):
        "有 1 张层图片未转换（“%1”）：“run.gcode”的文件头只计 %2 层",
    ("ExportThread", '%1 layer pictures left out ("%2" to "%3"): the header of "run.gcode" counts %4 layers'):
        "有 %1 张层图片未转换（“%2”至“%3”）：“run.gcode”的文件头只计 %4 层",
    ("ExportThread", "and %1 more"): "另有 %1 张",
    ("ExportThread", '1 other picture left out (%1): the layers are "1.png" to "%2"'):
        "有 1 张其他图片未转换（%1）：层图片为“1.png”至“%2”",
    ("ExportThread", '%1 other pictures left out (%2): the layers are "1.png" to "%3"'):
        "有 %1 张其他图片未转换（%2）：层图片为“1.png”至“%3”",
    ("ExportThread", "missing from the archive"): "在压缩包中缺失", ("ExportThread", "too large"): "过大",
    ("ExportThread", "cannot be read (damaged archive)"): "无法读取（压缩包已损坏）",
    ("ExportThread", 'preview dropped: "%1" %2'): "已舍弃预览图：“%1” %2",
    ("ExportThread", 'preview dropped: "%1": %2'): "已舍弃预览图：“%1”：%2",
    ("ExportThread", 'preview dropped: "%1": image of %2 x %3 pixels at %4 bits needs %5 MB to convert, more than '
                     'the %6 MB a conversion may use'):
        "已舍弃预览图：“%1”：%2 x %3 像素、%4 位的图像转换需要 %5 MB，超过一次转换可用的 %6 MB",
}

# Texts that read the same in Chinese: designer titles and object names, units,
# numbers, model and product names, file patterns, the language names (saved
# as they are shown), a style sheet and texts already written in Chinese.
AS_IS = (
    "Form", "Dialog", "Frame", "DeviceInterface", "frmDLP", "frmDeviceInterfaceSettings", "frmSliceOptions",
    "VexmorClass", "Qt", "VexmorSuite", "Version: 1.37", "V0.09", "Ver:Keravel", "English", "Chinese",
    "Pellar10", "Pellar30", "Pellar120", "Pellar4K", "Pellar4Kmono", "Vexmor3d red", "add red", "TextLabel",
    "ms", "mm", "um", "mm/min", "50 um", "50um", "100um", "0", "0.0", "55", "98", "150", "255", "480", "854",
    "1.37", "+1mm", "-1mm", "+10mm", "-10mm", "+0.1mm", "-0.1mm", "1℃", "90℃", "180℃", "360℃", "(0~255)",
    "AdjX", "AdjY", "AdjZ", "X", "Y", "Z", "°", "Lock", "NA", "N/A", "...", "：", "*.png *.jpeg *.jpg *.bmp *.svg",
    "打开文件", "打印已取消", "打印结束", "打印失败", "文件传输结束", "文件保存失败", "文件保存结束",
    "QPushButton { background-color: rgb(230, 0, 0); border-radius: 3px; color: rgb(255, 255, 255); }\n"
    "QPushButton:hover { background-color: rgb(245, 69, 234); }",
)
SHARED.update({"Connect": "连接", "Exit": "退出"})
SHARED.update({text: text for text in AS_IS})


def fill(path):
    tree = ET.parse(path)
    root = tree.getroot()
    root.set("language", "zh_CN")
    for ctx in root.findall("context"):
        name = ctx.find("name").text
        for msg in ctx.findall("message"):
            tr = msg.find("translation")
            if tr is None or (tr.text and tr.get("type") != "unfinished"):
                continue
            src = msg.find("source").text or ""
            text = None if name in ENGLISH_ONLY else BY_CONTEXT.get((name, src), AUTHORED.get((name, src), SHARED.get(src)))
            if text is not None:
                tr.text = text
                tr.attrib.pop("type", None)
    tree.write(path, encoding="utf-8", xml_declaration=True)


def main():
    sources = [os.path.join(ROOT, d) for d in ("app", "panels", "printer", "vslglview", "Resources/Qml")]
    ts = [os.path.join(LANG, "en.ts"), os.path.join(LANG, "zh-cn.ts")]
    subprocess.run([LUPDATE, "-silent", "-no-obsolete", "-locations", "none", *sources, "-ts", *ts], check=True)
    fill(ts[1])
    return 0


if __name__ == "__main__":
    sys.exit(main())
