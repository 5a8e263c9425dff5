#include "view/ui_texts.h"

#include "comlib/utility.h"

namespace {

struct TextEntry {
    TextId id;
    const wchar_t* japanese;
};

const TextEntry kTexts[] = {
    {TextId::SaveFailedTitle, L"DormiGuard: 設定を保存できませんでした"},
    {TextId::SaveFailedBody, L"変更はこの実行中だけ有効です。保存できるようになると次の変更ですべて保存します。\n%s\n%s"},
    {TextId::SaveFailedAccessDenied,
     L"Windows セキュリティの「コントロールされたフォルダー アクセス」が書き込みを止めている可能性があります。"
     L"DormiGuard を許可してください。"},
};

}  // namespace

const wchar_t* UiText(TextId id) {
    for (const TextEntry& entry : kTexts)
        if (entry.id == id) return entry.japanese;
    return L"";
}

std::wstring SaveFailureNoticeText(const std::wstring& file, DWORD error) {
    std::wstring reason = SystemErrorText(error);
    while (!reason.empty() && (reason.back() == L' ' || reason.back() == L'\r' || reason.back() == L'\n'))
        reason.pop_back();
    if (reason.empty()) reason = FormatWide(L"0x%08x", static_cast<unsigned>(error));
    std::wstring text = FormatWide(UiText(TextId::SaveFailedBody), file.c_str(), reason.c_str());
    if (error == ERROR_ACCESS_DENIED) text += std::wstring(L"\n") + UiText(TextId::SaveFailedAccessDenied);
    return text;
}
