#include "update/update_check.h"

#include <time.h>

#include "comlib/inet_http.h"
#include "comlib/log.h"
#include "comlib/utility.h"
#include "data/policy.h"
#include "data/save_data.h"

namespace {

const wchar_t kSection[] = L"VERSION";
const wchar_t kNoVersion[] = L"0.0.0.0";

uint32_t g_delayState = 1;
UpdateNoticeFunction g_noticeFunction;
RealUpdateNotice g_realNotice = nullptr;
bool g_noticeBusy = false;

// Clears the busy flag however the notice ends.
class NoticeBusy {
public:
    NoticeBusy() { g_noticeBusy = true; }
    ~NoticeBusy() { g_noticeBusy = false; }
    NoticeBusy(const NoticeBusy&) = delete;
    NoticeBusy& operator=(const NoticeBusy&) = delete;
};

// One byte as the sign-extended UTF-16 unit the file layout prescribes.
wchar_t ByteUnit(char byte) { return static_cast<wchar_t>(static_cast<signed char>(byte)); }

std::wstring BytesUntilZero(const char* from, size_t count) {
    std::wstring text;
    for (size_t i = 0; i < count && from[i] != '\0'; ++i) text.push_back(ByteUnit(from[i]));
    return text;
}

// A server's text in the log: control characters spelled out, so a line break cannot start a
// line of its own; long texts cut.
std::wstring ForLog(const std::wstring& text) {
    std::wstring shown;
    for (wchar_t c : text) {
        if (shown.size() >= 200) {
            shown += L"...";
            break;
        }
        if (c < 0x20 || c == 0x7F)
            shown += FormatWide(L"\\x%02x", static_cast<unsigned>(c));
        else
            shown.push_back(c);
    }
    return shown;
}

bool IsHostCharacter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'.' ||
           c == L'-';
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

int CompareVersionText(const std::wstring& a, const std::wstring& b) {
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool IsNewerVersion(const std::wstring& candidate, const std::wstring& installed) {
    return CompareVersionText(candidate, installed) > 0;
}

bool ParseVersionFile(const char* body, int size, VersionFile* file) {
    if (!body || size < kMinVersionFileBytes) return false;
    file->version = body[0] == '<' ? std::wstring(kNoVersion) : BytesUntilZero(body, 7);
    // Bytes 9 to size - 3: between the version's line break and the final one.
    file->address = BytesUntilZero(body + 9, static_cast<size_t>(size - 11));
    return true;
}

int NextNoticeDelayValue() {
    g_delayState = g_delayState * 214013u + 2531011u;
    return static_cast<int>((g_delayState >> 16) & 0x7FFF);
}

int DrawNoticeDelayDays() { return NextNoticeDelayValue() % 6; }

void ResetNoticeDelayGenerator() { g_delayState = 1; }

bool IsSafePageAddress(const std::wstring& address, const std::wstring& siteHost, std::wstring* reason) {
    const auto refuse = [reason](const wchar_t* why) {
        if (reason) *reason = why;
        return false;
    };
    if (address.empty()) return refuse(L"アドレスが空です");
    for (wchar_t c : address) {
        if (c <= 0x20 || c >= 0x7F) return refuse(L"空白・制御文字・ASCII 以外の文字を含みます");
        if (c == L'\\' || c == L'"' || c == L'<' || c == L'>' || c == L'`' || c == L'^' || c == L'{' ||
            c == L'}' || c == L'|')
            return refuse(L"アドレスに使えない文字を含みます");
    }
    size_t hostStart = 0;
    if (StartsWithNoCase(address, L"http://"))
        hostStart = 7;
    else if (StartsWithNoCase(address, L"https://"))
        hostStart = 8;
    else
        return refuse(L"http:// または https:// で始まるアドレスではありません");
    const size_t hostEnd = address.find_first_of(L"/?#", hostStart);
    const std::wstring authority =
        address.substr(hostStart, hostEnd == std::wstring::npos ? std::wstring::npos : hostEnd - hostStart);
    if (authority.find(L'@') != std::wstring::npos) return refuse(L"ユーザー情報を含むアドレスです");
    const size_t colon = authority.find(L':');
    const std::wstring host = authority.substr(0, colon);
    if (host.empty()) return refuse(L"ホスト名がありません");
    if (host.front() == L'.' || host.front() == L'-') return refuse(L"ホスト名が正しくありません");
    for (wchar_t c : host) {
        if (!IsHostCharacter(c)) return refuse(L"ホスト名が正しくありません");
    }
    if (!EqualsNoCase(host, siteHost)) return refuse(L"このアプリのサイトのアドレスではありません");
    if (colon != std::wstring::npos) {
        const std::wstring port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5) return refuse(L"ポート番号が正しくありません");
        for (wchar_t c : port) {
            if (c < L'0' || c > L'9') return refuse(L"ポート番号が正しくありません");
        }
        const long number = wcstol(port.c_str(), nullptr, 10);
        if (number < 1 || number > 65535) return refuse(L"ポート番号が正しくありません");
    }
    return true;
}

bool IsPlainVersionText(const std::wstring& version) {
    for (wchar_t c : version)
        if (c < 0x21 || c > 0x7E) return false;
    return true;
}

int NoticeResultFromMessageBox(int answer) {
    if (answer == IDYES) return 1;
    if (answer == IDCANCEL) return 0;
    return 2;
}

void SetUpdateNoticeFunction(UpdateNoticeFunction notice) { g_noticeFunction = std::move(notice); }

void SetRealUpdateNotice(RealUpdateNotice notice) { g_realNotice = notice; }

bool IsUpdateNoticeBusy() { return g_noticeBusy; }

UpdateCheck_CL::UpdateCheck_CL(Inifile_CL* inifile, std::wstring host, std::wstring path, unsigned short port)
    : inifile_(inifile), host_(std::move(host)), path_(std::move(path)), port_(port) {}

int64_t UpdateCheck_CL::Now() const { return clock_ ? clock_() : static_cast<int64_t>(_time64(nullptr)); }

void UpdateCheck_CL::RecordToday(int today) const {
    g_SaveData.ReportWrite(inifile_->WriteInt(kSection, L"last_day", today));
}

int UpdateCheck_CL::AskUser(const std::wstring& title, const std::wstring& installedVersion,
                            const std::wstring& newVersion, HWND owner) const {
    if (g_noticeFunction) return g_noticeFunction(owner, title, installedVersion, newVersion);
    // Without a notice nobody is asked: like a closed notice, nothing is recorded.
    return g_realNotice ? g_realNotice(owner, title, installedVersion, newVersion, dialogTarget_) : 0;
}

void UpdateCheck_CL::OpenPage(const std::wstring& address) const {
    std::wstring reason;
    if (!IsSafePageAddress(address, DORMIGUARD_WEB_HOST, &reason)) {
        g_Logger.Log(L"更新ページのアドレスを開きません（%s）: \"%s\"", __FILE__, __LINE__, reason.c_str(),
                     ForLog(address).c_str());
        return;
    }
    ShellOpen(address);
}

bool UpdateCheck_CL::ShouldFetch(int* today) const {
    const uint32_t force = inifile_->ReadInt(kSection, L"force", 0);
    if (g_noticeBusy) return false;
    if (inifile_->ReadInt(kSection, L"notify", 0) != 0) return false;
    // The organisation's UpdateCheck=0: no request, no notice.
    if (ReadPoliciesQuietly().updateCheck == std::optional<DWORD>(0)) return false;
    const uint32_t last = inifile_->ReadInt(kSection, L"last_day", 0);
    __time64_t started = static_cast<__time64_t>(Now());
    tm local = {};
    if (_localtime64_s(&local, &started) != 0) return false;
    *today = local.tm_mday;
    return force != 0 || last != static_cast<uint32_t>(*today);
}

UpdateVerdict UpdateCheck_CL::Settle(int expected, int got, const char* body, int today,
                                     const std::wstring& installedVersion) const {
    UpdateVerdict verdict;
    verdict.today = today;
    if (expected == InetHttp_CL::kNoLength) {
        g_Logger.Log(L"更新情報の応答に Content-Length がありません", __FILE__, __LINE__);
        return verdict;
    }
    if (got != expected) {
        g_Logger.Log(L"更新情報を読み切れませんでした（%d / %d バイト）", __FILE__, __LINE__, got, expected);
        return verdict;
    }
    VersionFile file;
    if (!ParseVersionFile(body, got, &file)) {
        g_Logger.Log(L"更新情報が短すぎます（%d バイト）", __FILE__, __LINE__, got);
        return verdict;
    }
    if (!IsPlainVersionText(file.version)) {
        g_Logger.Log(L"更新情報のバージョンに使えない文字があります: \"%s\"", __FILE__, __LINE__,
                     ForLog(file.version).c_str());
        return verdict;
    }

    const uint32_t force = inifile_->ReadInt(kSection, L"force", 0);
    if (IsNewerVersion(file.version, installedVersion)) {
        const std::wstring stored = inifile_->ReadString(kSection, L"next_version", kNoVersion);
        if (IsNewerVersion(file.version, stored)) {
            const int days = DrawNoticeDelayDays();
            g_SaveData.ReportWrite(inifile_->WriteString(kSection, L"next_version", file.version) &&
                                   inifile_->WriteString(kSection, L"next_notify",
                                                         FormatHex64(static_cast<uint64_t>(Now() + days * kSecondsPerDay))));
        }
        const int64_t due = static_cast<int64_t>(inifile_->ReadHex64(kSection, L"next_notify", 0));
        if (due > Now()) {
            RecordToday(today);
            return verdict;
        }
    } else if (force != 1) {
        RecordToday(today);
        return verdict;
    }
    verdict.notify = true;
    verdict.newVersion = file.version;
    verdict.address = file.address;
    return verdict;
}

void UpdateCheck_CL::Notify(const UpdateVerdict& verdict, const std::wstring& title,
                            const std::wstring& installedVersion, HWND owner) const {
    int result = 0;
    {
        NoticeBusy busy;
        result = AskUser(title, installedVersion, verdict.newVersion, owner);
    }
    if (result == 1) {
        // Nothing recorded: the next run asks again while the server still announces it.
        OpenPage(verdict.address);
    } else if (result == 2) {
        RecordToday(verdict.today);
    }
}

void UpdateCheck_CL::Check(const std::wstring& title, const std::wstring& installedVersion, HWND owner) {
    int today = 0;
    if (!ShouldFetch(&today)) return;
    InetHttp_CL http;
    if (!http.Open() || !http.Connect(host_, port_) || http.Request(path_) != 1) return;
    const int expected = http.ContentLength();
    const int got = http.Read(expected);
    const UpdateVerdict verdict = Settle(expected, got, http.Body(), today, installedVersion);
    if (verdict.notify) Notify(verdict, title, installedVersion, owner);
}
