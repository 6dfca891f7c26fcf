<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>AboutGavrel</name>
    <message>
        <source>（読み込めません）</source>
        <translation>(cannot be loaded)</translation>
    </message>
    <message>
        <source>ライセンス: MIT (Expat)</source>
        <translation>Licence: MIT (Expat)</translation>
    </message>
    <message>
        <source>マニュアル: インストールされていません</source>
        <translation>Manual: not installed</translation>
    </message>
    <message>
        <source>マニュアル: %1</source>
        <translation>Manual: %1</translation>
    </message>
    <message>
        <source>端末では man Gavrel、man gavrel-measure</source>
        <translation>In a terminal: man Gavrel, man gavrel-measure</translation>
    </message>
    <message>
        <source>マニュアル(&amp;M)…</source>
        <translation>&amp;Manual…</translation>
    </message>
    <message>
        <source>マニュアルを開けませんでした。探した場所:</source>
        <translation>The manual could not be opened. Looked for:</translation>
    </message>
    <message>
        <source>端末では man Gavrel</source>
        <translation>In a terminal: man Gavrel</translation>
    </message>
    <message>
        <source>マニュアル</source>
        <translation>Manual</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>オプションの一覧を表示して終了します。</source>
        <translation>Show the options and exit.</translation>
    </message>
    <message>
        <source>Gavrel と Pelmint の版を表示して終了します。</source>
        <translation>Show the versions of Gavrel and Pelmint and exit.</translation>
    </message>
    <message>
        <source>検査レシピ FILE で始めます。</source>
        <translation>Start with the inspection recipe FILE.</translation>
    </message>
    <message>
        <source>円内の平均濃度を測って判定する検査プログラム</source>
        <translation>Inspection program that measures and judges the mean density inside a circle</translation>
    </message>
    <message>
        <source>検査レシピ FILE で始めます（--recipe と同じ）。</source>
        <translation>Start with the inspection recipe FILE (as --recipe).</translation>
    </message>
    <message>
        <source>レシピは一つだけ指定できます: %1</source>
        <translation>Only one recipe can be given: %1</translation>
    </message>
    <message>
        <source>（読み込めません）</source>
        <translation>(cannot be loaded)</translation>
    </message>
</context>
<context>
    <name>ErrorTitle</name>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>RecipeFile</name>
    <message>
        <source>「%1」が %2～%3 の整数ではありません。</source>
        <translation>"%1" is not a whole number from %2 to %3.</translation>
    </message>
    <message>
        <source>ファイルが大きすぎます（64 KiB まで）。</source>
        <translation>The file is too large (64 KiB at most).</translation>
    </message>
    <message>
        <source>JSON として読めません（%1 バイト目: %2）。</source>
        <translation>Cannot be read as JSON (byte %1: %2).</translation>
    </message>
    <message>
        <source>Gavrel のレシピではありません。</source>
        <translation>Not a Gavrel recipe.</translation>
    </message>
    <message>
        <source>対応していない版のレシピです。</source>
        <translation>A recipe of an unsupported version.</translation>
    </message>
    <message>
        <source>「name」が文字列ではありません。</source>
        <translation>"name" is not a string.</translation>
    </message>
    <message>
        <source>「%1」が数値ではありません。</source>
        <translation>"%1" is not a number.</translation>
    </message>
    <message>
        <source>「camera」が文字列ではありません。</source>
        <translation>"camera" is not a string.</translation>
    </message>
    <message>
        <source>ファイルがありません。</source>
        <translation>The file does not exist.</translation>
    </message>
    <message>
        <source>ファイルを開けません（%1）。</source>
        <translation>Cannot open the file (%1).</translation>
    </message>
    <message>
        <source>ファイルを読めません（%1）。</source>
        <translation>Cannot read the file (%1).</translation>
    </message>
    <message>
        <source>基準濃度値と許容差は有限の数値でなければなりません。</source>
        <translation>The standard density and the tolerance must be finite numbers.</translation>
    </message>
    <message>
        <source>ファイルを作れません（%1）。</source>
        <translation>Cannot create the file (%1).</translation>
    </message>
    <message>
        <source>書込みに失敗しました（%1）。</source>
        <translation>Writing failed (%1).</translation>
    </message>
    <message>
        <source>「%1」が有限の数値ではありません。</source>
        <translation>"%1" is not a finite number.</translation>
    </message>
    <message>
        <source>「circles」が 1～%1 個の円の配列ではありません。</source>
        <translation>"circles" is not a list of 1 to %1 circles.</translation>
    </message>
    <message>
        <source>「%1」が空でない文字列ではありません。</source>
        <translation>"%1" is not a non-empty text.</translation>
    </message>
    <message>
        <source>円の名前「%1」が重複しています。</source>
        <translation>The circle name "%1" is used twice.</translation>
    </message>
