<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CDesktopNotifier</name>
    <message>
        <source>显示主窗口</source>
        <translation>Show the main window</translation>
    </message>
</context>
<context>
    <name>CoreMessages</name>
    <message>
        <source>固件升级失败：</source>
        <translation>Firmware upgrade failed: </translation>
    </message>
    <message>
        <source>解析steps.xml失败：</source>
        <translation>Cannot read steps.xml: </translation>
    </message>
    <message>
        <source>内存分配失败</source>
        <translation>Out of memory</translation>
    </message>
    <message>
        <source>解压缩固件失败</source>
        <translation>Cannot unpack the firmware</translation>
    </message>
    <message>
        <source>打开固件文件失败！</source>
        <translation>Cannot open the firmware file!</translation>
    </message>
    <message>
        <source>获取固件文件大小失败！</source>
        <translation>Cannot get the size of the firmware file!</translation>
    </message>
    <message>
        <source>读取固件文件失败！</source>
        <translation>Cannot read the firmware file!</translation>
    </message>
    <message>
        <source>打开压缩文件失败</source>
        <translation>Cannot open the firmware package</translation>
    </message>
    <message>
        <source>固件压缩包中未找到steps.xml</source>
        <translation>steps.xml is missing from the firmware package</translation>
    </message>
    <message>
        <source>解压缩steps.xml文件失败</source>
        <translation>Cannot unpack steps.xml</translation>
    </message>
    <message>
        <source>压缩包中未找到固件</source>
        <translation>The firmware image is missing from the package</translation>
    </message>
    <message>
        <source>压缩包中未找到Flash文件</source>
        <translation>The flash file is missing from the package</translation>
    </message>
    <message>
        <source>未找到&lt;%1&gt;节点</source>
        <translation>no &lt;%1&gt; element</translation>
    </message>
    <message>
        <source>未找到%1节点</source>
        <translation>no %1 element</translation>
    </message>
    <message>
        <source>解析steps.xml失失败：未找到与硬件相对应的固件</source>
        <translation>Cannot read steps.xml: no firmware for this hardware</translation>
    </message>
    <message>
        <source>未找到固件版本</source>
        <translation>no firmware version</translation>
    </message>
    <message>
        <source>固件版本无效</source>
        <translation>invalid firmware version</translation>
    </message>
    <message>
        <source>硬件版本不正确</source>
        <translation>wrong hardware version</translation>
    </message>
    <message>
        <source>Steps个数不正确</source>
        <translation>wrong number of Steps</translation>
    </message>
    <message>
        <source>flashOptions个数不正确</source>
        <translation>wrong number of flashOptions</translation>
    </message>
    <message>
        <source>NeedVersion不正确</source>
        <translation>invalid NeedVersion</translation>
    </message>
    <message>
        <source>Version不正确</source>
        <translation>invalid Version</translation>
    </message>
    <message>
        <source>File固件文件名不正确</source>
        <translation>invalid firmware File name</translation>
    </message>
    <message>
        <source>File Flash文件名不正确</source>
        <translation>invalid flash File name</translation>
    </message>
    <message>
        <source>Addr flash地址不正确</source>
        <translation>invalid flash Addr</translation>
    </message>
    <message>
        <source>解析Json失败</source>
        <translation>Cannot read the server&apos;s answer</translation>
    </message>
    <message>
        <source>从服务器上获取固件信息失败</source>
        <translation>Cannot get the firmware information from the server</translation>
    </message>
    <message>
        <source>没有进行固件更新，因为没有找到合适的固件</source>
        <translation>No upgrade: there is no suitable firmware</translation>
    </message>
    <message>
        <source>获取服务器上的信息失败</source>
        <translation>Cannot get the information from the server</translation>
    </message>
    <message>
        <source>下载固件失败！</source>
        <translation>Firmware download failed!</translation>
    </message>
    <message>
        <source>获取设备信息失败</source>
        <translation>Cannot read the card&apos;s information</translation>
    </message>
    <message>
        <source>当前设备的版本不同于之前检测到的设备，无法升级。请稍后再重新打开固件升级界面重新升级。      </source>
        <translation>This card&apos;s version differs from the card checked before; cannot upgrade. Please open the firmware upgrade again later.</translation>
    </message>
    <message>
        <source>写入固件失败</source>
        <translation>writing the firmware failed</translation>
    </message>
    <message>
        <source>此设备不支持通过本程序写入固件</source>
        <translation>this card cannot be written by this program</translation>
    </message>
    <message>
        <source>无法备份声卡的设置，未进行升级。</source>
        <translation>cannot back up the card&apos;s settings; nothing was upgraded.</translation>
    </message>
    <message>
        <source>电脑上插入了两个或两个以上声卡，请只保留要升级的声卡后重试。</source>
        <translation>two or more sound cards are plugged in; keep only the card to upgrade and try again.</translation>
    </message>
    <message>
        <source>下载云音效数据失败</source>
        <translation>Cannot download the cloud effect</translation>
    </message>
    <message>
        <source>解析json数据失败</source>
        <translation>Cannot read the server&apos;s data</translation>
    </message>
    <message>
        <source>解析JSON数据失败</source>
        <translation>Cannot read the server&apos;s data</translation>
    </message>
    <message>
        <source>从服务器获取云音效列表失败</source>
        <translation>Cannot get the cloud effects from the server</translation>
    </message>
    <message>
        <source>错误的参数</source>
        <translation>Invalid request</translation>
    </message>
    <message>
        <source>下载文件失败</source>
        <translation>Download failed</translation>
    </message>
    <message>
        <source>从服务器获取特效分类失败</source>
        <translation>Cannot get the sound categories from the server</translation>
    </message>
    <message>
        <source>从服务器获取分类中的特效失败</source>
        <translation>Cannot get the sounds of the category from the server</translation>
    </message>
    <message>
        <source>文件路径太长（最多259个字符），无法添加</source>
        <translation>The file path is too long (at most 259 characters); cannot add it</translation>
    </message>
    <message>
        <source>没有文件路径，无法添加</source>
        <translation>No file path; cannot add it</translation>
    </message>
