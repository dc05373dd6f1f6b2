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
    <message>
        <source>該当なし</source>
        <translation>Unknown product</translation>
    </message>
    <message>
        <source>ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝの取得に失敗しました。</source>
        <translation>Could not read the firmware version.</translation>
    </message>
    <message>
        <source>ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝ ：%1</source>
        <translation>Firmware version: %1</translation>
    </message>
    <message>
        <source>ﾌﾟﾛﾀﾞｸﾄIDの取得に失敗しました。</source>
        <translation>Could not read the product ID.</translation>
    </message>
    <message>
        <source>ﾌﾟﾛﾀﾞｸﾄID ：%1</source>
        <translation>Product ID: %1</translation>
    </message>
    <message>
        <source>製品名 : %1</source>
        <translation>Product name: %1</translation>
    </message>
    <message>
        <source>FX2ﾁｯﾌﾟﾘﾋﾞｼﾞｮﾝの取得に失敗しました。</source>
        <translation>Could not read the FX2 chip revision.</translation>
    </message>
    <message>
        <source>FX2ﾁｯﾌﾟﾘﾋﾞｼﾞｮﾝ ：%1</source>
        <translation>FX2 chip revision: %1</translation>
    </message>
    <message>
        <source>接続ｽﾋﾟｰﾄﾞの取得に失敗しました。</source>
        <translation>Could not read the connection speed.</translation>
    </message>
    <message>
        <source>接続ｽﾋﾟｰﾄﾞ : %1</source>
        <translation>Connection speed: %1</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞ情報取得に成功しました。</source>
        <translation>Board information read.</translation>
    </message>
    <message>
        <source>G2M:%1の設定に失敗しました。</source>
        <translation>G2M: could not set %1.</translation>
    </message>
    <message>
        <source>G2M:%1=%2h に設定しました。</source>
        <translation>G2M: %1 set to %2h.</translation>
    </message>
    <message>
        <source>G2M:%1の取得に失敗しました。</source>
        <translation>G2M: could not read %1.</translation>
    </message>
    <message>
        <source>C2M:CAP_STARTｺﾏﾝﾄﾞの発行に失敗しました。</source>
        <translation>C2M: could not send the CAP_START command.</translation>
    </message>
    <message>
        <source>C2Mﾚｼﾞｽﾀの取得に失敗しました。</source>
        <translation>Could not read the C2M registers.</translation>
    </message>
    <message>
        <source>C2M:DMAｽﾀｰﾄｱﾄﾞﾚｽの設定に失敗しました。</source>
        <translation>C2M: could not set the DMA start address.</translation>
    </message>
    <message>
        <source>GPIO-DIR切り換えに失敗しました。</source>
        <translation>Could not switch the GPIO direction.</translation>
    </message>
    <message>
        <source>Port%1のDIR(%2)を切り換えました。</source>
        <translation>Port %1 direction switched to %2.</translation>
    </message>
    <message>
        <source>GPIO-Readに失敗しました。</source>
        <translation>GPIO read failed.</translation>
    </message>
    <message>
        <source>GPIO-Read成功</source>
        <translation>GPIO read done</translation>
    </message>
    <message>
        <source>ﾗｲﾄﾃﾞｰﾀが無効です。</source>
        <translation>The write data is not valid.</translation>
    </message>
    <message>
        <source>GPIO-Writeに失敗しました。</source>
        <translation>GPIO write failed.</translation>
    </message>
    <message>
        <source>GPIO-Write成功</source>
        <translation>GPIO write done</translation>
    </message>
    <message>
        <source>I2Cﾘｰﾄﾞに失敗しました。</source>
        <translation>I2C read failed.</translation>
    </message>
    <message>
        <source>I2Cﾗｲﾄに失敗しました。</source>
        <translation>I2C write failed.</translation>
    </message>
    <message>
        <source>無効な文字列です。</source>
        <translation>Not a valid value.</translation>
    </message>
    <message>
        <source>MCP4725ﾊﾟﾗﾒｰﾀｾｯﾄに失敗しました。</source>
        <translation>Could not set the MCP4725 parameters.</translation>
    </message>
    <message>
        <source>MCP4715ﾊﾟﾗﾒｰﾀｾｯﾄに失敗しました。</source>
        <translation>Could not set the MCP4715 parameters.</translation>
    </message>
    <message>
        <source>整数値で入力してください。</source>
        <translation>Enter an integer.</translation>
    </message>
    <message>
        <source>FPGA温度取得失敗しました。</source>
        <translation>Could not read the FPGA temperature.</translation>
    </message>
    <message>
        <source>ｻｽﾍﾟﾝﾄﾞﾓｰﾄﾞ切り換えに失敗しました。</source>
        <translation>Could not switch the suspend mode.</translation>
    </message>
    <message>
        <source>SUSPENDﾓｰﾄﾞを切り換えました。</source>
        <translation>Suspend mode switched.</translation>
    </message>
    <message>
        <source>温度警告設定値の変更</source>
        <translation>Set temperature warning limit</translation>
    </message>
    <message>
        <source>温度警告の設定値を整数(0-255)で入力してください｡</source>
        <translation>Enter the temperature warning limit as an integer (0-255).</translation>
    </message>
    <message>
        <source>温度警告設定値の変更に失敗しました。</source>
        <translation>Could not set the temperature warning limit.</translation>
    </message>
    <message>
        <source>温度警告温度を %1℃ に変更しました。</source>
        <translation>Temperature warning limit set to %1 °C.</translation>
    </message>
    <message>
        <source>温度警告設定値の取得に失敗しました。</source>
        <translation>Could not read the temperature warning limit.</translation>
    </message>
    <message>
        <source>現在の温度警告設定値は %1℃ です。</source>
        <translation>The temperature warning limit is %1 °C.</translation>
    </message>
    <message>
        <source>ｳｵｯﾁﾄﾞｸﾞﾀｲﾏ設定値の変更</source>
        <translation>Set watchdog timer</translation>
    </message>
    <message>
        <source>ｳｵｯﾁﾄﾞｸﾞﾀｲﾏの設定値を整数(0-255秒)で入力してください｡</source>
        <translation>Enter the watchdog timer as an integer (0-255 s).</translation>
    </message>
    <message>
        <source>ｳｵｯﾁﾄﾞｸﾞﾀｲﾏ設定値の変更に失敗しました。</source>
        <translation>Could not set the watchdog timer.</translation>
    </message>
    <message>
        <source>ｳｵｯﾁﾄﾞｸﾞﾀｲﾏを無効に設定しました。</source>
        <translation>Watchdog timer disabled.</translation>
    </message>
    <message>
        <source>ｳｵｯﾁﾄﾞｸﾞﾀｲﾏの設定値を %1秒 に変更しました。</source>
        <translation>Watchdog timer set to %1 s.</translation>
    </message>
    <message>
        <source>ｳｵｯﾁﾄﾞｸﾞﾀｲﾏ設定値の取得に失敗しました。</source>
        <translation>Could not read the watchdog timer.</translation>
    </message>
    <message>
        <source>ｳｵｯﾁﾄﾞｸﾞﾀｲﾏは無効に設定されています。</source>
        <translation>The watchdog timer is disabled.</translation>
    </message>
    <message>
        <source>現在のｳｵｯﾁﾄﾞｸﾞﾀｲﾏは %1秒です。</source>
        <translation>The watchdog timer is %1 s.</translation>
    </message>
    <message>
        <source>FX3ﾌｧｰﾑｳｪｱﾘｾｯﾄを実行しました。</source>
        <translation>FX3 firmware reset sent.</translation>
    </message>
    <message>
        <source>FPGA温度を取得&amp;表示しました。</source>
        <translation>FPGA temperature read.</translation>
    </message>
    <message>
        <source>他の処理を実行中のため開始できません。</source>
        <translation>Cannot start: another operation is running.</translation>
    </message>
    <message>
        <source>Xilinx+Tesseraﾓｰﾄﾞ</source>
        <translation>Xilinx+Tessera mode</translation>
    </message>
    <message>
        <source>ALTERA+Tessera+Encryptﾓｰﾄﾞ</source>
        <translation>ALTERA+Tessera+Encrypt mode</translation>
    </message>
    <message>
        <source>ALTERA+Tesseraﾓｰﾄﾞ</source>
        <translation>ALTERA+Tessera mode</translation>
    </message>
    <message>
        <source>ALTERAﾓｰﾄﾞ</source>
        <translation>ALTERA mode</translation>
    </message>
    <message>
        <source>Xilinxﾓｰﾄﾞ(+BITSWAP)</source>
        <translation>Xilinx mode (+BITSWAP)</translation>
    </message>
    <message>
        <source>Xilinxﾓｰﾄﾞ</source>
        <translation>Xilinx mode</translation>
    </message>
    <message>
        <source>Xilinxﾓｰﾄﾞ(+BITSWAP+ENCRYPT)</source>
        <translation>Xilinx mode (+BITSWAP+ENCRYPT)</translation>
    </message>
    <message>
        <source>Xilinxﾓｰﾄﾞ(+ENCRYPT)</source>
        <translation>Xilinx mode (+ENCRYPT)</translation>
    </message>
    <message>
        <source>ｵｰﾄｺﾝﾌｨｸﾞ失敗(ﾌｧｲﾙ無し)</source>
        <translation>Auto configuration failed (no file)</translation>
    </message>
    <message>
        <source>ｵｰﾄｺﾝﾌｨｸﾞ時間：%1ms</source>
        <translation>Auto configuration time: %1 ms</translation>
    </message>
    <message>
        <source>ｵｰﾄｺﾝﾌｨｸﾞ失敗 → %1</source>
        <translation>Auto configuration failed → %1</translation>
    </message>
    <message>
        <source>ｺﾝﾌｨｸﾞﾚｰｼｮﾝﾃﾞｰﾀとして大きすぎます</source>
        <translation>too large for configuration data</translation>
    </message>
    <message>
        <source>読み込み中に短くなりました</source>
        <translation>became shorter while it was read</translation>
    </message>
    <message>
        <source>FPGAがｺﾝﾌｨｸﾞﾚｰｼｮﾝﾃﾞｰﾀを受け付けませんでした(ｽﾃｰﾀｽ %1)。ﾌｧｲﾙの種類(Altera/Xilinx)と設定を確認して下さい</source>
        <translation>The FPGA did not accept the configuration data (status %1). Check the file type (Altera/Xilinx) and the settings</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ名が入力されていません。</source>
        <translation>No file name given.</translation>
    </message>
    <message>
        <source>ﾜｲﾙﾄﾞｶｰﾄﾞ(*や?)を含む名前はﾌｧｲﾙ名ではありません。</source>
        <translation>A name with wildcards (* or ?) is not a file name.</translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞがありません：%1</source>
        <translation>No such folder: %1</translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞに書き込む権限がありません：%1</source>
        <translation>No permission to write to the folder: %1</translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞを開く権限がありません：%1</source>
        <translation>No permission to open the folder: %1</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙではなくﾌｫﾙﾀﾞです。</source>
        <translation>This is a folder, not a file.</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙではなくFIFO(名前付きﾊﾟｲﾌﾟ)です。</source>
        <translation>This is a FIFO (named pipe), not a file.</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙではなくﾃﾞﾊﾞｲｽです。</source>
        <translation>This is a device, not a file.</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙに書き込む権限がありません。</source>
        <translation>No permission to write to the file.</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙを読む権限がありません。</source>
        <translation>No permission to read the file.</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ：%1</source>
        <translation>File: %1</translation>
    </message>
    <message>
        <source>空き容量を調べたﾌｫﾙﾀﾞ：%1</source>
        <translation>Folder checked for free space: %1</translation>
    </message>
    <message>
        <source>空き容量：%1 ﾊﾞｲﾄ、転送ﾚﾝｸﾞｽ：%2 ﾊﾞｲﾄ</source>
        <translation>Free space: %1 bytes, transfer length: %2 bytes</translation>
    </message>
    <message>
        <source>Page Write Mode ： not supported.</source>
        <translation>Page write mode: not supported.</translation>
    </message>
    <message>
        <source>Page Write Mode ： 8Word page.</source>
        <translation>Page write mode: 8-word page.</translation>
    </message>
    <message>
        <source>FLASH Unique Code ： %1h</source>
        <translation>FLASH unique code: %1h</translation>
    </message>
    <message>
        <source>Total FLASH Size ： %1Bytes(%2MiBytes)</source>
        <translation>Total FLASH size: %1 bytes (%2 MiB)</translation>
    </message>
    <message>
        <source>1Word Write Time(typ) ： %1us</source>
        <translation>Word write time (typ): %1 us</translation>
    </message>
    <message>
        <source>1Word Write Time(max) ： %1us</source>
        <translation>Word write time (max): %1 us</translation>
    </message>
    <message>
        <source>Block Erase Time(typ) ： %1ms</source>
        <translation>Block erase time (typ): %1 ms</translation>
    </message>
    <message>
        <source>Block Erase Time(max) ： %1s</source>
        <translation>Block erase time (max): %1 s</translation>
    </message>
    <message>
        <source>Region Block Number ： %1</source>
        <translation>Erase block regions: %1</translation>
    </message>
    <message>
        <source>Region%1 Block Number ： %2</source>
        <translation>Region %1 blocks: %2</translation>
    </message>
    <message>
        <source>Region%1 Block Size ： %2Bytes</source>
        <translation>Region %1 block size: %2 bytes</translation>
    </message>
    <message>
        <source>NorBridge2の処理を実行するとFPGAはNorBridge2用のｺﾝﾌｨｸﾞﾃﾞｰﾀで書き換えられます。