</context>
<context>
    <name>RecordMenu</name>
    <message>
        <source>記録 OK</source>
        <translation>Record OK</translation>
    </message>
    <message>
        <source>記録(&amp;R)</source>
        <translation>&amp;Record</translation>
    </message>
    <message>
        <source>測定記録…</source>
        <translation>Measurement record…</translation>
    </message>
    <message>
        <source>CSV書き出し…</source>
        <translation>Export CSV…</translation>
    </message>
    <message>
        <source>記録の設定…</source>
        <translation>Record settings…</translation>
    </message>
    <message>
        <source>記録 待機 %1件</source>
        <translation>Record: %1 waiting</translation>
    </message>
    <message>
        <source>記録 エラー</source>
        <translation>Record error</translation>
    </message>
    <message>
        <source>記録: データベースに書き込みました</source>
        <translation>Record: written to the database</translation>
    </message>
    <message>
        <source>記録: %1</source>
        <translation>Record: %1</translation>
    </message>
</context>
<context>
    <name>RecordPageModel</name>
    <message>
        <source>✗ 改ざん?</source>
        <translation>✗ tampered?</translation>
    </message>
    <message>
        <source>日時</source>
        <translation>Date and time</translation>
    </message>
    <message>
        <source>ステーション</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>作業者</source>
        <translation>Operator</translation>
    </message>
    <message>
        <source>ソース</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>平均濃度</source>
        <translation>Mean density</translation>
    </message>
    <message>
        <source>判定</source>
        <translation>Judgement</translation>
    </message>
    <message>
        <source>記録の鎖</source>
        <translation>Record chain</translation>
    </message>
    <message>
        <source>レシピ</source>
        <translation>Recipe</translation>
    </message>
    <message>
        <source>円</source>
        <translation>Circle</translation>
    </message>
    <message>
        <source>標準偏差</source>
        <translation>Std. deviation</translation>
    </message>
    <message>
        <source>最小</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>最大</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>基準濃度</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>許容差</source>
        <translation>Tolerance</translation>
    </message>
    <message>
        <source>部品の判定</source>
        <translation>Part</translation>
    </message>
</context>
<context>
    <name>WindowSystemGuard</name>
    <message>
        <source>Gavrel: ウィンドウを表示するディスプレイがありません（DISPLAY は設定されていますか）</source>
        <translation>Gavrel: no display to show the window on (is DISPLAY set?)</translation>
    </message>
</context>
<context>
    <name>frmArchivedImage</name>
    <message>
        <source>画像がありません: %1</source>
        <translation>No image: %1</translation>
    </message>
</context>
<context>
    <name>frmFileLoad</name>
    <message>
        <source>ファイル読込み</source>
        <translation>Open image</translation>
    </message>
    <message>
        <source>ドライブ</source>
        <translation>Drive</translation>
    </message>
    <message>
        <source>フォルダ</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>ファイル</source>
        <translation>File</translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>ファイルが選択されていません｡</source>
        <translation>No file is selected.</translation>
    </message>
</context>
<context>
    <name>frmFileSave</name>
    <message>
        <source>ファイル保存</source>
        <translation>Save image</translation>
    </message>
    <message>
        <source>ドライブ</source>
        <translation>Drive</translation>
    </message>
    <message>
        <source>フォルダ</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>保存ファイル名</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>ファイル名を入力してください</source>
        <translation>Please enter a file name</translation>
    </message>
