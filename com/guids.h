#pragma once

#include <windows.h>

namespace mto::com {

// The component's fixed identities. Changing one breaks every host that registered or compiled
// against it: never change them.

// {25960E1B-DD33-4EA7-9823-040097A1A84C} the creatable class clsMTOChange
inline constexpr CLSID kClsidMtoChange = {0x25960e1b, 0xdd33, 0x4ea7, {0x98, 0x23, 0x04, 0x00, 0x97, 0xa1, 0xa8, 0x4c}};
// {CF9273AD-C6B7-4D25-BBA0-842A91DD6B56} its dispinterface _clsMTOChange
inline constexpr IID kIidMtoChange = {0xcf9273ad, 0xc6b7, 0x4d25, {0xbb, 0xa0, 0x84, 0x2a, 0x91, 0xdd, 0x6b, 0x56}};
// {7C89F493-E473-4DC5-83B7-71019745DA1C} the type library T8MTOChange 1.0 (dll/T8MTOChange.idl)
inline constexpr GUID kLibidMtoChange = {0x7c89f493, 0xe473, 0x4dc5, {0x83, 0xb7, 0x71, 0x01, 0x97, 0x45, 0xda, 0x1c}};

inline constexpr wchar_t kProgId[] = L"T8MTOChange.clsMTOChange";
inline constexpr wchar_t kClassName[] = L"clsMTOChange";
inline constexpr wchar_t kClsidText[] = L"{25960E1B-DD33-4EA7-9823-040097A1A84C}";
/// kIidMtoChange as the registry spells it.
inline constexpr wchar_t kIidText[] = L"{CF9273AD-C6B7-4D25-BBA0-842A91DD6B56}";
/// kLibidMtoChange as the registry spells it.
inline constexpr wchar_t kLibidText[] = L"{7C89F493-E473-4DC5-83B7-71019745DA1C}";
/// The version of the type library, as the registry spells it.
inline constexpr wchar_t kLibVersionText[] = L"1.0";
/// The automation marshaler (PSOAInterface), proxy and stub of every interface described by a type library.
inline constexpr wchar_t kAutomationMarshalerText[] = L"{00020424-0000-0000-C000-000000000046}";

}  // namespace mto::com
