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
    <message>
        <source>%1を増やす</source>
        <translation>Increase %1</translation>
    </message>
    <message>
        <source>%1を減らす</source>
        <translation>Decrease %1</translation>
    </message>
    <message>
        <source>USBﾎﾞｰﾄﾞ(最初に見つかったもの)</source>
        <translation>USB board (the first one found)</translation>
    </message>
    <message>
        <source>%1 (接続されていません)</source>
        <translation>%1 (not connected)</translation>
    </message>
    <message>
        <source>接続されているUSBﾎﾞｰﾄﾞはありません。</source>
        <translation>No USB board is connected.</translation>
    </message>
    <message>
        <source>USBを使用できません: %1</source>
        <translation>USB cannot be used: %1</translation>
    </message>
    <message>
        <source>ﾌﾟﾛﾌｧｲﾙ</source>
        <translation>Profile</translation>
    </message>
    <message>
        <source>空欄: 既定のﾌﾟﾛﾌｧｲﾙ</source>
        <translation>Empty: the default profile</translation>
    </message>
    <message>
        <source>ｼﾐｭﾚｰｼｮﾝﾎﾞｰﾄﾞのﾌﾟﾛﾌｧｲﾙを選択してください。</source>
        <translation>Choose the simulated board&apos;s profile.</translation>
    </message>
    <message>
        <source>ﾌﾟﾛﾌｧｲﾙ(*.profile);;全て(*.*)</source>
        <translation>Profiles (*.profile);;All files (*.*)</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞの選択: %1</source>
        <translation>Board chosen: %1</translation>
    </message>
    <message>
        <source>保存されたﾎﾞｰﾄﾞの選択を使います: %1</source>
        <translation>Using the stored board choice: %1</translation>
    </message>
    <message>
        <source>設定のBOARD｢%1｣は使えないため、USBﾎﾞｰﾄﾞを使います。</source>
        <translation>The setting BOARD &quot;%1&quot; cannot be used: using the USB board.</translation>
    </message>
    <message>
        <source>保存されたﾎﾞｰﾄﾞの選択(%1)を使えないため、USBﾎﾞｰﾄﾞを使います: %2</source>
        <translation>The stored board choice (%1) cannot be used, using the USB board: %2</translation>
    </message>
    <message>
        <source>ｼﾐｭﾚｰｼｮﾝﾎﾞｰﾄﾞのﾌﾟﾛﾌｧｲﾙを読み込めませんでした。
%1</source>
        <translation>Could not load the simulated board&apos;s profile.
