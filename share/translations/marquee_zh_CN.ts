<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Colours</name>
    <message>
        <source>black</source>
        <translation>黑色</translation>
    </message>
    <message>
        <source>red</source>
        <translation>红色</translation>
    </message>
    <message>
        <source>green</source>
        <translation>绿色</translation>
    </message>
    <message>
        <source>blue</source>
        <translation>蓝色</translation>
    </message>
    <message>
        <source>yellow</source>
        <translation>黄色</translation>
    </message>
    <message>
        <source>purple</source>
        <translation>紫色</translation>
    </message>
    <message>
        <source>gray</source>
        <translation>青色</translation>
    </message>
    <message>
        <source>white</source>
        <translation>白色</translation>
    </message>
</context>
<context>
    <name>ComposerSignView</name>
    <message>
        <source>ONE LINE</source>
        <translation>单行</translation>
    </message>
    <message>
        <source>MANY LINE</source>
        <translation>多行</translation>
    </message>
    <message>
        <source>Which CHANGE the pages below show</source>
        <translation>下方显示的是哪一种转换的页面</translation>
    </message>
</context>
<context>
    <name>DisplayNames</name>
    <message>
        <source>dual colour, no fold</source>
        <translation>双基色，不折</translation>
    </message>
    <message>
        <source>dual colour, 1/8 scan, folded once at the top</source>
        <translation>双基色，1/8 扫描，上折一次</translation>
    </message>
    <message>
        <source>dual colour, 1/8 scan, folded once at the bottom</source>
        <translation>双基色，1/8 扫描，下折一次</translation>
    </message>
    <message>
        <source>dual colour, 1/8 scan, folded 3 times at the top</source>
        <translation>双基色，1/8 扫描，上折三次</translation>
    </message>
    <message>
        <source>dual colour, 1/8 scan, folded 3 times at the bottom</source>
        <translation>双基色，1/8 扫描，下折三次</translation>
    </message>
    <message>
        <source>dual colour, 1/8 scan, folded 7 times at the top</source>
        <translation>双基色，1/8 扫描，上折七次</translation>
    </message>
    <message>
        <source>dual colour, 1/8 scan, folded 7 times at the bottom</source>
        <translation>双基色，1/8 扫描，下折七次</translation>
    </message>
    <message>
        <source>dual colour, 1/16 scan, folded once at the top</source>
        <translation>双基色，1/16 扫描，上折一次</translation>
    </message>
    <message>
        <source>dual colour, 1/16 scan, folded once at the bottom</source>
        <translation>双基色，1/16 扫描，下折一次</translation>
    </message>
    <message>
        <source>dual colour, 1/16 scan, folded 3 times at the top</source>
        <translation>双基色，1/16 扫描，上折三次</translation>
    </message>
    <message>
        <source>dual colour, 1/16 scan, folded 3 times at the bottom</source>
        <translation>双基色，1/16 扫描，下折三次</translation>
    </message>
    <message>
        <source>dual colour, 1/16 scan, folded 7 times at the top</source>
        <translation>双基色，1/16 扫描，上折七次</translation>
    </message>
    <message>
        <source>dual colour, 1/16 scan, folded 7 times at the bottom</source>
        <translation>双基色，1/16 扫描，下折七次</translation>
    </message>
    <message>
        <source>single colour, no fold</source>
        <translation>单色，不折</translation>
    </message>
    <message>
        <source>single colour, 1/8 scan, folded once at the top</source>
        <translation>单色，1/8 扫描，上折一次</translation>
    </message>
    <message>
        <source>single colour, 1/8 scan, folded once at the bottom</source>
        <translation>单色，1/8 扫描，下折一次</translation>
    </message>
    <message>
        <source>single colour, 1/8 scan, folded 3 times at the top</source>
        <translation>单色，1/8 扫描，上折三次</translation>
    </message>
    <message>
        <source>single colour, 1/8 scan, folded 3 times at the bottom</source>
        <translation>单色，1/8 扫描，下折三次</translation>
    </message>
    <message>
        <source>single colour, 1/8 scan, folded 7 times at the top</source>
        <translation>单色，1/8 扫描，上折七次</translation>
    </message>
    <message>
        <source>single colour, 1/8 scan, folded 7 times at the bottom</source>
        <translation>单色，1/8 扫描，下折七次</translation>
    </message>
    <message>
        <source>single colour, 1/16 scan, folded once at the top</source>
        <translation>单色，1/16 扫描，上折一次</translation>
    </message>
    <message>
        <source>single colour, 1/16 scan, folded once at the bottom</source>
        <translation>单色，1/16 扫描，下折一次</translation>
    </message>
    <message>
        <source>single colour, 1/16 scan, folded 3 times at the top</source>
        <translation>单色，1/16 扫描，上折三次</translation>
    </message>
    <message>
        <source>single colour, 1/16 scan, folded 3 times at the bottom</source>
        <translation>单色，1/16 扫描，下折三次</translation>
    </message>
    <message>
        <source>single colour, 1/16 scan, folded 7 times at the top</source>
        <translation>单色，1/16 扫描，上折七次</translation>
    </message>
    <message>
        <source>single colour, 1/16 scan, folded 7 times at the bottom</source>
        <translation>单色，1/16 扫描，下折七次</translation>
    </message>
    <message>
        <source>special dual colour, 1/8 scan, folded once at the bottom and once at the top</source>
        <translation>特殊双基色，1/8 扫描，下折一次、上折一次</translation>
    </message>
    <message>
        <source>appear at once</source>
        <translation>立即显示</translation>
    </message>
    <message>
        <source>move in from the right</source>
        <translation>从右向左移入</translation>
    </message>
    <message>
        <source>move in from the left</source>
        <translation>从左向右移入</translation>
    </message>
    <message>
        <source>move in from the bottom</source>
        <translation>从下向上移入</translation>
    </message>
    <message>
        <source>move in from the top</source>
        <translation>从上向下移入</translation>
    </message>
    <message>
        <source>wipe from left to right</source>
        <translation>从左向右展开</translation>
    </message>
    <message>
        <source>wipe from right to left</source>
        <translation>从右向左展开</translation>
    </message>
    <message>
        <source>wipe from top to bottom</source>
        <translation>从上向下展开</translation>
    </message>
    <message>
        <source>wipe from bottom to top</source>
        <translation>从下向上展开</translation>
    </message>
    <message>
        <source>wipe from both sides to the centre</source>
        <translation>从两边向中间展开</translation>
    </message>
    <message>
        <source>wipe from the centre to both sides</source>
        <translation>从中间向两边展开</translation>
    </message>
    <message>
        <source>wipe from top and bottom to the centre</source>
        <translation>从上下向中间展开</translation>
    </message>
    <message>
        <source>wipe from the centre to top and bottom</source>
        <translation>从中间向上下展开</translation>
    </message>
    <message>
        <source>blinds from left to right</source>
        <translation>从左向右百叶窗</translation>
    </message>
    <message>
        <source>blinds from right to left</source>
        <translation>从右向左百叶窗</translation>
    </message>
    <message>
        <source>blinds from top to bottom</source>
        <translation>从上向下百叶窗</translation>
    </message>
    <message>
        <source>blinds from bottom to top</source>
        <translation>从下向上百叶窗</translation>
    </message>
    <message>
        <source>move in from both sides to the centre</source>
        <translation>从两边向中间移入</translation>
    </message>
    <message>
        <source>move out from the centre to both sides</source>
        <translation>从中间向两边移出</translation>
    </message>
    <message>
        <source>move in from top and bottom to the centre</source>
        <translation>从上下向中间移入</translation>
    </message>
    <message>
        <source>move out from the centre to top and bottom</source>
        <translation>从中间向上下移出</translation>
    </message>
    <message>
        <source>chase in from the right</source>
        <translation>从右向左追入</translation>
    </message>
    <message>
        <source>chase in from the left</source>
        <translation>从左向右追入</translation>
    </message>
    <message>
        <source>chase in from the bottom</source>
        <translation>从下向上追入</translation>
    </message>
    <message>
        <source>chase in from the top</source>
        <translation>从上向下追入</translation>
    </message>
    <message>
        <source>wipe from the top-left corner</source>
        <translation>从左上角展开</translation>
    </message>
    <message>
        <source>wipe from the bottom-left corner</source>
        <translation>从左下角展开</translation>
    </message>
    <message>
        <source>wipe from the top-right corner</source>
        <translation>从右上角展开</translation>
    </message>
    <message>
        <source>wipe from the bottom-right corner</source>
        <translation>从右下角展开</translation>
    </message>
    <message>
        <source>wipe from top-left and bottom-right to the centre</source>
        <translation>从左上角、右下角向中间展开</translation>
    </message>
    <message>
        <source>wipe from bottom-left and top-right to the centre</source>
        <translation>从左下角、右上角向中间展开</translation>
    </message>
    <message>
        <source>wipe from the four corners to the centre</source>
        <translation>从四角向中间展开</translation>
    </message>
    <message>
        <source>wipe from the centre to top-left and bottom-right</source>
        <translation>从中间向左上角、右下角展开</translation>
    </message>
    <message>
        <source>wipe from the centre to bottom-left and top-right</source>
        <translation>从中间向左下角、右上角展开</translation>
    </message>
    <message>
        <source>wipe from the centre to the four corners</source>
        <translation>从中间向四角展开</translation>
    </message>
    <message>
        <source>wipe from the top-left corner by areas</source>
        <translation>从左上角分区展开</translation>
    </message>
    <message>
        <source>fan out from the centre</source>
        <translation>从中间向四周扇形展开</translation>
    </message>
    <message>
        <source>circle out from the centre</source>
        <translation>从中间向四周圆形展开</translation>
    </message>
    <message>
        <source>circle in to the centre</source>
        <translation>从四周向中间圆形展开</translation>
    </message>
    <message>
        <source>clock</source>
        <translation>时钟</translation>
    </message>
    <message>
        <source>flash</source>
        <translation>闪烁</translation>
    </message>
