#include "view/ui_texts.h"

#include <cstdarg>

#include "comlib/utility.h"

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
};
static_assert(sizeof(kJapanese) / sizeof(kJapanese[0]) == static_cast<size_t>(TextId::Count),
              "one text per id");

}  // namespace

const wchar_t* UiText(TextId id) {
    const size_t index = static_cast<size_t>(id);
    return index < static_cast<size_t>(TextId::Count) ? kJapanese[index] : L"";
}

std::wstring UiFormat(TextId id, ...) {
    va_list args;
    va_start(args, id);
    std::wstring text = FormatWideV(UiText(id), args);
    va_end(args);
    return text;
}

std::wstring SaveFailureNoticeText(const std::wstring& file, DWORD error) {
    std::wstring reason = SystemErrorText(error);
    while (!reason.empty() && (reason.back() == L' ' || reason.back() == L'\r' || reason.back() == L'\n'))
        reason.pop_back();
    if (reason.empty()) reason = FormatWide(L"0x%08x", static_cast<unsigned>(error));
    std::wstring text = UiFormat(TextId::SaveFailedBody, file.c_str(), reason.c_str());
    if (error == ERROR_ACCESS_DENIED) text += std::wstring(L"\n") + UiText(TextId::SaveFailedAccessDenied);
    return text;
}