</context>
<context>
    <name>frmMain</name>
    <message>
        <source>KeshVovadu - 手動センサボールによる平均濃度検査</source>
        <translation>KeshVovadu - Mean density inspection with a hand-placed sensor circle</translation>
    </message>
    <message>
        <source>Grab</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>検査円</source>
        <translation>Inspection circle</translation>
    </message>
    <message>
        <source>中心Ｘ</source>
        <translation>X</translation>
    </message>
    <message>
        <source>Label5</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>中心Ｙ</source>
        <translation>Y</translation>
    </message>
    <message>
        <source>Label6</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>半径</source>
        <translation>Radius</translation>
    </message>
    <message>
        <source>Label8</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>平均濃度計算</source>
        <translation>Mean density</translation>
    </message>
    <message>
        <source>平均濃度値</source>
        <translation>Mean density</translation>
    </message>
    <message>
        <source>Text1</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>処理時間</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>再計算</source>
        <translation>Recalculate</translation>
    </message>
    <message>
        <source>判定基準</source>
        <translation>Criteria</translation>
    </message>
    <message>
        <source>基準濃度値</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>128</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>許容差(±)</source>
        <translation>Tolerance (±)</translation>
    </message>
    <message>
        <source>20</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>判定</source>
        <translation>Judgement</translation>
    </message>
    <message>
        <source>??</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>画像ファイル読込</source>
        <translation>Open image file</translation>
    </message>
    <message>
        <source>画像ファイル保存</source>
        <translation>Save image file</translation>
    </message>
    <message>
        <source>左ドラッグ：　円移動　　  　右ドラッグ：　円半径変更</source>
        <translation>Left drag: move the circle     Right drag: change its radius</translation>
    </message>
    <message>
        <source>画像ファイルのみの利用になります。</source>
        <translation>Only image files can be used.</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>バージョン情報(&amp;A)…</source>
        <translation>&amp;About…</translation>
    </message>
    <message>
        <source>画像</source>
        <translation>Image</translation>
    </message>
    <message>
        <source>ライブ(&amp;L)</source>
        <translation>&amp;Live</translation>
    </message>
    <message>
        <source>レシピを開く(&amp;O)…</source>
        <translation>&amp;Open recipe…</translation>
    </message>
    <message>
        <source>レシピを保存(&amp;S)…</source>
        <translation>&amp;Save recipe…</translation>
    </message>
    <message>
        <source>検査(&amp;I)</source>
        <translation>&amp;Inspection</translation>
    </message>
    <message>
        <source>X 511  Y 479  濃度 255  </source>
        <translation>X 511  Y 479  Density 255  </translation>
    </message>
    <message>
        <source>バージョン情報</source>
        <translation>About</translation>
    </message>
    <message>
        <source>ビデオデバイスのオープンに失敗しました｡</source>
        <translation>The video device could not be opened.</translation>
    </message>
    <message>
        <source>ビデオの取込に失敗しました｡</source>
        <translation>The video capture failed.</translation>
    </message>
    <message>
        <source>画像の取込に失敗しました。</source>
        <translation>The image capture failed.</translation>
    </message>
    <message>
        <source>取込失敗</source>
        <translation>Capture failed</translation>
    </message>
    <message>
        <source>読込みに失敗しました。</source>
        <translation>Reading failed.</translation>
    </message>
    <message>
        <source>読み込み失敗</source>
        <translation>Reading failed</translation>
    </message>
    <message>
        <source>512*480 8bitグレイの画像ではありません</source>
        <translation>Not a 512*480 8-bit grey image</translation>
    </message>
    <message>
        <source>保存に失敗しました。</source>
        <translation>Saving failed.</translation>
    </message>
    <message>
        <source>保存失敗</source>
        <translation>Saving failed</translation>
    </message>
    <message>
        <source>X %1  Y %2  濃度 %3</source>
        <translation>X %1  Y %2  Density %3</translation>
    </message>
    <message>
        <source>レシピを開けませんでした。</source>
        <translation>The recipe could not be opened.</translation>
    </message>
    <message>
        <source>レシピ</source>
        <translation>Recipe</translation>
    </message>
    <message>
        <source>レシピを保存できませんでした。</source>
        <translation>The recipe could not be saved.</translation>
    </message>
    <message>
        <source>レシピ (*.%1)</source>
        <translation>Recipe (*.%1)</translation>
    </message>
    <message>
        <source>レシピを開く</source>
        <translation>Open recipe</translation>
    </message>
    <message>
        <source>レシピを保存</source>
        <translation>Save recipe</translation>
    </message>
    <message>
        <source>ライブ</source>
        <translation>Live</translation>
    </message>
    <message>
        <source>ライブ %1 fps  取込→判定 %2 ms</source>
        <translation>Live %1 fps  capture→judgement %2 ms</translation>
    </message>
    <message>
        <source>円を追加(&amp;A)</source>
        <translation>&amp;Add circle</translation>
    </message>
    <message>
        <source>円を削除(&amp;D)</source>
        <translation>&amp;Delete circle</translation>
    </message>
    <message>
        <source>円の一覧(&amp;C)</source>
        <translation>&amp;Circle list</translation>
    </message>
    <message>
        <source>工程の変化: 円 %1 規則 %2 (%3)</source>
        <translation>Process change: circle %1, rule %2 (%3)</translation>
    </message>