%1</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞの選択</source>
        <translation>Choose board</translation>
    </message>
    <message>
        <source>ｼﾐｭﾚｰｼｮﾝﾎﾞｰﾄﾞ</source>
        <translation>Simulated board</translation>
    </message>
    <message>
        <source>2重起動は出来ません。</source>
        <translation>The panel is already running.</translation>
    </message>
    <message>
        <source>ﾄﾞﾗｲﾊﾞﾊﾞｰｼﾞｮﾝの取得に失敗しました。</source>
        <translation>Could not get the driver version.</translation>
    </message>
    <message>
        <source>Brightlink Series：Quillon Application7</source>
        <translation>Brightlink Series: Quillon Application7</translation>
    </message>
    <message>
        <source>NorBridge2実行中はﾍﾟｰｼﾞの切り換えは出来ません。</source>
        <translation>Pages cannot be switched while NorBridge2 runs.</translation>
    </message>
    <message>
        <source>分割ﾒﾓﾘ転送中...</source>
        <translation>Split memory transfer...</translation>
    </message>
    <message>
        <source>■ﾒﾓﾘ転送ﾓｰﾄﾞに関するお知らせ■</source>
        <translation>■ About the memory transfer mode ■</translation>
    </message>
    <message>
        <source>最大転送ｻｲｽﾞ ：</source>
        <translation>Largest transfer:</translation>
    </message>
    <message>
        <source>転送回数 ：</source>
        <translation>Transfers:</translation>
    </message>
    <message>
        <source>転送ﾊﾞｲﾄ数 ：</source>
        <translation>Bytes transferred:</translation>
    </message>
    <message>
        <source>Cansel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>ｺﾝﾌｨｸﾞﾓｰﾄﾞを選択して下さい。</source>
        <translation>Choose the configuration mode.</translation>
    </message>
    <message>
        <source>%1ﾎﾞｰﾄﾞ無しで試すには｢ﾎﾞｰﾄﾞの選択...｣でｼﾐｭﾚｰｼｮﾝﾎﾞｰﾄﾞを選べます。</source>
        <translation>%1 To try without a board, choose the simulated board in &quot;Choose board...&quot;.</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞが見つかりません。</source>
        <translation>No board found.</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞをUSBに接続してください(接続すると自動で開きます)。</source>
        <translation>Connect a board to USB (it opens by itself once connected).</translation>
    </message>
    <message>
        <source>指定したﾎﾞｰﾄﾞが見つかりません。</source>
        <translation>The chosen board is not found.</translation>
    </message>
    <message>
        <source>そのﾎﾞｰﾄﾞを接続するか、｢ﾎﾞｰﾄﾞの選択...｣で接続されているﾎﾞｰﾄﾞを選んでください。</source>
        <translation>Connect that board, or choose a connected board in &quot;Choose board...&quot;.</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞはありますが、開く権限がありません。</source>
        <translation>A board is there, but there is no permission to open it.</translation>
    </message>
    <message>
        <source>udevﾙｰﾙ(70-quillon.rules)をｲﾝｽﾄｰﾙしてからﾎﾞｰﾄﾞを差し直してください(手順はﾛｸﾞにあります)。</source>
        <translation>Install the udev rule (70-quillon.rules), then plug the board in again (the log has the steps).</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞのﾌｧｰﾑｳｪｱが動いていません(ﾌﾞｰﾄﾛｰﾀﾞ)。</source>
        <translation>The board&apos;s firmware is not running (boot loader).</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞのﾌｧｰﾑｳｪｱをﾛｰﾄﾞしてからﾎﾞｰﾄﾞを差し直してください。</source>
        <translation>Load the board&apos;s firmware, then plug the board in again.</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞは他のﾌﾟﾛｸﾞﾗﾑが使用中です。</source>
        <translation>Another program is using the board.</translation>
    </message>
    <message>
        <source>そのﾌﾟﾛｸﾞﾗﾑ(quillon-run等)を終了してからﾎﾞｰﾄﾞを差し直してください。</source>
        <translation>End that program (quillon-run or the like), then plug the board in again.</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞはﾌﾟﾛｾｽ %1 が使用中です。</source>
        <translation>Process %1 is using the board.</translation>
    </message>
    <message>
        <source>そのﾌﾟﾛｸﾞﾗﾑ(quillon-run、Python等)がﾎﾞｰﾄﾞを閉じてから、｢ﾎﾞｰﾄﾞの選択...｣でﾎﾞｰﾄﾞを選び直してください。</source>
        <translation>Once that program (quillon-run, Python, ...) has closed the board, choose the board again in &quot;Choose board...&quot;.</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞを開けませんでした。</source>
        <translation>Could not open the board.</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞを差し直してください。</source>
        <translation>Plug the board in again.</translation>
    </message>
    <message>
        <source>USBを使用できません。</source>
        <translation>USB cannot be used.</translation>
    </message>
    <message>
        <source>USBﾃﾞﾊﾞｲｽ(/dev/bus/usb)の無い環境(ｺﾝﾃﾅ等)ではﾎﾞｰﾄﾞを開けません。</source>
        <translation>Without USB devices (/dev/bus/usb), as in a container, no board can be opened.</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞが開いていません。</source>
        <translation>No board is open.</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞを接続してください。</source>
        <translation>Connect a board.</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙがありません。</source>
        <translation>The file does not exist.</translation>
    </message>
    <message>
        <source>関連付けされたｱﾌﾟﾘｹｰｼｮﾝはありません。</source>
        <translation>No application is associated with this file.</translation>
    </message>
    <message>
        <source>表示するﾍﾟｰｼﾞ</source>
        <translation>Pages shown</translation>
    </message>
    <message>
        <source>ﾁｪｯｸしたﾍﾟｰｼﾞのﾀﾌﾞを表示します。</source>
        <translation>The checked pages show their tabs.</translation>
    </message>
    <message>
        <source>各ﾍﾟｰｼﾞが必要とするﾎﾞｰﾄﾞの機能はﾏﾆｭｱﾙの目次にあります。</source>
        <translation>The manual&apos;s contents list the board functions each page needs.</translation>
    </message>
    <message>
        <source>ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝ</source>
        <translation>Firmware version</translation>
    </message>
    <message>
        <source>ﾌﾟﾛﾀﾞｸﾄID</source>
        <translation>Product ID</translation>
    </message>
    <message>
        <source>FX2ﾁｯﾌﾟﾘﾋﾞｼﾞｮﾝ</source>
        <translation>FX2 chip revision</translation>
    </message>
    <message>
        <source>接続ｽﾋﾟｰﾄﾞ</source>
        <translation>Connection speed</translation>
    </message>
    <message>
        <source>RBFﾌｧｲﾙ(*.rbf);;BINﾌｧｲﾙ(*.bin);;全て(*.*)</source>
        <translation>RBF files (*.rbf);;BIN files (*.bin);;All files (*.*)</translation>
    </message>
    <message>
        <source>BINﾌｧｲﾙを選択してください。</source>
        <translation>Choose a BIN file.</translation>
    </message>
    <message>
        <source>RBFﾌｧｲﾙを選択してください。</source>
        <translation>Choose an RBF file.</translation>
    </message>
    <message>
        <source>現在、この外部ｺﾝﾌｨｸﾞﾓｰﾄﾞはｻﾎﾟｰﾄされておりません。</source>
        <translation>This external configuration mode is not supported.</translation>
    </message>
    <message>
        <source>USBｺﾝﾌｨｸﾞﾓｰﾄﾞ設定に失敗しました。</source>
        <translation>Could not set the USB configuration mode.</translation>
    </message>
    <message>
        <source>FPGAｸﾘｱに失敗しました。</source>
        <translation>FPGA clear failed.</translation>
    </message>
    <message>
        <source>指定されたﾌｧｲﾙは存在しません。</source>
        <translation>The file given does not exist.</translation>
    </message>
    <message>
        <source>ｺﾝﾌｨｸﾞﾀｰｹﾞｯﾄﾚｼﾞｽﾀｱﾄﾞﾚｽ：%1</source>
        <translation>Configuration target register address: %1</translation>
    </message>
    <message>
        <source>USBｺﾝﾌｨｸﾞ失敗(ﾌｧｲﾙ無し)</source>
        <translation>USB configuration failed (no file)</translation>
    </message>
    <message>
        <source> → ｺﾝﾌｨｸﾞ時間：%1ms</source>
        <translation> → configuration time: %1ms</translation>
    </message>
    <message>
        <source>USBｺﾝﾌｨｸﾞ失敗 → %1</source>
        <translation>USB configuration failed → %1</translation>
    </message>
    <message>
        <source>FPGAをｸﾘｱしてIDLEﾓｰﾄﾞに移行させました。</source>
        <translation>Cleared the FPGA; it is in IDLE mode.</translation>
    </message>
    <message>
        <source>ﾊﾞｲﾅﾘﾌｧｲﾙを選択してください。</source>
        <translation>Choose a binary file.</translation>
    </message>
    <message>
        <source>ﾊﾞｲﾅﾘﾌｧｲﾙ(*.bin);;全て(*.*)</source>
        <translation>Binary files (*.bin);;All files (*.*)</translation>
    </message>
    <message>
        <source>転送開始ｱﾄﾞﾚｽ(ﾚｼﾞｽﾀ0)</source>
        <translation>Start address (register 0)</translation>
    </message>
    <message>
        <source>ﾀｰｹﾞｯﾄﾒﾓﾘ(ﾚｼﾞｽﾀ1) →</source>
        <translation>Target memory (register 1) →</translation>
    </message>
    <message>
        <source>転送ﾚﾝｸﾞｽ →</source>
        <translation>Length →</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ設定</source>
        <translation>File</translation>
    </message>
    <message>
        <source>ﾒﾓﾘﾋﾞｯﾄ幅</source>
        <translation>Memory bit width</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀﾌｧｲﾙがｵｰﾌﾟﾝ出来ませんでした。</source>
        <translation>Could not open the data file.</translation>
    </message>
    <message>
        <source>相対ﾊﾟｽの基準：%1</source>
        <translation>Relative paths start at: %1</translation>
    </message>
    <message>
        <source>転送ｻｲｽﾞ</source>
        <translation>Transfer size</translation>
    </message>
    <message>
        <source>USBﾊﾞｽの転送ﾚｰﾄを測定します。
