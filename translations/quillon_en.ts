<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja_JP">
<context>
    <name>Quillon</name>
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
</context>
</TS>
