# Generates the Qt Designer layouts of the main window and the two notice boxes.
import html
def w(cls, name, props="", children="", layout=None):
    p = props
    inner = children
    if layout:
        inner = f'<layout class="{layout}" name="{name}-layout">{children}</layout>'
    return f'<widget class="{cls}" name="{name}">{p}{inner}</widget>'
def item(x): return f'<item>{x}</item>'
def text(t): return f'<property name="text"><string>{html.escape(t)}</string></property>'
def checkable(): return '<property name="checkable"><bool>true</bool></property>'
def prop_int(n,v): return f'<property name="{n}"><number>{v}</number></property>'
def orient(o): return f'<property name="orientation"><enum>Qt::{o}</enum></property>'
def minsize(wd,ht): return f'<property name="minimumSize"><size><width>{wd}</width><height>{ht}</height></size></property>'
def group(title, name, kids, layout="QHBoxLayout"):
    return w("QGroupBox", name, f'<property name="title"><string>{html.escape(title)}</string></property>', "".join(item(k) for k in kids), layout)
def radio(name, t): return w("QRadioButton", name, text(t))
def check(name, t): return w("QCheckBox", name, text(t))
def button(name, t): return w("QPushButton", name, text(t))
def label(name, t): return w("QLabel", name, text(t))
def slider(name, mn, mx, v): return w("QSlider", name, orient("Horizontal")+prop_int("minimum",mn)+prop_int("maximum",mx)+prop_int("value",v))
def hbox(name, kids): return w("QWidget", name, "", "".join(item(k) for k in kids), "QHBoxLayout")
def vbox(name, kids): return w("QWidget", name, "", "".join(item(k) for k in kids), "QVBoxLayout")
def edit(name, t=""): return w("QLineEdit", name, text(t) + '<property name="maximumSize"><size><width>48</width><height>16777215</height></size></property>')
def combo(name, items): return w("QComboBox", name, "", "".join(f'<item><property name="text"><string>{html.escape(i)}</string></property></item>' for i in items))
def lst(name): return w("QListWidget", name, minsize(0,140))
def progress(name): return w("QProgressBar", name, prop_int("value",0))
def spacer(name): return f'<spacer name="{name}"><property name="orientation"><enum>Qt::Horizontal</enum></property></spacer>'

header = hbox("header", [label("titleLabel","KAL屏幕录制"), spacer("sp1"),
    w("QLabel","usepic", text("●")), button("username","未登录"), button("login","登录"), button("register","注册"),
    w("QFrame","separator", '<property name="frameShape"><enum>QFrame::VLine</enum></property>'),
    button("feedback","反馈"), button("seting","设置"), button("help","帮助")])
tabs = hbox("page-buttons", [w("QRadioButton", n, text(t)) for n,t in [("video-record-page","录制视频"),("video-cut-page","视频剪切"),("video-convert-page","格式转换"),("video-compress-page","视频压缩")]] + [spacer("sp2")])

record = vbox("record-page", [
  group("声音来源","voice-source-group",[radio("voice-source-default","系统声音和麦克风"),radio("voice-source-microphone","麦克风"),radio("voice-source-system","系统声音")]),
  group("视频格式","video-format-group",[radio("radio_mp4","MP4"),radio("radio_flv","FLV"),radio("radio_wmv","WMV"),radio("radio_avi","AVI"),radio("radio_mov","MOV"),radio("radio_mkv","MKV")]),
  group("画质","quality-group",[radio("quality_high","高清"),radio("quality_middle","标清"),radio("quality_low","流畅")]),
  group("麦克风","microphone-group",[check("microphone-check","麦克风增强"),check("audio-mute-check","静音录制"),slider("microphone-voice-slider",0,90,20),label("microphone-voice-size","20dB")]),
  hbox("record-controls",[button("recorderStartBtn","开始录制"),button("recorderPauseBtn","暂停"),button("recorderStopBtn","停止"),label("recordTimeText","00:00:00"),label("recordSoundText",""),spacer("sp3"),button("brushBtn","画笔")]),
  label("listTitle","录制的文件"), lst("listview")])

def timeedits(prefix):
    return [edit(f"{prefix}-hour","00"),label(f"{prefix}-c1",":"),edit(f"{prefix}-min","00"),label(f"{prefix}-c2",":"),edit(f"{prefix}-sec","00"),label(f"{prefix}-c3","."),edit(f"{prefix}-milli","000")]
cut = vbox("cut-page", [
  hbox("cut-top",[button("add-video-file","添加视频"),button("video-dir-btn","输出目录"),spacer("sp4")]),
  w("QFrame","player-area", minsize(480,270)+'<property name="frameShape"><enum>QFrame::Box</enum></property>'),
  slider("video-slider",0,1000,0),
  hbox("player-controls",[button("rewind","后退"),button("play","播放"),button("pause","暂停"),button("stop","停止"),button("forward","前进"),label("duration","00:00:00/00:00:00"),spacer("sp5"),label("soundLabel","音量"),slider("sound-slider",0,128,64)]),
  hbox("cut-range",[label("startLabel","开始")] + timeedits("starttime") + [button("get-starttime","取当前"), label("endLabel","结束")] + timeedits("endtime") + [button("get-endtime","取当前")]),
  hbox("cut-run",[button("video-cut-btn","剪切"),progress("video-cut-progress"),label("video-cut-progress-label","0%")])])

convert = vbox("convert-page", [
  hbox("convert-top",[button("add-convert-file","添加文件"),label("convertFormatLabel","格式"),combo("video-convert-format",["mp4","flv","wmv","avi","mov","mkv"]),label("convertRatioLabel","分辨率"),combo("video-convert-ratio",["原始","1920x1080","1280x720","854x480","640x360"]),spacer("sp6")]),
  lst("convert-list")])

compress = vbox("compress-page", [
  group("压缩方式","compress-type-group",[radio("compress-type-general","普通压缩"),radio("compress-type-deep","深度压缩"),radio("compress-type-limit","极限压缩")]),
  group("输出格式","compress-format-group",[radio("compress-radio-mp4","MP4"),radio("compress-radio-flv","FLV")]),
  hbox("compress-options",[label("compressRatioLabel","分辨率"),combo("video-compress-ratio",["原始","1280x720","854x480"]),check("video-compress-check","自定义质量"),slider("video-compress-slider",0,100,50),label("video-compress-label","50%"),check("video-compress-balanced-check","均衡")]),
  hbox("compress-top",[button("add-compress-file","添加文件"),spacer("sp7")]),
  lst("compress-list")])

stack = w("QStackedWidget","main-tab","", "".join(f'{p}' for p in [record,cut,convert,compress]))
main = w("QWidget","MainWindow", minsize(900,640)+'<property name="windowTitle"><string>KAL屏幕录制</string></property>', "".join(item(x) for x in [header,tabs,stack]), "QVBoxLayout")
def ui(body): return f'<?xml version="1.0" encoding="UTF-8"?>\n<ui version="4.0">\n{body}\n</ui>\n'
open("skin/MainWindow.xml","w").write(ui(main))
for fname, cancel in [("MessageBox.xml", True), ("PromptBox.xml", False)]:
    kids=[spacer("spb"), button("msgConfirm","确定")] + ([button("msgCancel","取消")] if cancel else [])
    box = w("QWidget", fname[:-4], minsize(360,150), item(label("msgText","")) + item(hbox("msgButtons", kids)), "QVBoxLayout")
    open("skin/"+fname,"w").write(ui(box))
