#pragma once

#include <QString>
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

// A file of this computer named by its absolute path (file:///home/...),
// not a folder. Only the user's own address file may give one
// (AddressOrigin::Own); addresses from anywhere else never do.
bool isLocalFileAddress(const QString& address);

} // namespace miravon
