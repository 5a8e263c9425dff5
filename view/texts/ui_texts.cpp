#include "view/texts/ui_texts.h"

#include <cstdarg>

#include "comlib/utility.h"

// The English table, in view/ui_texts_en.cpp.
extern const wchar_t* const kEnglishTexts[];

namespace {

const wchar_t* const kJapanese[] = {
    L"%s が起動中",
    L"時間帯 %s %02d:00 ～ %02d:59",
    L"手動（解除するまで）",
    L"手動（%02d:%02d まで）",
    L"%s（PID %u）の終了まで",
    L"今すぐスリープ禁止",
    L"解除するまで",
    L"30分間",
    L"1時間",
    L"2時間",
    L"4時間",
    L"手動のスリープ禁止を解除",
    L"DormiGuard - スリープ禁止中（%s）",
    L"DormiGuard - スリープ許可中",
    L"DormiGuard",
    L"スリープ禁止中（%s）",
    L"スリープ許可中",
    L"DormiGuard: 不明なスイッチです: %s",
    L"DormiGuard: -awake の値が正しくありません: %s（分数 1～10080、HH:MM、off）",
    L"DormiGuard: -pid の値が正しくありません: %s",
    L"DormiGuard: プロセス %u は存在しません",
    L"DormiGuard: -run の後にコマンドがありません",
    L"DormiGuard: コマンドを起動できません: %s : %s",
    L"DormiGuard: コマンドは一度に一つだけ指定できます",
    L"DormiGuard: 実行中の DormiGuard に渡せませんでした",
    L"DormiGuard: 設定を保存できませんでした",
    L"変更はこの実行中だけ有効です。保存できるようになると次の変更ですべて保存します。\n%s\n%s",
    L"Windows セキュリティの「コントロールされたフォルダー アクセス」が書き込みを止めている可能性があります。"
    L"DormiGuard を許可してください。",
    L"ファイル(&F)",
    L"編集(&E)",
    L"ヘルプ(&H)",
    L"アプリケーションの終了(&X)",
    L"アイテムの追加(&A)",
    L"アイテムの削除(&D)",
    L"状態の更新(&U)\tF5",
    L"アプリ設定(&A)",
    L"サポートサイト(&S)",
    L"アイテムの追加",
    L"アイテムの削除",
    L"メインウインドウの表示",
    L"タスクトレイへ格納する",
    L"サポートサイトへ",
    L"DormiGuardの終了",
    L"スリープ禁止中",
    L"スリープ許可中",
    L"スリープを抑止するプロセス",
    L"スリープを抑止したいプロセスを選択してください。（現在起動しているプロセスを列挙しています）",
    L"プロセス名称",
    L"ファイルパス",
    L"　　選択　　",
    L"　キャンセル　",
    L"アプリ設定",
    L"アプリ設定",
    L"アプリバージョン",
    L"ライセンス情報",
    L"ピルミちゃんのイメージをコアラにする",
    L"表示情報",
    L"スリープ禁止時間帯",
    L"%02d:00 ～ %02d:59",
    L"バージョンアップの通知をしない",
    L"バージョンアップの通知",
    L"バージョン情報",
    L"サポートサイトへ",
    L"　　サポートサイトへ　　",
    L"DormiGuardのアップデート。",
    L"最新のバージョン%sが公開されています。\r\nサイトへ移動しますか？\r\n\r\n"
    L"　（現在インストールされているバージョンは%sです。）\r\n",
    L"　サイトへ移動する　",
    L"後日通知する　",
    L"タスクトレイへアイコンを追加できませんでした。",
    L"表示言語 / Language",
    L"自動 / Auto",
    L"日本語",
    L"English",
    L"OK か適用を押すと、メインウインドウとメニューはすぐに\n"
    L"この言語になります。この設定画面は次に開いたときから\n"
    L"切り替わります。",
    L"日",
    L"月",
    L"火",
    L"水",
    L"木",
    L"金",
    L"土",
    L"バッテリー駆動中",
    L"バッテリー残量 %d%%",
    L"DormiGuard - スリープ許可中（%s）",
    L"スリープ許可中（%s）",
    L"動作",
    L"画面",
    L"画面の電源を切らない",
    L"バッテリー",
    L"AC電源につながっているときだけ、プログラムと時間帯でスリープを禁止する",
    L"バッテリー残量が %d%% を下回ったらスリープを許可する",
    L"手動のスリープ禁止のホットキー",
    L"ホットキーを使う",
    L"%s は登録できません（%s）。前のキーのままです。",
    L"このキーは使えません。Ctrl・Alt・Shift と A～Z、0～9、F1～F24 を組み合わせてください。",
    L"手動（明日 %02d:%02d まで）",
    L"手動（%s %02d:%02d まで）",
    L"%s/%d",
    L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L"10", L"11", L"12",
    L"OK",
    L"キャンセル",
    L"適用(&A)",
    L"スリープ禁止時間帯",
    L"文字を入力するキーには Ctrl と Shift の両方が必要です。Ctrl と Alt の組み合わせは AltGr と同じため使えません。",
    L"F1～F24 には Ctrl・Shift・Alt のどれかが必要です。",
    L"F12 はデバッガー用に予約されているため使えません。",
    L"Windows キーの組み合わせは Windows 用に予約されているため使えません。",
    L"ホットキー %s は他のプログラムの入力を妨げるため無効にしました。設定の「動作」ページで別のキーを選べます。",
    L"DormiGuard: -pid にはプロセス ID が必要です",
    L"DormiGuard: 実行中の DormiGuard がコマンドを受け付けませんでした（アクセスが拒否されました。管理者として実行されています）",
    L"DormiGuard: コマンドの実行には管理者の権限が必要です: %s",
    L"DormiGuard: 画面を表示できないセッションでは起動しません。このセッションに実行中の DormiGuard はありません",
    L"%s が最前面",
    L"%s が動作中（CPU %d%%）",
    L"（最前面）",
    L"（動作中）",
    L"条件",
    L"起動中",
    L"最前面",
    L"動作中",
    L"条件",
    L"「動作中」は CPU 使用率 %d%% 以上",
    L"スリープ禁止中はふたを閉じても動作を続ける",
    L"電源接続時のみ",
    L"組織によって無効にされています",
    L"Windows の電源設定がスリープの抑止を許可していません",
    L"一部の設定は組織によって管理されています",
    L"手動のスリープ禁止は組織によって許可されていません。",
    L"「解除するまで」のスリープ禁止は組織によって許可されていません。時間を決めて選んでください。",
    L"DormiGuard: -awake、-pid、-run は組織のポリシー CommandLine によって無効にされています",
    L"DormiGuard: 手動のスリープ禁止は組織のポリシー ManualSessions によって許可されていません",
    L"DormiGuard: 解除するまでのスリープ禁止は組織のポリシー ManualSessions によって許可されていません"
    L"（-awake 分数 か -awake HH:MM を使ってください）",
};
static_assert(sizeof(kJapanese) / sizeof(kJapanese[0]) == static_cast<size_t>(TextId::Count),
              "one Japanese text per id");

const wchar_t* const* const kTables[] = {kJapanese, kEnglishTexts};
static_assert(sizeof(kTables) / sizeof(kTables[0]) == static_cast<size_t>(UiLanguage::Count),
              "one table per language");

// Written once on the UI thread before any window exists; read only on that thread.
bool g_languageSet = false;
UiLanguage g_language = UiLanguage::Japanese;

}  // namespace

