#pragma once

namespace miravon {

// Sane lengths for what outside lists and files give: a longer name or
// address is a broken or hostile list, and comparing or storing it would
// cost without bound. Longer ones are skipped and counted where they come in.
inline constexpr int maxAddressChars = 4096; // an address, a referrer, a user agent
inline constexpr int maxNameChars = 300;     // a stream's title, tvg-name, tvg-id

} // namespace miravon