</context>
<context>
    <name>DisplayNames</name>
    <message>
        <source>聊天</source>
        <translation>Chat</translation>
    </message>
    <message>
        <source>K歌</source>
        <translation>Karaoke</translation>
    </message>
    <message>
        <source>喊麦</source>
        <translation>MC Shout</translation>
    </message>
    <message>
        <source>男变女</source>
        <translation>To Female</translation>
    </message>
    <message>
        <source>女变男</source>
        <translation>To Male</translation>
    </message>
    <message>
        <source>电话音</source>
        <translation>Telephone</translation>
    </message>
    <message>
        <source>娃娃音</source>
        <translation>Baby Voice</translation>
    </message>
    <message>
        <source>电音</source>
        <translation>Auto-Tune</translation>
    </message>
    <message>
        <source>听湿录干</source>
        <translation>Dry Record</translation>
    </message>
    <message>
        <source>恢复默认</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>明亮</source>
        <translation>Bright</translation>
    </message>
    <message>
        <source>磁性</source>
        <translation>Deep</translation>
    </message>
    <message>
        <source>温暖</source>
        <translation>Warm</translation>
    </message>
    <message>
        <source>大众</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>动圈麦</source>
        <translation>Dynamic</translation>
    </message>
    <message>
        <source>动圈麦2</source>
        <translation>Dynamic 2</translation>
    </message>
    <message>
        <source>专业歌手</source>
        <translation>Pro Singer</translation>
    </message>
    <message>
        <source>业余歌手</source>
        <translation>Amateur</translation>
    </message>
    <message>
        <source>现场表演</source>
        <translation>Live Stage</translation>
    </message>
    <message>
        <source>说唱表演</source>
        <translation>Rap</translation>
    </message>
    <message>
        <source>歌手1</source>
        <translation>Singer 1</translation>
    </message>
    <message>
        <source>歌手2</source>
        <translation>Singer 2</translation>
    </message>
    <message>
        <source>歌手3</source>
        <translation>Singer 3</translation>
    </message>
    <message>
        <source>魔兽音</source>
        <translation>Monster</translation>
    </message>
    <message>
        <source>默认列表</source>
        <translation>Default list</translation>
    </message>
    <message>
        <source>明亮人声</source>
        <translation>Bright voice</translation>
    </message>
    <message>
        <source>小房间</source>
        <translation>Small room</translation>
    </message>
    <message>
        <source>温暖大厅</source>
        <translation>Warm hall</translation>
    </message>
    <message>
        <source>非诚勿扰</source>
        <translation>Serious Only</translation>
    </message>
    <message>
        <source>鄙视</source>
        <translation>Pfft</translation>
    </message>
    <message>
        <source>欢呼</source>
        <translation>Cheers</translation>
    </message>
    <message>
        <source>掌声</source>
        <translation>Applause</translation>
    </message>
    <message>
        <source>大哄笑</source>
        <translation>Big Laugh</translation>
    </message>
    <message>
        <source>小哄笑</source>
        <translation>Giggles</translation>
    </message>
    <message>
        <source>打耳光</source>
        <translation>Slap</translation>
    </message>
    <message>
        <source>么么哒</source>
        <translation>Kiss Kiss</translation>
    </message>
    <message>
        <source>乌鸦</source>
        <translation>Crows</translation>
    </message>
    <message>
        <source>点关注</source>
        <translation>Follow Me</translation>
    </message>
    <message>
        <source>欢迎大哥</source>
        <translation>Welcome!</translation>
    </message>
    <message>
        <source>来了老弟</source>
        <translation>Hey Buddy</translation>
    </message>
    <message>
        <source>贼拉拉</source>
        <translation>Awesome</translation>
    </message>
    <message>
        <source>打他</source>
        <translation>Hit Him</translation>
    </message>
    <message>
        <source>胜利</source>
        <translation>Victory</translation>
    </message>
    <message>
        <source>打的不错</source>
        <translation>Nice Hit</translation>
    </message>
    <message>
        <source>救命</source>
        <translation>Help!</translation>
    </message>
    <message>
        <source>自定义%1</source>
        <translation>Custom %1</translation>
    </message>