FPGAはｺﾝﾌｨｸﾞﾚｰｼｮﾝされていない状態にて測定を行って下さい。

AAhで埋められたﾃﾞｰﾀをPCのﾒﾓﾘ上に作成し、ﾒﾓﾘWriteを連続16回測定します。
その後、ﾃﾞﾊﾞｲｽからPCﾒﾓﾘ上へのﾒﾓﾘReadを連続16回測定を行います。
※HDDへのｱｸｾｽを含めない純粋なUSBﾊﾞｽ上のﾃﾞｰﾀ転送ﾚｰﾄです。</source>
        <translation>Measures the transfer rate of the USB bus.
Measure with the FPGA not configured.

Fills PC memory with AAh and times 16 memory writes in a row,
then 16 memory reads in a row from the device into PC memory.
* The rate of the data on the USB bus alone, without disk access.</translation>
    </message>
    <message>
        <source>指定したﾚｼﾞｽﾀｱﾄﾞﾚｽに512ﾊﾞｲﾄのﾗﾝﾀﾞﾑﾃﾞｰﾀをWrite→Read→Verifyを指定回数実行します。</source>
        <translation>Writes 512 bytes of random data to the register address, reads them back and verifies them (Write→Read→Verify), as many times as given.</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀﾚﾝｸﾞｽ(DEC)</source>
        <translation>Register length (dec)</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀｱﾄﾞﾚｽ(DEC)</source>
        <translation>Register address (dec)</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀﾚﾝｸﾞｽ(DEC) 1～64の範囲で指定して下さい。</source>
        <translation>Register length (dec), from 1 to 64.</translation>
    </message>
    <message>
        <source>1～64Bytesで指定してください</source>
        <translation>Enter 1 to 64 bytes</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀｱﾄﾞﾚｽ(DEC) 0～1023の範囲で指定して下さい。</source>
        <translation>Register address (dec), from 0 to 1023.</translation>
    </message>
    <message>
        <source>0～1023で指定してください</source>
        <translation>Enter 0 to 1023</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀﾘｰﾄﾞに失敗しました。</source>
        <translation>Register read failed.</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀﾗｲﾄに失敗しました。</source>
        <translation>Register write failed.</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀﾌｧｲﾙﾌｧｲﾙが存在しません。