</context>
<context>
    <name>frmMeasurementRecord</name>
    <message>
        <source>測定記録</source>
        <translation>Measurement record</translation>
    </message>
    <message>
        <source>記録を開けません: %1</source>
        <translation>Cannot open the record: %1</translation>
    </message>
    <message>
        <source>開始</source>
        <translation>From</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Until</translation>
    </message>
    <message>
        <source>すべて</source>
        <translation>All</translation>
    </message>
    <message>
        <source>ソース</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>CSV書き出し...</source>
        <translation>Export CSV...</translation>
    </message>
    <message>
        <source>判定</source>
        <translation>Judgement</translation>
    </message>
    <message>
        <source>ステーション</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>件数 %1　　OK %2　　NG %3　　歩留まり %4%　　平均濃度 %5　　標準偏差 %6</source>
        <translation>Count %1    OK %2    NG %3    Yield %4%    Mean density %5    Standard deviation %6</translation>
    </message>
    <message>
        <source>記録の鎖が切れている行があります（%1件）</source>
        <translation>The record chain is broken in %1 rows</translation>
    </message>
    <message>
        <source>濃度</source>
        <translation>Density</translation>
    </message>
    <message>
        <source>この記録の画像は保存されていません</source>
        <translation>The image of this record was not kept</translation>
    </message>
    <message>
        <source>CSV書き出し</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>書き出しました: %1</source>
        <translation>Exported: %1</translation>
    </message>
    <message>
        <source>書き出せません: %1</source>
        <translation>Cannot export: %1</translation>
    </message>
    <message>
        <source>レポート…</source>
        <translation>Report…</translation>
    </message>
    <message>
        <source>レシピ</source>
        <translation>Recipe</translation>
    </message>
    <message>
        <source>円</source>
        <translation>Circle</translation>
    </message>
    <message>
        <source>表示をリセット</source>
        <translation>Reset view</translation>
    </message>
    <message>
        <source>ホイール・＋／−で拡大縮小、左ドラッグで範囲拡大、右ドラッグ・矢印キーで移動、ダブルクリック・Homeで元に戻す</source>
        <translation>Wheel or + / − to zoom, left drag to zoom to a rectangle, right drag or the arrow keys to pan, double click or Home to reset</translation>
    </message>
    <message>
        <source>推移</source>
        <translation>Trend</translation>
    </message>
    <message>
        <source>工程能力</source>
        <translation>Capability</translation>
    </message>
    <message>
        <source>記録を読めません: %1</source>
        <translation>Cannot read the record: %1</translation>
    </message>
    <message>
        <source>最新の %1 件（全 %2 件）</source>
        <translation>The newest %1 of %2 records</translation>
    </message>
    <message>
        <source>全 %1 件</source>
        <translation>All %1 records</translation>
    </message>
    <message>
        <source>平均濃度</source>
        <translation>Mean density</translation>
    </message>
    <message>
        <source>上限 (USL)</source>
        <translation>Upper limit (USL)</translation>
    </message>
    <message>
        <source>下限 (LSL)</source>
        <translation>Lower limit (LSL)</translation>
    </message>
    <message>
        <source>レポート</source>
        <translation>Report</translation>
    </message>
    <message>
        <source>レポートを書き出しました: %1</source>
        <translation>Report written: %1</translation>
    </message>
    <message>
        <source>レポートを書き出せません: %1</source>
        <translation>Cannot write the report: %1</translation>
    </message>