</context>
<context>
    <name>DlgUpgradeFirmware</name>
    <message>
        <source>固件升级</source>
        <translation>Firmware Upgrade</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>重试</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source>立即升级</source>
        <translation>Upgrade Now</translation>
    </message>
</context>
<context>
    <name>Menus</name>
    <message>
        <source>设备信息</source>
        <translation>Device Info</translation>
    </message>
    <message>
        <source>检查更新</source>
        <translation>Check for Updates</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
</context>
<context>
    <name>PortalGlobalShortcuts</name>
    <message>
        <source>桌面没有提供全局热键：可在系统设置里把按键绑定到 lw52ctl 命令</source>
        <translation>The desktop offers no global hotkeys: bind keys to lw52ctl commands in the system settings</translation>
    </message>
    <message>
        <source>桌面已确认此热键：%1</source>
        <translation>Confirmed by the desktop: %1</translation>
    </message>
    <message>
        <source>正在等待桌面确认热键…</source>
        <translation>Waiting for the desktop to confirm the hotkey…</translation>
    </message>
    <message>
        <source>桌面没有确认此热键：可在系统设置里绑定，或用 lw52ctl 调用</source>
        <translation>Not confirmed by the desktop: bind it in the system settings, or use lw52ctl</translation>
    </message>
    <message>
        <source>全局热键由桌面确认（桌面门户）</source>
        <translation>Global hotkeys are confirmed by the desktop (desktop portal)</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>产品名称：%1</source>
        <translation>Product: %1</translation>
    </message>
    <message>
        <source>其他</source>
        <translation>Other</translation>
    </message>
    <message>
        <source>声卡</source>
        <translation>Sound card</translation>
    </message>
    <message>
        <source>话筒</source>
        <translation>Microphone</translation>
    </message>
    <message>
        <source>耳机</source>
        <translation>Headphones</translation>
    </message>
    <message>
        <source>音箱</source>
        <translation>Speaker</translation>
    </message>
    <message>
        <source>效果器</source>
        <translation>Effects unit</translation>
    </message>
    <message>
        <source>硬件版本：%1</source>
        <translation>Hardware version: %1</translation>
    </message>
    <message>
        <source>固件版本：%1</source>
        <translation>Firmware version: %1</translation>
    </message>
    <message>
        <source>设备类型：%1</source>
        <translation>Device type: %1</translation>
    </message>
    <message>
        <source>设备信息</source>
        <translation>Device Info</translation>
    </message>
    <message>
        <source>此桌面不支持全局热键：可在系统设置里把按键绑定到 lw52ctl 命令</source>
        <translation>This desktop has no global hotkeys: bind keys to lw52ctl commands in the system settings</translation>
    </message>
    <message>
        <source>初始化界面资源失败</source>
        <translation>Cannot load the user interface</translation>
    </message>
    <message>
        <source>未连接设备！</source>
        <translation>No card connected!</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>林雾LW52</source>
        <translation>林雾LW52</translation>
    </message>
    <message>
        <source>正在载入特效，暂时不能退出软件</source>
        <translation>A sound is being loaded into the card; please wait before exiting</translation>
    </message>
    <message>
        <source>LW52 effect button %1</source>
        <translation>LW52 effect button %1</translation>
    </message>
    <message>
        <source>LW52 favourite sound pad %1</source>
        <translation>LW52 favourite sound pad %1</translation>
    </message>
    <message>
        <source>LW52 hotkey %1</source>
        <translation>LW52 hotkey %1</translation>
    </message>
    <message>
        <source>此热键已经被占用，设置热键失败！</source>
        <translation>This hotkey is already in use; it was not set!</translation>
    </message>
    <message>
        <source>设置热键</source>
        <translation>Set Hotkey</translation>
    </message>
    <message>
        <source>删除热键</source>
        <translation>Remove Hotkey</translation>
    </message>
    <message>
        <source>恢复默认</source>
        <translation>Restore Default</translation>
    </message>
    <message>
        <source>保存到设备</source>
        <translation>Save to Card</translation>
    </message>
    <message>
        <source>自定义Ⅰ</source>
        <translation>Custom 1</translation>
    </message>
    <message>
        <source>自定义Ⅱ</source>
        <translation>Custom 2</translation>
    </message>
    <message>
        <source>自定义Ⅲ</source>
        <translation>Custom 3</translation>
    </message>
    <message>
        <source>下载音效成功！</source>
        <translation>Saved to the card!</translation>
    </message>
    <message>
        <source>下载音效失败！</source>
        <translation>Saving to the card failed!</translation>
    </message>
    <message>
        <source>您尚未保存预设！</source>
        <translation>No preset saved here yet!</translation>
    </message>
    <message>
        <source>保存音效成功！</source>
        <translation>Effect saved!</translation>
    </message>
    <message>
        <source>保存成功！</source>
        <translation>Saved!</translation>
    </message>
    <message>
        <source>%1音效文件不存在</source>
        <translation>The effect file of %1 is missing</translation>
    </message>
    <message>
        <source>您尚未保存该音效！</source>
        <translation>No effect saved here yet!</translation>
    </message>
    <message>
        <source>当前音效：%1</source>
        <translation>Current effect: %1</translation>
    </message>
    <message>
        <source>未连接设备</source>
        <translation>No card connected</translation>
    </message>
    <message>
        <source>保存%1音效失败!</source>
        <translation>Saving effect %1 failed!</translation>
    </message>
    <message>
        <source>使用%1音效失败!</source>
        <translation>Applying effect %1 failed!</translation>
    </message>
    <message>
        <source>保存%1音效成功!</source>
        <translation>Effect %1 saved!</translation>
    </message>
    <message>
        <source>音效文件不存在</source>
        <translation>The effect file is missing</translation>
    </message>
    <message>
        <source>%1音效使用失败!</source>
        <translation>Applying effect %1 failed!</translation>
    </message>
    <message>
        <source>移除音效</source>
        <translation>Remove Effect</translation>
    </message>
    <message>
        <source>新建列表</source>
        <translation>New List</translation>
    </message>
    <message>
        <source>删除列表</source>
        <translation>Delete List</translation>
    </message>
    <message>
        <source>重命名</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>导入音效</source>
        <translation>Import Effects</translation>
    </message>
    <message>
        <source>从文件夹导入</source>
        <translation>From a Folder…</translation>
    </message>
    <message>
        <source>导入音效文件</source>
        <translation>Effect Files…</translation>
    </message>
    <message>
        <source>是否移除&quot;%1&quot;列表？</source>
        <translation>Remove the list &quot;%1&quot;?</translation>
    </message>
    <message>
        <source>是否移除该音效</source>
        <translation>Remove this effect?</translation>
    </message>
    <message>
        <source>创建列表失败，已经存在同名的列表！</source>
        <translation>Cannot create the list: a list of that name exists!</translation>
    </message>
    <message>
        <source>不能删除默认列表</source>
        <translation>The default list cannot be deleted</translation>
    </message>
    <message>
        <source>不能重命名默认列表！</source>
        <translation>The default list cannot be renamed!</translation>
    </message>
    <message>
        <source>列表重命名失败，已经存在同名的列表！</source>
        <translation>Cannot rename the list: a list of that name exists!</translation>
    </message>
    <message>
        <source>请选择文件夹</source>
        <translation>Choose a folder</translation>
    </message>
    <message>
        <source>以下%1项已经存在列表中，不能重复添加：%2</source>
        <translation>These %1 items are already in the list and were not added again: %2</translation>
    </message>
    <message>
        <source>请选择一个或多个音效文件</source>
        <translation>Choose one or more effect files</translation>
    </message>
    <message>
        <source>音效文件</source>
        <translation>Effect files</translation>
    </message>
    <message>
        <source>以下音效已经存在当前的列表中，不能重复添加：</source>
        <translation>These effects are already in the list and were not added again: </translation>
    </message>
    <message>
        <source>请输入列表名称</source>
        <translation>Enter a list name</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>输入文本不能为空！</source>
        <translation>The name cannot be empty!</translation>
    </message>
    <message>
        <source>输入的字符个数大于%1！</source>
        <translation>The name is longer than %1 characters!</translation>
    </message>
    <message>
        <source>不能包含字符“%1”</source>
        <translation>The name cannot contain “%1”</translation>
    </message>
    <message>
        <source>大调</source>
        <translation>Major</translation>
    </message>
    <message>
        <source>小调</source>
        <translation>Minor</translation>
    </message>
    <message>
        <source>特效名称不能为空！</source>
        <translation>The sound name cannot be empty!</translation>
    </message>
    <message>
        <source>设备音效</source>
        <translation>Card effects</translation>
    </message>
    <message>
        <source>我的音效</source>
        <translation>My effects</translation>
    </message>
    <message>
        <source>设备自定义%1</source>
        <translation>Card custom %1</translation>
    </message>
    <message>
        <source>自定义%1</source>
        <translation>Custom %1</translation>
    </message>
    <message>
        <source>请选择保存类型！</source>
        <translation>Choose where to save!</translation>
    </message>
    <message>
        <source>请选择保存位置！</source>
        <translation>Choose a slot!</translation>
    </message>
    <message>
        <source>音效名称不能为空！</source>
        <translation>The effect name cannot be empty!</translation>
    </message>
    <message>
        <source>您未连接设备，请先连接设备！</source>
        <translation>No card connected. Please connect the card first!</translation>
    </message>
    <message>
        <source>保存失败！</source>
        <translation>Saving failed!</translation>
    </message>
    <message>
        <source>均衡</source>
        <translation>Equalizer</translation>
    </message>
    <message>
        <source>混响</source>
        <translation>Reverb</translation>
    </message>
    <message>
        <source>变声</source>
        <translation>Voice Changer</translation>
    </message>
    <message>
        <source>保存预设-%1</source>
        <translation>Save Preset - %1</translation>
    </message>
    <message>
        <source>请选择预设的保存位置！</source>
        <translation>Choose a slot for the preset!</translation>
    </message>
    <message>
        <source>预设名称不能为空！</source>
        <translation>The preset name cannot be empty!</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>特效解码失败</source>
        <translation>Cannot decode the sound</translation>
    </message>
    <message>
        <source>特效载入失败</source>
        <translation>Cannot convert the sound</translation>
    </message>
    <message>
        <source>创建线程失败</source>
        <translation>Cannot start the transfer</translation>
    </message>
    <message>
        <source>载入特效失败</source>
        <translation>Loading the sound into the card failed</translation>
    </message>
    <message>
        <source>正在等待设备接受数据...</source>
        <translation>Waiting for the card to accept the data...</translation>
    </message>
    <message>
        <source>播放失败</source>
        <translation>Playback failed</translation>
    </message>
    <message>
        <source>未找到下载的特效文件</source>
        <translation>The downloaded sound file is missing</translation>
    </message>
    <message>
        <source>收藏夹中已经存在“%1”</source>
        <translation>“%1” is already in the favourites</translation>
    </message>
    <message>
        <source>成功添加到收藏夹！</source>
        <translation>Added to the favourites!</translation>
    </message>
    <message>
        <source>添加本地mp3文件</source>
        <translation>Add a local MP3 file</translation>
    </message>
    <message>
        <source>添加到收藏夹</source>
        <translation>Add to Favourites</translation>
    </message>
    <message>
        <source>取消收藏</source>
        <translation>Remove from Favourites</translation>
    </message>
    <message>
        <source>编辑热键</source>
        <translation>Change Hotkey</translation>
    </message>
    <message>
        <source>删除特效</source>
        <translation>Delete Sound</translation>
    </message>
    <message>
        <source>载入设备</source>
        <translation>Load into Card</translation>
    </message>
    <message>
        <source>自定义1</source>
        <translation>Custom 1</translation>
    </message>
    <message>
        <source>自定义2</source>
        <translation>Custom 2</translation>
    </message>
    <message>
        <source>自定义3</source>
        <translation>Custom 3</translation>
    </message>
    <message>
        <source>此热键已经被占用！</source>
        <translation>This hotkey is already in use!</translation>
    </message>
    <message>
        <source>mp3文件(*.mp3)</source>
        <translation>MP3 files (*.mp3)</translation>
    </message>
    <message>
        <source>播放失败，未找到资源！</source>
        <translation>Playback failed: the sound is missing!</translation>
    </message>
    <message>
        <source>录音正在进行中，请先停止录音！</source>
        <translation>Recording is in progress. Stop it first!</translation>
    </message>
    <message>
        <source>您尚未录音，请先进行录音！</source>
        <translation>Nothing recorded yet. Record first!</translation>
    </message>
    <message>
        <source>保存失败，请尝试保存到其他路径！</source>
        <translation>Saving failed. Try another folder!</translation>
    </message>
    <message>
        <source>录音保存成功！</source>
        <translation>Recording saved!</translation>
    </message>
    <message>
        <source>下载音效</source>
        <translation>Download Effect</translation>
    </message>
    <message>
        <source>刷新音效</source>
        <translation>Refresh Effects</translation>
    </message>
    <message>
        <source>%1音效下载失败</source>
        <translation>Downloading effect %1 failed</translation>
    </message>
    <message>
        <source>正在准备...</source>
        <translation>Preparing...</translation>
    </message>
    <message>
        <source>正在检测设备...</source>
        <translation>Checking the card...</translation>
    </message>
    <message>
        <source>未连接设备，请先连接设备</source>
        <translation>No card connected. Please connect the card first</translation>
    </message>
    <message>
        <source>正在连接服务器...</source>
        <translation>Connecting to the server...</translation>
    </message>
    <message>
        <source>正在获取服务器固件版本信息...</source>
        <translation>Getting the firmware version from the server...</translation>
    </message>
    <message>
        <source>正在下载固件文件...</source>
        <translation>Downloading the firmware...</translation>
    </message>
    <message>
        <source>当前固件版本：%1