子基板等を接続している時には注意して下さい。

実行しても宜しいですか?</source>
        <translation>Running NorBridge2 reconfigures the FPGA with the NorBridge2 design.
Take care when a daughter board is connected.

Run it now?</translation>
    </message>
    <message>
        <source>このﾃﾞﾊﾞｲｽはｻﾎﾟｰﾄされておりません。</source>
        <translation>This device is not supported.</translation>
    </message>
    <message>
        <source>NorBrige2:NorBridge2用ｺﾝﾌｨｸﾞﾚｰｼｮﾝﾌｧｲﾙが存在しません。ﾀｰｹﾞｯﾄﾃﾞﾊﾞｲｽの選択を確認してください。</source>
        <translation>NorBridge2: the NorBridge2 configuration file is missing. Check the target device.</translation>
    </message>
    <message>
        <source>NorBrige2:ﾀｰｹﾞｯﾄﾃﾞﾊﾞｲｽの選択を確認してください。</source>
        <translation>NorBridge2: check the target device.</translation>
    </message>
    <message>
        <source>NorBridge2用ｺﾝﾌｨｸﾞﾚｰｼｮﾝﾌｧｲﾙが存在しません。
ﾀｰｹﾞｯﾄﾃﾞﾊﾞｲｽの選択を確認してください。</source>
        <translation>The NorBridge2 configuration file is missing.
