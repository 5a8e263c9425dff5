#include "view/common/support_site.h"

#include "comlib/utility.h"

std::wstring SupportSiteAddress() { return L"http://" DORMIGUARD_WEB_HOST L"/DormiGuard/"; }

void OpenSupportSite() { ShellOpen(SupportSiteAddress()); }