LanguageChoice ParseLanguageChoice(const std::wstring& value) {
    if (EqualsNoCase(value, L"ja")) return LanguageChoice::Japanese;
    if (EqualsNoCase(value, L"en")) return LanguageChoice::English;
    return LanguageChoice::Auto;
}

const wchar_t* LanguageChoiceValue(LanguageChoice choice) {
    switch (choice) {
        case LanguageChoice::Japanese:
            return L"ja";
        case LanguageChoice::English:
            return L"en";
        default:
            return L"auto";
    }
}

UiLanguage ResolveLanguage(LanguageChoice choice, LANGID userUiLanguage) {
    if (choice == LanguageChoice::Japanese) return UiLanguage::Japanese;
    if (choice == LanguageChoice::English) return UiLanguage::English;
    return PRIMARYLANGID(userUiLanguage) == LANG_JAPANESE ? UiLanguage::Japanese : UiLanguage::English;
}

UiLanguage CurrentUiLanguage() {
    if (!g_languageSet) {
        g_language = ResolveLanguage(LanguageChoice::Auto, ::GetUserDefaultUILanguage());
        g_languageSet = true;
    }
    return g_language;
}

void SetUiLanguage(UiLanguage language) {
    g_language = language < UiLanguage::Count ? language : UiLanguage::English;
    g_languageSet = true;
}