</context>
<context>
    <name>frmRecordSettings</name>
    <message>
        <source>記録の設定</source>
        <translation>Record settings</translation>
    </message>
    <message>
        <source>データベースURL</source>
        <translation>Database URL</translation>
    </message>
    <message>
        <source>ステーション名</source>
        <translation>Station name</translation>
    </message>
    <message>
        <source>OKの画像も保存する</source>
        <translation>Keep the images of OK results too</translation>
    </message>
    <message>
        <source>color: rgb(255, 0, 0);</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>%1
このまま保存するにはもう一度OKを押してください</source>
        <translation>%1
Press OK again to keep it anyway</translation>
    </message>
</context>
<context>
    <name>frmSelectVideoConfFile</name>
    <message>
        <source>ビデオ設定ファイルの選択</source>
        <translation>Choose a video configuration file</translation>
    </message>
    <message>
        <source>DREMLY製キャプチャボードのビデオ設定ファイルを選択してください。</source>
        <translation>Choose the video configuration file of the DREMLY capture board.</translation>
    </message>
    <message>
        <source>（アバールデータ製キャプチャボードは利用できません)</source>
        <translation>(AVAL DATA capture boards cannot be used)</translation>
    </message>
    <message>
        <source>カメラ入力を使わない （ファイルからの読込みのみ）</source>
        <translation>Do not use a camera (image files only)</translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished" />
    </message>
    <message>
        <source>ビデオ設定ファイルが選択されていません</source>
        <translation>No video configuration file is selected</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>レシピを開けませんでした。<byte value="xd" />
</source>
        <translation>The recipe could not be opened.</translation>
    </message>
    <message>
        <source>レシピ</source>
        <translation>Recipe</translation>
    </message>
</context>
<context>
    <name>CapabilityPane</name>
    <message>
        <source>基準期間として固定</source>
        <translation>Freeze as baseline</translation>
    </message>
    <message>
        <source>限界値の組</source>
        <translation>Limits</translation>
    </message>
    <message>
        <source>%1　%2件</source>
        <translation>%1   %2 records</translation>
    </message>
    <message>
        <source>固定を解除</source>
        <translation>Release the baseline</translation>
    </message>
    <message>
        <source>管理限界: 固定した基準期間</source>
        <translation>Control limits: the frozen baseline</translation>
    </message>
    <message>
        <source>管理限界: 表示中のデータ</source>
        <translation>Control limits: the records shown</translation>
    </message>
    <message>
        <source>管理図 — (%1)</source>
        <translation>Control chart — (%1)</translation>
    </message>
    <message>
        <source>規則%1:</source>
        <translation>Rule %1:</translation>
    </message>
    <message>
        <source>個々の値 (I)</source>
        <translation>Individuals (I)</translation>
    </message>
    <message>
        <source>値</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>中心線</source>
        <translation>Centre line</translation>
    </message>
    <message>
        <source>UCL/LCL</source>
        <translation>UCL/LCL</translation>
    </message>
    <message>
        <source>規則%1</source>
        <translation>Rule %1</translation>
    </message>
    <message>
        <source>記録の順</source>
        <translation>Record order</translation>
    </message>
    <message>
        <source>濃度</source>
        <translation>Density</translation>
    </message>
    <message>
        <source>移動範囲 (MR)</source>
        <translation>Moving range (MR)</translation>
    </message>
    <message>
        <source>MR</source>
        <translation>MR</translation>
    </message>
    <message>
        <source>MR̄</source>
        <translation>MR̄</translation>
    </message>
    <message>
        <source>UCL</source>
        <translation>UCL</translation>
    </message>
    <message>
        <source>移動範囲</source>
        <translation>Moving range</translation>
    </message>
    <message>
        <source>ヒストグラム</source>
        <translation>Histogram</translation>
    </message>
    <message>
        <source>件数</source>
        <translation>Count</translation>
    </message>
    <message>
        <source>度数</source>
        <translation>Frequency</translation>
    </message>
    <message>
        <source>正規分布</source>
        <translation>Normal curve</translation>
    </message>
    <message>
        <source>平均</source>
        <translation>Mean</translation>
    </message>