当前硬件版本：%2
最新固件版本：%3

%4</source>
        <translation>Current firmware: %1
Hardware: %2
Latest firmware: %3

%4</translation>
    </message>
    <message>
        <source>点击“立即升级”按钮开始升级</source>
        <translation>Click “Upgrade Now” to start the upgrade</translation>
    </message>
    <message>
        <source>当前固件版本：%1                  当前硬件版本：%2
最新固件版本：%3

固件已经是最新</source>
        <translation>Current firmware: %1          Hardware: %2
Latest firmware: %3

The firmware is up to date</translation>
    </message>
    <message>
        <source>1.升级固件有损坏设备的风险,请慎重升级。       
2.升级时请勿拔出设备,请勿移动设备或碰触USB线。
3.升级时电脑不能插入两个及两个以上声卡。      
4.升级过程中请勿关闭固件升级窗口。		        
</source>
        <translation>1. A firmware upgrade can damage the card; upgrade with care.
2. Do not unplug or move the card or its USB cable while upgrading.
3. Plug in only the card you are upgrading.
4. Keep the firmware upgrade window open until it ends.
</translation>
    </message>
    <message>
        <source>注意事项</source>
        <translation>Please Note</translation>
    </message>
    <message>
        <source>1.请勿拔出设备，请勿移动设备或碰触USB线。
