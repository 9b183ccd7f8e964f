#pragma once

#include <QString>
#include <QStringView>

namespace miravon {

// Converts a text stored in VNI notation (letters, with digits 1-9 standing
// for the diacritics of the letter before them) into Vietnamese letters,
// precomposed (NFC). Only "d9" and a vowel followed by a shape and/or tone
// digit change; every other character, digits included, passes unchanged.
QString vniToUnicode(QStringView stored);

} // namespace miravon