</context>
<context>
    <name>CapabilityText</name>
    <message>
        <source>基準濃度 ± 許容差</source>
        <translation>Standard ± tolerance</translation>
    </message>
    <message>
        <source>歩留まり (%)</source>
        <translation>Yield (%)</translation>
    </message>
    <message>
        <source>平均</source>
        <translation>Mean</translation>
    </message>
    <message>
        <source>標準偏差 (全体)</source>
        <translation>Std. deviation (overall)</translation>
    </message>
    <message>
        <source>標準偏差 (群内)</source>
        <translation>Std. deviation (within)</translation>
    </message>
    <message>
        <source>Cpk 95%信頼区間</source>
        <translation>Cpk 95% confidence interval</translation>
    </message>
    <message>
        <source>限界 %1 ± %2：件数 %3　　OK %4　　NG %5　　歩留まり %6%　　平均濃度 %7　　標準偏差 %8</source>
        <translation>Limits %1 ± %2: count %3    OK %4    NG %5    yield %6%    mean density %7    std. deviation %8</translation>
    </message>
    <message>
        <source>該当する記録はありません</source>
        <translation>No records match</translation>
    </message>
    <message>
        <source>限界値の組ごとの集計（%1組）</source>
        <translation>Summary per group of equal limits (%1 groups)</translation>
    </message>
    <message>
        <source>規則違反なし</source>
        <translation>No rule broken</translation>
    </message>
    <message>
        <source>規則%1 ×%2</source>
        <translation>rule %1 ×%2</translation>
    </message>
</context>
<context>
    <name>CapabilityReport</name>
    <message>
        <source>限界値の組 %1: %2</source>
        <translation>Limits %1: %2</translation>
    </message>
    <message>
        <source>管理限界</source>
        <translation>Control limits</translation>
    </message>
    <message>
        <source>固定した基準期間</source>
        <translation>the frozen baseline</translation>
    </message>
    <message>
        <source>表示中のデータ</source>
        <translation>the records shown</translation>
    </message>
    <message>
        <source>規則違反</source>
        <translation>Rule breaks</translation>
    </message>
    <message>
        <source>NG画像（新しい順、最大%1件）</source>
        <translation>NG images (newest first, at most %1)</translation>
    </message>
    <message>
        <source>保存されたNG画像はありません</source>
        <translation>No NG image is archived</translation>
    </message>
    <message>
        <source>画像がありません</source>
        <translation>No image</translation>
    </message>
    <message>
        <source>期間: %1 から %2 まで</source>
        <translation>Period: %1 to %2</translation>
    </message>
    <message>
        <source>最初</source>
        <translation>the first</translation>
    </message>
    <message>
        <source>最後</source>
        <translation>the last</translation>
    </message>
    <message>
        <source>すべての記録</source>
        <translation>All records</translation>
    </message>
    <message>
        <source>測定記録 レポート</source>
        <translation>Measurement record report</translation>
    </message>
    <message>
        <source>PDFを書き始められません</source>
        <translation>Cannot start the PDF</translation>
    </message>
    <message>
        <source>作成日時</source>
        <translation>Written</translation>
    </message>
    <message>
        <source>データベース</source>
        <translation>Database</translation>
    </message>
    <message>
        <source>条件</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>件数</source>
        <translation>Records</translation>
    </message>
    <message>
        <source>PDFを書き終えられません</source>
        <translation>Cannot finish the PDF</translation>
    </message>
    <message>
        <source>判定: %1</source>
        <translation>Judgement: %1</translation>
    </message>
    <message>
        <source>ステーション: %1</source>
        <translation>Station: %1</translation>
    </message>
    <message>
        <source>レシピ: %1</source>
        <translation>Recipe: %1</translation>
    </message>
    <message>
        <source>円: %1</source>
        <translation>Circle: %1</translation>
    </message>
    <message>
        <source>ソースに含む: %1</source>
        <translation>Source contains: %1</translation>
    </message>
    <message>
        <source>%1 規則%2: %3</source>
        <translation>%1 rule %2: %3</translation>
    </message>
    <message>
        <source>記号</source>
        <translation>Marks</translation>
    </message>
</context>
<context>
    <name>CapabilityPainting</name>
    <message>
        <source>個々の値 (I) 管理図</source>
        <translation>Individuals (I) chart</translation>
    </message>
    <message>
        <source>CL %1</source>
        <translation>CL %1</translation>
    </message>
    <message>
        <source>UCL %1</source>
        <translation>UCL %1</translation>
    </message>
    <message>
        <source>LCL %1</source>
        <translation>LCL %1</translation>
    </message>
    <message>
        <source>移動範囲 (MR) 管理図</source>
        <translation>Moving range (MR) chart</translation>
    </message>
    <message>
        <source>MR̄ %1</source>
        <translation>MR̄ %1</translation>
    </message>
    <message>
        <source>ヒストグラム — (記録がない)</source>
        <translation>Histogram — (no records)</translation>
    </message>
    <message>
        <source>ヒストグラム</source>
        <translation>Histogram</translation>
    </message>
    <message>
        <source>平均</source>
        <translation>Mean</translation>
    </message>