2.升级时电脑不能插入两个及两个以上声卡。 
3.升级过程中请勿关闭固件升级窗口。	     
</source>
        <translation>1. Do not unplug or move the card or its USB cable.
2. Plug in only the card you are upgrading.
3. Keep this window open until the upgrade ends.
</translation>
    </message>
    <message>
        <source>正在检测升级条件...</source>
        <translation>Checking the upgrade conditions...</translation>
    </message>
    <message>
        <source>升级完成，请拔掉声卡设备的USB，然后重新插上USB，重启声卡设备。</source>
        <translation>Upgrade complete. Unplug the card&apos;s USB cable and plug it in again to restart the card.</translation>
    </message>
    <message>
        <source>准备升级固件...</source>
        <translation>Preparing the firmware upgrade...</translation>
    </message>
    <message>
        <source>正在解压文件...</source>
        <translation>Unpacking the files...</translation>
    </message>
    <message>
        <source>正在连接设备...</source>
        <translation>Connecting to the card...</translation>
    </message>
    <message>
        <source>正在写入固件V%1...</source>
        <translation>Writing firmware V%1...</translation>
    </message>
    <message>
        <source>声卡已接入，但本程序无法使用它</source>
        <translation>A sound card is plugged in, but this program cannot use it</translation>
    </message>
    <message>
        <source>解决办法：</source>
        <translation>To fix it: </translation>
    </message>
    <message>
        <source>请输入热键</source>
        <translation>Enter a hotkey</translation>
    </message>
    <message>
        <source>林雾LW52 已连接</source>
        <translation>林雾LW52 connected</translation>
    </message>
    <message>
        <source>声卡已插入，可以使用了</source>
        <translation>The sound card is plugged in and ready</translation>
    </message>
    <message>
        <source>林雾LW52 已断开</source>
        <translation>林雾LW52 disconnected</translation>
    </message>
    <message>
        <source>声卡已拔出，插回后会自动连接</source>
        <translation>The sound card was unplugged; it connects again by itself when plugged back in</translation>
    </message>
