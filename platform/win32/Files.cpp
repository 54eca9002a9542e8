#include "platform/Files.h"

#include <windows.h>

#include "platform/win32/ObjectTrust.h"

namespace platform {

std::string ThisUser() {
    const std::vector<unsigned char> user = win32::ProcessUser();
    if (user.empty()) return "user unknown";
    return "user " + win32::SidText(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
}

const FileAdvice& Advice() {
    static const FileAdvice advice{
        "SYSTEM or Administrators", "make it owner-only (icacls FILE /inheritance:r /grant:r %USERNAME%:F)",
        "let only its owner write it (icacls FILE /inheritance:r /grant:r %USERNAME%:F /grant:r Everyone:R)"};
    return advice;
}

}  // namespace platform
