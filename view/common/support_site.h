#pragma once
// The support page on the product's web host (the host is a build setting).
#include <string>

// "http://HOST/DormiGuard/".
std::wstring SupportSiteAddress();

// Opens the support page with the shell; nothing happens on the developer's machine.
void OpenSupportSite();
