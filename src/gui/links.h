#pragma once
// Tonvale's own addresses.

namespace tonvale::gui {

constexpr const char* kHomePage = "https://tonvale.example.org/";
constexpr const char* kDonatePage = "https://tonvale.example.org/donate";
constexpr const char* kMakerAddress = "www.tonvale.example.org";
constexpr const char* kSupportMail = "support@tonvale.example.org";

}  // namespace tonvale::gui
