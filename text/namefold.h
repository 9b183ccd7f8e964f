#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// How names are compared, everywhere a name meets another: the finder's
// query and captions, the lists' stream names and the catalogue's, a list
// channel's key, a programme guide's display names. One folding, so that a
// name the finder shows as a match is one the import and the guide match
// too.
namespace miravon::text {

// The words of a text as compared: decomposed and its marks dropped, the
// letters that do not decompose spelled out (đ d, ø o, ł l, ı i, ß ss,
// æ ae, œ oe), case folded; apostrophes dropped inside a word ("Int'l" is
// "intl"); "&" is the word "and" and "+" the word "plus"; anything else but
// letters and digits separates words; letters split from digits ("VTV1" is
// "vtv 1"); a number's leading zeros dropped ("01" is "1").
QStringList foldWords(QStringView text);
// foldWords() joined by single blanks.
QString fold(QStringView text);

// The words a channel's name is matched by: foldWords(), with a suffix word
// glued in lower case to a name in capitals split off ("BYUtv"), and the
// words that only mark a channel (TV, HD, Channel, ch, ...) dropped unless
// only digits would remain.
QStringList nameWords(QStringView name);

} // namespace miravon::text