</context>
<context>
    <name>dlgAbout</name>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>林雾LW52</source>
        <translation>林雾LW52</translation>
    </message>
</context>
<context>
    <name>dlgDeviceInfo</name>
    <message>
        <source>设备信息</source>
        <translation>Device Info</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>产品名称：林雾LW52</source>
        <translation>Product: 林雾LW52</translation>
    </message>
</context>
<context>
    <name>dlgEditFileName</name>
    <message>
        <source>设置特效名称</source>
        <translation>Name the Sound</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>最多7个字</source>
        <translation>Up to 7 characters</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>dlgMsgBox</name>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>dlgSaveEffect</name>
    <message>
        <source>保存音效</source>
        <translation>Save Effect</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>保存类型</source>
        <translation>Save to</translation>
    </message>
    <message>
        <source>保存位置</source>
        <translation>Slot</translation>
    </message>
    <message>
        <source>音效名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>最多12个字</source>
        <translation>Up to 12 characters</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>dlgSavePreset</name>
    <message>
        <source>保存预设</source>
        <translation>Save Preset</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>保存位置</source>
        <translation>Slot</translation>
    </message>
    <message>
        <source>预设名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>最多12个字</source>
        <translation>Up to 12 characters</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>dlgSendData</name>
    <message>
        <source>数据传输中，请稍等</source>
        <translation>Transferring data, please wait</translation>
    </message>
    <message>
        <source>正在解码特效文件...</source>
        <translation>Decoding the sound...</translation>
    </message>
    <message>
        <source>正在载入特效，暂时无法操作设备</source>
        <translation>Loading into the card, please wait</translation>
    </message>
