#pragma once

#include <string>
#include <string_view>

namespace mto::journal {

/// What a secret's value becomes in a journal.
inline constexpr std::string_view kRedacted = "***";

/// Whether a key of a "key=value;key=value" text names a secret: PWD, or any key holding "pass" or
/// "pwd", without regard to ASCII letter case (Password, DBPassWord, UserPwd).
bool isSecretKey(std::string_view key);

/// The one door of every text into a journal: `text` with the value of each secret key of its
/// "key=value;..." items replaced by `kRedacted`, everything else byte for byte as it was (item
/// separators, spacing around keys, a trailing ";", bytes that are not UTF-8). A value runs from
/// its "=" to the next ";", so a secret holding ";" leaves its tail behind; the login property
/// string never quotes. A text without a secret key comes back unchanged.
std::string redactSecrets(std::string_view text);

}  // namespace mto::journal