ﾃﾞｰﾀﾌｧｲﾙのﾌｧｲﾙ名/ﾊﾟｽを確認してください。</source>
        <translation>The data file does not exist.
Check the data file&apos;s name and path.</translation>
    </message>
    <message>
        <source>実行中</source>
        <translation>Running</translation>
    </message>
    <message>
        <source>設定値が無効です。</source>
        <translation>The setting is not valid.</translation>
    </message>
    <message>
        <source>ｱﾄﾞﾚｽ(0-01FFh)</source>
        <translation>Address (0-01FFh)</translation>
    </message>
    <message>
        <source>ｱﾄﾞﾚｽ(0-FFFFFFh)</source>
        <translation>Address (0-FFFFFFh)</translation>
    </message>
    <message>
        <source>SPI操作用のｻﾝﾌﾟﾙ回路をｺﾝﾌｨｸﾞﾚｰｼｮﾝした状態で使用してください。</source>
        <translation>Use this page with the SPI sample design configured.</translation>
    </message>
    <message>
        <source>Orrickに実装されているMAX2-UFMﾒﾓﾘとM25P128に対して、</source>
        <translation>On the Orrick board&apos;s MAX2-UFM memory and M25P128,</translation>
    </message>
    <message>
        <source>BYTE/WORD単位でのRead/writeとChipEraseを実行可能です。</source>
        <translation>it reads and writes bytes or words and erases the whole chip.</translation>
    </message>
    <message>
        <source>SPIﾘｰﾄﾞに失敗しました。</source>
        <translation>SPI read failed.</translation>
    </message>
    <message>
        <source>SPIﾗｲﾄに失敗しました。</source>
        <translation>SPI write failed.</translation>
    </message>
    <message>
        <source>M25P128のﾁｯﾌﾟｲﾚｰｽを行いますか?</source>
        <translation>Erase the whole M25P128?</translation>
    </message>
    <message>
        <source>M25P128のﾁｯﾌﾟｲﾚｰｽは最大250秒かかります。</source>
        <translation>Erasing the M25P128 takes up to 250 s.</translation>
    </message>
    <message>
        <source>ﾁｯﾌﾟｲﾚｰｽ(ﾌﾞﾛｯｸ0)に失敗しました。</source>
        <translation>Chip erase (block 0) failed.</translation>
    </message>
    <message>
        <source>MAX2-UFMﾒﾓﾘのﾁｯﾌﾟｲﾚｰｽを行いますか?</source>
        <translation>Erase the whole MAX2-UFM memory?</translation>
    </message>
    <message>
        <source>ﾁｯﾌﾟｲﾚｰｽ(ﾌﾞﾛｯｸ1)に失敗しました。</source>
        <translation>Chip erase (block 1) failed.</translation>
    </message>
    <message>
        <source>本設定はFPGAがSuspendﾓｰﾄﾞを有効にしたｺﾝﾌｨｷﾞｭﾚｰｼｮﾝﾌｧｲﾙで