</context>
<context>
    <name>mainWindow</name>
    <message>
        <source>林雾LW52</source>
        <translation>林雾LW52</translation>
    </message>
    <message>
        <source>当前音效：</source>
        <translation>Current effect: </translation>
    </message>
    <message>
        <source>菜单</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>最小化</source>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>设备音效</source>
        <translation>Card</translation>
    </message>
    <message>
        <source>聊天</source>
        <translation>Chat</translation>
    </message>
    <message>
        <source>K歌</source>
        <translation>Karaoke</translation>
    </message>
    <message>
        <source>喊麦</source>
        <translation>MC Shout</translation>
    </message>
    <message>
        <source>男变女</source>
        <translation>To Female</translation>
    </message>
    <message>
        <source>女变男</source>
        <translation>To Male</translation>
    </message>
    <message>
        <source>电话音</source>
        <translation>Telephone</translation>
    </message>
    <message>
        <source>娃娃音</source>
        <translation>Baby Voice</translation>
    </message>
    <message>
        <source>电音</source>
        <translation>Auto-Tune</translation>
    </message>
    <message>
        <source>听湿录干</source>
        <translation>Dry Record</translation>
    </message>
    <message>
        <source>自定义1</source>
        <translation>Custom 1</translation>
    </message>
    <message>
        <source>自定义2</source>
        <translation>Custom 2</translation>
    </message>
    <message>
        <source>自定义3</source>
        <translation>Custom 3</translation>
    </message>
    <message>
        <source>我的音效</source>
        <translation>My Effects</translation>
    </message>
    <message>
        <source>自定义4</source>
        <translation>Custom 4</translation>
    </message>
    <message>
        <source>自定义5</source>
        <translation>Custom 5</translation>
    </message>
    <message>
        <source>自定义6</source>
        <translation>Custom 6</translation>
    </message>
    <message>
        <source>自定义7</source>
        <translation>Custom 7</translation>
    </message>
    <message>
        <source>自定义8</source>
        <translation>Custom 8</translation>
    </message>
    <message>
        <source>自定义9</source>
        <translation>Custom 9</translation>
    </message>
    <message>
        <source>自定义10</source>
        <translation>Custom 10</translation>
    </message>
    <message>
        <source>自定义11</source>
        <translation>Custom 11</translation>
    </message>
    <message>
        <source>自定义12</source>
        <translation>Custom 12</translation>
    </message>
    <message>
        <source>自定义13</source>
        <translation>Custom 13</translation>
    </message>
    <message>
        <source>自定义14</source>
        <translation>Custom 14</translation>
    </message>
    <message>
        <source>自定义15</source>
        <translation>Custom 15</translation>
    </message>
    <message>
        <source> 音效</source>
        <translation> Library</translation>
    </message>
    <message>
        <source>云音效</source>
        <translation>Cloud</translation>
    </message>
    <message>
        <source>正在获取…</source>
        <translation>Loading…</translation>
    </message>
    <message>
        <source>正在获取云音效</source>
        <translation>Loading the cloud effects</translation>
    </message>
    <message>
        <source>获取失败，请检查网络连接</source>
        <translation>Loading failed. Check the network connection</translation>
    </message>
    <message>
        <source>重试</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source>特效</source>
        <translation>Sound FX</translation>
    </message>
    <message>
        <source>正在获取云特效</source>
        <translation>Loading the cloud sounds</translation>
    </message>
    <message>
        <source>重新获取云特效</source>
        <translation>Reload Cloud</translation>
    </message>
    <message>
        <source>收藏夹</source>
        <translation>Favourites</translation>
    </message>
    <message>
        <source>本地</source>
        <translation>Local</translation>
    </message>
    <message>
        <source>已下载</source>
        <translation>Downloaded</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>停止播放</source>
        <translation>Stop playback</translation>
    </message>
    <message>
        <source>音量</source>
        <translation>Vol.</translation>
    </message>
    <message>
        <source>音效音量</source>
        <translation>Sound pad volume</translation>
    </message>
    <message>
        <source>热键：关</source>
        <translation>Hotkeys: Off</translation>
    </message>
    <message>
        <source>热键：开</source>
        <translation>Hotkeys: On</translation>
    </message>
    <message>
        <source>启用或关闭收藏夹热键</source>
        <translation>Turn the favourites&apos; hotkeys on or off</translation>
    </message>
    <message>
        <source>录音</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>试听</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>载入…</source>
        <translation>Wait…</translation>
    </message>
    <message>
        <source>话筒音量</source>
        <translation>Mic</translation>
    </message>
    <message>
        <source>外接伴奏</source>
        <translation>Line-in</translation>
    </message>
    <message>
        <source>电脑伴奏</source>
        <translation>PC Music</translation>
    </message>
    <message>
        <source>降噪等级</source>
        <translation>Noise Gate</translation>
    </message>
    <message>
        <source>电平</source>
        <translation>Level</translation>
    </message>
    <message>
        <source>话筒电平</source>
        <translation>Mic level</translation>
    </message>
    <message>
        <source>伴奏电平</source>
        <translation>Music level</translation>
    </message>
    <message>
        <source>话筒静音</source>
        <translation>Mute Mic</translation>
    </message>
    <message>
        <source>一键原声</source>
        <translation>Natural Voice</translation>
    </message>
    <message>
        <source>恢复默认</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>保存音效</source>
        <translation>Save Effect</translation>
    </message>
    <message>
        <source>话筒+10dB</source>
        <translation>Mic +10dB</translation>
    </message>
    <message>
        <source>外接伴奏+10dB</source>
        <translation>Line-in +10dB</translation>
    </message>
    <message>
        <source>闪避开关</source>
        <translation>Ducking</translation>
    </message>
    <message>
        <source>一键内放</source>
        <translation>Loop</translation>
    </message>
    <message>
        <source>一键降噪</source>
        <translation>Denoise</translation>
    </message>
    <message>
        <source>消原声</source>
        <translation>Vox Cut</translation>
    </message>
    <message>
        <source>均衡器</source>
        <translation>Equalizer</translation>
    </message>
    <message>
        <source>明亮</source>
        <translation>Bright</translation>
    </message>
    <message>
        <source>磁性</source>
        <translation>Deep</translation>
    </message>
    <message>
        <source>温暖</source>
        <translation>Warm</translation>
    </message>
    <message>
        <source>大众</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>动圈麦</source>
        <translation>Dynamic</translation>
    </message>
    <message>
        <source>动圈麦2</source>
        <translation>Dynamic 2</translation>
    </message>
    <message>
        <source>保存预设</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>混响   </source>
        <translation>Reverb   </translation>
    </message>
    <message>
        <source>混响时长</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>混响比例</source>
        <translation>Mix</translation>
    </message>
    <message>
        <source>混响音量</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>预延迟</source>
        <translation>Pre-delay</translation>
    </message>
    <message>
        <source>专业歌手</source>
        <translation>Pro Singer</translation>
    </message>
    <message>
        <source>业余歌手</source>
        <translation>Amateur</translation>
    </message>
    <message>
        <source>现场表演</source>
        <translation>Live Stage</translation>
    </message>
    <message>
        <source>说唱表演</source>
        <translation>Rap</translation>
    </message>
    <message>
        <source>歌手1</source>
        <translation>Singer 1</translation>
    </message>
    <message>
        <source>歌手2</source>
        <translation>Singer 2</translation>
    </message>
    <message>
        <source>歌手3</source>
        <translation>Singer 3</translation>
    </message>
    <message>
        <source>变声  </source>
        <translation>Voice Changer  </translation>
    </message>
    <message>
        <source>变声音量</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>变声等级</source>
        <translation>Pitch</translation>
    </message>
    <message>
        <source>魔兽音</source>
        <translation>Monster</translation>
    </message>
    <message>
        <source>大调</source>
        <translation>Major</translation>
    </message>
    <message>
        <source>小调</source>
        <translation>Minor</translation>
    </message>
    <message>
        <source>基调</source>
        <translation>Key</translation>
    </message>
    <message>
        <source>设备未连接</source>
        <translation>No card connected</translation>
    </message>
    <message>
        <source>电音</source>
        <comment>title of the electronic voice bar</comment>
        <translation>Tune</translation>
    </message>
</context>
<context>
    <name>setVolume_Wnd</name>
    <message>
        <source>音量</source>
        <translation>Volume</translation>
    </message>
</context>
</TS>
