#pragma once

#include <QString>
#include <QStringView>
#include <QUrl>

// Which addresses the program takes, from where, and which it opens: one
// policy for the catalogue, the address files, the import, the player and
// the address check.
namespace miravon {

// http or https.
bool isWebAddress(const QUrl& url);
bool isWebAddress(const QString& address);

// The schemes the player opens over the network: http, https, rtsp, rtspt,
// rtspu, mms, mmsh, mmst. Whatever a playlist names must pass this too.
bool isAllowedScheme(const QUrl& url);

// An address of the built-in tables: an absolute http, rtsp or mms URL with
// a host, in printable ASCII without blanks. Checked by hand rather than
// through QUrl: it runs for every row at start-up.
bool isCatalogueAddress(const QString& address);

// An address an address file or an import may give: an absolute http,
// https, rtsp, mms, mmsh or mmst URL with a host, without surrounding blanks.
bool isAcceptedAddress(const QString& address);
// Those schemes as a message names them: "http, https, ... mmsh or mmst"
// with `lastJoin` ("or", "hoặc") before the last, and `after` ("://") after
// each.
QString acceptedSchemesText(QStringView lastJoin, QStringView after = {});

// Whether a link dropped or pasted anywhere (on an entry, on a window, in
// the sources window) is a channel list for the import rather than a
// stream: a .m3u file or an http or https .m3u link, and a .m3u8 file of
// this computer. A .m3u8 link over the network is most often a live stream
// (HLS), which an entry plays as it is.
bool isChannelListLink(const QUrl& url);

// A file of this computer named by its absolute path (file:///home/...),
// not a folder. Only the user's own address file may give one
// (AddressOrigin::Own); addresses from anywhere else never do.
bool isLocalFileAddress(const QString& address);

} // namespace miravon