ｺﾝﾌｨｷﾞｭﾚｰｼｮﾝされている場合にのみ有効です。</source>
        <translation>This setting works only when the FPGA was configured
with a configuration file that enables Suspend mode.</translation>
    </message>
    <message>
        <source>TCLﾌｧｲﾙ(*.tcl);;全て(*.*)</source>
        <translation>Tcl files (*.tcl);;All files (*.*)</translation>
    </message>
    <message>
        <source>TCLｽｸﾘﾌﾟﾄ実行に失敗しました。</source>
        <translation>The Tcl script failed.</translation>
    </message>
    <message>
        <source>TCLﾌｧｲﾙを選択してください。</source>
        <translation>Choose a Tcl file.</translation>
    </message>
    <message>
        <source>USB FPGA ボード用コントロールアプリケーション</source>
        <translation>Control application for USB FPGA boards</translation>
    </message>
    <message>
        <source>ｱｯﾌﾟﾃﾞｰﾄ本体を起動できませんでした。</source>
        <translation>Could not start the updater.</translation>
    </message>
    <message>
        <source>ｱｯﾌﾟﾃﾞｰﾄを起動できませんでした。</source>
        <translation>Could not start the update.</translation>
    </message>
    <message>
        <source>Quillon7はﾊﾟｯｹｰｼﾞとしてｲﾝｽﾄｰﾙされています。