</context>
<context>
    <name>FitChooser</name>
    <message>
        <source>stretch to the sign</source>
        <translation>拉伸到屏幕</translation>
    </message>
    <message>
        <source>fit inside, black bars</source>
        <translation>完整显示，留黑边</translation>
    </message>
    <message>
        <source>crop to fill</source>
        <translation>裁剪填满</translation>
    </message>
    <message>
        <source>invert (light text on dark)</source>
        <translation>反色（深底亮字）</translation>
    </message>
    <message>
        <source>Picture:</source>
        <translation>图片：</translation>
    </message>
</context>
<context>
    <name>Import</name>
    <message>
        <source>LibreOffice is not installed or cannot be started, so documents and spreadsheets cannot be imported.
Install it with:
  sudo apt install libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-draw-nogui python3-uno</source>
        <translation>未安装 LibreOffice 或无法启动它，因此不能导入文档和表格。
请用以下命令安装：
  sudo apt install libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-draw-nogui python3-uno</translation>
    </message>
    <message>
        <source>Copying the document...</source>
        <translation>正在复制文档...</translation>
    </message>
    <message>
        <source>Opening in LibreOffice...</source>
        <translation>正在用 LibreOffice 打开...</translation>
    </message>
    <message>
        <source>The document %1 cannot be opened.</source>
        <translation>无法打开文档 %1。</translation>
    </message>
    <message>
        <source>The list holds at most %1 pages: pages 1 to %2 of %3 were imported, pages %4 to %5 were not.</source>
        <translation>列表最多容纳 %1 页：已导入 %3 的第 1 到 %2 页，第 %4 到 %5 页未导入。</translation>
    </message>
    <message>
        <source>Page %1 of %2</source>
        <translation>第 %1 页，共 %2 页</translation>
    </message>
    <message>
        <source>The spreadsheet %1 does not exist.</source>
        <translation>表格 %1 不存在。</translation>
    </message>
    <message>
        <source>Copying the workbook...</source>
        <translation>正在复制工作簿...</translation>
    </message>
    <message>
        <source>No picture of A1:T20 could be taken from %1: %2</source>
        <translation>无法从 %1 取得 A1:T20 的图片：%2</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <source>The text needs %1 pages, but the list can take only %2 more (it holds at most %3 pages): no page was written.</source>
        <translation>这段文字需要 %1 页，但列表只能再容纳 %2 页（最多 %3 页）：没有写入任何页。</translation>
    </message>
    <message>
        <source>The screen has no pixels: no page was written.</source>
        <translation>屏幕没有像素：没有写入任何页。</translation>
    </message>
    <message>
        <source>The text has %1 characters; at most %2 can be composed: no page was written.</source>
        <translation>文字有 %1 个字符，最多只能排版 %2 个：没有写入任何页。</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>No working folder can be made: %1</source>
        <translation>无法建立工作文件夹：%1</translation>
    </message>
    <message>
        <source>The %1 %2 cannot be read: %3</source>
        <translation>无法读取%1 %2：%3</translation>
    </message>
