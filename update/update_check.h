#pragma once
// The once-a-day question to the update server whether a newer version is out, and the
// notice that offers to open the page the server names.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "comlib/inifile.h"

// Version texts in text order, code unit by code unit; a shorter text that is a prefix of the
// other is the smaller ("1.0.5" < "1.0.5.0"). Negative, zero or positive.
int CompareVersionText(const std::wstring& a, const std::wstring& b);
bool IsNewerVersion(const std::wstring& candidate, const std::wstring& installed);

// The version file: seven bytes of version, CR LF, the page address, CR LF.
struct VersionFile {
    std::wstring version;
    std::wstring address;
};
// Each byte becomes one UTF-16 unit of its sign-extended value. The version is cut at a zero
// byte and is "0.0.0.0" for an HTML page (first byte "<"); the address is cut at its first zero
// byte. False for a body shorter than the 11 bytes of the layout.
bool ParseVersionFile(const char* body, int size, VersionFile* file);
constexpr int kMinVersionFileBytes = 11;

// Days (0 to 5) the first notice about a new version is held back: the C runtime's
// generator (state * 214013 + 2531011, bits 16 to 30), never seeded, so the first draw is 41.
int NextNoticeDelayValue();
int DrawNoticeDelayDays();
void ResetNoticeDelayGenerator();

// The page address arrives over plain, unauthenticated HTTP and goes to the shell: only an
// absolute http:// or https:// address on the program's own site (siteHost, any case), in
// printable ASCII without blanks, may go. Anyone on the path could otherwise send the user to a
// page of theirs. Otherwise false, with the reason in *reason.
bool IsSafePageAddress(const std::wstring& address, const std::wstring& siteHost, std::wstring* reason);

// The version text goes into the INI file: only printable ASCII (0x21 to 0x7E) may, so that no
// line break or bracket can add a key or a section there.
bool IsPlainVersionText(const std::wstring& version);

// The notice's answer from MessageBoxW(MB_YESNOCANCEL): Yes 1 (go to the site), Cancel 0,
// anything else 2 (notify later).
int NoticeResultFromMessageBox(int answer);

// Shows the notice and returns 1 (go to the site), 2 (notify later) or 0 (closed). The real
// one is the dialog over the owner, or a message box without one; tests put in their own.
using UpdateNoticeFunction = std::function<int(HWND owner, const std::wstring& title,
                                               const std::wstring& installedVersion,
                                               const std::wstring& newVersion)>;
void SetUpdateNoticeFunction(UpdateNoticeFunction notice);  // empty: the real notice
// The real notice belongs to the windows, which sit above the update check: the program hands
// it in once at start. The target, when given, receives the dialog's window handle.
using RealUpdateNotice = int (*)(HWND owner, const std::wstring& title, const std::wstring& installedVersion,
                                 const std::wstring& newVersion, HWND* dialogTarget);
void SetRealUpdateNotice(RealUpdateNotice notice);
// True while a notice is on screen, in any check of this process.
bool IsUpdateNoticeBusy();

// What a fetched version file means for the notice.
struct UpdateVerdict {
    bool notify = false;  // the notice is due now
    std::wstring newVersion;
    std::wstring address;
    int today = 0;
};

class UpdateCheck_CL {
public:
    // Seconds since 1970-01-01 00:00 UTC.
    using Clock = std::function<int64_t()>;
    static constexpr int64_t kSecondsPerDay = 86400;

    UpdateCheck_CL(Inifile_CL* inifile, std::wstring host, std::wstring path, unsigned short port = 80);
    virtual ~UpdateCheck_CL() = default;

    // Asks the server unless switched off or already settled today, and shows the notice
    // when a newer version's notice is due. Fetch failures record nothing.
    void Check(const std::wstring& title, const std::wstring& installedVersion, HWND owner);

    // The same check in its steps, for a fetch that runs elsewhere.
    // False when switched off, settled today or a notice is on screen; *today is the local day.
    bool ShouldFetch(int* today) const;
    // The answer of the server (Content-Length, bytes obtained, body): records the day where
    // the rules say so and tells whether the notice is due.
    UpdateVerdict Settle(int expected, int got, const char* body, int today,
                         const std::wstring& installedVersion) const;
    // Shows the notice (busy meanwhile) and acts on the answer.
    void Notify(const UpdateVerdict& verdict, const std::wstring& title, const std::wstring& installedVersion,
                HWND owner) const;

    // Receives the notice dialog's window handle while it is shown.
    void SetDialogHandleTarget(HWND* target) { dialogTarget_ = target; }
    // Tests set the time; the default is the system clock (_time64).
    void SetClock(Clock clock) { clock_ = std::move(clock); }

private:
    int64_t Now() const;
    void RecordToday(int today) const;
    int AskUser(const std::wstring& title, const std::wstring& installedVersion, const std::wstring& newVersion,
                HWND owner) const;
    void OpenPage(const std::wstring& address) const;

    Inifile_CL* inifile_;
    std::wstring host_;
    std::wstring path_;
    unsigned short port_;
    HWND* dialogTarget_ = nullptr;
    Clock clock_;
};