ｱｯﾌﾟﾃﾞｰﾄはｼｽﾃﾑのﾊﾟｯｹｰｼﾞﾏﾈｰｼﾞｬ(apt)で行ってください。
(例: sudo apt update &amp;&amp; sudo apt upgrade)</source>
        <translation>Quillon7 was installed as a package.
Update it with the system&apos;s package manager (apt).
(e.g. sudo apt update &amp;&amp; sudo apt upgrade)</translation>
    </message>
    <message>
        <source>新しいﾊﾞｰｼﾞｮﾝはﾎｰﾑﾍﾟｰｼﾞから入手してください。</source>
        <translation>New versions are on the home page.</translation>
    </message>
    <message>
        <source>現在のﾊﾞｰｼﾞｮﾝ: </source>
        <translation>Current version: </translation>
    </message>
    <message>
        <source>ﾏﾆｭｱﾙを表示できませんでした。ﾌﾞﾗｳｻﾞで次のﾌｧｲﾙを開いてください。</source>
        <translation>Could not show the manual. Open this file in a browser:</translation>
    </message>
    <message>
        <source>ﾏﾆｭｱﾙが見つかりません。</source>
        <translation>The manual is not found.</translation>
    </message>
    <message>
        <source>記録するﾌｧｲﾙを指定してください。</source>
        <translation>Name the file to record into.</translation>
    </message>
    <message>
        <source>TCLﾌｧｲﾙ (*.tcl);;全て (*)</source>
        <translation>Tcl files (*.tcl);;All files (*)</translation>
    </message>
    <message>
        <source>操作の記録開始：%1</source>
        <translation>Recording started: %1</translation>
    </message>
    <message>
        <source>操作の記録終了：%1</source>
        <translation>Recording ended: %1</translation>
    </message>
    <message>
        <source>操作の記録終了：%1 (書き込めなかった行があります)</source>
        <translation>Recording ended: %1 (some lines could not be written)</translation>
    </message>
    <message>
        <source>操作の記録を開始できません。</source>
        <translation>Cannot start recording.</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀを表示できません。</source>
        <translation>Cannot show the data.</translation>
    </message>
    <message>
        <source>表示するﾌｧｲﾙを選択してください。</source>
        <translation>Choose the file to view.</translation>
    </message>
    <message>
        <source>比較するﾌｧｲﾙを読めません。</source>
        <translation>Cannot read the file to compare with.</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ：%1  (%2 ﾊﾞｲﾄ)</source>
        <translation>File: %1  (%2 bytes)</translation>
    </message>
    <message>
        <source>比較：%1  (%2 ﾊﾞｲﾄ)</source>
        <translation>Compare: %1  (%2 bytes)</translation>
    </message>
    <message>
        <source>ｵﾌｾｯﾄをﾌｧｲﾙ長(%1 ﾊﾞｲﾄ)未満のHEX値で指定して下さい。</source>
        <translation>Enter the offset in hex, below the file length (%1 bytes).</translation>
    </message>
    <message>
        <source>検索するﾊﾞｲﾄ列をHEXで指定して下さい。(例: DE AD BE EF)</source>
        <translation>Enter the bytes to find in hex (e.g. DE AD BE EF).</translation>
    </message>
    <message>
        <source>0x%1 に見つかりました。</source>
        <translation>Found at 0x%1.</translation>
    </message>
    <message>
        <source>選択範囲が大きすぎます。ｺﾋﾟｰできるのは16MiBまでです。</source>
        <translation>The selection is too large. At most 16 MiB can be copied.</translation>
    </message>
    <message>
        <source>%1 ﾊﾞｲﾄをｺﾋﾟｰしました。</source>
        <translation>Copied %1 bytes.</translation>
    </message>
    <message>
        <source>比較するﾌｧｲﾙを選択してください。</source>
        <translation>Choose the file to compare with.</translation>
    </message>
</context>
</TS>