</context>
<context>
    <name>LoadFile</name>
    <message>
        <source>Pictures (%1)</source>
        <translation>图片 (%1)</translation>
    </message>
    <message>
        <source>Texts (%1)</source>
        <translation>文本 (%1)</translation>
    </message>
    <message>
        <source>Documents (%1)</source>
        <translation>文档 (%1)</translation>
    </message>
    <message>
        <source>Spreadsheets (%1)</source>
        <translation>表格 (%1)</translation>
    </message>
    <message>
        <source>No paint program was found, so PICTURE cannot open the page&apos;s picture.
Install one, for example:
  sudo apt install kolourpaint
(pinta, gimp, mtpaint, drawing and krita serve as well)</source>
        <translation>没有找到画图程序，因此“图片”无法打开本页的图片。
请安装一个，例如：
  sudo apt install kolourpaint
（pinta、gimp、mtpaint、drawing 和 krita 也可以）</translation>
    </message>
    <message>
        <source>No text editor was found, so EDIT cannot start one.
Install one, for example:
  sudo apt install mousepad
(gedit, gnome-text-editor, kate, pluma, featherpad and geany serve as well)</source>
        <translation>没有找到文本编辑器，因此“编辑”无法启动。
请安装一个，例如：
  sudo apt install mousepad
（gedit、gnome-text-editor、kate、pluma、featherpad 和 geany 也可以）</translation>
    </message>
    <message>
        <source>Live pages (%1)</source>
        <translation>实时页面 (%1)</translation>
    </message>
