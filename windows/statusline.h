#pragma once

namespace miravon {

class Player;
class LabelUni;

// The two messages a window's status line receives from its own player.
// Stored in VNI notation; the flagged status label shows them converted.
inline constexpr char connectingMessage[] =
    "D9ang ke61t no61i d9e61n ke6nh ba5n ye6u ca62u .. vui lo2ng d9o75i gia6y la1t";
inline constexpr char loadingMessage[] =
    "(^_^)::: D9ang ta3i hi2nh a3nh tu72 ke6nh na2y -- Vui lo2ng d9o75i gia6y la1t d9e63 tri2nh chie61u ::: (^_^)";

// Every open-state event writes the connecting message, every play-state
// event the loading message; but a failure (the play state Ready a failed
// player falls back to) puts back the text the line had at start, so that
// the line never says "loading" while the picture says the channel failed.
// Nothing else writes it.
void bindStatusLine(Player& player, LabelUni& status);

} // namespace miravon