Check the target device.</translation>
    </message>
    <message>
        <source>NorBrige2:USBｺﾝﾌｨｸﾞﾚｰｼｮﾝ失敗.</source>
        <translation>NorBridge2: USB configuration failed.</translation>
    </message>
    <message>
        <source>USBｺﾝﾌｨｸﾞﾚｰｼｮﾝに失敗しました。
ﾀｰｹﾞｯﾄﾃﾞﾊﾞｲｽの選択を確認してください。</source>
        <translation>USB configuration failed.
Check the target device.</translation>
    </message>
    <message>
        <source>ﾘｾｯﾄｺﾏﾝﾄﾞの発行に失敗しました。</source>
        <translation>Could not send the reset command.</translation>
    </message>
    <message>
        <source>CFIｸｴﾘの読込みに失敗しました。</source>
        <translation>Could not read the CFI query.</translation>
    </message>
    <message>
        <source>CFIｸｴﾘが正常にﾘｰﾄﾞ出来ませんでした。</source>
        <translation>The CFI query did not read correctly.</translation>
    </message>
    <message>
        <source>Flashﾒﾓﾘ全ﾌﾞﾛｯｸのｲﾚｰｽを行います。</source>
        <translation>Erasing every block of the flash memory.</translation>
    </message>
    <message>
        <source>FLASHﾒﾓﾘのｲﾚｰｽに失敗しました。</source>
        <translation>Flash memory erase failed.</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀﾌｧｲﾙの先頭から%1ﾊﾞｲﾄ分の書込みを行います。</source>
        <translation>Writing the first %1 bytes of the data file.</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀﾌｧｲﾙの全ﾃﾞｰﾀ(%1ﾊﾞｲﾄ)の書込みを行います。</source>
        <translation>Writing the whole data file (%1 bytes).</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀﾌｧｲﾙが奇数ﾊﾞｲﾄです。最終ﾃﾞｰﾀの上位ﾊﾞｲﾄはFFhでﾗｲﾄされます。</source>
        <translation>The data file has an odd number of bytes. The high byte of the last word is written as FFh.</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀﾌｧｲﾙ ： %1</source>
        <translation>Data file: %1</translation>
    </message>
    <message>
        <source>FLASHﾗｲﾄに失敗しました。</source>
        <translation>Flash write failed.</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀﾌｧｲﾙの先頭から%1ﾊﾞｲﾄ分の比較を行います。</source>
        <translation>Comparing the first %1 bytes of the data file.</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀﾌｧｲﾙの全ﾃﾞｰﾀとFLASHﾒﾓﾘの先頭から%1ﾊﾞｲﾄ分の比較を行います。</source>
        <translation>Comparing the whole data file with the first %1 bytes of the flash memory.</translation>
    </message>
    <message>
        <source>ﾍﾞﾘﾌｧｲｴﾗｰ ： ｱﾄﾞﾚｽ %1h ﾃﾞｰﾀﾌｧｲﾙ %2h FLASH %3h</source>
        <translation>Verify error: address %1h data file %2h FLASH %3h</translation>
    </message>
    <message>
        <source>FLASHﾒﾓﾘﾍﾞﾘﾌｧｲｴﾗｰです。</source>
        <translation>Flash memory verify error.</translation>
    </message>
    <message>
        <source>VERIFY ： 100%</source>
        <translation>VERIFY: 100%</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀﾌｧｲﾙが存在しません。</source>
        <translation>The data file does not exist.</translation>
    </message>
    <message>
        <source>CFIｸｴﾘのﾃﾞｰﾀが不足しています。</source>
        <translation>The CFI query data is incomplete.</translation>
    </message>
    <message>
        <source>ｲﾚｰｽﾌﾞﾛｯｸのﾘｰｼﾞｮﾝがありません。</source>
        <translation>The flash reports no erase block regions.</translation>
    </message>
    <message>
        <source>ｲﾚｰｽﾌﾞﾛｯｸのﾘｰｼﾞｮﾝが4つを超えるFLASHには対応していません。</source>
        <translation>Flash with more than 4 erase block regions is not supported.</translation>
    </message>
    <message>
        <source>ERASE ：%1%</source>
        <translation>ERASE: %1%</translation>
    </message>
    <message>
        <source>ﾗｲﾄﾀｲﾑｱｳﾄ</source>
        <translation>Write time-out</translation>
    </message>
    <message>
        <source>開始ｱﾄﾞﾚｽ ： %1h</source>
        <translation>Start address: %1h</translation>
    </message>
    <message>
        <source>ﾚﾝｸﾞｽ ： %1h</source>
        <translation>Length: %1h</translation>
    </message>
    <message>
        <source>ﾙｰﾌﾟﾀｲﾑ ： %1us</source>
        <translation>Time-out: %1 us</translation>
    </message>
    <message>
        <source>ﾗｲﾄｴﾗｰ</source>
        <translation>Write error</translation>
    </message>
    <message>
        <source>FLASHﾗｲﾄｴﾗｰ1</source>
        <translation>Flash write error 1</translation>
    </message>
    <message>
        <source>WRITE ： %1%</source>
        <translation>WRITE: %1%</translation>
    </message>
    <message>
        <source>FLASHﾗｲﾄｴﾗｰ2</source>
        <translation>Flash write error 2</translation>
    </message>
    <message>
        <source>WRITE ： 100%</source>
        <translation>WRITE: 100%</translation>
    </message>
    <message>
        <source>FLASHﾒﾓﾘよりﾃﾞｰﾀをﾘｰﾄﾞ出来ませんでした。</source>
        <translation>Could not read the data from the flash memory.</translation>
    </message>
    <message>
        <source>ﾀﾞﾝﾌﾟﾌｧｲﾙを作成出来ませんでした。 → %1</source>
        <translation>Could not create the dump file → %1</translation>
    </message>
    <message>
        <source>SerBridgeを実行するとFPGAがSerBridge用のｺﾝﾌｨｸﾞﾃﾞｰﾀで書き換えられます。