</context>
<context>
    <name>ControlChartRules</name>
    <message>
        <source>2件以上必要</source>
        <translation>needs 2 records or more</translation>
    </message>
    <message>
        <source>ばらつきがゼロ</source>
        <translation>no spread</translation>
    </message>
    <message>
        <source>3σを超えた点</source>
        <translation>a point beyond 3σ</translation>
    </message>
    <message>
        <source>3点中2点が同じ側の2σ超</source>
        <translation>2 of 3 beyond 2σ on one side</translation>
    </message>
    <message>
        <source>5点中4点が同じ側の1σ超</source>
        <translation>4 of 5 beyond 1σ on one side</translation>
    </message>
    <message>
        <source>8点連続で中心線の同じ側</source>
        <translation>8 in a row on one side of the centre line</translation>
    </message>
</context>
<context>
    <name>ProcessCapability</name>
    <message>
        <source>ばらつきがゼロ</source>
        <translation>no spread</translation>
    </message>
    <message>
        <source>記録がない</source>
        <translation>no records</translation>
    </message>
    <message>
        <source>2件以上必要</source>
        <translation>needs 2 records or more</translation>
    </message>
    <message>
        <source>許容差がゼロ以下</source>
        <translation>tolerance zero or less</translation>
    </message>
    <message>
        <source>信頼区間には%1件以上必要</source>
        <translation>the interval needs %1 records or more</translation>
    </message>
</context>
<context>
    <name>DatabaseProbe</name>
    <message>
        <source>フォルダ %1 に記録を作れません（フォルダがないか、書き込めません）</source>
        <translation>Cannot make a record in the folder %1 (it does not exist or cannot be written)</translation>
    </message>
    <message>
        <source>新しい記録を作ります: %1</source>
        <translation>A new record will be made: %1</translation>
    </message>
    <message>
        <source>%1 はファイルではありません</source>
        <translation>%1 is not a file</translation>
    </message>
    <message>
        <source>%1 を読み書きできません（権限がありません）</source>
        <translation>Cannot read and write %1 (no permission)</translation>
    </message>
    <message>
        <source>接続できました: %1</source>
        <translation>Connected: %1</translation>
    </message>
    <message>
        <source>PostgreSQL のドライバがインストールされていません: libqt6sql6-psql をインストールしてください</source>
        <translation>The PostgreSQL driver is not installed: install libqt6sql6-psql</translation>
    </message>
    <message>
        <source>SQLite のドライバがインストールされていません: libqt6sql6-sqlite をインストールしてください</source>
        <translation>The SQLite driver is not installed: install libqt6sql6-sqlite</translation>
    </message>
    <message>
        <source>サーバがユーザ %1 のパスワードを拒否しました</source>
        <translation>The server refused the password of user %1</translation>
    </message>
    <message>
        <source>サーバにデータベース %1 がありません</source>
        <translation>The server has no database %1</translation>
    </message>
    <message>
        <source>サーバ %1:%2 に接続できません（サーバが動いているか、アドレスとポートを確かめてください）</source>
        <translation>The server %1:%2 is not reachable (check that it runs, and its address and port)</translation>
    </message>
    <message>
        <source>%1 は記録のデータベースとして開けません</source>
        <translation>%1 cannot be opened as a record database</translation>
    </message>
</context>
<context>
    <name>CircleListPanel</name>
    <message>
        <source>円の一覧</source>
        <translation>Circles</translation>
    </message>
    <message>
        <source>名前</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>中心Ｘ</source>
        <translation>X</translation>
    </message>
    <message>
        <source>中心Ｙ</source>
        <translation>Y</translation>
    </message>
    <message>
        <source>半径</source>
        <translation>Radius</translation>
    </message>
    <message>
        <source>平均濃度値</source>
        <translation>Mean density</translation>
    </message>
    <message>
        <source>標準偏差</source>
        <translation>Std. dev.</translation>
    </message>
    <message>
        <source>基準濃度値</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>許容差(±)</source>
        <translation>Tolerance (±)</translation>
    </message>
    <message>
        <source>判定</source>
        <translation>Judgement</translation>
    </message>
    <message>
        <source>部品の判定: %1</source>
        <translation>Part: %1</translation>
    </message>
