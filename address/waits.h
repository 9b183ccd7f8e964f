#pragma once

namespace miravon {

// How long anything fetched or played may show no progress (no byte, no
// answer, no new frame) before it counts as failed: a stream the player tries,
// each document the resolver or the channel-list update fetches.
inline constexpr int noProgressBoundMs = 20000;

// How long the player and the address check (`--check`) wait to learn why a
// stream fails, by looking at it themselves. One wait for both, so that a
// slow server is given the same reason by each: a server that answers within
// it is judged by its answer (an error page, a web page), one that does not
// has timed out. Long enough for a far-away server's answer; it only ever
// holds up a stream that has failed already.
inline constexpr int failureReasonWaitMs = 10000;

} // namespace miravon