子基板等を接続している時には十分に注意して下さい。
SPIﾒﾓﾘの全ﾃﾞｰﾀも一度全消去してから新しいﾃﾞｰﾀを書込みます。

実行しても宜しいですか?</source>
        <translation>Running SerBridge reconfigures the FPGA with the SerBridge design.
Take great care when a daughter board is connected.
The whole SPI memory is erased before the new data is written.

Run it now?</translation>
    </message>
    <message>
        <source>ｲﾚｰｽ実行中のｽﾃｰﾀｽ取得に失敗しました。</source>
        <translation>Could not read the status during the erase.</translation>
    </message>
    <message>
        <source>SerBridge:ｲﾚｰｽﾀｲﾑｱｳﾄ</source>
        <translation>SerBridge: erase time-out</translation>
    </message>
    <message>
        <source>ｲﾚｰｽﾀｲﾑｱｳﾄです。</source>
        <translation>The erase timed out.</translation>
    </message>
    <message>
        <source>ｲﾚｰｽﾁｪｯｸ中のｽﾃｰﾀｽ取得に失敗しました。</source>
        <translation>Could not read the status during the erase check.</translation>
    </message>
    <message>
        <source>SerBridge:ｲﾚｰｽﾁｪｯｸﾀｲﾑｱｳﾄ</source>
        <translation>SerBridge: erase check time-out</translation>
    </message>
    <message>
        <source>ｲﾚｰｽﾁｪｯｸﾀｲﾑｱｳﾄです。</source>
        <translation>The erase check timed out.</translation>
    </message>
    <message>
        <source>SSRAM→FLASHﾒﾓﾘﾗｲﾄ実行中のｽﾃｰﾀｽ取得に失敗しました。</source>
        <translation>Could not read the status during the SSRAM → flash memory write.</translation>
    </message>
    <message>
        <source>SerBridge:SSRAM→FLASHﾒﾓﾘﾗｲﾄﾀｲﾑｱｳﾄ</source>
        <translation>SerBridge: SSRAM → flash memory write time-out</translation>
    </message>
    <message>
        <source>SSRAM→FLASHﾒﾓﾘﾗｲﾄﾀｲﾑｱｳﾄです。</source>
        <translation>The SSRAM → flash memory write timed out.</translation>
    </message>
    <message>
        <source>SSRAM→ﾍﾞﾘﾌｧｲ実行中のｽﾃｰﾀｽ取得に失敗しました。</source>
        <translation>Could not read the status during the SSRAM → verify.</translation>
    </message>
    <message>
        <source>SerBridge:ﾍﾞﾘﾌｧｲﾀｲﾑｱｳﾄ</source>
        <translation>SerBridge: verify time-out</translation>
    </message>
    <message>
        <source>ﾍﾞﾘﾌｧｲﾀｲﾑｱｳﾄです。</source>
        <translation>The verify timed out.</translation>
    </message>
    <message>
        <source>SerBridgeの実行をｷｬﾝｾﾙしました。</source>
        <translation>SerBridge run cancelled.</translation>
    </message>
    <message>
        <source>SerBridge:ｽﾃｰﾀｽ取得失敗</source>
        <translation>SerBridge: could not read the status</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀﾌｧｲﾙ転送中</source>
        <translation>Sending the data file</translation>
    </message>
    <message>
        <source>SerBridge:ﾃﾞｰﾀﾌｧｲﾙ転送中</source>
        <translation>SerBridge: sending the data file</translation>
    </message>
    <message>
        <source>SerBridge:ﾃﾞｰﾀﾌｧｲﾙの全ﾃﾞｰﾀ(%1ﾊﾞｲﾄ)の書込みを行います。</source>
        <translation>SerBridge: writing the whole data file (%1 bytes).</translation>
    </message>
    <message>
        <source>SerBridge:ﾃﾞｰﾀﾌｧｲﾙの先頭から%1ﾊﾞｲﾄの書込みを行います。</source>
        <translation>SerBridge: writing the first %1 bytes of the data file.</translation>
    </message>
    <message>
        <source>GPIFﾒﾓﾘｽﾀｰﾄｱﾄﾞﾚｽの設定</source>
        <translation>Setting the GPIF memory start address</translation>
    </message>
    <message>
        <source>SerBridge:GPIFﾒﾓﾘｽﾀｰﾄｱﾄﾞﾚｽの設定</source>
        <translation>SerBridge: setting the GPIF memory start address</translation>
    </message>
    <message>
        <source>GPIFﾒﾓﾘｽﾀｰﾄｱﾄﾞﾚｽの設定に失敗しました。</source>
        <translation>Could not set the GPIF memory start address.</translation>
    </message>
    <message>
        <source>SerBridge:ﾒﾓﾘ転送失敗</source>
        <translation>SerBridge: memory transfer failed</translation>
    </message>
    <message>
        <source>ﾒﾓﾘ転送に失敗しました。</source>
        <translation>Memory transfer failed.</translation>
    </message>
    <message>
        <source>SerBridge:ﾃﾞｰﾀﾌｧｲﾙｵｰﾌﾟﾝｴﾗｰ</source>
        <translation>SerBridge: data file open error</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀﾌｧｲﾙｵｰﾌﾟﾝｴﾗｰ</source>
        <translation>Data file open error</translation>
    </message>
    <message>
        <source>ﾃﾞﾊﾞｲｽ選択処理</source>
        <translation>Choosing the device</translation>
    </message>
    <message>
        <source>ｺﾝﾌｨｸﾞﾚｰｼｮﾝﾌｧｲﾙ確認</source>
        <translation>Checking the configuration file</translation>
    </message>
    <message>
        <source>SerBridge用ｺﾝﾌｨｸﾞﾚｰｼｮﾝﾌｧｲﾙが存在しません。