</context>
<context>
    <name>JudgementRules</name>
    <message>
        <source>円が画像の画素を含みません</source>
        <translation>The circle covers no pixel of the image</translation>
    </message>
    <message>
        <source>測定ライブラリが呼び出しを拒否しました</source>
        <translation>The measuring library refused the call</translation>
    </message>
</context>
<context>
    <name>LineMenu</name>
    <message>
        <source>PLC %1</source>
        <translation>PLC %1</translation>
    </message>
    <message>
        <source>トリガ(&amp;T)</source>
        <translation>&amp;Trigger</translation>
    </message>
    <message>
        <source>トリガ: 判定中のため受け付けませんでした</source>
        <translation>Trigger refused: a judgement is under way</translation>
    </message>
    <message>
        <source>ブローカ 接続</source>
        <translation>Broker connected</translation>
    </message>
    <message>
        <source>ブローカ 切断</source>
        <translation>Broker disconnected</translation>
    </message>
    <message>
        <source>ライン</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>ライン: %1</source>
        <translation>Line: %1</translation>
    </message>
    <message>
        <source>ライン連携の設定…</source>
        <translation>Line link settings…</translation>
    </message>
    <message>
        <source>破棄 %1件</source>
        <translation>%1 dropped</translation>
    </message>
    <message>
        <source>ライン: スロット %1 のレシピはありません。%2 のままです</source>
        <translation>Line: no recipe has slot %1; %2 is kept</translation>
    </message>
    <message>
        <source>ライン: レシピ %1（スロット %2）</source>
        <translation>Line: recipe %1 (slot %2)</translation>
    </message>
</context>
<context>
    <name>frmLineSettings</name>
    <message>
        <source>ライン連携の設定</source>
        <translation>Line link settings</translation>
    </message>
    <message>
        <source>ステーション名</source>
        <translation>Station name</translation>
    </message>
    <message>
        <source>判定</source>
        <translation>Judgement</translation>
    </message>
    <message>
        <source>連続</source>
        <translation>Continuous</translation>
    </message>
    <message>
        <source>トリガ</source>
        <translation>Trigger</translation>
    </message>
    <message>
        <source>レシピフォルダ</source>
        <translation>Recipe folder</translation>
    </message>
    <message>
        <source>なし（PLC はレシピを選べません）</source>
        <translation>None (the PLC cannot choose recipes)</translation>
    </message>
    <message>
        <source>Modbus TCP サーバ</source>
        <translation>Modbus TCP server</translation>
    </message>
    <message>
        <source>アドレス</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>ポート</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>ユニットID</source>
        <translation>Unit id</translation>
    </message>
    <message>
        <source>最大クライアント数</source>
        <translation>Most clients</translation>
    </message>
    <message>
        <source>許可するクライアント</source>
        <translation>Allowed clients</translation>
    </message>
    <message>
        <source>すべて（IP アドレスをカンマ区切りで）</source>
        <translation>Any (IP addresses, comma-separated)</translation>
    </message>
    <message>
        <source>MQTT ブローカ</source>
        <translation>MQTT broker</translation>
    </message>
    <message>
        <source>URL</source>
        <translation>URL</translation>
    </message>
    <message>
        <source>CA ファイル</source>
        <translation>CA file</translation>
    </message>
    <message>
        <source>クライアント証明書</source>
        <translation>Client certificate</translation>
    </message>
    <message>
        <source>クライアント鍵</source>
        <translation>Client key</translation>
    </message>
    <message>
        <source>認証情報ファイル</source>
        <translation>Credentials file</translation>
    </message>
    <message>
        <source>トピックの接頭辞</source>
        <translation>Topic prefix</translation>
    </message>
    <message>
        <source>送信待ちの上限</source>
        <translation>Queue bound</translation>
    </message>
    <message>
        <source>件（既定 %1 件）</source>
        <translation>messages (default %1)</translation>
    </message>
    <message>
        <source>クライアント証明書と鍵は両方とも指定してください</source>
        <translation>Give both the client certificate and its key</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
</TS>