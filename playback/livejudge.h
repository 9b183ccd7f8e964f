#pragma once

namespace miravon {

// What the engine and the manifest have said of the stream being played, as
// far as it tells live from finished.
struct LiveFacts {
    double duration = 0;        // the length now (0: none)
    double firstDuration = 0;   // the first length given
    double durationSeenAt = 0;  // the position when it was first given
    bool durationGrew = false;  // a later length was larger
    double position = 0;
    bool sized = false;         // the engine knows the stream's size in bytes
    bool seekable = false;
    bool segmented = false;     // HLS or DASH
    bool manifestLive = true;   // what its manifest said (live until read)
};

// How long an unsized stream plays before a length that has not grown is
// believed.
inline constexpr double kLengthHoldsSeconds = 2.0;

// Live or finished, from the facts alone. A film has a length and a size,
// or a length that holds while it plays (streaming servers give no size).
// Anything else is live: a live mount (whose growing length says nothing),
// an RTSP broadcast (no length), an MMS broadcast (a length the engine
// makes up from what has arrived, and which grows as more does). Segmented
// streams look alike to the engine either way (it even makes up a length
// for a live one): their manifest tells.
bool judgeLive(const LiveFacts& facts);

// The facts as the engine reports them, one property at a time.
class LiveTracker {
public:
    void reset() { facts_ = LiveFacts{}; }
    void setDuration(double duration);
    void setPosition(double position) { facts_.position = position; }
    void setSized(bool sized) { facts_.sized = sized; }
    void setSeekable(bool seekable) { facts_.seekable = seekable; }
    void setSegmented(bool segmented) { facts_.segmented = segmented; }
    void setManifestLive(bool live) { facts_.manifestLive = live; }

    const LiveFacts& facts() const { return facts_; }
    bool isLive() const { return judgeLive(facts_); }

private:
    LiveFacts facts_;
};

} // namespace miravon