ﾀｰｹﾞｯﾄﾃﾞﾊﾞｲｽの選択を確認してください。</source>
        <translation>The SerBridge configuration file is missing.
Check the target device.</translation>
    </message>
    <message>
        <source>USBｺﾝﾌｨｸﾞﾚｰｼｮﾝ実行</source>
        <translation>Running the USB configuration</translation>
    </message>
    <message>
        <source>SerBridge:USBｺﾝﾌｨｸﾞﾚｰｼｮﾝ失敗.</source>
        <translation>SerBridge: USB configuration failed.</translation>
    </message>
    <message>
        <source>ﾎﾞｰﾄﾞにSerBridge用の制御ﾌﾟﾛｸﾞﾗﾑを転送できませんでした。
ﾀｰｹﾞｯﾄﾃﾞﾊﾞｲｽの選択を確認してください。</source>
        <translation>Could not send the SerBridge control program to the board.
Check the target device.</translation>
    </message>
    <message>
        <source>DIPSW1-BIT3のUSBｺﾝﾌｨｸﾞﾚｰｼｮﾝﾓｰﾄﾞを確認下さい。
ﾉｰﾏﾙﾓｰﾄﾞ(OFF)になっている場合には圧縮ﾓｰﾄﾞ(ON)に設定し再度実行してください。</source>
        <translation>Check the USB configuration mode on DIPSW1-BIT3.