</context>
<context>
    <name>OfficeImportDialog</name>
    <message>
        <source>FILENAME</source>
        <translation>文件名</translation>
    </message>
    <message>
        <source>CHANGE</source>
        <translation>转换</translation>
    </message>
    <message>
        <source>Place these pages?</source>
        <translation>放置这些页面吗？</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>上一页</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>下一页</translation>
    </message>
    <message>
        <source>Place</source>
        <translation>放置</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>page %1 of %2</source>
        <translation>第 %1 页，共 %2 页</translation>
    </message>
</context>
<context>
    <name>PageList</name>
    <message>
        <source>The list already holds %1 pages, the most it can hold: no page was added.</source>
        <translation>列表已有 %1 页，已达上限：没有增加页。</translation>
    </message>
    <message>
        <source>The list holds at most %1 pages: %2 of the %3 new pages were placed, %4 were left out.</source>
        <translation>列表最多容纳 %1 页：%3 个新页中放入了 %2 个，%4 个未放入。</translation>
    </message>
    <message>
        <source>Cannot save %1: %2</source>
        <translation>无法保存 %1：%2</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
</context>
<context>
    <name>PageOverview</name>
    <message>
        <source>Insert before</source>
        <translation>前插一页</translation>
    </message>
    <message>
        <source>Insert after</source>
        <translation>后插一页</translation>
    </message>
    <message>
        <source>Duplicate</source>
        <translation>复制本页</translation>
    </message>
    <message>
        <source>Move up</source>
        <translation>前移</translation>
    </message>
    <message>
        <source>Move down</source>
        <translation>后移</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>NEW LIST</source>
        <translation>新建列表</translation>
    </message>
    <message>
        <source>page %1 of %2</source>
        <translation>第 %1 页，共 %2 页</translation>
    </message>
</context>
<context>
    <name>PageOverviewModel</name>
    <message>
        <source>%1 · time %2 · speed %3
%4</source>
        <translation>%1 · 时间 %2 · 速度 %3
%4</translation>
    </message>
    <message>
        <source>a blank page</source>
        <translation>空白页</translation>
    </message>
</context>
<context>
    <name>PagePanel</name>
    <message>
        <source>DISPTIME</source>
        <translation>停留时间</translation>
    </message>
    <message>
        <source>DISPSPEED</source>
        <translation>显示速度</translation>
    </message>
    <message>
        <source>DISPMODE</source>
        <translation>显示方式</translation>
    </message>
    <message>
        <source>ADDPAGE</source>
        <translation>增加页</translation>
    </message>
    <message>
        <source>DELETE</source>
        <translation>删除页</translation>
    </message>
    <message>
        <source>LOADFILE</source>
        <translation>载入文件</translation>
    </message>
    <message>
        <source>LOADLIST</source>
        <translation>载入列表</translation>
    </message>
    <message>
        <source>NEW LIST</source>
        <translation>新建列表</translation>
    </message>
</context>
<context>
    <name>PagePreview</name>
    <message>
        <source>page %1, %2</source>
        <translation>第 %1 页，%2</translation>
    </message>
</context>
<context>
    <name>PagesCanvas</name>
    <message>
        <source>page %1</source>
        <translation>第 %1 页</translation>
    </message>
</context>
<context>
    <name>PictureImportDialog</name>
    <message>
        <source>LOADFILE: picture</source>
        <translation>载入文件：图片</translation>
    </message>
</context>
<context>
    <name>PortChooser</name>
    <message>
        <source>Serial port</source>
        <translation>串口</translation>
    </message>
    <message>
        <source>%1 (not present)</source>
        <translation>%1（不存在）</translation>
    </message>
    <message>
        <source>com + COMM</source>
        <translation>com + 串口号</translation>
    </message>
    <message>
        <source>No port chosen: the link comN in the sign folder, else /dev/ttyS&lt;N-1&gt;, with N the COMM number</source>
        <translation>未选择串口：使用显示屏文件夹中的链接 comN，否则使用 /dev/ttyS&lt;N-1&gt;，N 为串口号</translation>
    </message>
    <message>
        <source>%1 (on the network)</source>
        <translation>%1（网络上）</translation>
    </message>
</context>
<context>
    <name>PreviewSurface</name>
    <message>
        <source>Click: the picture at its own size. Double click: open it.</source>
        <translation>单击：按原尺寸显示图片。双击：打开图片。</translation>
    </message>
</context>
<context>
    <name>ServicePortHold</name>
    <message>
        <source>The sign service is using the port of %1: waiting until it is done</source>
        <translation>标牌服务正在使用 %1 的端口：等待其完成</translation>
    </message>
