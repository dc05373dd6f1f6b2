<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja_JP">
<context>
    <name>Lang</name>
    <message>
        <source>開く...</source>
        <translation>Open...</translation>
    </message>
    <message>
        <source>比較...</source>
        <translation>Compare...</translation>
    </message>
    <message>
        <source>MemWriteのﾌｧｲﾙと比較</source>
        <translation>Compare with the MemWrite file</translation>
    </message>
    <message>
        <source>ｵﾌｾｯﾄ(HEX)</source>
        <translation>Offset (hex)</translation>
    </message>
    <message>
        <source>移動</source>
        <translation>Go</translation>
    </message>
    <message>
        <source>検索ﾊﾞｲﾄ列(HEX)</source>
        <translation>Search bytes (hex)</translation>
    </message>
    <message>
        <source>次を検索</source>
        <translation>Find next</translation>
    </message>
    <message>
        <source>選択範囲をｺﾋﾟｰ</source>
        <translation>Copy selection</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀ</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>ﾜｰﾄﾞ幅</source>
        <translation>Word width</translation>
    </message>
    <message>
        <source>符号付き</source>
        <translation>Signed</translation>
    </message>
    <message>
        <source>ﾘﾄﾙｴﾝﾃﾞｨｱﾝ</source>
        <translation>Little endian</translation>
    </message>
    <message>
        <source>ﾋﾞｯｸﾞｴﾝﾃﾞｨｱﾝ</source>
        <translation>Big endian</translation>
    </message>
    <message>
        <source>ﾊﾞｲﾄ順</source>
        <translation>Byte order</translation>
    </message>
    <message>
        <source>全体</source>
        <translation>All</translation>
    </message>
    <message>
        <source>拡大</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>縮小</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>左へ</source>
        <translation>Left</translation>
    </message>
    <message>
        <source>右へ</source>
        <translation>Right</translation>
    </message>
    <message>
        <source>比較</source>
        <translation>Compare</translation>
    </message>
    <message>
        <source>比較するﾌｧｲﾙはありません。</source>
        <translation>No file to compare with.</translation>
    </message>
    <message>
        <source>前の相違</source>
        <translation>Previous difference</translation>
    </message>
    <message>
        <source>次の相違</source>
        <translation>Next difference</translation>
    </message>
    <message>
        <source>検索(HEX)</source>
        <translation>Search (hex)</translation>
    </message>
    <message>
        <source>ﾜｰﾄﾞ</source>
        <translation>Words</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀの表示 - </source>
        <translation>View data - </translation>
    </message>
    <message>
        <source>比較中...</source>
        <translation>Comparing...</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ：</source>
        <translation>File: </translation>
    </message>
    <message>
        <source>空のﾌｧｲﾙです(0 ﾊﾞｲﾄ)。</source>
        <translation>The file is empty (0 bytes).</translation>
    </message>
    <message>
        <source>ﾌﾟﾛｯﾄを作成中...</source>
        <translation>Drawing the plot...</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙを読めませんでした：</source>
        <translation>Could not read the file: </translation>
    </message>
    <message>
        <source>ﾌｧｲﾙが変更されました。読めるようになったら表示し直します。</source>
        <translation>The file changed. It is shown again once it can be read.</translation>
    </message>
    <message>
        <source>比較するﾌｧｲﾙが変更されました。読めるようになったら表示し直します。</source>
        <translation>The file to compare with changed. It is shown again once it can be read.</translation>
    </message>
    <message>
        <source>見つかりませんでした：</source>
        <translation>Not found: </translation>
    </message>
    <message>
        <source>この先に相違はありません。</source>
        <translation>No more differences after this.</translation>
    </message>
    <message>
        <source>この前に相違はありません。</source>
        <translation>No more differences before this.</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞの選択...</source>
        <translation>Choose board...</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ</source>
        <translation>File</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀの表示...</source>
        <translation>View data...</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>ｵﾌﾟｼｮﾝ</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>ｵｰﾄｺﾝﾌｨｸﾞ</source>
        <translation>Auto configuration</translation>
    </message>
    <message>
        <source>ｵｰﾄTCLｽｸﾘﾌﾟﾄ</source>
        <translation>Auto Tcl script</translation>
    </message>
    <message>
        <source>ﾒﾓﾘ転送ﾓｰﾄﾞ切り換え</source>
        <translation>Memory transfer mode</translation>
    </message>
    <message>
        <source>ﾒﾓﾘﾘｰﾄﾞ時にｽｸﾗﾝﾌﾞﾙ化を行う</source>
        <translation>Scramble on memory read</translation>
    </message>
    <message>
        <source>ﾒﾓﾘﾗｲﾄ時にｽｸﾗﾝﾌﾞﾙ化を行う</source>
        <translation>Scramble on memory write</translation>
    </message>
    <message>
        <source>拡張ﾚｼﾞｽﾀｱｸｾｽをｴﾐｭﾚｰﾄする</source>
        <translation>Emulate extended register access</translation>
    </message>
    <message>
        <source>Tesseraﾓｰﾄﾞ専用のﾒﾓﾘｺﾏﾝﾄﾞを使用する</source>
        <translation>Use the Tessera mode memory commands</translation>
    </message>
    <message>
        <source>温度警告の設定値を変更</source>
        <translation>Set temperature warning limits</translation>
    </message>
    <message>
        <source>温度警告の設定値を取得</source>
        <translation>Get temperature warning limits</translation>
    </message>
    <message>
        <source>ｳｵｯﾁﾄﾞｸﾞﾀｲﾏの設定を変更</source>
        <translation>Set watchdog timer</translation>
    </message>
    <message>
        <source>ｳｵｯﾁﾄﾞｸﾞﾀｲﾏの設定を取得</source>
        <translation>Get watchdog timer</translation>
    </message>
    <message>
        <source>FX3ﾌｧｰﾑｳｪｱﾘｾｯﾄの実行</source>
        <translation>Reset FX3 firmware</translation>
    </message>
    <message>
        <source>LOG View位置初期化</source>
        <translation>Reset log window position</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>ﾊﾞｰｼﾞｮﾝ情報</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Quillon7のｵﾝﾗｲﾝｱｯﾌﾟﾃﾞｰﾄ</source>
        <translation>Quillon7 online update</translation>
    </message>
    <message>
        <source>表示するﾍﾟｰｼﾞ...</source>
        <translation>Pages shown...</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀ操作</source>
        <translation>Registers</translation>
    </message>
    <message>
        <source>ﾒﾓﾘ操作</source>
        <translation>Memory</translation>
    </message>
    <message>
        <source>USBｺﾝﾌｨｸﾞ</source>
        <translation>USB configuration</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞ情報</source>
        <translation>Board information</translation>
    </message>
    <message>
        <source>I2C操作</source>
        <translation>I2C</translation>
    </message>
    <message>
        <source>TCLｽｸﾘﾌﾟﾄ</source>
        <translation>Tcl script</translation>
    </message>
    <message>
        <source>転送ﾚｰﾄ測定</source>
        <translation>Transfer rate</translation>
    </message>
    <message>
        <source>SPI操作</source>
        <translation>SPI</translation>
    </message>
    <message>
        <source>SUSPEND操作</source>
        <translation>Suspend</translation>
    </message>
    <message>
        <source>温度ﾓﾆﾀ</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>GPIF設定</source>
        <translation>GPIF settings</translation>
    </message>
    <message>
        <source>拡張ﾚｼﾞｽﾀ</source>
        <translation>Extended registers</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀ操作(512)</source>
        <translation>Registers (512)</translation>
    </message>
    <message>
        <source>I2C操作2</source>
        <translation>I2C 2</translation>
    </message>
    <message>
        <source>操作の記録...</source>
        <translation>Record session...</translation>
    </message>
    <message>
        <source>● 記録中</source>
        <translation>● Recording</translation>
    </message>
    <message>
        <source>接続するﾎﾞｰﾄﾞ</source>
        <translation>Board to connect</translation>
    </message>
    <message>
        <source>参照...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>再検索</source>
        <translation>Search again</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>ﾛｸﾞView再表示</source>
        <translation>Show log</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙﾎﾞﾀﾝを押すことでﾒﾓﾘ転送を終了する事ができます。</source>
        <translation>Cancel ends the memory transfer.</translation>
    </message>
    <message>
        <source>ﾒﾓﾘﾘｰﾄﾞの場合にはｷｬﾝｾﾙを押すまでのﾃﾞｰﾀがHDDに書き込まれます。</source>
        <translation>A memory read writes the data up to the cancel to the file.</translation>
    </message>
    <message>
        <source>ﾒﾓﾘﾗｲﾄの場合にはｷｬﾝｾﾙを押すまでのﾃﾞｰﾀをﾃﾞﾊﾞｲｽに転送します。</source>
        <translation>A memory write sends the data up to the cancel to the device.</translation>
    </message>
    <message>
        <source>分割ﾒﾓﾘ転送は2MiB単位で行われます。</source>
        <translation>A split memory transfer moves 2 MiB at a time.</translation>
    </message>
    <message>
        <source>ﾒﾓﾘ転送ﾓｰﾄﾞの切り換えは、切り換え後にﾎﾞｰﾄﾞﾘｾｯﾄ又は電源を切断するまで有効です。</source>
        <translation>The memory transfer mode holds until the board is reset or powered off.</translation>
    </message>
    <message>
        <source>ﾒﾓﾘ転送ﾓｰﾄﾞの設定情報はQuillon7又はﾎﾞｰﾄﾞ上には記憶されない不揮発性の情報です。</source>
        <translation>Neither Quillon7 nor the board stores the memory transfer mode.</translation>
    </message>
    <message>
        <source>従って、ﾎﾞｰﾄﾞﾘｾｯﾄ又は電源の再投入時には、ﾃﾞﾌｫﾙﾄのBurstﾓｰﾄﾞで転送が行われますので</source>
        <translation>After a board reset or a power cycle, transfers use the default Burst mode again:</translation>
    </message>
    <message>
        <source>注意をして下さい。</source>
        <translation>keep this in mind.</translation>
    </message>
    <message>
        <source>次回から表示しない。</source>
        <translation>Do not show this again.</translation>
    </message>
    <message>
        <source>ｵｰﾄｺﾝﾌｨｸﾞﾚｰｼｮﾝﾓｰﾄﾞを選択して下さい。</source>
        <translation>Choose the auto configuration mode.</translation>
    </message>
    <message>
        <source>ｵｰﾄｺﾝﾌｨｸﾞが指定されています。</source>
        <translation>Auto configuration is on.</translation>
    </message>
    <message>
        <source>(ALTERAﾓｰﾄﾞ)</source>
        <translation>(ALTERA mode)</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞは他のﾌﾟﾛｾｽが使用中です。</source>
        <translation>Another process is using the board.</translation>
    </message>
    <message>
        <source>製品名</source>
        <translation>Product name</translation>
    </message>
    <message>
        <source>更新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>FPGAｺﾝﾌｨｸﾞﾌｧｲﾙ選択：</source>
        <translation>FPGA configuration file:</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ選択</source>
        <translation>Choose file</translation>
    </message>
    <message>
        <source>ﾎﾟｰﾄの選択</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>※すべてHEX値で指定する。</source>
        <translation>* All values in hex.</translation>
    </message>
    <message>
        <source>進捗</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀﾘｰﾄﾞ：</source>
        <translation>Register read:</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀﾗｲﾄ：</source>
        <translation>Register write:</translation>
    </message>
    <message>
        <source>最大255ｸﾛｯｸ(0～255)まで設定可能</source>
        <translation>Up to 255 clocks (0 to 255)</translation>
    </message>
    <message>
        <source>ﾘｾｯﾄ等によりUSBﾌｧｰﾑｳｪｱが初期化されるとﾚｼﾞｽﾀｳｪｲﾄの設定値も初期化されます。</source>
        <translation>A reset of the USB firmware resets the register waits too.</translation>
    </message>
    <message>
        <source>ﾎﾟｰﾄ選択：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>3ﾊﾞｲﾄﾓｰﾄﾞ</source>
        <translation>3-byte mode</translation>
    </message>
    <message>
        <source>4ﾊﾞｲﾄﾓｰﾄﾞ</source>
        <translation>4-byte mode</translation>
    </message>
    <message>
        <source>Readｺﾏﾝﾄﾞ長：</source>
        <translation>Read command length:</translation>
    </message>
    <message>
        <source>ﾃﾞﾊﾞｲｽの設定</source>
        <translation>Device settings</translation>
    </message>
    <message>
        <source>ﾒﾓﾘｱﾄﾞﾚｽﾚｼﾞｽﾀの設定</source>
        <translation>Memory address registers</translation>
    </message>
    <message>
        <source>開く</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>表示</source>
        <translation>View</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙの中身をHEX、ﾜｰﾄﾞ、ﾌﾟﾛｯﾄで表示します。</source>
        <translation>Shows a file as hex, words or a plot.</translation>
    </message>
    <message>
        <source>分割ﾒﾓﾘ転送</source>
        <translation>Split memory transfer</translation>
    </message>
    <message>
        <source>測定開始</source>
        <translation>Start measuring</translation>
    </message>
    <message>
        <source>※SuperSpeedﾓｰﾄﾞ専用※</source>
        <translation>* SuperSpeed only *</translation>
    </message>
    <message>
        <source>実行</source>
        <translation>Run</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀｱﾄﾞﾚｽ：</source>
        <translation>Register address:</translation>
    </message>
    <message>
        <source>ﾘﾋﾟｰﾄ回数：</source>
        <translation>Repeat count:</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀ番号</source>
        <translation>Register number</translation>
    </message>
    <message>
        <source>ﾋﾞｯﾄ幅</source>
        <translation>Bit width</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀ設定</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀ設定 Read</source>
        <translation>Data Read</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀ設定 Write</source>
        <translation>Data Write</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾘｰﾄﾞ成功</source>
        <translation>Register read done</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀﾗｲﾄ成功</source>
        <translation>Register write done</translation>
    </message>
    <message>
        <source>※最大ﾃﾞｰﾀｻｲｽﾞは16MiBytesです。</source>
        <translation>* At most 16 MiB of data.</translation>
    </message>
    <message>
        <source>SPIｺｱのﾍﾟｰｽｱﾄﾞﾚｽ｢｣のﾚｼﾞｽﾀ番号を設定して下さい。</source>
        <translation>Set the register number of the SPI core&apos;s base address.</translation>
    </message>
    <message>
        <source>ﾀｰｹﾞｯﾄﾒﾓﾘ：</source>
        <translation>Target memory:</translation>
    </message>
    <message>
        <source>SPI-Read 成功しました。</source>
        <translation>SPI read done.</translation>
    </message>
    <message>
        <source>SPI-Write 成功しました。</source>
        <translation>SPI write done.</translation>
    </message>
    <message>
        <source>M25P128 ChipErase実行中 ... 少々お待ち下さい(最大250秒)</source>
        <translation>M25P128 chip erase running ... please wait (up to 250 s)</translation>
    </message>
    <message>
        <source>M25P128 ChipErase成功しました。</source>
        <translation>M25P128 chip erase done.</translation>
    </message>
    <message>
        <source>MAX2(UFM) ChipErase成功しました。</source>
        <translation>MAX2 (UFM) chip erase done.</translation>
    </message>
    <message>
        <source>ｻｽﾍﾟﾝﾄﾞﾓｰﾄﾞ変更</source>
        <translation>Change suspend mode</translation>
    </message>
    <message>
        <source>TCLｽｸﾘﾌﾟﾄﾌｧｲﾙ：</source>
        <translation>Tcl script file:</translation>
    </message>
    <message>
        <source>ｽｸﾘﾌﾟﾄ実行</source>
        <translation>Run script</translation>
    </message>
    <message>
        <source>ｵｰﾄTCLｽｸﾘﾌﾟﾄが指定されています。</source>
        <translation>Auto Tcl script is on.</translation>
    </message>
    <message>
        <source>FPGA温度ﾓﾆﾀ</source>
        <translation>FPGA temperature monitor</translation>
    </message>
    <message>
        <source>自動更新</source>
        <translation>Auto refresh</translation>
    </message>
    <message>
        <source>ﾛｸﾞＶｉｅｗ</source>
        <translation>Log View</translation>
    </message>
    <message>
        <source>ﾛｸﾞ</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>表示ﾌｫﾝﾄ変更</source>
        <translation>Change font</translation>
    </message>
    <message>
        <source>ｺﾋﾟｰ</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>すべて選択</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>ｸﾘｱ</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>999.9 MiB / 999.9 MiB  999.9 MB/s  残り 99:59</source>
        <translation>999.9 MiB / 999.9 MiB  999.9 MB/s  ETA 99:59</translation>
    </message>
    <message>
        <source>残り</source>
        <translation>ETA</translation>
    </message>
    <message>
        <source>USB FPGAボード コントロールパネル</source>
        <translation>USB FPGA board control panel</translation>
    </message>
    <message>
        <source>バージョン情報</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>ﾎｰﾑﾍﾟｰｼﾞURL</source>
        <translation>Home page URL</translation>
    </message>
    <message>
        <source>ﾌﾟﾛｯﾄ</source>
        <translation>Plot</translation>
    </message>
    <message>
        <source>ﾜｰﾄﾞ番号</source>
        <translation>Word number</translation>
    </message>
    <message>
        <source>ﾛｸﾞﾌｧｲﾙは｢%1｣に保存されます。</source>
        <translation>Log files are saved in &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>USBのﾀｲﾑｱｳﾄ</source>
        <translation>USB time-out</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞが時間内に応答しませんでした。FPGAのﾃﾞｻﾞｲﾝがﾃﾞｰﾀを受け渡しているか確認して下さい</source>
        <translation>The board did not answer in time. Check that the FPGA design sends and takes the data</translation>
    </message>
    <message>
        <source>ｽﾄｰﾙ</source>
        <translation>Stall</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞが要求を受け付けませんでした。FPGAがｺﾝﾌｨｸﾞﾚｰｼｮﾝされているか確認して下さい</source>
        <translation>The board refused the request. Check that the FPGA is configured</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞが取り外されました</source>
        <translation>The board was unplugged</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞを接続し直して下さい</source>
        <translation>Plug the board in again</translation>
    </message>
    <message>
        <source>ｱｸｾｽ権がありません</source>
        <translation>No permission</translation>
    </message>
    <message>
        <source>udevﾙｰﾙ 70-quillon.rules を /etc/udev/rules.d に置いて &apos;sudo udevadm control --reload&apos; を実行し、ﾎﾞｰﾄﾞを接続し直して下さい</source>
        <translation>Put the udev rule 70-quillon.rules into /etc/udev/rules.d, run &apos;sudo udevadm control --reload&apos; and plug the board in again</translation>
    </message>
    <message>
        <source>他のﾌﾟﾛｸﾞﾗﾑが使用中</source>
        <translation>In use by another program</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞを開いている他のﾌﾟﾛｸﾞﾗﾑ(quillon、quillon-run)を終了して下さい</source>
        <translation>End the other program that has the board open (quillon, quillon-run)</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞが要求より多くのﾃﾞｰﾀを返しました</source>
        <translation>The board returned more data than requested</translation>
    </message>
    <message>
        <source>転送が中止されました</source>
        <translation>The transfer was stopped</translation>
    </message>
    <message>
        <source>USBのﾒﾓﾘ不足</source>
        <translation>USB out of memory</translation>
    </message>
    <message>
        <source>USBを使う他のﾌﾟﾛｸﾞﾗﾑを終了するか、usbfs_memory_mb を増やして下さい</source>
        <translation>End other programs that use USB, or raise usbfs_memory_mb</translation>
    </message>
    <message>
        <source>USBの入出力ｴﾗｰ</source>
        <translation>USB I/O error</translation>
    </message>
    <message>
        <source>USBのｴﾗｰ</source>
        <translation>USB error</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞとの転送ﾊﾞｲﾄ数が違います(%1/%2ﾊﾞｲﾄ)</source>
        <translation>Wrong number of bytes moved with the board (%1/%2 bytes)</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞが接続されていません</source>
        <translation>No board is connected</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ「%1」: %2</source>
        <translation>File &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞです</source>
        <translation>it is a folder</translation>
    </message>
    <message>
        <source>通常のﾌｧｲﾙではありません(FIFO、ﾃﾞﾊﾞｲｽ等)</source>
        <translation>not a regular file (FIFO, device, ...)</translation>
    </message>
    <message>
        <source>%1: 値がありません</source>
        <translation>%1: no value</translation>
    </message>
    <message>
        <source>%1: 「%2」は%3桁を超えています</source>
        <translation>%1: &quot;%2&quot; has more than %3 digits</translation>
    </message>
    <message>
        <source>%1: 「%2」は16進数ではありません</source>
        <translation>%1: &quot;%2&quot; is not a hex number</translation>
    </message>
    <message>
        <source>%1: 「%2」は整数ではありません</source>
        <translation>%1: &quot;%2&quot; is not an integer</translation>
    </message>
    <message>
        <source>%1: 「%2」は範囲外です(%3～%4)</source>
        <translation>%1: &quot;%2&quot; is out of range (%3 to %4)</translation>
    </message>
    <message>
        <source>実行中のｽｸﾘﾌﾟﾄには記録できません。</source>
        <translation>Cannot record into the script that is running.</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙを作成できません。</source>
        <translation>Cannot create the file.</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙに書き込めません。</source>
        <translation>Cannot write to the file.</translation>
    </message>
    <message>
        <source>TCLの初期化に失敗しました。</source>
        <translation>Tcl initialization failed.</translation>
    </message>
    <message>
        <source>-------- TCLｽｸﾘﾌﾟﾄ実行開始 --------</source>
        <translation>-------- Tcl script started --------</translation>
    </message>
    <message>
        <source>TCLｽｸﾘﾌﾟﾄﾌｧｲﾙ：%1</source>
        <translation>Tcl script file: %1</translation>
    </message>
    <message>
        <source>-------- TCLｽｸﾘﾌﾟﾄ実行終了 --------</source>
        <translation>-------- Tcl script finished --------</translation>
    </message>
    <message>
        <source>ｵｰﾄTCLｽｸﾘﾌﾟﾄ失敗(ﾌｧｲﾙ無し)</source>
        <translation>Auto Tcl script failed (no file)</translation>
    </message>
    <message>
        <source>ｵｰﾄｺTCLｽｸﾘﾌﾟﾄ失敗 → %1</source>
        <translation>Auto Tcl script failed → %1</translation>
    </message>
    <message>
        <source> → ｵｰﾄTCL実行時間：%1ms</source>
        <translation> → Auto Tcl run time: %1 ms</translation>
    </message>
</context>
</TS>