If it is in normal mode (OFF), set compressed mode (ON) and run again.</translation>
    </message>
    <message>
        <source>SerBridge:USBｺﾝﾌｨｸﾞﾚｰｼｮﾝ成功</source>
        <translation>SerBridge: USB configuration done</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀﾌｧｲﾙ確認</source>
        <translation>Checking the data file</translation>
    </message>
    <message>
        <source>Nios2起動待機</source>
        <translation>Waiting for Nios2 to start</translation>
    </message>
    <message>
        <source>ｲﾚｰｽｺﾏﾝﾄﾞ発行</source>
        <translation>Sending the erase command</translation>
    </message>
    <message>
        <source>SerBridge:ｲﾚｰｽｺﾏﾝﾄﾞ発行失敗</source>
        <translation>SerBridge: could not send the erase command</translation>
    </message>
    <message>
        <source>ｲﾚｰｽｺﾏﾝﾄﾞの発行に失敗しました。</source>
        <translation>Could not send the erase command.</translation>
    </message>
    <message>
        <source>SerBridge:ｲﾚｰｽｺﾏﾝﾄﾞ発行</source>
        <translation>SerBridge: erase command sent</translation>
    </message>
    <message>
        <source>SSRAM→FLASHﾒﾓﾘﾗｲﾄ実行ｺﾏﾝﾄﾞ発行</source>
        <translation>Sending the SSRAM → flash memory write command</translation>
    </message>
    <message>
        <source>SerBridge:SSRAM→FLASHﾒﾓﾘﾗｲﾄ実行ｺﾏﾝﾄﾞ発行失敗</source>
        <translation>SerBridge: could not send the SSRAM → flash memory write command</translation>
    </message>
    <message>
        <source>SSRAM→FLASHﾒﾓﾘﾗｲﾄ実行ｺﾏﾝﾄﾞの発行に失敗しました。</source>
        <translation>Could not send the SSRAM → flash memory write command.</translation>
    </message>
    <message>
        <source>SerBridge:正常終了</source>
        <translation>SerBridge: finished</translation>
    </message>
    <message>
        <source>ﾕｰｻﾞｰｷｬﾝｾﾙ</source>
        <translation>Cancelled by the user</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙを開けませんでした。</source>
        <translation>Could not open the file.</translation>
    </message>
    <message>
        <source>比較できませんでした。</source>
        <translation>Could not compare.</translation>
    </message>
    <message>
        <source>最初の相違：0x%1  相違ﾊﾞｲﾄ数：%2  相違ﾜｰﾄﾞ数(%3bit)：%4</source>
        <translation>First difference: 0x%1  differing bytes: %2  differing words (%3 bit): %4</translation>
    </message>
    <message>
        <source>相違なし</source>
        <translation>No differences</translation>
    </message>
    <message>
        <source>比較ﾊﾞｲﾄ数：%1</source>
        <translation>Bytes compared: %1</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ長の差：%1 ﾊﾞｲﾄ(%2 / %3)、短い方で比較</source>
        <translation>Length difference: %1 bytes (%2 / %3), compared up to the shorter</translation>
    </message>
    <message>
        <source>ﾒﾓﾘ転送のﾓｰﾄﾞ(%1-%2)を切り換えました。</source>
        <translation>Memory transfer mode switched to %1-%2.</translation>
    </message>
    <message>
        <source>GPIF-ﾒﾓﾘ転送波形切り換えに失敗しました。</source>
        <translation>Could not switch the GPIF memory transfer waveform.</translation>
    </message>
    <message>
        <source>ﾒﾓﾘｱﾄﾞﾚｽﾗｲﾄに失敗しました。</source>
        <translation>Memory address write failed.</translation>
    </message>
    <message>
        <source>ﾒﾓﾘｱﾄﾞﾚｽﾘｰﾄﾞに失敗しました。</source>
        <translation>Memory address read failed.</translation>
    </message>
    <message>
        <source>ﾒﾓﾘﾀｰｹﾞｯﾄﾗｲﾄに失敗しました。</source>
        <translation>Memory target write failed.</translation>
    </message>
    <message>
        <source>転送ﾚﾝｸﾞｽ → %1</source>
        <translation>Transfer length → %1</translation>
    </message>
    <message>
        <source>ﾒﾓﾘｱﾄﾞﾚｽﾗｲﾄ成功</source>
        <translation>Memory address written</translation>
    </message>
    <message>
        <source>ﾒﾓﾘﾀｰｹﾞｯﾄﾗｲﾄ成功</source>
        <translation>Memory target written</translation>
    </message>
    <message>
        <source>ﾀｰｹﾞｯﾄﾒﾓﾘを【%1】に切り替えました。</source>
        <translation>Target memory switched to [%1].</translation>
    </message>
    <message>
        <source>転送ｻｲｽﾞをHEX値で指定して下さい。</source>
        <translation>Give the transfer size in hex.</translation>
    </message>
    <message>
        <source>転送ｻｲｽﾞが0ﾊﾞｲﾄ、又は512ﾊﾞｲﾄの整数倍ではありません。</source>
        <translation>The transfer size is 0 bytes or not a multiple of 512 bytes.</translation>
    </message>
    <message>
        <source>4GiB以上は分割ﾒﾓﾘ転送を使用して下さい。</source>
        <translation>Use a split memory transfer for 4 GiB or more.</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀﾌｧｲﾙより設定されている転送ﾚﾝｸﾞｽが大きいのでﾗｲﾄﾃﾞｰﾀの後半は｢0｣で埋められます。</source>
        <translation>The transfer length is longer than the data file: the rest of the write data is filled with &quot;0&quot;.</translation>
    </message>
    <message>
        <source>HDDの空き容量が取得できませんでした</source>
        <translation>Could not get the free disk space</translation>
    </message>
    <message>
        <source>HDDの空き容量が取得できませんでした。</source>
        <translation>Could not get the free disk space.</translation>
    </message>
    <message>
        <source>HDDの空き容量が足りません。</source>
        <translation>Not enough free disk space.</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀﾄﾞﾗｲﾌﾞのﾌｫｰﾏｯﾄ種別を取得出来ませんでした。</source>
        <translation>Could not get the file system type of the data drive.</translation>
    </message>
    <message>
        <source>FAT32の上限ﾌｧｲﾙｻｲｽﾞを超えています。</source>
        <translation>Larger than the FAT32 file size limit.</translation>
    </message>
    <message>
        <source>転送ﾚﾝｸﾞｽ</source>
        <translation>Transfer length</translation>
    </message>
    <message>
        <source>転送ﾚﾝｸﾞｽより短いﾌｧｲﾙです</source>
        <translation>the file is shorter than the transfer length</translation>
    </message>
    <message>
        <source>FileName：[%1]</source>
        <translation>File name: [%1]</translation>
    </message>
    <message>
        <source>転送時間が｢0ms｣なので計算できませんでした。</source>
        <translation>The transfer took &quot;0 ms&quot;: no rate to calculate.</translation>
    </message>
    <message>
        <source>転送時間:%1 ms, ﾚｰﾄ: %2 Kbyte/s 転送ﾊﾞｲﾄ数 %3 Byte </source>
        <translation>Time: %1 ms, rate: %2 Kbyte/s, bytes moved: %3</translation>
    </message>
    <message>
        <source>%1(転送ｻｲｽﾞ不明)</source>
        <translation>%1 (transfer size unknown)</translation>
    </message>
    <message>
        <source>%1(転送ｻｲｽﾞｴﾗｰ)</source>
        <translation>%1 (bad transfer size)</translation>
    </message>
    <message>
        <source>転送回数:[%1]</source>
        <translation>Pieces moved: [%1]</translation>
    </message>
    <message>
        <source>転送ﾊﾞｲﾄ数:[%1]</source>
        <translation>Bytes moved: [%1]</translation>
    </message>
    <message>
        <source>%1(ﾌｧｲﾙ無し)</source>
        <translation>%1 (no file)</translation>
    </message>
    <message>
        <source>%1(ﾌｧｲﾙ作成ｴﾗｰ)</source>
        <translation>%1 (file create error)</translation>
    </message>
    <message>
        <source>ﾒﾓﾘﾗｲﾄに失敗しました。</source>
        <translation>Memory write failed.</translation>
    </message>
    <message>
        <source>ﾒﾓﾘﾘｰﾄﾞに失敗しました。</source>
        <translation>Memory read failed.</translation>
    </message>
    <message>
        <source>-------- %1転送ﾚｰﾄ測定【転送ｻｲｽﾞ %2Bytes】 --------</source>
        <translation>-------- %1 transfer rate [transfer size %2 bytes] --------</translation>
    </message>
    <message>
        <source>AVERAGE転送ﾚｰﾄ → %1KBytes/s</source>
        <translation>AVERAGE transfer rate → %1 KBytes/s</translation>
    </message>
    <message>
        <source>BEST転送ﾚｰﾄ → %1KBytes/s</source>
        <translation>BEST transfer rate → %1 KBytes/s</translation>
    </message>
    <message>
        <source>WORST転送ﾚｰﾄ → %1KBytes/s</source>
        <translation>WORST transfer rate → %1 KBytes/s</translation>
    </message>
    <message>
        <source>%1%2, 転送時間:%3 ms, ﾚｰﾄ: %4 %5</source>
        <translation>%1%2, time: %3 ms, rate: %4 %5</translation>
    </message>
    <message>
        <source>転送ﾚｰﾄ測定正常終了しました。</source>
        <translation>Transfer rate measurement finished.</translation>
    </message>
    <message>
        <source>転送ﾚｰﾄ測定に失敗しました。</source>
        <translation>Transfer rate measurement failed.</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀｱﾄﾞﾚｽ</source>
        <translation>Register address</translation>
    </message>
    <message>
        <source>ﾘﾋﾟｰﾄ回数</source>
        <translation>Repeat count</translation>
    </message>
    <message>
        <source>設定値が正しくありません。</source>
        <translation>The settings are not valid.</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀｱﾄﾞﾚｽ：%1, ﾘﾋﾟｰﾄ回数：%2</source>
        <translation>Register address: %1, repeat count: %2</translation>
    </message>
    <message>
        <source>ﾙｰﾌﾟ：%1 Write Failed!!</source>
        <translation>Loop: %1 Write Failed!!</translation>
    </message>
    <message>
        <source>ﾙｰﾌﾟ：%1 Read Failed!!</source>
        <translation>Loop: %1 Read Failed!!</translation>
    </message>
    <message>
        <source>ﾙｰﾌﾟ：%1 %2</source>
        <translation>Loop: %1 %2</translation>
    </message>
    <message>
        <source>ﾗｲﾄﾃﾞｰﾀとﾘｰﾄﾞﾃﾞｰﾀが一致しませんでした。</source>
        <translation>The data read back differs from the data written.</translation>
    </message>
    <message>
        <source>ﾙｰﾌﾟ：%1 Successfully!!</source>
        <translation>Loop: %1 Successfully!!</translation>
    </message>
    <message>
        <source>正常終了</source>
        <translation>Finished</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀﾘｰﾄﾞEXに失敗しました。</source>
        <translation>Register read EX failed.</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀﾗｲﾄEXに失敗しました。</source>
        <translation>Register write EX failed.</translation>
    </message>
    <message>
        <source>ﾃﾞﾊﾞｲｽが見つかりません。</source>
        <translation>No device found.</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀﾘｰﾄﾞ</source>
        <translation>Register read</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀﾗｲﾄ</source>
        <translation>Register write</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀﾘｰﾄﾞのｳｪｲﾄ設定に失敗しました</source>
        <translation>Could not set the register read wait</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀﾘｰﾄﾞのｳｪｲﾄ設定に失敗しました。</source>
        <translation>Could not set the register read wait.</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀﾗｲﾄのｳｪｲﾄ設定に失敗しました</source>
        <translation>Could not set the register write wait</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀﾗｲﾄのｳｪｲﾄ設定に失敗しました。</source>
        <translation>Could not set the register write wait.</translation>
    </message>
    <message>
        <source>[ﾚｼﾞｽﾀﾘｰﾄﾞｳｪｲﾄ] ﾘｰﾄﾞｳｪｲﾄｻｲｸﾙを｢%1｣に設定しました。</source>
        <translation>[Register read wait] Read wait cycles set to &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>[ﾚｼﾞｽﾀﾗｲﾄｳｪｲﾄ] ﾗｲﾄｳｪｲﾄｻｲｸﾙを｢%1｣に設定しました。</source>
        <translation>[Register write wait] Write wait cycles set to &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀｱﾄﾞﾚｽが範囲外です。</source>
        <translation>The register address is out of range.</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾀﾚﾝｸﾞｽが範囲外です。</source>
        <translation>The register length is out of range.</translation>
    </message>
    <message>
        <source>[ﾚｼﾞｽﾀﾘｰﾄﾞEX] ｱﾄﾞﾚｽ=%1,ﾚﾝｸﾞｽ=%2</source>
        <translation>[Register read EX] address=%1, length=%2</translation>
    </message>
    <message>
        <source>[ﾚｼﾞｽﾀﾗｲﾄEX] ｱﾄﾞﾚｽ=%1,ﾚﾝｸﾞｽ=%2</source>
        <translation>[Register write EX] address=%1, length=%2</translation>
    </message>
    <message>
        <source>[%1]は無効な数値です。