</context>
<context>
    <name>SettingsRow</name>
    <message>
        <source>NUM</source>
        <translation>屏号</translation>
    </message>
    <message>
        <source>WIDTH</source>
        <translation>宽度</translation>
    </message>
    <message>
        <source>HEIGHT</source>
        <translation>高度</translation>
    </message>
    <message>
        <source>COMM</source>
        <translation>串口号</translation>
    </message>
    <message>
        <source>SCAN</source>
        <translation>扫描</translation>
    </message>
    <message>
        <source>RG-SWAP</source>
        <translation>红绿交换</translation>
    </message>
    <message>
        <source>COLOR-SWAP</source>
        <translation>颜色反相</translation>
    </message>
    <message>
        <source>ADJUST</source>
        <translation>校正</translation>
    </message>
    <message>
        <source>LED module type</source>
        <translation>LED 模组类型</translation>
    </message>
    <message>
        <source>TYPE</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>BPS</source>
        <translation>波特率</translation>
    </message>
    <message>
        <source>READ PARA</source>
        <translation>读取参数</translation>
    </message>
</context>
<context>
    <name>SignBook</name>
    <message>
        <source>Sign %1</source>
        <translation>显示屏 %1</translation>
    </message>
</context>
<context>
    <name>SignBookDialog</name>
    <message>
        <source>Sign book</source>
        <translation>显示屏列表</translation>
    </message>
    <message>
        <source>name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>port</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>play list</source>
        <translation>播放列表</translation>
    </message>
    <message>
        <source>A device (/dev/serial/by-id/...), tcp://HOST:PORT or rfc2217://HOST:PORT; empty: com + COMM</source>
        <translation>设备（/dev/serial/by-id/...）、tcp://主机:端口 或 rfc2217://主机:端口；留空：com + 串口号</translation>
    </message>
    <message>
        <source>The module type, 0 (T0) to 26 (T26)</source>
        <translation>模组类型，0（T0）到 26（T26）</translation>
    </message>
    <message>
        <source>Add sign</source>
        <translation>添加显示屏</translation>
    </message>
    <message>
        <source>Remove sign</source>
        <translation>删除显示屏</translation>
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
        <source>Sign %1</source>
        <translation>显示屏 %1</translation>
    </message>
    <message>
        <source>Row %1</source>
        <translation>第 %1 行</translation>
    </message>
    <message>
        <source>Sign &quot;%1&quot;</source>
        <translation>显示屏“%1”</translation>
    </message>
    <message>
        <source>%1: BPS must be one of %2</source>
        <translation>%1：波特率必须是 %2 之一</translation>
    </message>
    <message>
        <source>%1: %2 must be a number from %3 to %4</source>
        <translation>%1：%2 必须是 %3 到 %4 之间的数</translation>
    </message>
    <message>
        <source>The sign book cannot be kept: %1.</source>
        <translation>显示屏列表无法保存：%1。</translation>
    </message>
    <message>
        <source>Each sign: its name, the port that reaches it (a device, tcp://HOST:PORT for a raw serial server, rfc2217://HOST:PORT for one set from here; empty: com + COMM), its controller number and screen, and the play list it shows.</source>
        <translation>每块显示屏：名称、连接它的端口（设备；tcp://主机:端口 为原始串口服务器；rfc2217://主机:端口 为由此设置的串口服务器；留空：com + 串口号）、控制器号和屏幕，以及它播放的列表。</translation>
    </message>
    <message>
        <source>changes only</source>
        <translation>只发改动</translation>
    </message>
    <message>
        <source>SEND writes only the pages that differ from what the controller last acknowledged</source>
        <translation>发送时只写入与控制卡上次确认的内容不同的页面</translation>
    </message>
    <message>
        <source>Changes only: SEND writes just the pages that differ from what the controller acknowledged last, which takes seconds instead of minutes. A controller that lost its memory since then (a power cut without a backup battery, another program) shows old or empty pages until a SEND of every page (Send all).</source>
        <translation>只发改动：发送时只写入与控制卡上次确认的内容不同的页面，只需几秒而不是几分钟。此后丢失了存储内容的控制卡（断电且无备用电池，或被其他程序改写）会显示旧的或空白的页面，直到发送全部页面（全部发送）。</translation>
    </message>
    <message>
        <source>sign service</source>
        <translation>标牌服务</translation>
    </message>
    <message>
        <source>starting</source>
        <translation>启动中</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>正常</translation>
    </message>
    <message>
        <source>retrying</source>
        <translation>重试中</translation>
    </message>
    <message>
        <source>failing</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>Shows: %1</source>
        <translation>显示：%1</translation>
    </message>
    <message>
        <source>Last failure: %1</source>
        <translation>上次失败：%1</translation>
    </message>
    <message>
        <source>not served</source>
        <translation>未服务</translation>
    </message>
</context>
<context>
    <name>SignRunDialog</name>
    <message>
        <source>sending, %1 left</source>
        <translation>发送中，剩余 %1</translation>
    </message>
    <message>
        <source>waiting for the controller</source>
        <translation>等待控制器应答</translation>
    </message>
    <message>
        <source>To several signs</source>
        <translation>发送到多个显示屏</translation>
    </message>
    <message>
        <source>sign</source>
        <translation>显示屏</translation>
    </message>
    <message>
        <source>progress</source>
        <translation>进度</translation>
    </message>
    <message>
        <source>outcome</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>bytes</source>
        <translation>字节数</translation>
    </message>
    <message>
        <source>time</source>
        <translation>用时</translation>
    </message>
    <message>
        <source>reason</source>
        <translation>原因</translation>
    </message>
    <message>
        <source>&amp;SEND</source>
        <translation>发送(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;MODE</source>
        <translation>模式(&amp;M)</translation>
    </message>
    <message>
        <source>&amp;TIME</source>
        <translation>校时(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>取消(&amp;C)</translation>
    </message>
    <message>
        <source>C&amp;lose</source>
        <translation>关闭(&amp;L)</translation>
    </message>
    <message>
        <source>Signs to serve:</source>
        <translation>要服务的显示屏：</translation>
    </message>
    <message>
        <source>Results:</source>
        <translation>结果：</translation>
    </message>
    <message>
        <source>its module type is not sent</source>
        <translation>该模组类型不发送</translation>
    </message>
</context>
<context>
    <name>SignViewBar</name>
    <message>
        <source>Zoom</source>
        <translation>缩放</translation>
    </message>
    <message>
        <source>fit</source>
        <translation>适应</translation>
    </message>
    <message>
        <source>Ctrl + wheel, Ctrl + and Ctrl - step the zoom</source>
        <translation>Ctrl + 滚轮、Ctrl + 和 Ctrl - 调整缩放</translation>
    </message>
    <message>
        <source>sign</source>
        <translation>屏幕</translation>
    </message>
    <message>
        <source>The LEDs as the sign lights them from the bytes sent</source>
        <translation>按发送的数据显示屏幕点亮的 LED</translation>
    </message>
    <message>
        <source>picture</source>
        <translation>图片</translation>
    </message>
    <message>
        <source>The page&apos;s picture stretched to the sign</source>
        <translation>本页图片拉伸到屏幕大小</translation>
    </message>
    <message>
        <source>play</source>
        <translation>播放</translation>
    </message>
    <message>
        <source>The page&apos;s entry effect, then the page</source>
        <translation>本页的进入特技，然后是本页</translation>
    </message>
    <message>
        <source>play list</source>
        <translation>播放列表</translation>
    </message>
    <message>
        <source>Every page in order, with its effect, speed and display time</source>
        <translation>按顺序播放每一页，带特技、速度和停留时间</translation>
    </message>
    <message>
        <source>stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>approximate: %1</source>
        <translation>近似效果：%1</translation>
    </message>
</context>
<context>
    <name>StatusArea</name>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Stop the transfer at the next frame boundary</source>
        <translation>在下一帧边界停止传送</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>WORD转换</source>
        <translation>WORD 文档转换</translation>
    </message>
</context>
<context>
    <name>TForm2</name>
    <message>
        <source>EXCEL转换</source>
        <translation>EXCEL 表格转换</translation>
    </message>
</context>
<context>
    <name>TForm3</name>
    <message>
        <source>TXT EDIT</source>
        <translation>文本编辑</translation>
    </message>
    <message>
        <source>ONE LINE</source>
        <translation>单行</translation>
    </message>
    <message>
        <source>CONTINUE</source>
        <translation>连续</translation>
    </message>
    <message>
        <source>CHANGE</source>
        <translation>转换</translation>
    </message>
    <message>
        <source>FILENAME</source>
        <translation>文件名</translation>
    </message>
    <message>
        <source>MANY LINE</source>
        <translation>多行</translation>
    </message>
    <message>
        <source>CENTER</source>
        <translation>居中</translation>
    </message>
    <message>
        <source>WORDWRAP</source>
        <translation>自动换行</translation>
    </message>
    <message>
        <source>LINE/PAGE</source>
        <translation>行/页</translation>
    </message>
    <message>
        <source>FONT SETUP</source>
        <translation>字体设置</translation>
    </message>
    <message>
        <source>FONT</source>
        <translation>字体</translation>
    </message>
    <message>
        <source> px</source>
        <translation> 像素</translation>
    </message>
    <message>
        <source>SHADOW</source>
        <translation>阴影</translation>
    </message>
    <message>
        <source>BACK GROUND</source>
        <translation>背景</translation>
    </message>
    <message>
        <source>ENCODING</source>
        <translation>编码</translation>
    </message>
    <message>
        <source>auto: %1</source>
        <translation>自动：%1</translation>
    </message>
    <message>
        <source>= %1 pt</source>
        <translation>= %1 磅</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>颜色</translation>
    </message>
    <message>
        <source>auto</source>
        <translation>自动</translation>
    </message>
</context>
<context>
    <name>TForm5</name>
    <message>
        <source>High class constitution</source>
        <translation>高级设置</translation>
    </message>
    <message>
        <source>8 bit swap</source>
        <translation>8 位交换</translation>
    </message>
    <message>
        <source>data com</source>
        <translation>数据反相</translation>
    </message>
    <message>
        <source>oe com</source>
        <translation>OE 反相</translation>
    </message>
    <message>
        <source>Auto switch</source>
        <translation>自动开关机</translation>
    </message>
    <message>
        <source>Saturday shut down</source>
        <translation>周六关机</translation>
    </message>
    <message>
        <source>Sunday shut down</source>
        <translation>周日关机</translation>
    </message>
    <message>
        <source>自动关机</source>
        <translation>定时关机</translation>
    </message>
    <message>
        <source>English format</source>
        <translation>英文格式</translation>
    </message>
    <message>
        <source>save parameter</source>
        <translation>保存参数</translation>
    </message>
    <message>
        <source>read parameter</source>
        <translation>读取参数</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>下载</translation>
    </message>
    <message>
        <source>Parameter</source>
        <translation>参数</translation>
    </message>
    <message>
        <source>num</source>
        <translation>屏号</translation>
    </message>
    <message>
        <source>clock</source>
        <translation>时钟</translation>
    </message>
    <message>
        <source>width</source>
        <translation>宽度</translation>
    </message>
    <message>
        <source>bps</source>
        <translation>波特率</translation>
    </message>
    <message>
        <source>high</source>
        <translation>高度</translation>
    </message>
    <message>
        <source>Translate</source>
        <translation>转换</translation>
    </message>
    <message>
        <source>scan mode</source>
        <translation>扫描方式</translation>
    </message>
    <message>
        <source>Scan frequency</source>
        <translation>扫描频率</translation>
    </message>
    <message>
        <source>light</source>
        <translation>亮度</translation>
    </message>
    <message>
        <source>on</source>
        <translation>开机</translation>
    </message>
    <message>
        <source>off</source>
        <translation>关机</translation>
    </message>
    <message>
        <source>Download setup</source>
        <translation>下载设置</translation>
    </message>
    <message>
        <source>Type:</source>
        <translation>类型：</translation>
    </message>
    <message>
        <source>(max-)</source>
        <translation>（最大 -）</translation>
    </message>
    <message>
        <source>(max%1)</source>
        <translation>（最大 %1）</translation>
    </message>
</context>
<context>
    <name>TTwpMain</name>
    <message>
        <source>PORT</source>
        <translation>串口</translation>
    </message>
    <message>
        <source>Commands</source>
        <translation>命令</translation>
    </message>
    <message>
        <source>SEND(&amp;S)</source>
        <translation>发送(&amp;S)</translation>
    </message>
    <message>
        <source>EDIT(&amp;E)</source>
        <translation>编辑(&amp;E)</translation>
    </message>
    <message>
        <source>PICTURE(&amp;P)</source>
        <translation>图片(&amp;P)</translation>
    </message>
    <message>
        <source>TIME(&amp;T)</source>
        <translation>校时(&amp;T)</translation>
    </message>
    <message>
        <source>MODE(&amp;M)</source>
        <translation>模式(&amp;M)</translation>
    </message>
    <message>
        <source>SAVE LIST(&amp;L)</source>
        <translation>保存列表(&amp;L)</translation>
    </message>
    <message>
        <source>SETUP(&amp;U)</source>
        <translation>设置(&amp;U)</translation>
    </message>
    <message>
        <source>Open sign folder…</source>
        <translation>打开显示屏文件夹…</translation>
    </message>
    <message>
        <source>Choose the folder of the pages, lists and port links</source>
        <translation>选择存放页面、列表和串口链接的文件夹</translation>
    </message>
    <message>
        <source>SINGLE</source>
        <translation>单页</translation>
    </message>
    <message>
        <source>ALL</source>
        <translation>全部</translation>
    </message>
    <message>
        <source>Open sign folder</source>
        <translation>打开显示屏文件夹</translation>
    </message>
    <message>
        <source>LOADFILE</source>
        <translation>载入文件</translation>
    </message>
    <message>
        <source>No page is selected: click a page tab first.</source>
        <translation>没有选中页面：请先单击一个页标签。</translation>
    </message>
    <message>
        <source>Before sending</source>
        <translation>发送之前</translation>
    </message>
    <message>
        <source>Send anyway</source>
        <translation>仍然发送</translation>
    </message>
    <message>
        <source>

Estimate: </source>
        <translation>

估计：</translation>
    </message>
    <message>
        <source>%1 of %2 bytes sent, %3 left</source>
        <translation>已发送 %1 / %2 字节，还需 %3</translation>
    </message>
    <message>
        <source>waiting for the controller (up to %1 s)</source>
        <translation>等待控制器应答（最多 %1 秒）</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>撤销</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>重做</translation>
    </message>
    <message>
        <source>Pages</source>
        <translation>页面</translation>
    </message>
    <message>
        <source>Move page %1 to %2</source>
        <translation>把第 %1 页移到第 %2 页</translation>
    </message>
    <message>
        <source>Insert page after</source>
        <translation>后插一页</translation>
    </message>
    <message>
        <source>Insert page before</source>
        <translation>前插一页</translation>
    </message>
    <message>
        <source>Duplicate page</source>
        <translation>复制页</translation>
    </message>
    <message>
        <source>Change DISPTIME</source>
        <translation>修改停留时间</translation>
    </message>
    <message>
        <source>Change DISPSPEED</source>
        <translation>修改显示速度</translation>
    </message>
    <message>
        <source>Change DISPMODE</source>
        <translation>修改显示方式</translation>
    </message>
    <message>
        <source>Change pages</source>
        <translation>修改页面</translation>
    </message>
    <message>
        <source>The page list has changes that are not saved. Save them?</source>
        <translation>页面列表有未保存的修改。要保存吗？</translation>
    </message>
    <message>
        <source>ADDPAGE</source>
        <translation>增加页</translation>
    </message>
    <message>
        <source>DELETE</source>
        <translation>删除页</translation>
    </message>
    <message>
        <source>Page values to every page</source>
        <translation>把本页参数用于所有页</translation>
    </message>
    <message>
        <source>SAVE LIST</source>
        <translation>保存列表</translation>
    </message>
    <message>
        <source>LIST (*.lis)</source>
        <translation>列表 (*.lis)</translation>
    </message>
    <message>
        <source>LOADLIST</source>
        <translation>载入列表</translation>
    </message>
    <message>
        <source>Virtual sign</source>
        <translation>虚拟显示屏</translation>
    </message>
    <message>
        <source>Start the controller emulator in a window of its own, set up as this sign, on a new port, and choose that port</source>
        <translation>在单独的窗口中启动控制器模拟器，按本显示屏设置，使用一个新串口并选中它</translation>
    </message>
    <message>
        <source>Signs</source>
        <translation>显示屏</translation>
    </message>
    <message>
        <source>SIGN</source>
        <translation>显示屏</translation>
    </message>
    <message>
        <source>SIGNS(&amp;G)…</source>
        <translation>显示屏列表(&amp;G)…</translation>
    </message>
    <message>
        <source>TO SIGNS(&amp;O)…</source>
        <translation>发送到多个显示屏(&amp;O)…</translation>
    </message>
    <message>
        <source>The sign the settings row shows</source>
        <translation>设置行所显示的显示屏</translation>
    </message>
    <message>
        <source>The sign book: named signs, their ports and screens</source>
        <translation>显示屏列表：命名的显示屏及其端口和屏幕</translation>
    </message>
    <message>
        <source>SEND, MODE or TIME to several signs in one go</source>
        <translation>一次向多个显示屏执行 SEND、MODE 或 TIME</translation>
    </message>
    <message>
        <source>Send changes only</source>
        <translation>只发送改动</translation>
    </message>
    <message>
        <source>

A controller that lost its memory since its last transfer shows old or empty pages until every page is sent.</source>
        <translation>

上次传送后丢失了存储内容的控制卡会显示旧的或空白的页面，直到发送全部页面。</translation>
    </message>
    <message>
        <source>Send changes</source>
        <translation>发送改动</translation>
    </message>
    <message>
        <source>Send all</source>
        <translation>全部发送</translation>
    </message>
</context>
<context>
    <name>TransferLogDock</name>
    <message>
        <source>Transfer log</source>
        <translation>传送记录</translation>
    </message>
</context>
<context>
    <name>VirtualSignLauncher</name>
    <message>
        <source>The virtual sign did not make its port %1 in time.</source>
        <translation>虚拟显示屏没有及时建立串口 %1。</translation>
    </message>
    <message>
        <source>The virtual sign ended at once (exit status %1); run %2 emulate --window to see why.</source>
        <translation>虚拟显示屏立即退出了（退出状态 %1）；运行 %2 emulate --window 查看原因。</translation>
    </message>
    <message>
        <source>The virtual sign is already running on %1.</source>
        <translation>虚拟显示屏已经在 %1 上运行。</translation>
    </message>
    <message>
        <source>The virtual sign needs marquee-cli beside this program (%1).</source>
        <translation>虚拟显示屏需要本程序旁边的 marquee-cli（%1）。</translation>
    </message>
    <message>
        <source>Every port link com1 .. com255 in %1 is taken.</source>
        <translation>%1 中的串口链接 com1 .. com255 都已被占用。</translation>
    </message>
</context>
</TS>