const wchar_t* UiTextIn(UiLanguage language, TextId id) {
    const size_t index = static_cast<size_t>(id);
    const size_t table = static_cast<size_t>(language);
    if (index >= static_cast<size_t>(TextId::Count) || table >= static_cast<size_t>(UiLanguage::Count)) return L"";
    return kTables[table][index];
}

const wchar_t* UiText(TextId id) { return UiTextIn(CurrentUiLanguage(), id); }

std::wstring UiFormat(TextId id, ...) {
    va_list args;
    va_start(args, id);
    std::wstring text = FormatWideV(UiText(id), args);
    va_end(args);
    return text;
}

std::wstring UiFormatIn(UiLanguage language, TextId id, ...) {
    va_list args;
    va_start(args, id);
    std::wstring text = FormatWideV(UiTextIn(language, id), args);
    va_end(args);
    return text;
}

std::wstring CutWithEllipsis(const std::wstring& text, size_t limit) {
    if (text.size() <= limit) return text;
    if (limit == 0) return L"";
    return text.substr(0, limit - 1) + L"…";
}

std::wstring ShortenPath(const std::wstring& path, size_t limit) {
    if (path.size() <= limit) return path;
    if (limit < 3) return CutWithEllipsis(path, limit);
    // A third for the drive and the first folders, the rest for the file name's end.
    const size_t head = (limit - 1) / 3;
    return path.substr(0, head) + L"…" + path.substr(path.size() - (limit - 1 - head));
}

std::wstring SaveFailureNoticeText(const std::wstring& file, DWORD error) {
    std::wstring reason = SystemErrorText(error);
    while (!reason.empty() && (reason.back() == L' ' || reason.back() == L'\r' || reason.back() == L'\n'))
        reason.pop_back();
    if (reason.empty()) reason = FormatWide(L"0x%08x", static_cast<unsigned>(error));
    const std::wstring hint =
        error == ERROR_ACCESS_DENIED ? std::wstring(L"\n") + UiText(TextId::SaveFailedAccessDenied) : L"";
    const auto compose = [&hint](const std::wstring& path, const std::wstring& why) {
        return UiFormat(TextId::SaveFailedBody, path.c_str(), why.c_str()) + hint;
    };
    std::wstring text = compose(file, reason);
    if (text.size() <= kNoticeChars) return text;
    // Room for at least the file name's last characters before the reason gives way.
    constexpr size_t kLeastPath = 16;
    const size_t pathRoom = text.size() - kNoticeChars < file.size() ? file.size() - (text.size() - kNoticeChars) : 0;
    const std::wstring path = ShortenPath(file, pathRoom > kLeastPath ? pathRoom : kLeastPath);
    text = compose(path, reason);
    if (text.size() <= kNoticeChars) return text;
    const size_t over = text.size() - kNoticeChars;
    text = compose(path, CutWithEllipsis(reason, reason.size() > over ? reason.size() - over : 0));
    return CutWithEllipsis(text, kNoticeChars);
}