有効な数値は0～FFです。</source>
        <translation>[%1] is not a valid number.
Valid numbers are 0 to FF.</translation>
    </message>
    <message>
        <source>[%1]は無効な数値です。
有効な数値は%2～%3です。</source>
        <translation>[%1] is not a valid number.
Valid numbers are %2 to %3.</translation>
    </message>
    <message>
        <source>[%1]は範囲外です。
有効な数値は%2～%3です。</source>
        <translation>[%1] is out of range.
Valid numbers are %2 to %3.</translation>
    </message>
    <message>
        <source>ｱﾌﾟﾘｹｰｼｮﾝﾃﾞｨﾚｸﾄﾘの作成に失敗しました。</source>
        <translation>Could not create the application folder.</translation>
    </message>
    <message>
        <source>ﾛｸﾞﾌｧｲﾙを作成出来ませんでした。</source>
        <translation>Could not create the log file.</translation>
    </message>
    <message>
        <source>ﾛｸﾞﾌｧｲﾙが多数あります。
適宜整理して下さい。</source>
        <translation>There are many log files.
Please tidy them up.</translation>
    </message>
    <message>
        <source>ﾛｸﾞﾌｧｲﾙが多数あります。適宜整理して下さい。</source>
        <translation>There are many log files. Please tidy them up.</translation>
    </message>
</context>
</TS>
