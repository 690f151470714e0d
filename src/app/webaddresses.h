#pragma once
// The program's own addresses on the web: its page, where new versions are, and its support.

namespace web {

inline constexpr char kHomePage[] = "https://zelt.example/pixoria/";
inline constexpr char kDownloads[] = "https://zelt.example/pixoria/download/";
inline constexpr char kSupport[] = "mailto:support@zelt.example?subject=Zelt%20Pixoria";

} // namespace web
